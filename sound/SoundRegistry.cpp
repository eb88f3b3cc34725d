#include "sound/SoundRegistry.h"

#include <iterator>
#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/win32/win32.h"

namespace {

constexpr const char16_t* kStartupSounds[] = {
    u"be2_01.wav",   u"be2_02.wav",   u"be2_03.wav",   u"pico01.wav",   u"pico03.wav",   u"pico06.wav",
    u"pico08.wav",   u"pico2_06.wav", u"pico2_08.wav", u"se_sad05.wav", u"se_soc06.wav", u"se_sua02.wav",
    u"se_sua04.wav", u"se_sua06.wav", u"se_sua07.wav", u"se_sub06.wav", u"se_sud05.wav", u"wa_007.wav",
};

// GUID_NULL: any object class at that stage.
constexpr GUID kAnyObjectClass{};
constexpr DWORD kContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr std::size_t kMaxPath = 255;
constexpr std::size_t kMaxExtension = 15;

template <class T>
void ReleaseAndNull(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

// The objects of one load, released in the registry's order unless handed to an entry.
struct PendingSound {
  IDirectMusicSegment8* segment = nullptr;
  IDirectMusicAudioPath8* audioPath = nullptr;
  IDirectSoundBuffer8* buffer = nullptr;
  ~PendingSound() {
    ReleaseAndNull(segment);
    ReleaseAndNull(audioPath);
    ReleaseAndNull(buffer);
  }
};

}  // namespace

CSoundRegistry::~CSoundRegistry() {
  if (ReleaseAll() != 1) return;
  ReleaseAndNull(m_loader);
  if (m_performance && SUCCEEDED(m_performance->CloseDown())) ReleaseAndNull(m_performance);
}

int CSoundRegistry::Init(HWND window) {
  if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, kContext, IID_IDirectMusicPerformance8,
                              reinterpret_cast<void**>(&m_performance))))
    return -1;
  if (FAILED(m_performance->InitAudio(nullptr, nullptr, window, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                                      nullptr)))
    return -2;
  if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, kContext, IID_IDirectMusicLoader8,
                              reinterpret_cast<void**>(&m_loader))))
    return -4;
  WCHAR directory[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
  if (length == 0 || length > MAX_PATH) return -5;
  if (FAILED(m_loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory, FALSE))) return -6;
  return LoadSoundTable();
}

int CSoundRegistry::LoadSoundTable() {
  m_entries.reserve(84);
  for (int id = 0; id < static_cast<int>(std::size(kStartupSounds)); ++id) {
    std::u16string path = std::u16string(u"sound\\") + kStartupSounds[id];
    LoadSound(path.c_str(), id);
  }
  return 1;
}

bool CSoundRegistry::LoadSound(const WCHAR* path, int id) {
  if (id == SOUND_ID_ALL) {
    MessageBoxW(nullptr, u"そのＩＤは予約済みなの。別のＩＤ使ってね！", nullptr, MB_OK);
    return false;
  }
  if (!path || !m_performance || !m_loader) return false;
  const std::u16string_view pathView(path);
  WCHAR extension[kMaxExtension + 1];
  if (pathView.size() > kMaxPath ||
      _wsplitpath_s(path, nullptr, 0, nullptr, 0, nullptr, 0, extension, std::size(extension)) != 0)
    return false;

  for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
    if (it->id != id) continue;
    StopSound(id);
    m_loader->ReleaseObjectByUnknown(it->segment);
    m_loader->ClearCache(CLSID_DirectMusicSegment);
    it->segment->Unload(it->audioPath);
    it->segment->Release();
    it->audioPath->Release();
    it->buffer->Release();
    m_entries.erase(it);
    break;
  }

  PendingSound sound;
  if (std::u16string_view(extension) == u".ogg") {
    std::string narrow;
    int size = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      narrow.resize(static_cast<std::size_t>(size));
      if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrow.data(), size, nullptr, nullptr) != size) narrow.clear();
    }
    DWORD imageSize = 0;
    BYTE* image = DecodeOggToWave(narrow.c_str(), &imageSize);
    if (!image) return false;
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = image;
    desc.llMemLength = static_cast<LONGLONG>(imageSize);
    if (FAILED(m_loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&sound.segment))))
      return false;
  } else {
    if (FAILED(m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8,
                                            const_cast<WCHAR*>(path), reinterpret_cast<void**>(&sound.segment))))
      return false;
  }

  if (pathView.size() >= 3 && pathView.substr(pathView.size() - 3) == u"mid" &&
      FAILED(sound.segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFFu, DMUS_SEG_ALLTRACKS, 0, nullptr)))
    return false;
  if (FAILED(m_performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &sound.audioPath)))
    return false;
  if (FAILED(sound.audioPath->GetObjectInPath(DMUS_PCHANNEL_ALL, DMUS_PATH_BUFFER, 0, kAnyObjectClass, 0,
                                              IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&sound.buffer))))
    return false;
  if (FAILED(sound.segment->Download(sound.audioPath))) return false;

  m_entries.push_back({id, sound.segment, sound.audioPath, sound.buffer});
  sound.segment = nullptr;
  sound.audioPath = nullptr;
  sound.buffer = nullptr;
  return true;
}

void CSoundRegistry::StopSound(int id) {
  if (!m_performance) return;
  if (id == SOUND_ID_ALL) {
    m_performance->Stop(nullptr, nullptr, 0, 0);
    return;
  }
  for (const SoundEntry& entry : m_entries)
    if (entry.id == id) m_performance->StopEx(entry.segment, 0, 0);
}

int CSoundRegistry::ReleaseAll() {
  HRESULT result = S_OK;
  if (m_performance) result = m_performance->Stop(nullptr, nullptr, 0, 0);
  for (SoundEntry& entry : m_entries) {
    result = entry.segment->Unload(m_performance);
    entry.segment->Release();
    entry.audioPath->Release();
    entry.buffer->Release();
  }
  m_entries.clear();
  m_decodedImages.clear();
  return FAILED(result) ? result : 1;
}

BYTE* CSoundRegistry::DecodeOggToWave(const char* path, DWORD* size) {
  WaveImage image = DecodeOggFileToWave(path);
  if (!image) return nullptr;
  if (size) *size = static_cast<DWORD>(image.size);
  m_decodedImages.push_back(std::move(image));
  return m_decodedImages.back().bytes.get();
}
