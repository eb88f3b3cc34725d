#include "platform/dshow/MediaSample.h"

namespace dshow {

MediaSample::MediaSample(GstBuffer* buffer, const GstSegment* segment) : m_buffer(buffer) {
  m_mapped = buffer && gst_buffer_map(buffer, &m_map, GST_MAP_READ);
  if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
  guint64 start = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
  if (start == GST_CLOCK_TIME_NONE) return;
  m_start = static_cast<REFERENCE_TIME>(start / 100);
  m_end = m_start;
  if (GST_BUFFER_DURATION_IS_VALID(buffer)) m_end += static_cast<REFERENCE_TIME>(GST_BUFFER_DURATION(buffer) / 100);
}

MediaSample::~MediaSample() {
  if (m_mapped) gst_buffer_unmap(m_buffer, &m_map);
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
  *ppBuffer = m_mapped ? static_cast<BYTE*>(m_map.data) : nullptr;
  return m_mapped ? S_OK : E_FAIL;
}

LONG MediaSample::GetSize() {
  return m_mapped ? static_cast<LONG>(m_map.size) : 0;
}

LONG MediaSample::GetActualDataLength() {
  return GetSize();
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (m_start < 0) return E_FAIL;
  *pTimeStart = m_start;
  *pTimeEnd = m_end;
  return S_OK;
}

}  // namespace dshow
