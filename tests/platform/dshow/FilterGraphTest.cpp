// The filter graph on real GStreamer with the media fixtures: sources chosen by content, the
// renderer's call order and threads, and the layout of the samples it is given.
#include "GraphFixtures.h"
#include "support/TempDir.h"

namespace {

using namespace graphtest;

TEST(FilterGraphTest, SourcePinsFollowTheContentNotTheName) {
  TempDir temp("orbelle-dshow");
  // An ASF file under an avi name and an avi under a wmv name.
  std::filesystem::copy_file(FixtureDir() / "clip.wmv", temp.path() / "asf.avi");
  std::filesystem::copy_file(FixtureDir() / "clip.avi", temp.path() / "avi.wmv");
  struct Case {
    std::filesystem::path file;
    bool output;
  };
  const Case cases[] = {
      {FixtureDir() / "clip.avi", true}, {FixtureDir() / "clip.mpg", true}, {FixtureDir() / "clip.wmv", false},
      {temp.path() / "asf.avi", false},  {temp.path() / "avi.wmv", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.string());
    Graph graph;
    Ref<IBaseFilter> source;
    ASSERT_EQ(S_OK, graph.builder->AddSourceFilter(WinPath(c.file).c_str(), u"SOURCE",
                                                   reinterpret_cast<IBaseFilter**>(source.out())));
    Ref<IPin> pin;
    EXPECT_EQ(c.output ? S_OK : VFW_E_NOT_FOUND, source->FindPin(u"Output", reinterpret_cast<IPin**>(pin.out())));
    EXPECT_EQ(c.output, pin.p != nullptr);
  }
  Graph graph;
  IBaseFilter* missing = reinterpret_cast<IBaseFilter*>(1);
  EXPECT_EQ(VFW_E_NOT_FOUND,
            graph.builder->AddSourceFilter(WinPath(temp.path() / "gone.avi").c_str(), u"SOURCE", &missing));
  EXPECT_EQ(nullptr, missing);
}

TEST(FilterGraphTest, RendererIsAskedThenSetThenFedOnAnotherThreadBottomRowFirst) {
  Graph graph;
  HRESULT hr = S_OK;
  auto* renderer = new RecordingRenderer(&hr);
  Ref<RecordingRenderer> hold{renderer};
  ASSERT_EQ(S_OK, hr);
  ASSERT_EQ(S_OK, graph.builder->AddFilter(renderer, u"TextureRenderer"));
  Ref<IBaseFilter> source;
  ASSERT_EQ(S_OK, graph.builder->AddSourceFilter(WinPath(FixtureDir() / "pattern322.avi").c_str(), u"SOURCE",
                                                 reinterpret_cast<IBaseFilter**>(source.out())));
  Ref<IPin> out, in;
  ASSERT_EQ(S_OK, source->FindPin(u"Output", reinterpret_cast<IPin**>(out.out())));
  ASSERT_EQ(S_OK, renderer->FindPin(u"In", reinterpret_cast<IPin**>(in.out())));
  ASSERT_EQ(S_OK, graph.builder->Connect(out.p, in.p));
  {
    std::lock_guard<std::mutex> lock(renderer->m_mutex);
    // Every proposal is asked about, the accepted type is settled once, and nothing is
    // rendered before that.
    ASSERT_EQ(std::string::npos, renderer->calls.find('r'));
    ASSERT_EQ(1, std::count(renderer->calls.begin(), renderer->calls.end(), 's'));
    EXPECT_EQ('s', renderer->calls.back());
    EXPECT_NE(std::string::npos, renderer->calls.find('c'));
    EXPECT_EQ(322, renderer->header.biWidth);
    EXPECT_EQ(24, renderer->header.biHeight);  // positive: rows bottom first
    EXPECT_EQ(24, renderer->header.biBitCount);
  }
  Ref<IMediaControl> control;
  ASSERT_EQ(S_OK, graph.builder->QueryInterface(IID_IMediaControl, control.out()));
  ASSERT_EQ(S_OK, control->Run());
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(renderer->m_mutex);
    return !renderer->first.empty();
  })) << "no sample rendered";
  ASSERT_EQ(S_OK, control->Stop());
  std::lock_guard<std::mutex> lock(renderer->m_mutex);
  for (std::thread::id id : renderer->renderThreads) EXPECT_NE(std::this_thread::get_id(), id);
  // Rows of (3 x 322 + 3) & ~3 = 968 bytes, the picture's bottom row first; pixels blue,
  // green, red as the fixture generator draws them.
  const int pitch = 968, w = 322, h = 24;
  ASSERT_GE(renderer->first.size(), static_cast<std::size_t>(pitch * h));
  int wrong = 0;
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    for (int x = 0; x < w; ++x) {
      const BYTE* p = renderer->first.data() + row * pitch + 3 * x;
      wrong += p[0] != ((x + y * 3) & 255) || p[1] != ((y * 13 + 5) & 255) || p[2] != ((x * 7) & 255);
    }
  }
  EXPECT_EQ(0, wrong);
}

}  // namespace
