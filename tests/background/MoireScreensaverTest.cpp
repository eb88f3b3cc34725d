// The moire background's timing and colours on a clock the test sets, the clear colour
// conversion and the projection. No device: Update needs none.
#include "background/MoireScreensaver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "background/MoireTestSupport.h"

namespace {

using Color = CMoireScreensaver::Color;

// The colour schemes as the background must show them at application time t.
std::array<Color, 3> Scheme(int k, float t) {
  const float p = (std::sin(t) + 1) / 2, q = (std::cos(t) + 1) / 4;
  const std::array<Color, 3> schemes[4] = {
      {{{p, q, 0, 1}, {q, p, 0, 1}, {0, 0, 0.5f, 1}}},
      {{{0, p, q, 1}, {0, q, p, 1}, {0.5f, 0, 0, 1}}},
      {{{p, 0, q, 1}, {q, 0, p, 1}, {0, 0.5f, 0, 1}}},
      {{{p, p, p, 1}, {q, q, q, 1}, {0, 0, 0, 1}}},
  };
  return schemes[k];
}

std::array<Color, 3> Scaled(std::array<Color, 3> colors, float factor) {
  for (auto& c : colors)
    for (float& v : c) v *= factor;
  return colors;
}

std::array<Color, 3> Mixed(const std::array<Color, 3>& from, const std::array<Color, 3>& to, float x) {
  std::array<Color, 3> out;
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k) out[c][k] = from[c][k] + (to[c][k] - from[c][k]) * x;
  return out;
}

void ExpectColors(const CMoireScreensaver& moire, const std::array<Color, 3>& expected) {
  const Color* actual[3] = {&moire.Layer1Color(), &moire.Layer2Color(), &moire.ClearColor()};
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(expected[c][k], (*actual[c])[k], 1e-5) << "colour " << c << "." << k;
}

class MoireTimingTest : public ::testing::Test {
 protected:
  void At(double seconds) {
    clock.Set(seconds);
    moire.Update();
  }

  TestClock clock;
  CMoireScreensaver moire{nullptr, nullptr, clock.timer()};
};

TEST_F(MoireTimingTest, FirstUpdateSchedulesEveryChannelOnePeriodAheadAndShowsTheSchemeAtOnce) {
  for (const SwitchChannel* channel : {&moire.MeshChannel(), &moire.TextureChannel(), &moire.ColorChannel()}) {
    EXPECT_EQ(-1, channel->previous);
    EXPECT_EQ(0.0f, channel->nextSwitch);
    EXPECT_EQ(0.0f, channel->transitionStart);
  }
  EXPECT_GE(moire.MeshChannel().current, 0);
  EXPECT_LT(moire.MeshChannel().current, 3);
  EXPECT_GE(moire.TextureChannel().current, 0);
  EXPECT_LT(moire.TextureChannel().current, 4);

  At(7.5);
  EXPECT_FLOAT_EQ(37.5f, moire.MeshChannel().nextSwitch);
  EXPECT_FLOAT_EQ(97.5f, moire.TextureChannel().nextSwitch);
  EXPECT_FLOAT_EQ(67.5f, moire.ColorChannel().nextSwitch);
  ExpectColors(moire, Scheme(moire.ColorChannel().current, 7.5f));
  EXPECT_FLOAT_EQ((std::sin(7.5f / 20) + 1) * 2, moire.Layer1Scale());
  EXPECT_FLOAT_EQ((std::sin(7.5f / 8) + 1) * 2, moire.Layer2Scale());
  EXPECT_FLOAT_EQ(7.5f * 0.025f, moire.Layer2Rotation());
}

TEST_F(MoireTimingTest, MeshSwitchFadesToBlackHoldsWhileTheNewMeshIsChosenAndFadesBack) {
  At(0);
  const int before = moire.MeshChannel().current;
  struct Step {
    double t;
    float factor;
    bool chosen;  // the new mesh is in place
  } steps[] = {
      {30.0, 1, false},  // due, not yet past
      {30.25, 1, false}, {30.5, 0.75f, false}, {31.0, 0.25f, false}, {31.25, 0, false}, {31.5, 0, true},
      {32.0, 0, true},   {32.75, 0.5f, true},  {33.0, 0.75f, true},  {33.5, 1, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.t);
    At(s.t);
    ExpectColors(moire, Scaled(Scheme(moire.ColorChannel().current, float(s.t)), s.factor));
    if (s.chosen) {
      EXPECT_NE(before, moire.MeshChannel().current);
    } else {
      EXPECT_EQ(before, moire.MeshChannel().current);
    }
  }
  EXPECT_EQ(-1, moire.MeshChannel().previous);
  EXPECT_EQ(0.0f, moire.MeshChannel().transitionStart);
  EXPECT_FLOAT_EQ(60.5f, moire.MeshChannel().nextSwitch);  // rescheduled by the update after the switch
}

TEST_F(MoireTimingTest, SchemeCrossFadesInOneSecondAndMultipliesWithAnOverlappingMeshFade) {
  At(0);
  At(30.25);  // first mesh switch
  At(30.5);   // next one due after 60.5
  At(34);
  const int oldScheme = moire.ColorChannel().current;
  At(60.25);  // the scheme switches; the cross-fade starts at the old colours
  const int newScheme = moire.ColorChannel().current;
  EXPECT_NE(oldScheme, newScheme);
  EXPECT_EQ(oldScheme, moire.ColorChannel().previous);
  ExpectColors(moire, Scheme(oldScheme, 60.25f));

  At(60.5);
  ExpectColors(moire, Mixed(Scheme(oldScheme, 60.5f), Scheme(newScheme, 60.5f), 0.25f));
  At(60.75);  // the mesh switches here
  ExpectColors(moire, Mixed(Scheme(oldScheme, 60.75f), Scheme(newScheme, 60.75f), 0.5f));
  At(61.0);
  ExpectColors(moire, Scaled(Mixed(Scheme(oldScheme, 61.0f), Scheme(newScheme, 61.0f), 0.75f), 0.75f));
  At(61.5);  // the cross-fade ends: last frame's colours stay and the mesh fade dims them again
  ExpectColors(moire, Scaled(Scaled(Mixed(Scheme(oldScheme, 61.0f), Scheme(newScheme, 61.0f), 0.75f), 0.75f), 0.25f));
  EXPECT_EQ(-1, moire.ColorChannel().previous);
  At(62.0);
  ExpectColors(moire, Scaled(Scheme(newScheme, 62.0f), 0));
  At(63.25);
  ExpectColors(moire, Scaled(Scheme(newScheme, 63.25f), 0.5f));
  At(64.0);
  ExpectColors(moire, Scheme(newScheme, 64.0f));
}

TEST_F(MoireTimingTest, StallLongerThanATransitionEndsItAtOnceWithTheNewItem) {
  At(0);
  const int mesh = moire.MeshChannel().current;
  At(30.25);
  At(30.5);
  At(34.0);  // stalled from inside the fade-out
  EXPECT_NE(mesh, moire.MeshChannel().current);
  EXPECT_EQ(-1, moire.MeshChannel().previous);
  EXPECT_EQ(0.0f, moire.MeshChannel().transitionStart);
  ExpectColors(moire, Scheme(moire.ColorChannel().current, 34.0f));

  // All three channels switch at once and stall together.
  At(60.0);
  const int texture = moire.TextureChannel().current, scheme = moire.ColorChannel().current;
  At(90.25);
  At(95.0);
  EXPECT_NE(texture, moire.TextureChannel().current);
  EXPECT_NE(scheme, moire.ColorChannel().current);
  for (const SwitchChannel* channel : {&moire.MeshChannel(), &moire.TextureChannel(), &moire.ColorChannel()}) {
    EXPECT_EQ(-1, channel->previous);
    EXPECT_EQ(0.0f, channel->transitionStart);
  }
}

// One simulated hour at ten updates a second: every switch comes one period (plus the update
// that reschedules it) after the previous one and never keeps the same item; a second
// background makes the same choices, as a re-created one does.
TEST(MoireSwitches, KeepTheirPeriodsNeverRepeatAndRestartWithTheObject) {
  TestClock clock;
  CMoireScreensaver moire(nullptr, nullptr, clock.timer());
  CMoireScreensaver again(nullptr, nullptr, clock.timer());
  struct Track {
    const SwitchChannel& channel;
    int count;
    float period;
    int item = -1;
    double lastSwitch = 0;
    int switches = 0;
    int changes = 0;
  } tracks[] = {{moire.MeshChannel(), 3, 30}, {moire.TextureChannel(), 4, 90}, {moire.ColorChannel(), 4, 60}};
  for (Track& tr : tracks) tr.item = tr.channel.current;
  for (int step = 0; step <= 36000; ++step) {
    const double t = step * 0.1;
    clock.Set(t);
    moire.Update();
    again.Update();
    for (Track& tr : tracks) {
      SCOPED_TRACE(testing::Message() << "t " << t << " period " << tr.period);
      ASSERT_GE(tr.channel.current, 0);
      ASSERT_LT(tr.channel.current, tr.count);
      if (tr.channel.transitionStart != 0 && tr.channel.transitionStart == float(t)) {
        EXPECT_NEAR(tr.lastSwitch + tr.period + (tr.switches ? 0.1 : 0.0), t, 0.15);
        tr.lastSwitch = t;
        ++tr.switches;
      }
      if (tr.channel.current != tr.item) {
        ++tr.changes;
        tr.item = tr.channel.current;
      }
    }
    ASSERT_EQ(moire.MeshChannel().current, again.MeshChannel().current);
    ASSERT_EQ(moire.TextureChannel().current, again.TextureChannel().current);
    ASSERT_EQ(moire.ColorChannel().current, again.ColorChannel().current);
  }
  for (const Track& tr : tracks) {
    EXPECT_EQ(tr.switches, tr.changes) << "period " << tr.period;
    EXPECT_EQ(int(3600 / (tr.period + 0.1)), tr.switches) << "period " << tr.period;
  }
}

TEST(MoireClearColor, ComponentsConvertToBytesInArgbOrder) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float component;
    DWORD byte;
  } cases[] = {{1.0f, 255}, {1.5f, 255}, {0.0f, 0}, {-0.5f, 0}, {0.5f, 128}, {0.25f, 64}, {0.998f, 254}, {nan, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.component);
    EXPECT_EQ(c.byte << 16 | 0xFF000000u, CMoireScreensaver::ToArgb({c.component, 0, 0, 1}));
    EXPECT_EQ(c.byte << 24, CMoireScreensaver::ToArgb({0, 0, 0, c.component}));
  }
  EXPECT_EQ(0xFF8000FFu, CMoireScreensaver::ToArgb({0.5f, 0, 1, 1}));
  EXPECT_EQ(0x00004080u, CMoireScreensaver::ToArgb({0, 0.25f, 0.5f, 0}));
}

// The corners of the near-plane rectangle [left, right] x [bottom, top] land on the corners of
// the view volume, the near plane at depth 0 and the far plane at depth 1.
TEST(MoireProjection, EdgesFollowTheShorterSideOfTheClientRectangle) {
  struct Case {
    RECT client;
    float left, right, bottom, top;  // at the near plane 0.05
  } cases[] = {
      {{0, 0, 640, 480}, -0.05f * 320 / 480, 0.05f * 320 / 480, -0.025f, 0.025f},
      {{0, 0, 300, 500}, -0.025f, 0.025f, -0.05f * 250 / 300, 0.05f * 250 / 300},       // taller than wide
      {{10, 20, 111, 71}, -0.05f * 50 / 51, 0.05f, -0.05f * 25 / 51, 0.05f * 26 / 51},  // odd: centre (60, 45)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.client.right);
    D3DXMATRIX m;
    ASSERT_TRUE(CMoireScreensaver::ProjectionFor(c.client, &m));
    auto project = [&m](float x, float y, float z, float out[3]) {
      const float w = x * m._14 + y * m._24 + z * m._34 + m._44;
      out[0] = (x * m._11 + y * m._21 + z * m._31 + m._41) / w;
      out[1] = (x * m._12 + y * m._22 + z * m._32 + m._42) / w;
      out[2] = (x * m._13 + y * m._23 + z * m._33 + m._43) / w;
    };
    float p[3];
    project(c.left, c.bottom, 0.05f, p);
    EXPECT_NEAR(-1, p[0], 1e-4);
    EXPECT_NEAR(-1, p[1], 1e-4);
    EXPECT_NEAR(0, p[2], 1e-4);
    project(c.right * 2400, c.top * 2400, 120, p);  // the same direction at the far plane
    EXPECT_NEAR(1, p[0], 1e-4);
    EXPECT_NEAR(1, p[1], 1e-4);
    EXPECT_NEAR(1, p[2], 1e-4);
  }
  // The shorter side spans 2 atan(0.5): a point half as far off-axis as it is deep sits on the edge.
  D3DXMATRIX wide, tall;
  CMoireScreensaver::ProjectionFor({0, 0, 640, 480}, &wide);
  CMoireScreensaver::ProjectionFor({0, 0, 300, 500}, &tall);
  EXPECT_NEAR(1, 0.5f * wide._22, 1e-5);
  EXPECT_NEAR(1, 0.5f * tall._11, 1e-5);
  EXPECT_GT(0.5f * tall._22, 0.5f);
  EXPECT_LT(0.5f * tall._22, 1);  // the vertical field is wider

  D3DXMATRIX untouched;
  EXPECT_FALSE(CMoireScreensaver::ProjectionFor({0, 0, 0, 480}, &untouched));
}

}  // namespace
