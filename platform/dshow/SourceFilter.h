// Source filters: the byte-stream source (one pin "Output"), the ASF source (one pin per
// stream, no "Output") and the still-image source (one pin "Output"). Each holds the media
// worker that parses its file (the viewer never reads the file's bytes itself); the kind and
// the pins come from what the worker found. A source holds no GStreamer elements; the graph
// builds them when one of its pins is rendered or connected. Internal to platform/dshow;
// window's thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/WorkerClient.h"
#include "platform/dshow/dshow.h"
#include "platform/kit/RefCounted.h"

namespace dshow {

class SourceFilter;

class SourcePin final : public IPin {
 public:
  SourcePin(SourceFilter* filter, std::u16string name) : filter_(filter), name_(std::move(name)) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;

  SourceFilter* Filter() const { return filter_; }
  const std::u16string& Name() const { return name_; }

 private:
  SourceFilter* filter_;
  std::u16string name_;
};

class SourceFilter final : public kit::RefCounted<IBaseFilter> {
 public:
  enum class Kind { ByteStream, Asf, Still };

  // Opens the file at a native path and hands it to a new media worker, which chooses the kind
  // by content. Errors as IGraphBuilder::AddSourceFilter documents. *out has one reference.
  static HRESULT Create(const std::string& nativePath, SourceFilter** out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;

  Kind GetKind() const { return kind_; }
  const std::string& Path() const { return path_; }
  WorkerClient& Worker() const { return *worker_; }
  // The length in seconds read from the file's own time stamps (an MPEG program stream), for
  // files whose GStreamer duration is an estimate; 0 when there is none.
  double KnownLength() const { return static_cast<double>(worker_->Facts().knownLength) / 1e9; }

 private:
  SourceFilter() = default;
  ~SourceFilter() override = default;

  Kind kind_ = Kind::ByteStream;
  std::string path_;
  std::unique_ptr<WorkerClient> worker_;
  std::vector<std::unique_ptr<SourcePin>> pins_;
};

}  // namespace dshow
