#include <cstring>
#include <new>

#include "platform/dshow/GstSupport.h"
#include "platform/dshow/dshow.h"

CMediaType::CMediaType() : AM_MEDIA_TYPE{} {}

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE{} {
  *this = other;
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  if (this == &other) return *this;
  BYTE* format = pbFormat;
  ULONG length = cbFormat;
  static_cast<AM_MEDIA_TYPE&>(*this) = other;
  pbFormat = format;
  cbFormat = length;
  SetFormat(other.pbFormat, other.cbFormat);
  return *this;
}

CMediaType::~CMediaType() {
  delete[] pbFormat;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length) {
  delete[] pbFormat;
  pbFormat = nullptr;
  cbFormat = 0;
  if (!format || length == 0) return true;
  pbFormat = new (std::nothrow) BYTE[length];
  if (!pbFormat) return false;
  std::memcpy(pbFormat, format, length);
  cbFormat = length;
  return true;
}

CMediaType MakeRgb24VideoType(LONG width, LONG height) {
  return dshow::MakeRgbVideoType(MEDIASUBTYPE_RGB24, 24, width, height);
}

CMediaType dshow::MakeRgbVideoType(const GUID& subtype, WORD bitCount, LONG width, LONG height) {
  CMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  type.bFixedSizeSamples = TRUE;
  VIDEOINFOHEADER info{};
  info.rcSource = {0, 0, width, height};
  info.rcTarget = info.rcSource;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(((bitCount / 8 * width + 3) & ~3) * (height < 0 ? -height : height));
  type.lSampleSize = info.bmiHeader.biSizeImage;
  type.SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof(info));
  return type;
}
