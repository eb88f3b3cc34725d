// The filter graph manager: one GStreamer pipeline behind IGraphBuilder, IMediaControl,
// IMediaPosition, IBasicAudio and IMediaFilter. Internal to platform/dshow; the contract is in
// dshow.h. Window's thread only, except the bus handler and the decoder's pad callbacks, which
// run on GStreamer's threads and touch only the mutex-guarded state.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/kit/RefCounted.h"

namespace dshow {

class SourceFilter;
class WorkerClient;

class FilterGraph final
    : public kit::RefCounted<IGraphBuilder, IMediaControl, IMediaPosition, IBasicAudio, IMediaFilter> {
 public:
  // Null when GStreamer cannot start.
  static FilterGraph* Create();

  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
  HRESULT Connect(IPin* ppinOut, IPin* ppinIn) override;
  HRESULT Render(IPin* ppinOut) override;
  HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
  HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) override;

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override;

  HRESULT get_Duration(REFTIME* plength) override;
  HRESULT put_CurrentPosition(REFTIME llTime) override;
  HRESULT get_CurrentPosition(REFTIME* pllTime) override;
  HRESULT get_StopTime(REFTIME* pllTime) override;

  HRESULT put_Volume(LONG lVolume) override;
  HRESULT get_Volume(LONG* plVolume) override;

  HRESULT SetSyncSource(IReferenceClock* pClock) override;

  struct Chain;

 private:
  FilterGraph() = default;
  ~FilterGraph() override;

  HRESULT BuildChain(SourceFilter* source, CBaseRenderer* renderer, bool withAudio, bool videoRequired);
  void TearDown(Chain* chain);
  // Thread-order marks for ThreadSanitizer around the pipeline's state changes (GstSupport.h).
  void HandOffToStreaming();
  // Sets the pipeline to NULL, which joins the streaming threads.
  void StopStreaming();
  CBaseRenderer* FreeRenderer();
  static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
  // Stop time in seconds; fixes it to the position reached once the stream has ended.
  double StopTime();
  bool Ended();
  // True once after an error has ended the stream while playing.
  bool EndedByError();
  bool QueryPosition(gint64* position);
  HRESULT SetState(GstState state);
  // Waits for the pipeline to reach PAUSED; gives up as soon as GStreamer reports an error.
  GstStateChangeReturn WaitForPreroll();

  GstElement* pipeline_ = nullptr;
  std::vector<IBaseFilter*> filters_;  // one reference each
  std::vector<std::unique_ptr<Chain>> chains_;
  OAFilterState state_ = State_Stopped;
  bool hasBase_ = false;
  bool still_ = false;      // the graph shows a picture file, whose stream ends after its one picture
  double base_ = 0.0;       // stream time of the first video sample
  double highWater_ = 0.0;  // the furthest position seen, for streams of unknown length
  bool stopFixed_ = false;
  double stop_ = 0.0;
  std::atomic<LONG> volume_{0};
  std::atomic<bool> clockOff_{false};
  std::mutex busMutex_;                 // guards what follows; written by the bus handler
  std::vector<WorkerClient*> workers_;  // of the chains built, asked about errors at the end
  bool ended_ = false;
  bool failed_ = false;         // an error was posted since the last BuildChain began
  bool prerolled_ = false;      // the last BuildChain succeeded: errors now end the stream
  bool errorEnded_ = false;     // an error ended the stream; StopTime has not yet seen it
  bool errorReported_ = false;  // the error was printed; again only after a seek
};

}  // namespace dshow
