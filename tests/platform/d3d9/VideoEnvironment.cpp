// SDL video stays up for the whole test program, as it does for the whole run of the program:
// shutting X11 down and reopening it between tests fails now and then.
#include <SDL.h>
#include <gtest/gtest.h>

namespace {

class VideoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
  void TearDown() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

[[maybe_unused]] ::testing::Environment* const kVideo = ::testing::AddGlobalTestEnvironment(new VideoEnvironment);

}  // namespace
