// Pictures from outside the program, opened as the viewer opens them: a hostile file or a
// decoder that dies or hangs shows the ordinary message for a file that cannot be opened, and
// the next picture opens and shows.
#include <stdlib.h>

#include <memory>

#include "MediaTestSupport.h"
#include "media/MovieSource.h"
#include "platform/dshow/IsolatedDecoder.h"
#include "support/HostilePictures.h"
#include "support/TempDir.h"
#include "support/TestDevice.h"

namespace {

constexpr char16_t kCannotOpen[] = u"Could not add source filter to graph!  hr=0x8004022f";

std::u16string GoodPicture() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return WinPath(std::filesystem::path(source ? source : ORBELLE_SOURCE_DIR_DEFAULT) /
                 "tests/platform/picture/fixtures/v3_24bit.bmp");
}

class PictureIsolationTest : public ::testing::Test {
 protected:
  // Opens the file as the viewer does; true when it failed with the one expected message.
  bool FailsWithTheOpenMessage(const std::u16string& path) {
    boxes.boxes.clear();
    auto media = std::make_unique<CMovieSource>();
    const HRESULT hr = media->Open(device.get(), path.c_str(), true);
    return hr == VFW_E_INVALID_FILE_FORMAT && media->GetTexture() == nullptr && boxes.boxes.size() == 1 &&
           boxes.boxes[0].text == kCannotOpen;
  }
  // Opens the good picture and waits for its centre colour (the fixture's (129, 150, 210)).
  void GoodPictureShows() {
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), GoodPicture().c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return media.GetFramesRendered() > 0; }));
    UINT w = 0, h = 0;
    const std::vector<DWORD> texels = ReadTexels(media.GetTexture(), &w, &h);
    ASSERT_EQ(29u * 21u, texels.size());
    EXPECT_EQ(0xFF8196D2u, texels[(20 - 10) * 29 + 14]);  // bottom row first
  }

  TestDevice device;
  CapturedBoxes boxes;
};

TEST_F(PictureIsolationTest, HostileFilesShowTheOpenMessageAndTheNextPictureShows) {
  ASSERT_NE(nullptr, device.get());
  TempDir temp("orbelle-hostile");
  for (const auto& [name, bytes] : hostile::NamedFiles()) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(FailsWithTheOpenMessage(WinPath(temp.Write(name, bytes))));
    GoodPictureShows();
  }
}

TEST_F(PictureIsolationTest, ADecoderThatCrashesOrHangsShowsTheOpenMessage) {
  ASSERT_NE(nullptr, device.get());
  for (const char* mode : {"crash", "hang"}) {
    SCOPED_TRACE(mode);
    dshow::SetPictureDecoderForTesting({ORBELLE_FAKE_DECODER, mode}, 500);
    EXPECT_TRUE(FailsWithTheOpenMessage(GoodPicture()));
    dshow::SetPictureDecoderForTesting({}, 0);
    GoodPictureShows();
  }
}

}  // namespace
