// The player scene's drawing on a real device: the lens window and its mask, the control strip,
// the seek bar and marker, the picture's orientation, the buttons' looks and tooltips.
#include "platform/d3dx9/d3dx9math.h"
#include "ui/SceneFixture.h"

namespace {

class QoSceneTitleDrawTest : public SceneFixture {
 protected:
  // Empties the two lens layers, so that the lens square shows exactly what lies under it.
  void WithoutLensArt() {
    g_textures->LoadTextureIntoSlot(u"no such lens.png", TEXID_LENSBACK);
    g_textures->LoadTextureIntoSlot(u"no such lens.png", TEXID_ORBELLE);
  }
  // A scene without media: the lens square shows the white the frame was cleared to.
  void StartWithoutMedia() {
    StartScene();
    scene->OpenMedia(u"\\no such folder\\x.bmp");
    ASSERT_EQ(nullptr, scene->m_media);
  }
  static bool InHelpButton(int x, int y) { return x >= 603 && x < 635 && y >= 5 && y < 37; }
};

TEST_F(QoSceneTitleDrawTest, TheMaskLeavesExactlyTheLensSquare) {
  StartWithoutMedia();
  WithoutLensArt();
  const struct { int x, y; } lenses[] = {{320, 240}, {10, 10}, {600, 400}};
  for (const auto& lens : lenses) {
    SCOPED_TRACE(testing::Message() << "lens at " << lens.x << "," << lens.y);
    scene->m_cursorX = lens.x;
    scene->m_cursorY = lens.y;
    const std::vector<DWORD> px = DrawScene();
    int wrong = 0;
    for (int y = 0; y < 430; ++y)
      for (int x = 0; x < 640; ++x) {
        if (InHelpButton(x, y)) continue;
        const bool inLens = x >= lens.x - 64 && x < lens.x + 64 && y >= lens.y - 64 && y < lens.y + 64 &&
                            !(x >= 600 && y < 40);  // the square behind the help button is drawn over it
        if (At(px, x, y) != (inLens ? 0xFFFFFFu : 0u) && ++wrong < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << At(px, x, y);
      }
    EXPECT_EQ(0, wrong);
  }
}

TEST_F(QoSceneTitleDrawTest, ControlStripIsBlackWithTheSeekBarFrom15To625) {
  StartWithoutMedia();
  const std::vector<DWORD> px = DrawScene();
  for (int y = 430; y < 480; ++y) EXPECT_EQ(0u, At(px, 5, y)) << y;
  for (int x = 0; x < 640; ++x)
    for (int y : {430, 432, 434, 440, 441}) EXPECT_EQ(0u, At(px, x, y)) << x << "," << y;  // no marker without media
  for (int x = 15; x < 625; ++x)
    for (int y = 435; y < 440; ++y) EXPECT_NE(0u, At(px, x, y)) << x << "," << y;
  EXPECT_EQ(0u, At(px, 14, 437));
  EXPECT_EQ(0u, At(px, 625, 437));
  // The track shows grey under the frame's white.
  EXPECT_GT(At(px, 300, 437) & 0xFF, 0x80u);
}

TEST_F(QoSceneTitleDrawTest, ThePictureShowsUprightWithItsFirstAndLastRows) {
  StartScene();
  WithoutLensArt();
  scene->OpenMedia(MediaFixture("pattern.bmp"));  // 160 x 120, colour a function of the position
  ASSERT_NE(nullptr, scene->m_media);
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<DWORD> px = DrawScene();
    return At(px, 300, 240) != 0xFFFFFFu;
  }));
  // The frame's earlier drawing (the background) leaves a texture transform in force; it does
  // not apply to these pre-transformed quads.
  device.get()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  D3DXMATRIX scale;
  D3DXMatrixScaling(&scale, 3.0f, 3.0f, 1.0f);
  device.get()->SetTransform(D3DTS_TEXTURE0, &scale);
  const std::vector<DWORD> px = DrawScene();
  auto pattern = [](int x, int y) {
    return static_cast<DWORD>((((x * 7) & 255) << 16) | (((y * 13 + 5) & 255) << 8) | ((x + y * 3) & 255));
  };
  // Centred at (320, 240): the picture covers (240, 180) to (400, 300).
  for (int x : {256, 300, 383}) {
    EXPECT_EQ(pattern(x - 240, 0), At(px, x, 180)) << x;
    EXPECT_EQ(pattern(x - 240, 60), At(px, x, 240)) << x;
    EXPECT_EQ(pattern(x - 240, 119), At(px, x, 299)) << x;
    EXPECT_EQ(0xFFFFFFu, At(px, x, 179)) << x;
    EXPECT_EQ(0xFFFFFFu, At(px, x, 300)) << x;
  }
}

TEST_F(QoSceneTitleDrawTest, ButtonLooksAndTooltip) {
  StartScene();
  auto brightest = [](const std::vector<DWORD>& px, const CSrdButton& b) {
    DWORD best = 0;
    for (int y = b.m_top; y < b.m_top + 32; ++y)
      for (int x = b.m_left; x < b.m_left + 32; ++x) {
        const DWORD p = At(px, x, y);
        best = std::max<DWORD>(best, ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255));
      }
    return best;
  };
  CSrdButton& play = *scene->m_buttons[BTN_PLAY];
  ASSERT_EQ(SRD_DISABLED, play.m_state);
  const DWORD dark = brightest(DrawScene(), play);
  play.m_state = SRD_NORMAL;
  const DWORD normal = brightest(DrawScene(), play);
  EXPECT_GT(normal, 0u);
  EXPECT_LE(dark, normal / 3);

  // Hidden draws nothing: with both sound buttons hidden their place stays black.
  scene->m_buttons[BTN_SOUND_OFF]->m_state = SRD_HIDDEN;
  EXPECT_EQ(0u, brightest(DrawScene(), *scene->m_buttons[BTN_SOUND_OFF]));

  // Hovered for 21 frames, the sound button (left 603, 7 code units) shows its box at x 514.
  CSrdButton& sound = *scene->m_buttons[BTN_SOUND_OFF];
  sound.m_state = SRD_HOVER;
  sound.m_counter = 20;
  std::vector<DWORD> px = DrawScene();
  EXPECT_EQ(0u, At(px, 513, 442));
  sound.m_counter = 21;
  px = DrawScene();
  const DWORD box = At(px, 513, 442);  // translucent grey over the black strip
  EXPECT_NEAR(0x60, static_cast<int>(box & 0xFF), 2);
  EXPECT_EQ(0u, At(px, 511, 442));
  EXPECT_EQ(box, At(px, 512, 441));
  EXPECT_EQ(0u, At(px, 638, 442));  // 126 wide from 512
}

TEST_F(QoSceneTitleDrawTest, AtTheEndOfAVideoTheMarkerStandsAt615) {
  StartScene();
  scene->OpenMedia(MediaFixture("clip.avi"));
  ASSERT_NE(nullptr, scene->m_media);
  IMediaPosition* position = scene->m_media->GetMediaPosition();
  ASSERT_TRUE(WaitUntil([&] {
    REFTIME now = 0, stop = -1;
    position->get_CurrentPosition(&now);
    position->get_StopTime(&stop);
    return now == stop && stop > 0;
  }));
  const std::vector<DWORD> px = DrawScene();
  // The marker's top rows lie above the bar (y 432 to 434): only the marker is drawn there.
  bool found = false;
  for (int x = 0; x < 640; ++x) {
    const bool lit = At(px, x, 433) != 0;
    if (lit) {
      EXPECT_GE(x, 615);
      EXPECT_LT(x, 627);
      found = true;
    }
  }
  EXPECT_TRUE(found);
  EXPECT_NE(0u, At(px, 616, 433));
}

TEST(PlayTimeText, HoursTakeTwoCharactersAndSecondsAreTruncated) {
  EXPECT_EQ(u" 1:02:03", PlayTimeText(3723.9));
  EXPECT_EQ(u" 0:00:00", PlayTimeText(0.99));
  EXPECT_EQ(u"12:00:59", PlayTimeText(43259.5));
}

}  // namespace
