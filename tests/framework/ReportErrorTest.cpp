#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/D3DApplication.h"
#include "platform/win32/win32.h"

namespace {

struct Box {
  std::u16string text, caption;
  UINT type;
};

class TitledApp : public CD3DApplication {
 public:
  TitledApp() { m_strWindowTitle = u"Orbelle-Player"; }
};

class ReportErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetMessageBoxHook([this](HWND, std::u16string_view text, std::u16string_view caption, UINT type) {
      boxes.push_back({std::u16string(text), std::u16string(caption), type});
      return IDOK;
    });
  }
  void TearDown() override { SetMessageBoxHook(previous); }

  std::vector<Box> boxes;
  MessageBoxHook previous;
};

}  // namespace

TEST_F(ReportErrorTest, WarningsShowTheTextOfEachCodeWithTheWindowTitle) {
  TitledApp app;
  const struct {
    std::uint32_t code;
    const char16_t* text;
  } cases[] = {
      {0x82000003u, u"Could not find any compatible Direct3D\ndevices."},
      {0x8200000Au, u"A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up)."},
      {0x8200000Bu, u"Could not load required media."},
      {0x80070002u, u"Could not load required media."},
      {0x8200000Cu, u"Could not reset the Direct3D device."},
      {0x8007000Eu, u"Not enough memory."},
      {0x8876017Cu, u"Not enough video memory."},
      {0x80004005u, u"Generic application error. Enable\ndebug output for detailed information."},
  };
  for (const auto& c : cases) {
    boxes.clear();
    EXPECT_EQ(static_cast<HRESULT>(c.code), app.ReportError(static_cast<HRESULT>(c.code), MSG_NONE));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::u16string(c.text), boxes[0].text);
    EXPECT_EQ(u"Orbelle-Player", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), boxes[0].type & 0xF0u);
  }
}

TEST_F(ReportErrorTest, ReferenceSwitchAppendsTheRasterizerNotice) {
  TitledApp app;
  app.ReportError(static_cast<HRESULT>(0x82000005u), MSGWARN_SWITCHEDTOREF);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(
      u"No hardware-accelerated Direct3D devices\nwere found.\n\nSwitching to the reference rasterizer,\na software "
      u"device that implements the entire\nDirect3D feature set, but runs very slowly.",
      boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), boxes[0].type & 0xF0u);
}

TEST_F(ReportErrorTest, OneFatalBoxThenSilence) {
  TitledApp app;
  EXPECT_EQ(static_cast<HRESULT>(0x82000001u), app.ReportError(static_cast<HRESULT>(0x82000001u), MSGERR_APPMUSTEXIT));
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(
      u"Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
      u"installed on your\nsystem.  Also make sure that this program\nwas compiled with header files that match\nthe "
      u"installed DirectX DLLs.\n\nThis sample will now exit.",
      boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes[0].type & 0xF0u);
  EXPECT_TRUE(CD3DApplication::FatalErrorShown());

  // After a fatal box nothing more is shown, fatal or not, and the code still comes back.
  EXPECT_EQ(static_cast<HRESULT>(0x8200000Cu), app.ReportError(static_cast<HRESULT>(0x8200000Cu), MSGERR_APPMUSTEXIT));
  app.ReportError(static_cast<HRESULT>(0x8200000Bu), MSG_NONE);
  EXPECT_EQ(1u, boxes.size());
}
