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

  bool Valid() const { return mapped_; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override { return refs_.Drop(); }
  HRESULT GetPointer(BYTE** ppBuffer) override;
  LONG GetSize() override;
  LONG GetActualDataLength() override;
  HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;

 private:
  GstBuffer* buffer_;
  GstMapInfo map_{};
  bool mapped_ = false;
  REFERENCE_TIME start_ = -1;
  REFERENCE_TIME end_ = -1;
  kit::RefCount refs_;
};

}  // namespace dshow
