// Files named from outside the dialog (command line, drops) open exactly as a pick does, and the
// scene can go back to its start state.
#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"
#include "ui/OpenMedia.h"
#include "ui/SceneFixture.h"

namespace {

class OpenNamedFileTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    const std::filesystem::path fixtures = SourceDir() / "tests" / "media" / "fixtures";
    std::filesystem::copy_file(fixtures / "pattern.bmp", folder / "a.bmp");
    std::filesystem::copy_file(fixtures / "clip.avi", folder / "日本.avi");
  }
  int State(int index) const { return scene->m_buttons[index]->m_state; }
  TempDir temp{"orbelle_named file"};  // a space in the folder's name too
  const std::filesystem::path& folder = temp.path();
};

}  // namespace

TEST_F(OpenNamedFileTest, ANamedFileListsItsFolderAndOpensLikeAPick) {
  StartScene();
  ASSERT_TRUE(scene->OpenNamedFile(WinPath(folder / "日本.avi")));
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(2, scene->m_files.Count());
  EXPECT_EQ(u"日本.avi", scene->m_files.NameAt(scene->m_currentIndex));
  EXPECT_EQ(SRD_NORMAL, State(BTN_PLAY));
  EXPECT_EQ(SRD_NORMAL, State(BTN_NEXT));
  EXPECT_TRUE(boxes.empty());

  // Back to the start: the welcome picture, no list, stepping disabled.
  scene->ShowWelcome();
  ASSERT_NE(nullptr, scene->m_media);
  EXPECT_EQ(640, scene->m_media->GetWidth());
  EXPECT_EQ(0, scene->m_files.Count());
  EXPECT_EQ(SRD_DISABLED, State(BTN_NEXT));
  EXPECT_EQ(SRD_DISABLED, State(BTN_PLAY));
}

TEST_F(OpenNamedFileTest, NamesThatCannotBeOpenedSayWhy) {
  StartScene();
  // Missing, a folder, a device or a FIFO (which must not block): the media layer's box, and no
  // media, as after a failed pick.
  ASSERT_EQ(0, ::mkfifo((folder / "pipe.avi").c_str(), 0600));
  for (const std::filesystem::path& bad :
       {folder / "missing.jpg", folder, std::filesystem::path("/dev/zero"), folder / "pipe.avi"}) {
    SCOPED_TRACE(bad.string());
    boxes.clear();
    EXPECT_FALSE(scene->OpenNamedFile(WinPath(bad)));
    EXPECT_EQ(nullptr, scene->m_media);
    EXPECT_EQ(1u, boxes.size());
  }

  // Too long for the dialog's buffer: refused with a box before anything changes.
  scene->ShowWelcome();
  boxes.clear();
  EXPECT_FALSE(scene->OpenNamedFile(u"\\tmp\\" + std::u16string(DIALOG_PATH_SIZE, u'n') + u".jpg"));
  ASSERT_EQ(1u, boxes.size());
  EXPECT_NE(std::u16string::npos, boxes[0].find(u"at most 511")) << Win32ToNativePath(boxes[0]);
  EXPECT_NE(nullptr, scene->m_media) << "the welcome picture stays";

  EXPECT_FALSE(scene->OpenNamedFile(u""));
  EXPECT_NE(nullptr, scene->m_media);
}
