// The player scene's behaviour frame by frame: start-up, zoom, camera lock, and the actions of
// its buttons and keys on real media files.
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/Ffmpeg.h"
#include "support/TempDir.h"
#include "ui/OpenMedia.h"
#include "ui/SceneFixture.h"

namespace {

class QoSceneTitleTest : public SceneFixture {
 protected:
  // Hover, press and release over the button: the release clicks it.
  void Click(int index) {
    const CSrdButton& b = *scene->m_buttons[index];
    const int x = (b.m_left + b.m_right) / 2, y = (b.m_top + b.m_bottom) / 2;
    Frame(x, y);
    Frame(x, y, 0, true);
    Frame(x, y);
  }
  // A key command, run in the next frame with the pointer where given.
  void Key(WORD command, int x = 320, int y = 240) {
    ASSERT_TRUE(scene->QueueCommand(command));
    Frame(x, y);
  }
  int State(int index) const { return scene->m_buttons[index]->m_state; }
  bool Running() const {
    OAFilterState state = State_Stopped;
    scene->m_media->GetMediaControl()->GetState(0, &state);
    return state == State_Running;
  }
  REFTIME Position() const {
    REFTIME t = -1;
    scene->m_media->GetMediaPosition()->get_CurrentPosition(&t);
    return t;
  }
  REFTIME StopTime() const {
    REFTIME t = -1;
    scene->m_media->GetMediaPosition()->get_StopTime(&t);
    return t;
  }
};

TEST_F(QoSceneTitleTest, StartsCentredOnTheWelcomePictureWithTheMediaButtonsDisabled) {
  CQoSceneTitle& s = StartScene();
  ASSERT_NE(nullptr, s.m_media);
  ASSERT_NE(nullptr, s.m_mediaTexture);
  const RECT r = s.MediaRect();
  EXPECT_EQ(0, r.left);
  EXPECT_EQ(0, r.top);
  EXPECT_EQ(640, r.right);
  EXPECT_EQ(480, r.bottom);
  EXPECT_EQ(100, s.CurrentZoom());
  EXPECT_EQ(320, s.m_cursorX);
  EXPECT_EQ(240, s.m_cursorY);
  for (int i : {BTN_PLAY, BTN_PAUSE, BTN_STOP, BTN_PREV, BTN_NEXT}) EXPECT_EQ(SRD_DISABLED, State(i)) << i;
  for (int i : {BTN_OPEN, BTN_SOUND_OFF, BTN_HELP}) EXPECT_EQ(SRD_NORMAL, State(i)) << i;
  EXPECT_EQ(SRD_HIDDEN, State(BTN_SOUND_ON));
  EXPECT_TRUE(s.SoundOn());
  // Placement and cells of the table at 640 x 480.
  const CSrdButton& sound = *s.m_buttons[BTN_SOUND_ON];
  EXPECT_EQ(603, sound.m_left);
  EXPECT_EQ(443, sound.m_top);
  EXPECT_EQ(192, sound.m_normalCell.x);
  EXPECT_EQ(32, sound.m_pressedCell.y);
  const CSrdButton& help = *s.m_buttons[BTN_HELP];
  EXPECT_EQ(603, help.m_left);
  EXPECT_EQ(5, help.m_top);
  EXPECT_EQ(96, help.m_pressedCell.y);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QoSceneTitleTest, AWheelNotchEasesFrom100To107OverTenFrames) {
  StartScene();
  const int expected[10] = {101, 103, 104, 105, 106, 106, 106, 106, 106, 107};
  Frame(320, 240, 120);
  EXPECT_EQ(107, scene->m_zoom);
  EXPECT_EQ(expected[0], scene->CurrentZoom());
  for (int i = 1; i < 10; ++i) {
    Frame(320, 240);
    EXPECT_EQ(expected[i], scene->CurrentZoom()) << "frame " << i;
  }
  EXPECT_EQ(-1, scene->m_zoomFrom);
  // Zooming out eases the same way below the start.
  Frame(320, 240, -120);
  EXPECT_EQ(105, scene->CurrentZoom());  // 107 - 1.897, truncated
}

TEST_F(QoSceneTitleTest, ZoomStaysBetween23And303) {
  StartScene();
  for (int i = 0; i < 60; ++i) Frame(320, 240, 240);
  EXPECT_EQ(303, scene->m_zoom);
  for (int i = 0; i < 60; ++i) Frame(320, 240, -120);
  EXPECT_EQ(23, scene->m_zoom);
  for (int i = 0; i < 10; ++i) Frame(320, 240);
  EXPECT_EQ(23, scene->CurrentZoom());
}

TEST_F(QoSceneTitleTest, ThePointerOverTheBottomStripFreezesTheCameraAndTheZoom) {
  StartScene();
  Frame(320, 240, 120);
  Frame(320, 240);
  const int shown = scene->CurrentZoom();
  for (int i = 0; i < 20; ++i) Frame(100, 440, 120, false, i % 2 == 0);
  EXPECT_EQ(107, scene->m_zoom);
  EXPECT_EQ(shown, scene->CurrentZoom());
  EXPECT_EQ(8, scene->m_zoomFramesLeft);
  EXPECT_FALSE(scene->m_cameraLocked);
  EXPECT_EQ(320, scene->m_cursorX);
  Frame(100, 439);
  EXPECT_EQ(7, scene->m_zoomFramesLeft);
  EXPECT_EQ(439, scene->m_cursorY);
}

TEST_F(QoSceneTitleTest, RightPressLocksTheLensAndLeftPressMovesItWithoutMovingThePicture) {
  StartScene();
  Frame(300, 200);
  Frame(300, 200, 120);  // zoom to 107 so that the pivot arithmetic rounds
  for (int i = 0; i < 10; ++i) Frame(300, 200);
  const RECT before = scene->MediaRect();

  Frame(300, 200, 0, false, true);
  ASSERT_TRUE(scene->m_cameraLocked);
  Frame(500, 100);
  EXPECT_EQ(300, scene->m_cursorX);
  EXPECT_EQ(200, scene->m_cursorY);
  RECT r = scene->MediaRect();
  EXPECT_NEAR(before.left, r.left, 1);
  EXPECT_NEAR(before.top, r.top, 1);

  Frame(100, 120, 0, true);
  EXPECT_EQ(100, scene->m_cursorX);
  EXPECT_EQ(120, scene->m_anchorY);
  r = scene->MediaRect();
  EXPECT_NEAR(before.left, r.left, 1);
  EXPECT_NEAR(before.top, r.top, 1);
  // Later zoom steps scale about the new point: the picture point under the lens stays there.
  const POINT under = scene->PivotUnderCursor();
  Frame(100, 120);
  Frame(100, 120, 120);
  for (int i = 0; i < 10; ++i) Frame(100, 120);
  const POINT after = scene->PivotUnderCursor();
  EXPECT_NEAR(under.x, after.x, 1);
  EXPECT_NEAR(under.y, after.y, 1);

  Frame(400, 300, 0, false, true);
  EXPECT_FALSE(scene->m_cameraLocked);
  Frame(400, 300);
  EXPECT_EQ(400, scene->m_cursorX);
  EXPECT_EQ(300, scene->m_cursorY);
  // Unlocked, a left press changes nothing but the lens following the pointer.
  const RECT unlocked = scene->MediaRect();
  Frame(410, 310, 0, true);
  r = scene->MediaRect();
  EXPECT_EQ(unlocked.left, r.left);
  EXPECT_EQ(unlocked.top, r.top);
}

TEST_F(QoSceneTitleTest, ZoomKeysStepAsTheWheelDoesAndZeroEasesBackTo100) {
  StartScene();
  // The zoom shown in the frame of a step and the nine after it.
  std::vector<int> byWheel, byKey;
  auto ease = [&](std::vector<int>& shown) {
    for (int i = 0; i < 10; ++i) {
      shown.push_back(scene->CurrentZoom());
      Frame(320, 240);
    }
  };
  Frame(320, 240, 120);
  ease(byWheel);
  Frame(320, 240, -120);
  ease(byWheel);
  Key(IDM_ZOOM_IN);
  ease(byKey);
  Key(IDM_ZOOM_OUT);
  ease(byKey);
  EXPECT_EQ(byWheel, byKey);

  // Two repeats queued within one frame step twice.
  ASSERT_TRUE(scene->QueueCommand(IDM_ZOOM_IN));
  Key(IDM_ZOOM_IN);
  EXPECT_EQ(114, scene->m_zoom);
  Key(IDM_ZOOM_RESET);
  EXPECT_EQ(100, scene->m_zoom);
  EXPECT_GT(scene->CurrentZoom(), 100);  // eased from 114
  for (int i = 0; i < 9; ++i) Frame(320, 240);
  EXPECT_EQ(100, scene->CurrentZoom());
  EXPECT_EQ(-1, scene->m_zoomFrom);
  Key(IDM_ZOOM_RESET);  // already there: no animation
  EXPECT_EQ(-1, scene->m_zoomFrom);
}

TEST_F(QoSceneTitleTest, TheLockKeyLocksAsTheRightButtonAndNeitherActsOverTheStrip) {
  StartScene();
  Frame(300, 200);
  Key(IDM_ZOOM_IN, 300, 200);
  for (int i = 0; i < 10; ++i) Frame(300, 200);
  const POINT under = scene->PivotUnderCursor();
  Key(IDM_CAMERA_LOCK, 300, 200);
  ASSERT_TRUE(scene->m_cameraLocked);
  EXPECT_EQ(300, scene->m_anchorX);
  EXPECT_EQ(200, scene->m_anchorY);
  EXPECT_EQ(under.x, scene->m_pivotX);
  EXPECT_EQ(under.y, scene->m_pivotY);
  Frame(500, 100);
  EXPECT_EQ(300, scene->m_cursorX);

  // Over the control strip the wheel and the right button do nothing, and so do their keys.
  for (WORD command : {IDM_CAMERA_LOCK, IDM_ZOOM_IN, IDM_ZOOM_OUT, IDM_ZOOM_RESET}) Key(command, 100, 460);
  EXPECT_TRUE(scene->m_cameraLocked);
  EXPECT_EQ(107, scene->m_zoom);
  Key(IDM_CAMERA_LOCK, 400, 300);
  EXPECT_FALSE(scene->m_cameraLocked);
  // Ids that are not the scene's are left to the window (Esc's exit, for one).
  EXPECT_FALSE(scene->QueueCommand(40006));
  EXPECT_FALSE(scene->QueueCommand(IDM_NEXT_FILE - 1));
}

TEST_F(QoSceneTitleTest, PlayPauseStopAndPlayAtTheEndOfAVideo) {
  StartScene();
  scene->OpenMedia(MediaFixture("clip.avi"));
  ASSERT_NE(nullptr, scene->m_media);
  for (int i : {BTN_PLAY, BTN_PAUSE, BTN_STOP}) EXPECT_EQ(SRD_NORMAL, State(i));
  EXPECT_EQ(80, scene->m_pivotX);
  EXPECT_EQ(60, scene->m_pivotY);

  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }));
  Click(BTN_PAUSE);
  const REFTIME paused = Position();
  EXPECT_GT(paused, 0.3);
  Click(BTN_PLAY);
  EXPECT_NEAR(paused, Position(), 0.1);  // resumes where it was
  ASSERT_TRUE(WaitUntil([&] { return Position() > paused + 0.2; }));
  Click(BTN_STOP);
  EXPECT_EQ(0.0, Position());
  Click(BTN_PLAY);
  ASSERT_TRUE(WaitUntil([&] { return Position() == StopTime(); }));
  Click(BTN_PLAY);  // at the end: starts again from 0
  EXPECT_LT(Position(), 0.5);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.2; }));
}

TEST_F(QoSceneTitleTest, SpacePausesWhilePlayingAndPlaysOtherwiseAndHomeStops) {
  StartScene();
  scene->OpenMedia(MediaFixture("clip.avi"));
  ASSERT_NE(nullptr, scene->m_media);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }));
  Key(IDM_PLAY_PAUSE);
  EXPECT_FALSE(Running());
  const REFTIME paused = Position();
  Key(IDM_PLAY_PAUSE);
  EXPECT_TRUE(Running());
  EXPECT_NEAR(paused, Position(), 0.1);  // resumes where it was
  Key(IDM_STOP);
  EXPECT_FALSE(Running());
  EXPECT_EQ(0.0, Position());
  Key(IDM_PLAY_PAUSE);
  ASSERT_TRUE(WaitUntil([&] { return Position() == StopTime(); }));
  // Played to its end the graph still runs, but nothing plays: Space plays it again from 0.
  Key(IDM_PLAY_PAUSE);
  EXPECT_LT(Position(), 0.5);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.2; }));
  EXPECT_TRUE(Running());
}

TEST_F(QoSceneTitleTest, TheSoundAndHelpKeysActAsTheirButtonsWhereverThePointerIs) {
  StartScene();
  Key(IDM_SOUND, 100, 460);
  EXPECT_FALSE(scene->SoundOn());
  EXPECT_EQ(SRD_NORMAL, State(BTN_SOUND_ON));
  EXPECT_EQ(SRD_HIDDEN, State(BTN_SOUND_OFF));
  Key(IDM_SOUND);
  EXPECT_TRUE(scene->SoundOn());
  Frame(300, 200, 120);
  Key(IDM_HELP, 100, 460);
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(640, scene->m_media->GetWidth());
  EXPECT_EQ(100, scene->m_zoom);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QoSceneTitleTest, AFileNamedAtStartOpensInPlaceOfTheWelcomePicture) {
  scene = std::make_unique<CQoSceneTitle>();
  scene->SetStartFile(MediaFixture("clip.avi"));
  scene->Init(0);
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(160, scene->m_media->GetWidth());
  EXPECT_EQ(u"clip.avi", scene->m_files.NameAt(scene->m_currentIndex));  // its folder is listed
  EXPECT_EQ(SRD_NORMAL, State(BTN_PLAY));
  EXPECT_EQ(100, scene->m_zoom);
  EXPECT_EQ(320, scene->m_anchorX);
  EXPECT_TRUE(boxes.empty());

  // One that does not open says so, and the scene is as it starts without a file.
  scene = std::make_unique<CQoSceneTitle>();
  scene->SetStartFile(MediaFixture("missing.avi"));
  scene->Init(0);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(0, scene->m_files.Count());
}

class FolderTest : public QoSceneTitleTest {
 protected:
  void SetUp() override {
    QoSceneTitleTest::SetUp();
    const std::filesystem::path fixtures = SourceDir() / "tests" / "media" / "fixtures";
    for (auto [from, to] : {std::pair{"pattern.bmp", "a.bmp"}, {"quadrants.jpg", "b.jpg"}, {"clip.avi", "c.avi"}})
      std::filesystem::copy_file(fixtures / from, folder / to);
    std::ofstream(folder / "notes.txt") << "not media";
  }
  TempDir temp{"orbelle_player_folder"};
  const std::filesystem::path& folder = temp.path();
};

TEST_F(FolderTest, PreviousAndNextCycleThroughTheFolderWithWrapAround) {
  StartScene();
  scene->m_files.Rebuild(WinPath(folder) + u"\\");
  ASSERT_EQ(3, scene->m_files.Count());
  scene->m_currentIndex = 0;
  scene->OpenMedia(scene->m_files.PathAt(0));
  EXPECT_EQ(SRD_NORMAL, State(BTN_NEXT));
  EXPECT_EQ(SRD_NORMAL, State(BTN_PREV));

  for (int expected : {1, 2, 0}) {
    Click(BTN_NEXT);
    EXPECT_EQ(expected, scene->m_currentIndex);
    ASSERT_NE(nullptr, scene->m_media);
    EXPECT_EQ(IsVideoPath(scene->m_files.PathAt(expected)), State(BTN_PLAY) == SRD_NORMAL);
  }
  Click(BTN_PREV);
  EXPECT_EQ(2, scene->m_currentIndex);

  // Help keeps the list, the index and the camera lock, and shows the manual at 100 %.
  Frame(300, 200, 120);
  Frame(300, 200, 0, false, true);
  ASSERT_TRUE(scene->m_cameraLocked);
  Click(BTN_HELP);
  EXPECT_EQ(3, scene->m_files.Count());
  EXPECT_EQ(2, scene->m_currentIndex);
  EXPECT_TRUE(scene->m_cameraLocked);
  EXPECT_EQ(100, scene->m_zoom);
  for (int i = 0; i < 10; ++i) Frame(300, 460);  // over the strip: the zoom animation holds
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(640, scene->m_media->GetWidth());
  EXPECT_EQ(SRD_NORMAL, State(BTN_NEXT));
  Click(BTN_NEXT);
  EXPECT_EQ(0, scene->m_currentIndex);

  // A one-file list disables both.
  std::filesystem::remove(folder / "b.jpg");
  std::filesystem::remove(folder / "c.avi");
  scene->m_files.Rebuild(WinPath(folder) + u"\\");
  scene->OpenMedia(scene->m_files.PathAt(0));
  EXPECT_EQ(SRD_DISABLED, State(BTN_NEXT));
  EXPECT_EQ(SRD_DISABLED, State(BTN_PREV));
}

TEST_F(FolderTest, NextAndPreviousStepThroughOldAndNewTypesInTheFileManagersOrder) {
  // Beside a.bmp, b.jpg and c.avi: a phone's video and photo (capital extensions), a screenshot
  // and a web picture, made now.
  const std::string quadrants =
      "color=c=blue:s=64x48:d=0.2,drawbox=x=0:y=0:w=32:h=24:color=red:t=fill,drawbox=x=32:y=24:w=32:h=24:color=white:t="
      "fill";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", quadrants, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "ultrafast",
                      "-f", "mp4", (folder / "d.MP4").string()}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", quadrants, "-frames:v", "1", (folder / "E.png").string()}));
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", quadrants, "-frames:v", "1", "-c:v", "libwebp", "-lossless", "1",
                      (folder / "f.webp").string()}));
  std::filesystem::copy_file(folder / "b.jpg", folder / "g.JPEG");
  HWND window = CreateWindowExW(0, u"TestDeviceWindow", u"player", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  g_hWnd = window;
  StartScene();
  scene->m_files.Rebuild(WinPath(folder) + u"\\");
  const std::u16string order[] = {u"a.bmp", u"b.jpg", u"c.avi", u"d.MP4", u"E.png", u"f.webp", u"g.JPEG"};
  ASSERT_EQ(7, scene->m_files.Count());
  scene->m_currentIndex = 0;
  scene->OpenMedia(scene->m_files.PathAt(0));
  auto expectShown = [&](int index) {
    SCOPED_TRACE(std::string(order[index].begin(), order[index].end()));
    EXPECT_EQ(index, scene->m_currentIndex);
    WCHAR title[128] = {};
    GetWindowTextW(window, title, 128);
    EXPECT_EQ(order[index] + u" - Orbelle-Player", std::u16string(title));
    ASSERT_NE(nullptr, scene->m_media);
    EXPECT_EQ(index >= 3 && index <= 5 ? 64 : 160, scene->m_media->GetWidth());  // the new ones are 64 wide
    // The videos get the play button; the pictures do not.
    EXPECT_EQ(index == 2 || index == 3, State(BTN_PLAY) == SRD_NORMAL);
  };
  for (int index : {1, 2, 3, 4, 5, 6, 0}) {
    Click(BTN_NEXT);
    expectShown(index);
  }
  for (int index : {6, 5, 4}) {
    Click(BTN_PREV);
    expectShown(index);
  }
  EXPECT_TRUE(boxes.empty());
  g_hWnd = nullptr;
  DestroyWindow(window);
}

TEST_F(FolderTest, TheFileKeysStepAsTheButtonsAndDoNothingWhereTheButtonsAreDisabled) {
  StartScene();
  // The welcome picture: no list, a picture. Stepping, playing and stopping are disabled.
  const CMovieSource* welcome = scene->m_media;
  for (WORD command : {IDM_NEXT_FILE, IDM_PREVIOUS_FILE, IDM_PLAY_PAUSE, IDM_STOP}) Key(command);
  EXPECT_EQ(welcome, scene->m_media) << "a key opened something";

  scene->m_files.Rebuild(WinPath(folder) + u"\\");
  scene->m_currentIndex = 0;
  scene->OpenMedia(scene->m_files.PathAt(0));
  for (int expected : {1, 2, 0}) {
    Key(IDM_NEXT_FILE);
    EXPECT_EQ(expected, scene->m_currentIndex);
  }
  Key(IDM_PREVIOUS_FILE);
  EXPECT_EQ(2, scene->m_currentIndex);
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(160, scene->m_media->GetWidth());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QoSceneTitleTest, SoundOffCarriesOverToTheNextFile) {
  StartScene();
  Click(BTN_SOUND_OFF);
  EXPECT_EQ(SRD_NORMAL, State(BTN_SOUND_ON));
  EXPECT_EQ(SRD_HIDDEN, State(BTN_SOUND_OFF));
  EXPECT_FALSE(scene->SoundOn());
  scene->OpenMedia(MediaFixture("clip.wmv"));
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(SRD_NORMAL, State(BTN_SOUND_ON));
  EXPECT_FALSE(scene->SoundOn());
  Click(BTN_SOUND_ON);
  EXPECT_TRUE(scene->SoundOn());
  EXPECT_EQ(SRD_HOVER, State(BTN_SOUND_OFF));  // shown in the same place, under the pointer
}

TEST_F(QoSceneTitleTest, AFileThatCannotBeOpenedLeavesNoMediaAndTheButtonsDoNothingToIt) {
  StartScene();
  scene->OpenMedia(MediaFixture("truncated.avi"));
  EXPECT_EQ(nullptr, scene->m_media);
  EXPECT_EQ(nullptr, scene->m_mediaTexture);
  EXPECT_FALSE(boxes.empty());             // the media layer reports it
  EXPECT_EQ(SRD_NORMAL, State(BTN_PLAY));  // set for a video before the open failed
  for (int i : {BTN_PLAY, BTN_PAUSE, BTN_STOP, BTN_SOUND_OFF, BTN_SOUND_ON}) Click(i);
  EXPECT_EQ(nullptr, scene->m_media);
  // Without media the lock and lens clicks only move the anchor.
  Frame(200, 100, 0, false, true);
  Frame(150, 120, 0, true);
  EXPECT_EQ(150, scene->m_anchorX);
  EXPECT_EQ(120, scene->m_anchorY);
  const RECT r = scene->MediaRect();
  EXPECT_EQ(r.left, r.right);
}

TEST_F(QoSceneTitleTest, WithoutAChooserTheOpenButtonChangesNothing) {
  StartScene();
  scene->m_files.Rebuild(WinPath(SourceDir() / "tests" / "media" / "fixtures") + u"\\");
  const int files = scene->m_files.Count();
  scene->m_currentIndex = 1;
  CMovieSource* media = scene->m_media;
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  const TempDir empty("orbelle-path");
  setenv("PATH", empty.path().c_str(), 1);  // no zenity to be found: as a cancel
  Click(BTN_OPEN);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(media, scene->m_media);
  EXPECT_EQ(files, scene->m_files.Count());
  EXPECT_EQ(1, scene->m_currentIndex);
  EXPECT_EQ(SRD_DISABLED, State(BTN_PLAY));
}

TEST_F(QoSceneTitleTest, ResetViewPutsTheSystemCursorAtTheClientCentre) {
  HWND window = CreateWindowExW(0, u"TestDeviceWindow", u"player", WS_POPUP | WS_VISIBLE, 120, 70, 640, 480, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  g_hWnd = window;
  StartScene();
  scene->ResetView();
  POINT cursor = {};
  ASSERT_TRUE(GetCursorPos(&cursor));
  ScreenToClient(window, &cursor);
  EXPECT_EQ(320, cursor.x);
  EXPECT_EQ(240, cursor.y);
  // The title names the opened file, or the program alone for a path ending in "\".
  WCHAR title[128] = {};
  GetWindowTextW(window, title, 128);
  EXPECT_EQ(std::u16string(u"ようこそ.bmp - Orbelle-Player"), title);
  scene->OpenMedia(u"\\nowhere\\");
  GetWindowTextW(window, title, 128);
  EXPECT_EQ(std::u16string(u"Orbelle-Player"), title);
  scene.reset();
  g_hWnd = nullptr;
  DestroyWindow(window);
}

}  // namespace
