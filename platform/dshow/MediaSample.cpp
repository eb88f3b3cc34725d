#include "platform/dshow/MediaSample.h"

namespace dshow {

MediaSample::MediaSample(GstBuffer* buffer, const GstSegment* segment) : buffer_(buffer) {
  mapped_ = buffer && gst_buffer_map(buffer, &map_, GST_MAP_READ);
  if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
  guint64 start = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
  if (start == GST_CLOCK_TIME_NONE) return;
  start_ = static_cast<REFERENCE_TIME>(start / 100);
  end_ = start_;
  if (GST_BUFFER_DURATION_IS_VALID(buffer)) end_ += static_cast<REFERENCE_TIME>(GST_BUFFER_DURATION(buffer) / 100);
}

MediaSample::~MediaSample() {
  if (mapped_) gst_buffer_unmap(buffer_, &map_);
}

HRESULT MediaSample::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IMediaSample) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IMediaSample*>(this);
  return S_OK;
}

HRESULT MediaSample::GetPointer(BYTE** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = mapped_ ? static_cast<BYTE*>(map_.data) : nullptr;
  return mapped_ ? S_OK : E_FAIL;
}

LONG MediaSample::GetSize() {
  return mapped_ ? static_cast<LONG>(map_.size) : 0;
}

LONG MediaSample::GetActualDataLength() {
  return GetSize();
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (start_ < 0) return E_FAIL;
  *pTimeStart = start_;
  *pTimeEnd = end_;
  return S_OK;
}

}  // namespace dshow
