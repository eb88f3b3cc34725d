#include "platform/worker/MediaDecoder.h"

#include <gst/video/video.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>

#include "platform/worker/DescriptorSource.h"
#include "platform/worker/FrameConverter.h"
#include "platform/worker/ProgramStream.h"
#include "platform/worker/SharedRing.h"
#include "platform/worker/TransportStream.h"

namespace worker {
namespace {

// How long Open waits for the first picture; the viewer gives up at kOpenMilliseconds.
constexpr GstClockTime kPrerollTimeout = 8 * GST_SECOND;
constexpr GstClockTime kPollInterval = 10 * GST_MSECOND;
constexpr int kIdlePollsToFail = 3;
// How long a failed open waits for the error that says why.
constexpr GstClockTime kReasonTimeout = 300 * GST_MSECOND;

gboolean PadTaskRunning(const GValue* item, GValue* running, gpointer) {
  if (gst_pad_get_task_state(GST_PAD(g_value_get_object(item))) == GST_TASK_STARTED) g_value_set_boolean(running, TRUE);
  return TRUE;
}

// True while a streaming thread of the bin (a pad's task) is started, or when the bin changed
// while it was being looked at.
bool AnyTaskRunning(GstElement* bin) {
  GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(bin));
  GValue item = G_VALUE_INIT;
  bool running = false, done = false;
  while (!done && !running) {
    switch (gst_iterator_next(elements, &item)) {
      case GST_ITERATOR_OK: {
        GstIterator* pads = gst_element_iterate_pads(GST_ELEMENT(g_value_get_object(&item)));
        GValue result = G_VALUE_INIT;
        g_value_init(&result, G_TYPE_BOOLEAN);
        g_value_set_boolean(&result, FALSE);
        const GstIteratorResult r = gst_iterator_fold(pads, &PadTaskRunning, &result, nullptr);
        running = r == GST_ITERATOR_RESYNC || g_value_get_boolean(&result);
        g_value_unset(&result);
        gst_iterator_free(pads);
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        running = true;
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(elements);
  return running;
}

GstElement* Make(const char* factory) {
  return gst_element_factory_make(factory, nullptr);
}

// A pixel aspect ratio the wire accepts (each term 1..1000), as close as it gets.
void LimitAspect(int* n, int* d) {
  if (*n <= 0 || *d <= 0) *n = *d = 1;
  const int g = std::gcd(*n, *d);
  *n /= g;
  *d /= g;
  if (*n <= 1000 && *d <= 1000) return;
  const double ratio = std::clamp(static_cast<double>(*n) / *d, 0.001, 1000.0);
  if (ratio >= 1.0) {
    *n = 1000;
    *d = std::max(1, static_cast<int>(1000.0 / ratio + 0.5));
  } else {
    *d = 1000;
    *n = std::max(1, static_cast<int>(1000.0 * ratio + 0.5));
  }
}

// The picture's size in the settled layout: as it is, or scaled down to fit kMaxSide.
void FitSize(int* width, int* height) {
  const std::int64_t w = *width, h = *height, fit = kMaxSide;
  if (w <= fit && h <= fit) return;
  if (w >= h) {
    *width = static_cast<int>(fit);
    *height = static_cast<int>(std::max<std::int64_t>(1, (h * fit + w / 2) / w));
  } else {
    *height = static_cast<int>(fit);
    *width = static_cast<int>(std::max<std::int64_t>(1, (w * fit + h / 2) / h));
  }
}

struct SampleRef {
  GstSample* sample;
  ~SampleRef() {
    if (sample) gst_sample_unref(sample);
  }
};

}  // namespace

struct MediaDecoder::Branch {
  // Set last when the branch is made, on the thread that adds decodebin's pads; the streaming
  // threads read it first, which orders what was set before it (stream, ring, converter)
  // before their use.
  std::atomic<MediaDecoder*> owner{nullptr};
  Stream stream = Stream::Video;
  GstElement* sink = nullptr;    // the appsink; the pipeline holds it
  GstElement* filter = nullptr;  // audio: the caps filter before it

  // Settled by Open and Start before `wanted` is set; read by the streaming thread after it
  // sees `wanted`.
  int width = 0, height = 0, parN = 1, parD = 1;  // video, as Opened says
  int rate = 0, channels = 0;                     // audio
  SharedRing ring;
  FrameConverter converter;
  std::atomic<bool> wanted{false};

  // The generation the data now reaching the sink belongs to: set at each flush (a seek).
  std::atomic<std::uint32_t> carried{0};
  // The end came before Start (a stream without data); under owner->mutex_.
  bool endedEarly = false;
  // Streaming thread only: where a buffer without a time stamp is placed.
  std::int64_t nextTime = 0;
  // Streaming thread only (video): the format of the pictures reaching the filters.
  GstVideoInfo rawInfo{};
  bool hasRawInfo = false;
};

MediaDecoder::MediaDecoder(ControlChannel& channel) : channel_(channel) {
  pipeline_ = gst_pipeline_new(nullptr);
  gst_object_ref_sink(pipeline_);
  // No clock: every sink takes each buffer as it comes, and the rings pace the stream.
  gst_pipeline_use_clock(GST_PIPELINE(pipeline_), nullptr);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &MediaDecoder::OnBusMessage, this, nullptr);
  gst_object_unref(bus);
  GstElement* source = Make("orbelledescriptorsrc");
  GstElement* decoder = Make("decodebin");
  if (!source || !decoder) {
    for (GstElement* e : {source, decoder})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return;
  }
  g_signal_connect(decoder, "pad-added", G_CALLBACK(&MediaDecoder::OnPadAdded), this);
  g_signal_connect(decoder, "element-added", G_CALLBACK(&MediaDecoder::OnDecoderElementAdded), this);
  gst_bin_add_many(GST_BIN(pipeline_), source, decoder, nullptr);
  gst_element_link(source, decoder);
  source_ = source;
}

MediaDecoder::~MediaDecoder() {
  if (pipeline_) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
  }
}

MediaDecoder::Branch* MediaDecoder::MakeBranch(Stream stream) {
  auto branch = std::make_unique<Branch>();
  branch->stream = stream;
  branch->owner.store(this, std::memory_order_release);
  Branch* raw = branch.get();
  (stream == Stream::Video ? video_ : audio_) = std::move(branch);
  return raw;
}

void MediaDecoder::OnDecoderElementAdded(GstBin*, GstElement* element, gpointer data) {
  // decodebin adds an element for the type its typefind found (a demuxer, a parser, a decoder)
  // when there is one.
  GstElementFactory* factory = gst_element_get_factory(element);
  if (factory && std::strcmp(GST_OBJECT_NAME(factory), "typefind") == 0) return;
  auto* self = static_cast<MediaDecoder*>(data);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->typeHandled_ = true;
}

void MediaDecoder::OnPadAdded(GstElement*, GstPad* pad, gpointer self) {
  static_cast<MediaDecoder*>(self)->LinkPad(pad);
}

void MediaDecoder::LinkPad(GstPad* pad) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  const char* name = caps && !gst_caps_is_empty(caps) ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
  const bool isVideo = g_str_has_prefix(name, "video/");
  const bool isAudio = g_str_has_prefix(name, "audio/");
  if (caps) gst_caps_unref(caps);

  Branch* branch = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (isVideo && !video_)
      branch = MakeBranch(Stream::Video);
    else if (isAudio && !audio_)
      branch = MakeBranch(Stream::Audio);
  }
  std::vector<GstElement*> chain;
  if (branch && branch->stream == Stream::Video) {
    // Any raw picture: the converter reads every layout the video library knows. A stream that
    // says it is to be shown turned or mirrored (a phone's video, stored as the camera saw it)
    // is turned upright by the flip, which follows the stream's orientation tag and passes the
    // pictures through untouched when there is none. The flip reads the common layouts only; the
    // converter before it passes those through and turns the rare others (4:2:2 planar, for one)
    // into one it reads.
    GstElement* queue = Make("queue");
    GstElement* convert = Make("videoconvert");
    GstElement* flip = Make("videoflip");
    GstElement* sink = Make("appsink");
    if (queue) g_object_set(queue, "max-size-buffers", 3u, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
    if (flip) gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "auto");
    if (sink) {
      GstCaps* any = gst_caps_from_string(GST_VIDEO_CAPS_MAKE(GST_VIDEO_FORMATS_ALL));
      g_object_set(sink, "caps", any, nullptr);
      gst_caps_unref(any);
    }
    chain = {queue, convert, flip, sink};
  } else if (branch) {
    GstElement* filter = Make("capsfilter");
    if (filter) {
      GstCaps* pcm =
          gst_caps_from_string("audio/x-raw, format=S16LE, layout=interleaved, rate=[8000,192000], channels=[1,8]");
      g_object_set(filter, "caps", pcm, nullptr);
      gst_caps_unref(pcm);
    }
    branch->filter = filter;
    chain = {Make("queue"), Make("audioconvert"), Make("audioresample"), filter, Make("appsink")};
  } else {
    GstElement* sink = Make("fakesink");
    if (sink) g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    chain = {sink};
  }
  if (std::find(chain.begin(), chain.end(), nullptr) != chain.end()) {
    for (GstElement* e : chain)
      if (e) gst_object_unref(gst_object_ref_sink(e));
    return;
  }
  if (branch) {
    GstElement* sink = chain.back();
    // No clock: the rings pace the stream.
    g_object_set(sink, "sync", FALSE, "qos", FALSE, "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &MediaDecoder::OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, branch, nullptr);
    if (branch->stream == Stream::Video) {
      GstPad* rawPad = gst_element_get_static_pad(chain[1], "sink");
      gst_pad_add_probe(rawPad,
                        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                        &MediaDecoder::OnRawPicture, branch, nullptr);
      gst_object_unref(rawPad);
    }
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        sinkPad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
        &MediaDecoder::OnSinkEvent, branch, nullptr);
    gst_object_unref(sinkPad);
    std::lock_guard<std::mutex> lock(mutex_);
    branch->sink = sink;
  }
  for (GstElement* e : chain) gst_bin_add(GST_BIN(pipeline_), e);
  for (std::size_t i = 1; i < chain.size(); ++i) gst_element_link(chain[i - 1], chain[i]);
  GstPad* first = gst_element_get_static_pad(chain.front(), "sink");
  gst_pad_link(pad, first);
  gst_object_unref(first);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) gst_element_sync_state_with_parent(*it);
  if (!branch) {
    std::lock_guard<std::mutex> lock(mutex_);
    others_.push_back(chain.front());
  }
}

GstBusSyncReply MediaDecoder::OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<MediaDecoder*>(data);
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT && gst_message_has_name(message, "missing-plugin")) {
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->missingPlugin_ = true;
  } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    if (self->opened_.load()) {
      self->failed_ = true;
      std::string text = std::string(GST_MESSAGE_SRC(message) ? GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) : "?") +
                         ": " + (error ? error->message : "unknown error");
      self->SendError(self->generation_.load(), text.c_str());
    } else {
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (self->failure_ == Failure::None) {
        if (error && error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND)
          self->failure_ = Failure::NoType;
        else if (error && ((error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND) ||
                           (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN)))
          self->failure_ = Failure::NoDecoder;
        else
          self->failure_ = Failure::Other;
      }
    }
    if (error) g_error_free(error);
  }
  gst_message_unref(message);
  return GST_BUS_DROP;
}

void MediaDecoder::SendError(std::uint32_t generation, const char* text) {
  // One Error a generation: the first says why, the rest follow from it.
  if (errorSentFor_.exchange(generation) == static_cast<std::int64_t>(generation)) return;
  Error error = MakeMessage<Error>(Type::Error);
  error.generation = generation;
  std::snprintf(error.text, sizeof(error.text), "%s", text);
  channel_.Send(error);
}

Opened MediaDecoder::Open(int fd, Kind kind, const std::vector<StreamKind>& asfStreams, bool programStream,
                          int transportPacketSize, std::int64_t fileSize) {
  Opened opened = MakeMessage<Opened>(Type::Opened);
  opened.kind = kind;
  opened.duration = -1;
  opened.streamCount = static_cast<std::uint32_t>(std::min<std::size_t>(asfStreams.size(), kMaxStreams));
  for (std::uint32_t i = 0; i < opened.streamCount; ++i) opened.streams[i] = asfStreams[i];
  programStream_ = programStream;
  transportStream_ = transportPacketSize > 0;
  if (programStream) {
    double seconds = 0.0;
    if (ProgramStreamLength(fd, fileSize, &seconds))
      opened.knownLength = static_cast<std::int64_t>(seconds * 1e9 + 0.5);
  } else if (transportPacketSize > 0) {
    double seconds = 0.0;
    if (TransportStreamLength(fd, fileSize, transportPacketSize, &seconds))
      opened.knownLength = static_cast<std::int64_t>(seconds * 1e9 + 0.5);
  }

  if (!source_) return opened;
  SetSourceDescriptor(source_, fd);

  const Failure failure = WaitForPreroll();
  bool missingPlugin, typeHandled;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    missingPlugin = missingPlugin_;
    typeHandled = typeHandled_;
  }
  if (failure == Failure::NoType) {
    opened.kind = Kind::Unknown;
  } else if (!typeHandled && (failure == Failure::NoDecoder || (failure != Failure::None && missingPlugin))) {
    // The type found has no allowed element at all (an svg, tracker music, a tagged png). A
    // container whose streams cannot be decoded is not refused: it is a file that fails to open.
    opened.kind = Kind::Refused;
  } else if (failure == Failure::None) {
    Settle(&opened);
  }
  // Errors after a failed open are not the viewer's concern: it has been told.
  opened_ = (opened.flags & kPrerolled) != 0;
  return opened;
}

MediaDecoder::Failure MediaDecoder::WaitForPreroll() {
  GstStateChangeReturn ret = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
  int idlePolls = 0;
  for (GstClockTime waited = 0; waited < kPrerollTimeout; waited += kPollInterval) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (failure_ != Failure::None) return failure_;
    }
    if (ret == GST_STATE_CHANGE_FAILURE) return ReasonOfFailure();
    if (ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL) return Failure::None;
    // decodebin drops the errors of an element it is still bringing up (a demuxer that finds
    // no streams in a truncated file): no message comes, and no streaming thread is left that
    // could finish the preroll. Seen on a few polls in a row, that is a failure.
    idlePolls = AnyTaskRunning(pipeline_) ? 0 : idlePolls + 1;
    if (idlePolls >= kIdlePollsToFail) return ReasonOfFailure();
    ret = gst_element_get_state(pipeline_, nullptr, nullptr, kPollInterval);
  }
  return Failure::Other;
}

MediaDecoder::Failure MediaDecoder::ReasonOfFailure() {
  // decodebin forwards its elements' errors on its own time: the state change can fail before
  // the error that says why reaches the bus.
  for (GstClockTime waited = 0; waited < kReasonTimeout; waited += kPollInterval) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (failure_ != Failure::None) return failure_;
    }
    g_usleep(kPollInterval / GST_USECOND);
  }
  return Failure::Other;
}

void MediaDecoder::Settle(Opened* opened) {
  Branch *video, *audio;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    video = video_ && video_->sink ? video_.get() : nullptr;
    audio = audio_ && audio_->sink ? audio_.get() : nullptr;
  }
  std::int64_t base = -1;
  auto startOf = [](GstSample* sample) -> std::int64_t {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    guint64 time = 0;
    if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer) ||
        gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer), &time) != 1)
      return -1;
    return static_cast<std::int64_t>(time);
  };
  if (video) {
    SampleRef preroll{gst_app_sink_try_pull_preroll(GST_APP_SINK(video->sink), 0)};
    GstVideoInfo info;
    GstCaps* caps = preroll.sample ? gst_sample_get_caps(preroll.sample) : nullptr;
    if (caps && gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_WIDTH(&info) > 0 &&
        GST_VIDEO_INFO_HEIGHT(&info) > 0) {
      video->width = GST_VIDEO_INFO_WIDTH(&info);
      video->height = GST_VIDEO_INFO_HEIGHT(&info);
      FitSize(&video->width, &video->height);
      video->parN = GST_VIDEO_INFO_PAR_N(&info);
      video->parD = GST_VIDEO_INFO_PAR_D(&info);
      LimitAspect(&video->parN, &video->parD);
      opened->flags |= kHasVideo;
      opened->width = static_cast<std::uint32_t>(video->width);
      opened->height = static_cast<std::uint32_t>(video->height);
      opened->parN = static_cast<std::uint32_t>(video->parN);
      opened->parD = static_cast<std::uint32_t>(video->parD);
      base = startOf(preroll.sample);
    } else {
      video = nullptr;
    }
  }
  if (audio) {
    SampleRef preroll{gst_app_sink_try_pull_preroll(GST_APP_SINK(audio->sink), 0)};
    GstCaps* caps = preroll.sample ? gst_sample_get_caps(preroll.sample) : nullptr;
    const GstStructure* s = caps && !gst_caps_is_empty(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
    int rate = 0, channels = 0;
    if (s && gst_structure_get_int(s, "rate", &rate) && gst_structure_get_int(s, "channels", &channels) &&
        rate >= static_cast<int>(kMinRate) && rate <= static_cast<int>(kMaxRate) && channels >= 1 &&
        channels <= static_cast<int>(kMaxChannels)) {
      audio->rate = rate;
      audio->channels = channels;
      // The sound keeps this format to the end, whatever the decoder changes to later.
      GstCaps* fixed =
          gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
                              "rate", G_TYPE_INT, rate, "channels", G_TYPE_INT, channels, nullptr);
      g_object_set(audio->filter, "caps", fixed, nullptr);
      gst_caps_unref(fixed);
      opened->flags |= kHasAudio;
      opened->rate = static_cast<std::uint32_t>(rate);
      opened->channels = static_cast<std::uint32_t>(channels);
      if (!video) base = startOf(preroll.sample);
    }
  }
  if (!(opened->flags & (kHasVideo | kHasAudio))) return;
  opened->flags |= kPrerolled;
  if (base < 0) base = 0;
  base_ = base;

  gint64 duration = -1;
  if (gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &duration) && duration > 0)
    opened->duration = std::max<std::int64_t>(0, duration - base);
  // A program stream's demuxer estimates its duration from the pack clock (half of it or less,
  // read by offset): the length read from its time stamps is the one to go by.
  // So is a transport stream's: its demuxer gives none for a short file, and for a longer one the
  // span of its clock, not the end of its last picture.
  if (opened->knownLength > 0) opened->duration = opened->knownLength;
  GstQuery* seeking = gst_query_new_seeking(GST_FORMAT_TIME);
  gboolean seekable = FALSE;
  if (gst_element_query(pipeline_, seeking)) gst_query_parse_seeking(seeking, nullptr, &seekable, nullptr, nullptr);
  gst_query_unref(seeking);
  // The transport stream demuxer seeks a file it reads itself by its clock, but says it cannot
  // where it found no duration of its own (a short file).
  if (seekable || (transportStream_ && opened->knownLength > 0)) opened->flags |= kSeekable;
}

void MediaDecoder::Start(const worker::Start& start) {
  const GstVideoFormat format = start.layout == Layout::Bgrx ? GST_VIDEO_FORMAT_BGRx : GST_VIDEO_FORMAT_BGR;
  std::vector<Branch*> ends;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = true;
    for (Branch* branch : {video_.get(), audio_.get()}) {
      if (!branch) continue;
      const bool isVideo = branch->stream == Stream::Video;
      const bool has = isVideo ? branch->width > 0 : branch->rate > 0;
      if (!has || !(isVideo ? start.wantVideo : start.wantAudio)) continue;
      std::string error;
      const std::uint32_t slots = isVideo ? kVideoSlots : kSoundSlots;
      const std::uint64_t slotSize = isVideo ? PictureBytes(start.layout, static_cast<std::uint32_t>(branch->width),
                                                            static_cast<std::uint32_t>(branch->height))
                                             : kSoundSlotBytes;
      if (!branch->ring.Create(slots, slotSize, &error)) ControlChannel::Quit(error.c_str());
      if (isVideo) branch->converter.SetOutput(format, branch->width, branch->height, branch->parN, branch->parD);
      Ring ring = MakeMessage<Ring>(Type::Ring);
      ring.stream = branch->stream;
      ring.slotCount = slots;
      ring.slotSize = slotSize;
      channel_.Send(ring, branch->ring.Fd());
      branch->ring.CloseFd();
      branch->wanted.store(true, std::memory_order_release);
      if (branch->endedEarly) ends.push_back(branch);
    }
  }
  for (Branch* branch : ends) EndStream(*branch);
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

void MediaDecoder::Seek(std::uint32_t generation, std::int64_t target) {
  generation_ = generation;
  // Threads waiting for a slot with a picture of the last generation drop it; the flush that
  // follows then reaches the sinks.
  Branch *video, *audio;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    video = video_.get();
    audio = audio_.get();
  }
  for (Branch* branch : {video, audio})
    if (branch && branch->wanted.load(std::memory_order_acquire)) branch->ring.Wake();
  const std::int64_t base = base_.load();
  bool sought;
  if (programStream_) {
    // The demuxer places a time seek by its pack clock, which is not the pictures' time: start
    // from the first byte and drop what ends before the target.
    dropBefore_ = target;
    sought = gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
  } else {
    dropBefore_ = -1;
    sought =
        gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), target + base);
  }
  if (!sought) SendError(generation, "the file cannot seek");
  // After an error the pipeline's last state change counts as failed, and once the seek's flush
  // has made the sinks preroll again it would not take them back to playing: it is told again.
  if (sought && failed_.exchange(false)) {
    bool started;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      started = started_;
    }
    gst_element_set_state(pipeline_, started ? GST_STATE_PLAYING : GST_STATE_PAUSED);
  }
}

bool MediaDecoder::Release(Stream stream, std::uint32_t slot) {
  Branch* branch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    branch = stream == Stream::Video ? video_.get() : audio_.get();
  }
  return branch && branch->wanted.load(std::memory_order_acquire) && branch->ring.Release(slot);
}

GstPadProbeReturn MediaDecoder::OnSinkEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* branch = static_cast<Branch*>(data);
  MediaDecoder* self = branch->owner.load(std::memory_order_acquire);
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
    // A seek's flush: what comes next is the seek's. Seeks come one at a time from the main
    // thread, which is inside the seek call now.
    branch->carried = self->generation_.load();
    std::lock_guard<std::mutex> lock(self->mutex_);
    branch->endedEarly = false;
  } else if (GST_EVENT_TYPE(event) == GST_EVENT_EOS) {
    self->EndStream(*branch);
  }
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn MediaDecoder::OnRawPicture(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* branch = static_cast<Branch*>(data);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
      GstCaps* caps = nullptr;
      gst_event_parse_caps(event, &caps);
      branch->hasRawInfo = caps && gst_video_info_from_caps(&branch->rawInfo, caps);
    }
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (!buffer || !branch->hasRawInfo) return GST_PAD_PROBE_OK;
  GstVideoFrame frame;
  if (gst_video_frame_map(&frame, &branch->rawInfo, buffer, GST_MAP_READ)) {
    gst_video_frame_unmap(&frame);
    return GST_PAD_PROBE_OK;
  }
  MediaDecoder* self = branch->owner.load(std::memory_order_acquire);
  if (branch->wanted.load(std::memory_order_acquire) && branch->carried.load() == self->generation_.load())
    self->SendError(branch->carried.load(), "a picture could not be converted");
  GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
  gst_buffer_unref(buffer);
  return GST_PAD_PROBE_HANDLED;
}

void MediaDecoder::EndStream(Branch& branch) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) {
      branch.endedEarly = true;
      return;
    }
  }
  const std::uint32_t generation = branch.carried.load();
  if (!branch.wanted.load(std::memory_order_acquire) || generation != generation_.load()) return;
  End end = MakeMessage<End>(Type::End);
  end.generation = generation;
  end.stream = branch.stream;
  channel_.Send(end);
}

GstFlowReturn MediaDecoder::OnNewSample(GstAppSink* sink, gpointer data) {
  auto* branch = static_cast<Branch*>(data);
  SampleRef sample{gst_app_sink_pull_sample(sink)};
  TakeOverFileBytes();
  if (!sample.sample || !branch->wanted.load(std::memory_order_acquire)) return GST_FLOW_OK;
  MediaDecoder* self = branch->owner.load(std::memory_order_acquire);
  if (branch->carried.load() != self->generation_.load()) return GST_FLOW_OK;
  return branch->stream == Stream::Video ? self->DeliverPicture(*branch, sample.sample)
                                         : self->DeliverSound(*branch, sample.sample);
}

bool MediaDecoder::Time(GstSample* sample, std::int64_t* time) const {
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (!buffer || !segment || segment->format != GST_FORMAT_TIME || !GST_BUFFER_PTS_IS_VALID(buffer)) return false;
  guint64 streamTime = 0;
  const int sign = gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer), &streamTime);
  if (sign == 0) return false;
  *time = sign * static_cast<std::int64_t>(streamTime) - base_.load();
  return true;
}

bool MediaDecoder::BeforeTarget(std::int64_t time, std::int64_t duration) const {
  const std::int64_t target = dropBefore_.load();
  if (target < 0) return false;
  return duration > 0 ? time + duration <= target : time < target;
}

GstFlowReturn MediaDecoder::DeliverPicture(Branch& branch, GstSample* sample) {
  const std::uint32_t generation = branch.carried.load();
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  std::int64_t time = branch.nextTime;
  const bool stamped = Time(sample, &time);
  const std::int64_t duration =
      buffer && GST_BUFFER_DURATION_IS_VALID(buffer) ? static_cast<std::int64_t>(GST_BUFFER_DURATION(buffer)) : -1;
  if (stamped || duration > 0) branch.nextTime = time + std::max<std::int64_t>(duration, 0);
  if (BeforeTarget(time, duration)) return GST_FLOW_OK;

  auto superseded = [&] { return branch.carried.load() != generation_.load(); };
  const int slot = branch.ring.Acquire(superseded);
  if (slot < 0) return GST_FLOW_OK;
  const auto index = static_cast<std::uint32_t>(slot);
  if (!branch.converter.ConvertInto(sample, branch.ring.Slot(index), branch.ring.SlotSize())) {
    branch.ring.Return(index);
    SendError(generation, "a picture could not be converted");
    return GST_FLOW_ERROR;
  }
  if (superseded()) {
    branch.ring.Return(index);
    return GST_FLOW_OK;
  }
  Frame frame = MakeMessage<Frame>(Type::Frame);
  frame.generation = generation;
  frame.slot = index;
  frame.time = time;
  frame.duration = duration;
  frame.bytes = branch.ring.SlotSize();
  branch.ring.Hand(index);
  channel_.Send(frame);
  return GST_FLOW_OK;
}

GstFlowReturn MediaDecoder::DeliverSound(Branch& branch, GstSample* sample) {
  const std::uint32_t generation = branch.carried.load();
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstMapInfo map;
  if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_FLOW_OK;
  std::int64_t time = branch.nextTime;
  Time(sample, &time);
  const std::uint64_t frameBytes = 2 * static_cast<std::uint64_t>(branch.channels);
  const std::uint64_t frames = map.size / frameBytes;
  const std::uint64_t perSlot = branch.ring.SlotSize() / frameBytes;
  auto nanoseconds = [&](std::uint64_t count) {
    return static_cast<std::int64_t>(count * 1000000000ULL / static_cast<std::uint64_t>(branch.rate));
  };
  branch.nextTime = time + nanoseconds(frames);
  auto superseded = [&] { return branch.carried.load() != generation_.load(); };
  // Big buffers are split over several slots, each a whole number of sample frames.
  for (std::uint64_t done = 0; done < frames && !superseded();) {
    const std::uint64_t count = std::min(perSlot, frames - done);
    const std::int64_t pieceTime = time + nanoseconds(done);
    const std::int64_t pieceDuration = nanoseconds(done + count) - nanoseconds(done);
    const std::uint64_t from = done;
    done += count;
    if (BeforeTarget(pieceTime, pieceDuration)) continue;
    const int slot = branch.ring.Acquire(superseded);
    if (slot < 0) break;
    const auto index = static_cast<std::uint32_t>(slot);
    std::memcpy(branch.ring.Slot(index), map.data + from * frameBytes, count * frameBytes);
    if (superseded()) {
      branch.ring.Return(index);
      break;
    }
    Frame sound = MakeMessage<Frame>(Type::Sound);
    sound.generation = generation;
    sound.slot = index;
    sound.time = pieceTime;
    sound.duration = pieceDuration;
    sound.bytes = count * frameBytes;
    branch.ring.Hand(index);
    channel_.Send(sound);
  }
  gst_buffer_unmap(buffer, &map);
  return GST_FLOW_OK;
}

}  // namespace worker
