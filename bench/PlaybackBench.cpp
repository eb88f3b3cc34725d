// (b) Frames per second of a 1920 x 1080 mpeg4 avi played through CMovieSource with the clock
// off, against GStreamer decoding and converting the same file to BGR into a fake sink.
#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/support/BenchDevice.h"
#include "media/MovieSource.h"
#include "platform/d3d9/d3d9.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kFrames = 300;  // 10 s at 30 frames per second

// The clip, made once per run in a temporary folder that is removed at exit.
struct TemporaryClip {
  TemporaryClip() {
    file = dir.path() / "clip1080.avi";
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 -t 10 "
        "-an -c:v mpeg4 -q:v 4 '" +
        file.string() + "'";
    if (std::system(command.c_str()) != 0) file.clear();
  }
  TempDir dir{"orbelle-bench"};
  std::filesystem::path file;
};

const std::filesystem::path& Clip() {
  static const TemporaryClip clip;
  return clip.file;
}

void BM_PlaybackMovieSource(benchmark::State& state) {
  BenchDevice device(false);
  if (Clip().empty() || !device.get()) return state.SkipWithError("no clip or no device (ffmpeg, DISPLAY?)");
  const std::u16string path = Win32FromNativePath(Clip().string());
  for (auto _ : state) {
    state.PauseTiming();
    CMovieSource media;
    if (media.Open(device.get(), path.c_str(), false) != S_OK) return state.SkipWithError("Open failed");
    IMediaFilter* filter = nullptr;
    media.GetMediaControl()->Stop();
    media.GetMediaControl()->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
    filter->SetSyncSource(nullptr);
    filter->Release();
    media.GetMediaPosition()->put_CurrentPosition(0.0);
    const LONG before = media.GetFramesRendered();
    state.ResumeTiming();
    media.GetMediaControl()->Run();
    double now = 0, stop = 1;
    while (media.GetMediaPosition()->get_CurrentPosition(&now) == S_OK &&
           media.GetMediaPosition()->get_StopTime(&stop) == S_OK && now < stop)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.PauseTiming();
    state.counters["frames"] = media.GetFramesRendered() - before;
    state.ResumeTiming();
  }
  state.counters["fps"] =
      benchmark::Counter(state.counters["frames"] * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_PlaybackGstreamer(benchmark::State& state) {
  if (Clip().empty() || !gst_init_check(nullptr, nullptr, nullptr)) return state.SkipWithError("no clip");
  const std::string description = "filesrc location=\"" + Clip().string() +
                                  "\" ! decodebin ! videoconvert n-threads=" + std::to_string(g_get_num_processors()) +
                                  " ! video/x-raw,format=BGR ! fakesink sync=false";
  for (auto _ : state) {
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
  }
  state.counters["frames"] = kFrames;
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(kFrames) * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_PlaybackMovieSource)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackGstreamer)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
