// One mapped GStreamer buffer shown to a renderer as an IMediaSample. Internal to platform/dshow.
#pragma once

#include <gst/gst.h>

#include "platform/dshow/dshow.h"
#include "platform/kit/RefCounted.h"

namespace dshow {

// Lives on the streaming thread's stack for one DoRenderSample call; a renderer that keeps a
// reference past the call keeps the object alive but must not touch the buffer.
class MediaSample final : public IMediaSample {
 public:
  // Maps the buffer for reading; Valid() is false when it cannot be mapped.
  MediaSample(GstBuffer* buffer, const GstSegment* segment);
  ~MediaSample();
  MediaSample(const MediaSample&) = delete;
  MediaSample& operator=(const MediaSample&) = delete;

  bool Valid() const { return m_mapped; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return m_refs.Add(); }
  ULONG Release() override { return m_refs.Drop(); }
  HRESULT GetPointer(BYTE** ppBuffer) override;
  LONG GetSize() override;
  LONG GetActualDataLength() override;
  HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;

 private:
  GstBuffer* m_buffer;
  GstMapInfo m_map{};
  bool m_mapped = false;
  REFERENCE_TIME m_start = -1;
  REFERENCE_TIME m_end = -1;
  kit::RefCount m_refs;
};

}  // namespace dshow
