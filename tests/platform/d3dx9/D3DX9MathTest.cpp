// The matrix helpers against hand-computed values and the points they must map.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/d3dx9/d3dx9math.h"

namespace {

// Row vector (x, y, z, 1) times m, divided by w.
D3DXVECTOR3 Project(const D3DXMATRIX& m, float x, float y, float z) {
  const float v[4] = {x, y, z, 1};
  float r[4] = {};
  for (int c = 0; c < 4; ++c)
    for (int k = 0; k < 4; ++k) r[c] += v[k] * m.m[k][c];
  return {r[0] / r[3], r[1] / r[3], r[2] / r[3]};
}

void ExpectNear(const D3DXVECTOR3& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-5f);
  EXPECT_NEAR(v.y, y, 1e-5f);
  EXPECT_NEAR(v.z, z, 1e-5f);
}

TEST(D3DX9MathTest, LookAtFromBehindTheOriginOnlyTranslates) {
  D3DXMATRIX view;
  const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  EXPECT_EQ(view, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1));
  // Looking along +x from the origin: +x goes into the screen, +z to the left.
  const D3DXVECTOR3 side(1, 0, 0);
  D3DXMatrixLookAtLH(&view, &at, &side, &up);
  ExpectNear(Project(view, 2, 0, 0), 0, 0, 2);
  ExpectNear(Project(view, 0, 0, 1), -1, 0, 0);
}

TEST(D3DX9MathTest, PerspectiveFovMapsTheFrustumToUnitDepth) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 100.0f);
  const float yscale = 1.0f / std::tan(D3DX_PI / 8);
  EXPECT_NEAR(p._11, yscale * 0.75f, 1e-5f);
  EXPECT_NEAR(p._22, yscale, 1e-5f);
  EXPECT_NEAR(p._33, 100.0f / 99.0f, 1e-5f);
  EXPECT_EQ(p._34, 1.0f);
  EXPECT_NEAR(p._43, -100.0f / 99.0f, 1e-5f);
  EXPECT_EQ(p._44, 0.0f);
  // The top edge of the near plane lands on y = 1, depth 0; the far plane centre on depth 1.
  ExpectNear(Project(p, 0, std::tan(D3DX_PI / 8), 1), 0, 1, 0);
  ExpectNear(Project(p, 0, 0, 100), 0, 0, 1);
}

TEST(D3DX9MathTest, OffCenterPerspectiveMapsItsNearRectangle) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveOffCenterLH(&p, -0.02f, 0.06f, -0.05f, 0.01f, 0.05f, 120.0f);
  ExpectNear(Project(p, -0.02f, -0.05f, 0.05f), -1, -1, 0);
  ExpectNear(Project(p, 0.06f, 0.01f, 0.05f), 1, 1, 0);
  // Far away the same directions scale with distance.
  ExpectNear(Project(p, 0.06f * 2400, 0.01f * 2400, 120), 1, 1, 1);
}

TEST(D3DX9MathTest, ScaleRotateTranslateComposeLeftToRight) {
  D3DXMATRIX s, r, t, sr, srt;
  D3DXMatrixScaling(&s, 2, 3, 4);
  D3DXMatrixRotationZ(&r, D3DX_PI / 2);
  D3DXMatrixTranslation(&t, 10, 20, 30);
  ExpectNear(Project(r, 1, 0, 0), 0, 1, 0);  // x turns towards y
  D3DXMatrixMultiply(&sr, &s, &r);
  srt = sr * t;
  // (1, 1, 1) scaled to (2, 3, 4), turned to (-3, 2, 4), moved to (7, 22, 34).
  ExpectNear(Project(srt, 1, 1, 1), 7, 22, 34);
  // Output aliasing an input.
  D3DXMatrixMultiply(&s, &s, &t);
  ExpectNear(Project(s, 1, 1, 1), 12, 23, 34);
}

TEST(D3DX9MathTest, NormalizeGivesUnitLengthAndKeepsZero) {
  D3DXVECTOR3 v(-1, -1, 2), out;
  D3DXVec3Normalize(&out, &v);
  const float k = 1.0f / std::sqrt(6.0f);
  ExpectNear(out, -k, -k, 2 * k);
  const D3DXVECTOR3 zero(0, 0, 0);
  D3DXVec3Normalize(&out, &zero);
  ExpectNear(out, 0, 0, 0);
}

}  // namespace
