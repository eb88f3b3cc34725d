// The loader: reads wave and MIDI files (relative to its search directory) or memory images into
// segments, and caches the segments it read from files.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/dmusic/dmusic.h"
#include "platform/kit/RefCounted.h"

class Segment;

class Loader final : public kit::RefCounted<IDirectMusicLoader8> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT GetObject(LPDMUS_OBJECTDESC desc, REFIID iid, void** object) override;
  HRESULT SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) override;
  HRESULT ClearCache(REFGUID classId) override;
  HRESULT ReleaseObjectByUnknown(IUnknown* object) override;
  HRESULT LoadObjectFromFile(REFGUID classId, REFIID iid, WCHAR* filePath, void** object) override;

 private:
  ~Loader() override;

  std::u16string searchDirectory_;                          // Windows form; empty: the current folder
  std::vector<std::pair<std::u16string, Segment*>> cache_;  // full path -> one reference each
};
