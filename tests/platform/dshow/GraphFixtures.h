// What the tests of the filter graph share: fixture paths, counted references, a graph, and a
// renderer that records what the graph asks of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/Paths.h"
#include "support/WaitUntil.h"

namespace graphtest {

inline std::filesystem::path FixtureDir() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return std::filesystem::path(source ? source : ORBELLE_SOURCE_DIR_DEFAULT) / "tests" / "media" / "fixtures";
}

inline std::u16string WinPath(const std::filesystem::path& native) {
  return Win32FromNativePath(native.string());
}

template <typename T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  void** out() { return reinterpret_cast<void**>(&p); }
  T* operator->() const { return p; }
};

struct Graph {
  Graph() {
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, builder.out()));
  }
  Ref<IGraphBuilder> builder;
};

// A renderer that records what the graph asks of it and keeps a copy of the first sample.
class RecordingRenderer : public CBaseVideoRenderer {
 public:
  explicit RecordingRenderer(HRESULT* hr) : CBaseVideoRenderer(GUID{}, u"Recorder", nullptr, hr) {}

  HRESULT CheckMediaType(const CMediaType* pmt) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    calls.push_back(*pmt->Subtype() == MEDIASUBTYPE_RGB24 ? 'c' : 'x');
    return *pmt->Type() == MEDIATYPE_Video && *pmt->Subtype() == MEDIASUBTYPE_RGB24 ? S_OK : E_FAIL;
  }
  HRESULT SetMediaType(const CMediaType* pmt) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    calls.push_back('s');
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(pmt->Format());
    header = info->bmiHeader;
    return S_OK;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    calls.push_back('r');
    renderThreads.push_back(std::this_thread::get_id());
    BYTE* bytes = nullptr;
    if (first.empty() && SUCCEEDED(sample->GetPointer(&bytes)))
      first.assign(bytes, bytes + sample->GetActualDataLength());
    return S_OK;
  }

  std::mutex m_mutex;
  std::string calls;
  std::vector<std::thread::id> renderThreads;
  BITMAPINFOHEADER header{};
  std::vector<BYTE> first;

 protected:
  ~RecordingRenderer() override = default;
};

// Opens a file through a graph as the viewer does without sound (source, renderer, Connect, Run)
// and keeps the first picture the renderer was given; hr is the first failure.
struct FirstPicture {
  explicit FirstPicture(const std::filesystem::path& file) {
    Graph graph;
    HRESULT made = S_OK;
    auto* renderer = new RecordingRenderer(&made);
    Ref<RecordingRenderer> hold{renderer};
    if (FAILED(made) || FAILED(hr = graph.builder->AddFilter(renderer, u"TextureRenderer"))) return;
    Ref<IBaseFilter> source;
    hr =
        graph.builder->AddSourceFilter(WinPath(file).c_str(), u"SOURCE", reinterpret_cast<IBaseFilter**>(source.out()));
    if (FAILED(hr)) return;
    Ref<IPin> out, in;
    if (FAILED(hr = source->FindPin(u"Output", reinterpret_cast<IPin**>(out.out())))) return;
    if (FAILED(hr = renderer->FindPin(u"In", reinterpret_cast<IPin**>(in.out())))) return;
    if (FAILED(hr = graph.builder->Connect(out.p, in.p))) return;
    Ref<IMediaControl> control;
    if (FAILED(hr = graph.builder->QueryInterface(IID_IMediaControl, control.out()))) return;
    if (FAILED(hr = control->Run())) return;
    const bool shown = WaitUntil([&] {
      std::lock_guard<std::mutex> lock(renderer->m_mutex);
      return !renderer->first.empty();
    });
    control->Stop();
    std::lock_guard<std::mutex> lock(renderer->m_mutex);
    if (!shown) {
      hr = E_FAIL;
      return;
    }
    header = renderer->header;
    bytes = renderer->first;
  }
  // Blue, green, red of the picture's pixel (x, y), counted from its top row.
  const BYTE* Pixel(int x, int y) const {
    const int pitch = (3 * header.biWidth + 3) & ~3;
    return bytes.data() + static_cast<std::size_t>(header.biHeight - 1 - y) * pitch + 3 * x;
  }
  HRESULT hr = E_FAIL;
  BITMAPINFOHEADER header{};
  std::vector<BYTE> bytes;
};

}  // namespace graphtest
