// A video or sound file decoded by GStreamer under the restricted registry: the file's
// descriptor read by offset (DescriptorSource.h), decodebin, the first picture stream to an appsink, the first sound
// stream converted to 16-bit PCM to another, every other stream drained. Pictures are converted straight into the video
// ring's slots and sound copied into the audio ring's; a full ring holds the streaming thread until the viewer releases
// a slot or seeks. Internal to platform/worker; the Source calls on the main thread, the rest on GStreamer's streaming
// threads.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/worker/ControlChannel.h"
#include "platform/worker/Source.h"

namespace worker {

class MediaDecoder final : public Source {
 public:
  // Makes the pipeline with its source and decodebin. Runs before the sandbox: the pipeline's
  // bus makes a socket pair to wake its waits.
  explicit MediaDecoder(ControlChannel& channel);
  ~MediaDecoder() override;
  MediaDecoder(const MediaDecoder&) = delete;
  MediaDecoder& operator=(const MediaDecoder&) = delete;

  // Builds the pipeline and decodes up to the first picture (or sound). asfStreams are the
  // streams an ASF header lists (kind Asf); programStream says the file is an MPEG program
  // stream, whose length is read from its time stamps and whose seeks start from its first
  // byte. transportPacketSize (188 or 192; 0 for none) says it is an MPEG transport stream,
  // whose length is read from its time stamps too. The answer to Open.
  Opened Open(int fd, Kind kind, const std::vector<StreamKind>& asfStreams, bool programStream, int transportPacketSize,
              std::int64_t fileSize);

  void Start(const worker::Start& start) override;
  void Seek(std::uint32_t generation, std::int64_t target) override;
  bool Release(Stream stream, std::uint32_t slot) override;

 private:
  struct Branch;
  enum class Failure { None, NoType, NoDecoder, Other };

  // Streaming threads.
  static void OnPadAdded(GstElement* decodebin, GstPad* pad, gpointer self);
  static void OnDecoderElementAdded(GstBin* decodebin, GstElement* element, gpointer self);
  static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
  static GstPadProbeReturn OnSinkEvent(GstPad* pad, GstPadProbeInfo* info, gpointer branch);
  // Before the picture filters: a picture whose buffer is too short for its format fails the
  // stream with an Error (the filters would drop it without a word and play on).
  static GstPadProbeReturn OnRawPicture(GstPad* pad, GstPadProbeInfo* info, gpointer branch);
  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer branch);
  void LinkPad(GstPad* pad);
  Branch* MakeBranch(Stream stream);
  GstFlowReturn DeliverPicture(Branch& branch, GstSample* sample);
  GstFlowReturn DeliverSound(Branch& branch, GstSample* sample);
  void EndStream(Branch& branch);
  void SendError(std::uint32_t generation, const char* text);
  // The time of a buffer in ns from the first picture, or false when it has none.
  bool Time(GstSample* sample, std::int64_t* time) const;
  bool BeforeTarget(std::int64_t time, std::int64_t duration) const;

  // Main thread.
  Failure WaitForPreroll();
  Failure ReasonOfFailure();
  void Settle(Opened* opened);

  ControlChannel& channel_;
  GstElement* pipeline_ = nullptr;
  GstElement* source_ = nullptr;  // reads the file; the pipeline holds it
  bool programStream_ = false;
  bool transportStream_ = false;

  std::mutex mutex_;  // guards what follows; decodebin adds pads on its own threads
  Failure failure_ = Failure::None;
  bool missingPlugin_ = false;
  bool typeHandled_ = false;  // decodebin found an element for the file's type
  bool started_ = false;
  std::unique_ptr<Branch> video_, audio_;
  std::vector<GstElement*> others_;

  std::atomic<bool> opened_{false};
  std::atomic<bool> failed_{false};  // an error came since the last seek
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<std::int64_t> errorSentFor_{-1};  // the generation an Error went out for
  std::atomic<std::int64_t> base_{0};           // stream time of the first picture (or sound)
  std::atomic<std::int64_t> dropBefore_{-1};    // program streams after a seek: the target, in ns
};

}  // namespace worker
