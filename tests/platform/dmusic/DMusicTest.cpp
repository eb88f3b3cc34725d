#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/com/com.h"
#include "platform/dmusic/dmusic.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"

namespace {

template <class T>
T* Create(REFCLSID clsid, REFIID iid) {
  T* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object)), S_OK);
  return object;
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// A performance with audio, a loader searching a folder of fixtures, and the objects made from
// them, released in order at the end.
class DMusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    perf = Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
    loader = Create<IDirectMusicLoader8>(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8);
    ASSERT_TRUE(perf && loader);
    ASSERT_EQ(
        perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL, nullptr),
        S_OK);
    WriteBytes(dir.path() / "long.wav", MakeWave(8000, 5.0));
    WriteBytes(dir.path() / "song.mid", MakeMidi());
    WriteBytes(dir.path() / "tone.ogg", MakeOgg({}));
    // The search directory in Windows form: native "/" become "\".
    std::u16string folder = Wide(dir.path().string());
    for (auto& c : folder)
      if (c == u'/') c = u'\\';
    ASSERT_EQ(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, folder.data(), FALSE), S_OK);
  }
  void TearDown() override {
    for (IUnknown* object : owned) object->Release();
    loader->Release();
    perf->CloseDown();
    perf->Release();
  }
  template <class T>
  T* Own(T* object) {
    if (object) owned.push_back(object);
    return object;
  }
  IDirectMusicSegment8* Load(const char16_t* name, HRESULT expected = S_OK) {
    IDirectMusicSegment8* segment = nullptr;
    std::u16string path = name;
    EXPECT_EQ(loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, path.data(),
                                         reinterpret_cast<void**>(&segment)),
              expected);
    return Own(segment);
  }
  IDirectMusicAudioPath8* NewPath() {
    IDirectMusicAudioPath8* path = nullptr;
    EXPECT_EQ(perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path), S_OK);
    return Own(path);
  }
  IDirectSoundBuffer8* BufferOf(IDirectMusicAudioPath8* path) {
    IDirectSoundBuffer8* buffer = nullptr;
    EXPECT_EQ(path->GetObjectInPath(DMUS_PCHANNEL_ALL, DMUS_PATH_BUFFER, 0, GUID{}, 0, IID_IDirectSoundBuffer8,
                                    reinterpret_cast<void**>(&buffer)),
              S_OK);
    return Own(buffer);
  }
  bool Playing(IDirectSoundBuffer8* buffer) {
    DWORD status = 0;
    EXPECT_EQ(buffer->GetStatus(&status), S_OK);
    return status & DSBSTATUS_PLAYING;
  }
  HRESULT Play(IDirectMusicSegment8* segment, IDirectMusicAudioPath8* path) {
    return perf->PlaySegmentEx(segment, nullptr, nullptr, 0, 0, nullptr, nullptr, path);
  }

  TempDir dir;
  IDirectMusicPerformance8* perf = nullptr;
  IDirectMusicLoader8* loader = nullptr;
  std::vector<IUnknown*> owned;
};

TEST_F(DMusicTest, EachPathIsItsOwnChannelAndStopsActNow) {
  IDirectMusicSegment8* wave = Load(u"long.wav");
  ASSERT_TRUE(wave);
  IDirectMusicAudioPath8* a = NewPath();
  IDirectMusicAudioPath8* b = NewPath();
  IDirectSoundBuffer8* bufA = BufferOf(a);
  IDirectSoundBuffer8* bufB = BufferOf(b);
  EXPECT_NE(bufA, bufB);

  EXPECT_EQ(Play(wave, a), DMUS_E_NOT_DOWNLOADED_TO_PORT);
  ASSERT_EQ(wave->Download(a), S_OK);
  ASSERT_EQ(wave->Download(b), S_OK);
  ASSERT_EQ(Play(wave, a), S_OK);
  EXPECT_TRUE(Playing(bufA));
  EXPECT_FALSE(Playing(bufB));
  ASSERT_EQ(Play(wave, b), S_OK);

  EXPECT_EQ(perf->StopEx(a, 0, 0), S_OK);  // one path
  EXPECT_FALSE(Playing(bufA));
  EXPECT_TRUE(Playing(bufB));

  ASSERT_EQ(Play(wave, a), S_OK);
  EXPECT_EQ(perf->StopEx(wave, 0, 0), S_OK);  // the segment wherever it plays
  EXPECT_FALSE(Playing(bufA));
  EXPECT_FALSE(Playing(bufB));

  ASSERT_EQ(Play(wave, a), S_OK);
  ASSERT_EQ(Play(wave, b), S_OK);
  EXPECT_EQ(perf->Stop(nullptr, nullptr, 0, 0), S_OK);  // everything
  EXPECT_FALSE(Playing(bufA) || Playing(bufB));

  // Unloading from a path halts it there and it can no longer play there; unloading from the
  // performance covers the rest.
  ASSERT_EQ(Play(wave, a), S_OK);
  EXPECT_EQ(wave->Unload(a), S_OK);
  EXPECT_FALSE(Playing(bufA));
  EXPECT_EQ(Play(wave, a), DMUS_E_NOT_DOWNLOADED_TO_PORT);
  EXPECT_EQ(wave->Unload(perf), S_OK);
  EXPECT_EQ(Play(wave, b), DMUS_E_NOT_DOWNLOADED_TO_PORT);
}

TEST_F(DMusicTest, LoaderResolvesCachesAndRecognisesContent) {
  // Relative names resolve against the search directory, not the current folder.
  IDirectMusicSegment8* first = Load(u"long.wav");
  ASSERT_TRUE(first);
  IDirectMusicSegment8* again = Load(u"long.wav");
  EXPECT_EQ(first, again);  // cached
  EXPECT_EQ(loader->ReleaseObjectByUnknown(first), S_OK);
  EXPECT_EQ(loader->ReleaseObjectByUnknown(first), S_FALSE);
  IDirectMusicSegment8* fresh = Load(u"long.wav");
  EXPECT_NE(fresh, first);
  EXPECT_EQ(loader->ClearCache(CLSID_DirectMusicSegment), S_OK);

  EXPECT_TRUE(Load(u"song.mid"));
  Load(u"missing.wav", DMUS_E_LOADER_FAILEDOPEN);
  Load(u"tone.ogg", DMUS_E_UNSUPPORTED_STREAM);  // Ogg Vorbis is decoded by the caller, not here

  std::u16string missing = u"\\no\\such\\folder";
  EXPECT_EQ(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, missing.data(), FALSE), DMUS_E_LOADER_BADPATH);
}

TEST_F(DMusicTest, MemorySegmentOwnsACopyOfItsBytes) {
  Bytes image = MakeWave(8000, 5.0);
  DMUS_OBJECTDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
  desc.guidClass = CLSID_DirectMusicSegment;
  desc.pbMemData = image.data();
  desc.llMemLength = static_cast<LONGLONG>(image.size());
  IDirectMusicSegment8* segment = nullptr;
  ASSERT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)), S_OK);
  Own(segment);
  std::fill(image.begin(), image.end(), 0);  // the caller's memory may go away
  IDirectMusicAudioPath8* path = NewPath();
  ASSERT_EQ(segment->Download(path), S_OK);
  ASSERT_EQ(Play(segment, path), S_OK);
  EXPECT_TRUE(Playing(BufferOf(path)));

  // Bytes that are not a wave or MIDI file, and descriptors without memory or of another class.
  Bytes junk(4096, 0x5a);
  desc.pbMemData = junk.data();
  desc.llMemLength = static_cast<LONGLONG>(junk.size());
  IDirectMusicSegment8* none = nullptr;
  EXPECT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&none)),
            DMUS_E_UNSUPPORTED_STREAM);
  desc.dwValidData = DMUS_OBJ_CLASS;
  EXPECT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&none)), E_INVALIDARG);
  desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
  desc.guidClass = CLSID_DirectMusicLoader;
  EXPECT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&none)),
            DMUS_E_LOADER_NOCLASSID);
  EXPECT_EQ(none, nullptr);
}

TEST_F(DMusicTest, MidiSegmentTakesTheStandardMidiMarkAndPlays) {
  IDirectMusicSegment8* midi = Load(u"song.mid");
  IDirectMusicSegment8* wave = Load(u"long.wav");
  ASSERT_TRUE(midi && wave);
  EXPECT_EQ(midi->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFFu, DMUS_SEG_ALLTRACKS, 0, nullptr), S_OK);
  EXPECT_EQ(wave->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFFu, DMUS_SEG_ALLTRACKS, 0, nullptr), DMUS_E_TRACK_NOT_FOUND);
  IDirectMusicAudioPath8* path = NewPath();
  ASSERT_EQ(midi->Download(path), S_OK);
  ASSERT_EQ(Play(midi, path), S_OK);
  EXPECT_TRUE(Mix_PlayingMusic());
  EXPECT_EQ(perf->StopEx(midi, 0, 0), S_OK);
  EXPECT_FALSE(Mix_PlayingMusic());
}

TEST(DMusicLifetime, PathsAndDownloadsOutliveTheirPerformance) {
  TempDir dir;
  auto* perf = Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
  ASSERT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, 0, 64, 0, nullptr), S_OK);
  EXPECT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, 0, 64, 0, nullptr), DMUS_E_ALREADY_INITED);
  IDirectMusicAudioPath8* path = nullptr;
  ASSERT_EQ(perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path), S_OK);
  Bytes image = MakeWave(8000, 1.0);
  DMUS_OBJECTDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
  desc.guidClass = CLSID_DirectMusicSegment;
  desc.pbMemData = image.data();
  desc.llMemLength = static_cast<LONGLONG>(image.size());
  auto* loader = Create<IDirectMusicLoader8>(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8);
  IDirectMusicSegment8* segment = nullptr;
  ASSERT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)), S_OK);
  ASSERT_EQ(segment->Download(path), S_OK);

  EXPECT_EQ(perf->CloseDown(), S_OK);
  EXPECT_EQ(perf->Release(), 0u);
  EXPECT_EQ(path->Release(), 0u);
  // The segment still holds its download to the released path; releasing it last is safe.
  EXPECT_EQ(segment->Release(), 0u);
  EXPECT_EQ(loader->Release(), 0u);
}

TEST(DMusicNoDevice, InitAudioFailsWithoutAnOutputAndNothingElseWorks) {
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  std::string saved = previous ? previous : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  auto* perf = Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
  EXPECT_EQ(perf->InitAudio(nullptr, nullptr, nullptr, 0, 64, DMUS_AUDIOF_ALL, nullptr), DSERR_NODRIVER);
  if (previous)
    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  else
    unsetenv("SDL_AUDIODRIVER");
  IDirectMusicAudioPath8* path = nullptr;
  EXPECT_EQ(perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &path), DMUS_E_NOT_INIT);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(perf->Stop(nullptr, nullptr, 0, 0), S_OK);
  EXPECT_EQ(perf->CloseDown(), S_OK);
  EXPECT_EQ(perf->Release(), 0u);
}

}  // namespace
