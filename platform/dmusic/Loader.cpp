#include "platform/dmusic/Loader.h"

#include <cstdio>
#include <memory>

#include "platform/dmusic/Segment.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/HandOut.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/win32.h"

namespace {

// Larger files are refused before reading: sound effects and MIDI files are far smaller, and a
// segment keeps its bytes in memory.
constexpr long kMaxFileBytes = 256L << 20;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

HRESULT ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<FILE, FileCloser> file(_wfopen(path.c_str(), u"rb"));
  if (!file) return DMUS_E_LOADER_FAILEDOPEN;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return DMUS_E_LOADER_FAILEDOPEN;
  long size = std::ftell(file.get());
  if (size < 0 || size > kMaxFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0) return DMUS_E_LOADER_FAILEDOPEN;
  bytes.resize(static_cast<std::size_t>(size));
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    return DMUS_E_LOADER_FAILEDOPEN;
  return S_OK;
}

bool IsSegmentClass(REFGUID classId) {
  return classId == CLSID_DirectMusicSegment;
}
bool CoversSegments(REFGUID classId) {
  return classId == CLSID_DirectMusicSegment || classId == GUID_DirectMusicAllTypes;
}

}  // namespace

Loader::~Loader() {
  ClearCache(GUID_DirectMusicAllTypes);
}

HRESULT Loader::QueryInterface(REFIID iid, void** out) {
  return kit::HandOut(static_cast<IDirectMusicLoader8*>(this), iid, out, {&IID_IDirectMusicLoader8});
}

HRESULT Loader::GetObject(LPDMUS_OBJECTDESC desc, REFIID iid, void** object) {
  return kit::Guarded([&]() -> HRESULT {
    if (!desc || !object) return E_POINTER;
    *object = nullptr;
    if (desc->dwSize != sizeof(DMUS_OBJECTDESC)) return E_INVALIDARG;
    if (!(desc->dwValidData & DMUS_OBJ_CLASS)) return DMUS_E_LOADER_NOCLASSID;
    if (!IsSegmentClass(desc->guidClass)) {
      kit::LogOnce("dmusic", "GetObject", "classes other than segments are not supported");
      return DMUS_E_LOADER_NOCLASSID;
    }
    if (!(desc->dwValidData & DMUS_OBJ_MEMORY) || !desc->pbMemData || desc->llMemLength <= 0 ||
        desc->llMemLength > kMaxFileBytes)
      return E_INVALIDARG;
    std::vector<std::uint8_t> bytes(desc->pbMemData, desc->pbMemData + desc->llMemLength);
    Segment* segment = nullptr;
    HRESULT hr = Segment::Create(std::move(bytes), &segment);
    if (hr == DMUS_E_UNSUPPORTED_STREAM)
      kit::LogOnce("dmusic", "GetObject", "data other than MIDI and RIFF WAVE is not supported");
    if (FAILED(hr)) return hr;
    hr = segment->QueryInterface(iid, object);
    segment->Release();
    return hr;
  });
}

HRESULT Loader::SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) {
  if (!path) return E_POINTER;
  if (!CoversSegments(classId)) {
    kit::LogOnce("dmusic", "SetSearchDirectory", "classes other than segments are not supported");
    return E_INVALIDARG;
  }
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DMUS_E_LOADER_BADPATH;
  searchDirectory_ = path;
  if (clear) ClearCache(classId);
  return S_OK;
}

HRESULT Loader::ClearCache(REFGUID classId) {
  if (!CoversSegments(classId)) {
    kit::LogOnce("dmusic", "ClearCache", "classes other than segments are not supported");
    return E_INVALIDARG;
  }
  for (auto& entry : cache_) entry.second->Release();
  cache_.clear();
  return S_OK;
}

HRESULT Loader::ReleaseObjectByUnknown(IUnknown* object) {
  if (!object) return E_POINTER;
  auto* segment = dynamic_cast<Segment*>(object);
  for (auto it = cache_.begin(); it != cache_.end(); ++it) {
    if (it->second == segment) {
      it->second->Release();
      cache_.erase(it);
      return S_OK;
    }
  }
  return S_FALSE;
}

HRESULT Loader::LoadObjectFromFile(REFGUID classId, REFIID iid, WCHAR* filePath, void** object) {
  return kit::Guarded([&]() -> HRESULT {
    if (!filePath || !object) return E_POINTER;
    *object = nullptr;
    if (!IsSegmentClass(classId)) {
      kit::LogOnce("dmusic", "LoadObjectFromFile", "classes other than segments are not supported");
      return DMUS_E_LOADER_NOCLASSID;
    }
    std::u16string path = filePath;
    if (path.empty()) return DMUS_E_LOADER_FAILEDOPEN;
    if (path[0] != u'\\' && !searchDirectory_.empty()) {
      std::u16string joined = searchDirectory_;
      if (joined.back() != u'\\') joined += u'\\';
      path = joined + path;
    }
    for (auto& entry : cache_)
      if (entry.first == path) return entry.second->QueryInterface(iid, object);

    std::vector<std::uint8_t> bytes;
    HRESULT hr = ReadWholeFile(path, bytes);
    if (FAILED(hr)) return hr;
    Segment* segment = nullptr;
    hr = Segment::Create(std::move(bytes), &segment);
    if (hr == DMUS_E_UNSUPPORTED_STREAM)
      kit::LogOnce("dmusic", "LoadObjectFromFile", "data other than MIDI and RIFF WAVE is not supported");
    if (FAILED(hr)) return hr;
    hr = segment->QueryInterface(iid, object);
    if (FAILED(hr)) {
      segment->Release();
      return hr;
    }
    cache_.emplace_back(std::move(path), segment);  // the creation reference becomes the cache's
    return S_OK;
  });
}

HRESULT DirectMusicCreateLoader(REFIID iid, void** object) {
  return kit::Guarded([&]() -> HRESULT {
    auto* loader = new Loader();
    HRESULT hr = loader->QueryInterface(iid, object);
    loader->Release();
    return hr;
  });
}
