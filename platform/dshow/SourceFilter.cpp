#include "platform/dshow/SourceFilter.h"

#include "platform/dshow/GstSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace dshow {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Opens a media file for reading into *fd: a regular file, as opened (not as first looked at).
HRESULT OpenMediaFile(const std::string& nativePath, int* fd) {
  *fd = -1;
  if (nativePath.empty()) return VFW_E_NOT_FOUND;
  struct stat info {};
  if (stat(nativePath.c_str(), &info) != 0) return errno == EACCES ? E_ACCESSDENIED : VFW_E_NOT_FOUND;
  // Folders, FIFOs and devices are not media files; opening a FIFO would block.
  if (!S_ISREG(info.st_mode)) return VFW_E_UNKNOWN_FILE_TYPE;
  Fd file(open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return errno == ENOENT ? VFW_E_NOT_FOUND : E_ACCESSDENIED;
  // The file may have been swapped between the two looks: what was opened is what counts.
  struct stat opened {};
  if (fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return VFW_E_UNKNOWN_FILE_TYPE;
  *fd = file.release();
  return S_OK;
}

}  // namespace

HRESULT SourceFilter::Create(const std::string& nativePath, SourceFilter** out) {
  *out = nullptr;
  int opened = -1;
  if (HRESULT hr = OpenMediaFile(nativePath, &opened); FAILED(hr)) {
    // A file read ahead is not needed now whatever it was.
    WorkerClient::DropReadAhead();
    return hr;
  }
  Fd fd(opened);

  std::unique_ptr<WorkerClient> worker;
  HRESULT hr = WorkerClient::Open(fd.get(), &worker);
  if (FAILED(hr)) return hr;
  const worker::Opened& facts = worker->Facts();
  switch (facts.kind) {
    case worker::Kind::Refused:
      // A known kind of file that no allowed decoder takes: never decoded.
      return VFW_E_UNSUPPORTED_STREAM;
    case worker::Kind::Still:
      if (!worker->Prerolled()) return VFW_E_INVALID_FILE_FORMAT;
      break;
    default:
      break;
  }

  auto* filter = new (std::nothrow) SourceFilter();
  if (!filter) return E_OUTOFMEMORY;
  filter->path_ = nativePath;
  filter->worker_ = std::move(worker);
  if (facts.kind == worker::Kind::Asf) {
    filter->kind_ = Kind::Asf;
    int index = 0;
    for (std::uint32_t i = 0; i < facts.streamCount; ++i) {
      const std::u16string kind = facts.streams[i] == worker::StreamKind::Video   ? u"Raw Video "
                                  : facts.streams[i] == worker::StreamKind::Audio ? u"Raw Audio "
                                                                                  : u"Raw Stream ";
      const std::string number = std::to_string(index++);
      filter->pins_.push_back(std::make_unique<SourcePin>(filter, kind + std::u16string(number.begin(), number.end())));
    }
  } else {
    filter->kind_ = facts.kind == worker::Kind::Still ? Kind::Still : Kind::ByteStream;
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

void PrepareMediaWorker() {
  dshow::WorkerClient::PrepareSpare();
}

void ReadAheadMediaFile(LPCWSTR lpcwstrFileName, bool keepSpareReady) {
  if (!lpcwstrFileName) return;
  int fd = -1;
  if (FAILED(dshow::OpenMediaFile(dshow::NativeFilePath(lpcwstrFileName), &fd))) return;
  dshow::WorkerClient::ReadAhead(fd, keepSpareReady);
  close(fd);
}

void DropMediaReadAhead() {
  dshow::WorkerClient::DropReadAhead();
}
