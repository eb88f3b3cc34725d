#include "platform/dshow/SourceFilter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/dshow/ProgramStream.h"
#include "platform/picture/DecoderWire.h"

namespace dshow {
namespace {

constexpr std::size_t kSniffBytes = 64 * 1024;

constexpr std::uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfAudioMedia[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr std::uint8_t kAsfVideoMedia[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

std::uint64_t Le64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// Names one pin per stream listed in the ASF header, in header order.
std::vector<std::u16string> AsfStreamPins(const std::vector<std::uint8_t>& head) {
  std::vector<std::u16string> names;
  if (head.size() < 30) return names;
  const std::uint64_t headerEnd = std::min<std::uint64_t>(Le64(head.data() + 16), head.size());
  std::uint64_t at = 30;
  int index = 0;
  while (at + 24 <= headerEnd) {
    const std::uint64_t size = Le64(head.data() + at + 16);
    if (size < 24 || size > headerEnd - at) break;
    if (std::memcmp(head.data() + at, kAsfStreamProperties, 16) == 0 && size >= 40) {
      const std::uint8_t* type = head.data() + at + 24;
      std::u16string kind = std::memcmp(type, kAsfVideoMedia, 16) == 0   ? u"Raw Video "
                            : std::memcmp(type, kAsfAudioMedia, 16) == 0 ? u"Raw Audio "
                                                                         : u"Raw Stream ";
      std::string number = std::to_string(index++);
      names.push_back(kind + std::u16string(number.begin(), number.end()));
    }
    at += size;
  }
  return names;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadUpTo(int fd, std::vector<std::uint8_t>* out, std::size_t limit) {
  out->resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    ssize_t n = read(fd, out->data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return true;
}

}  // namespace

HRESULT SourceFilter::Create(const std::string& nativePath, SourceFilter** out) {
  *out = nullptr;
  if (nativePath.empty()) return VFW_E_NOT_FOUND;
  struct stat info {};
  if (stat(nativePath.c_str(), &info) != 0) return errno == EACCES ? E_ACCESSDENIED : VFW_E_NOT_FOUND;
  // Folders, FIFOs and devices are not media files; opening a FIFO would block.
  if (!S_ISREG(info.st_mode)) return VFW_E_UNKNOWN_FILE_TYPE;
  Fd fd(open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? VFW_E_NOT_FOUND : E_ACCESSDENIED;
  std::vector<std::uint8_t> head;
  if (!ReadUpTo(fd.get(), &head, kSniffBytes)) return E_ACCESSDENIED;

  auto* filter = new (std::nothrow) SourceFilter();
  if (!filter) return E_OUTOFMEMORY;
  filter->path_ = nativePath;
  if (head.size() >= 16 && std::memcmp(head.data(), kAsfHeader, 16) == 0) {
    filter->kind_ = Kind::Asf;
    for (std::u16string& name : AsfStreamPins(head))
      filter->pins_.push_back(std::make_unique<SourcePin>(filter, std::move(name)));
  } else if (LooksLikePicture(head.data(), head.size())) {
    filter->kind_ = Kind::Still;
    // The decoder process reads the file itself, from the descriptor it is given.
    HRESULT hr = static_cast<std::uint64_t>(info.st_size) > picture::kDecoderMaxInput
                     ? VFW_E_INVALID_FILE_FORMAT
                     : DecodeStillImage(fd.get(), head.data(), head.size(), &filter->still_);
    if (FAILED(hr)) {
      filter->Release();
      return hr;
    }
    filter->pins_.push_back(std::make_unique<SourcePin>(filter, u"Output"));
  } else {
    filter->kind_ = Kind::ByteStream;
    double length = 0.0;
    if (LooksLikeProgramStream(head.data(), head.size()) && ProgramStreamLength(fd.get(), info.st_size, &length))
      filter->knownLength_ = length;
    filter->pins_.push_back(std::make_unique<SourcePin>(filter, u"Output"));
  }
  *out = filter;
  return S_OK;
}

HRESULT SourceFilter::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IBaseFilter) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IBaseFilter*>(this);
  return S_OK;
}

HRESULT SourceFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  *ppPin = nullptr;
  for (auto& pin : pins_) {
    if (pin->Name() == Id) {
      pin->AddRef();
      *ppPin = pin.get();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT SourcePin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IPin) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IPin*>(this);
  return S_OK;
}

ULONG SourcePin::AddRef() {
  return filter_->AddRef();
}
ULONG SourcePin::Release() {
  return filter_->Release();
}

HRESULT SourcePin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT SourcePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  return pmt ? VFW_E_NOT_CONNECTED : E_POINTER;
}

}  // namespace dshow
