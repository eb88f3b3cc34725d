// The quad batch: the vertices it writes, the device calls a flush makes, its capacity, and
// what reaches the back buffer of a real device.
#include "ui/QuadBatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "scene/SceneGlobals.h"
#include "support/TestDevice.h"
#include "ui/RecordingDevice.h"

namespace {

class QuadBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, device.get()) << "no Direct3D device (is DISPLAY set?)";
    texture = device.MakeTexture(256, 256, std::vector<DWORD>(256 * 256, 0xFFFFFFFF));
    ASSERT_NE(nullptr, texture);
  }
  void TearDown() override {
    DestroyQuadBatch();
    if (texture) texture->Release();
  }

  TestDevice device;
  IDirect3DTexture9* texture = nullptr;
};

// The control strip's track: destination (15, 435, 200, 5) from source (0, 192, 200, 5) of a
// 256 x 256 texture; flipped, the rows run from the last texel row of the rectangle up to the
// first, each half a texel in, so that the mirrored quad shows the same rows.
TEST_F(QuadBatchTest, TrackQuadHasExactCornersAndHalfTexelCoordinates) {
  for (bool flip : {false, true}) {
    SCOPED_TRACE(flip ? "flipped" : "upright");
    ASSERT_TRUE(CreateQuadBatch(device.get()));
    CQuadBatch& batch = *g_quadBatch;
    batch.BeginTextured(texture);
    batch.m_color = 0x80FF2010;
    batch.AddTexturedQuad(15, 435, 200, 5, 0, 192, 200, 5, flip, 0.0f);
    ASSERT_EQ(2u, batch.TexturedTriangleCount());

    const float vTop = flip ? 196.5f / 256 : 192.5f / 256, vBottom = flip ? 191.5f / 256 : 197.5f / 256;
    const TexturedVertex expected[6] = {
        {15, 435, 1, 1, 0x80FF2010, 0.5f / 256, vTop},    {215, 435, 1, 1, 0x80FF2010, 200.5f / 256, vTop},
        {15, 440, 1, 1, 0x80FF2010, 0.5f / 256, vBottom}, {15, 440, 1, 1, 0x80FF2010, 0.5f / 256, vBottom},
        {215, 435, 1, 1, 0x80FF2010, 200.5f / 256, vTop}, {215, 440, 1, 1, 0x80FF2010, 200.5f / 256, vBottom},
    };
    const TexturedVertex* v = batch.TexturedVertices();
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(expected[i].x, v[i].x);
      EXPECT_EQ(expected[i].y, v[i].y);
      EXPECT_EQ(expected[i].z, v[i].z);
      EXPECT_EQ(expected[i].rhw, v[i].rhw);
      EXPECT_EQ(expected[i].color, v[i].color);
      EXPECT_FLOAT_EQ(expected[i].u, v[i].u);
      EXPECT_FLOAT_EQ(expected[i].v, v[i].v);
    }
  }
}

TEST_F(QuadBatchTest, AQuarterTurnStandsARectangleUpAboutItsCentre) {
  ASSERT_TRUE(CreateQuadBatch(device.get()));
  g_quadBatch->BeginTextured(texture);
  g_quadBatch->AddTexturedQuad(100, 100, 40, 20, 0, 0, 40, 20, false, std::numbers::pi_v<float> / 2);
  const TexturedVertex* v = g_quadBatch->TexturedVertices();
  float minX = v[0].x, maxX = v[0].x, minY = v[0].y, maxY = v[0].y;
  for (int i = 1; i < 6; ++i) {
    minX = std::min(minX, v[i].x), maxX = std::max(maxX, v[i].x);
    minY = std::min(minY, v[i].y), maxY = std::max(maxY, v[i].y);
  }
  EXPECT_NEAR(20.0f, maxX - minX, 1e-4);
  EXPECT_NEAR(40.0f, maxY - minY, 1e-4);
  EXPECT_NEAR(120.0f, (minX + maxX) / 2, 1e-4);
  EXPECT_NEAR(110.0f, (minY + maxY) / 2, 1e-4);
  // With y down, a positive angle turns clockwise: the top-left corner goes to the top right.
  EXPECT_NEAR(130.0f, v[0].x, 1e-4);
  EXPECT_NEAR(90.0f, v[0].y, 1e-4);
}

TEST_F(QuadBatchTest, FlushDrawsTexturedThenPlainWithOneCallEachAndNothingWhenEmpty) {
  RecordingDevice probe(device.get());
  ASSERT_TRUE(CreateQuadBatch(&probe));
  CQuadBatch& batch = *g_quadBatch;
  probe.BeginScene();

  for (IDirect3DTexture9* selected : {texture, static_cast<IDirect3DTexture9*>(nullptr)}) {
    batch.BeginTextured(selected);
    probe.calls.clear();
    batch.Flush();
    EXPECT_TRUE(probe.calls.empty()) << "an empty flush touched the device";
  }

  // Appends that a new BeginTextured discards are never drawn.
  batch.BeginTextured(texture);
  batch.AddRect(0, 0, 4, 4);
  batch.AddTexturedQuad(0, 0, 4, 4, 0, 0, 4, 4, false, 0.0f);
  batch.BeginTextured(texture);
  probe.calls.clear();
  batch.Flush();
  EXPECT_TRUE(probe.calls.empty());

  batch.AddRect(0, 0, 4, 4);
  batch.AddRect(8, 0, 4, 4);
  batch.AddTexturedQuad(0, 0, 4, 4, 0, 0, 4, 4, false, 0.0f);
  batch.Flush();
  ASSERT_EQ(2u, probe.draws.size());
  EXPECT_EQ(2u, probe.draws[0].primitives);
  EXPECT_EQ(28u, probe.draws[0].stride);
  EXPECT_EQ(0x144u, probe.draws[0].fvf);
  EXPECT_EQ(texture, probe.draws[0].texture);
  EXPECT_EQ(4u, probe.draws[1].primitives);
  EXPECT_EQ(20u, probe.draws[1].stride);
  EXPECT_EQ(0x44u, probe.draws[1].fvf);
  EXPECT_EQ(nullptr, probe.draws[1].texture);

  probe.calls.clear();
  batch.Flush();
  EXPECT_TRUE(probe.calls.empty()) << "a second flush drew again";
  probe.EndScene();
}

// One append past a full list flushes the full list first and keeps the new quad.
TEST_F(QuadBatchTest, AnAppendToAFullListFlushesItFirst) {
  RecordingDevice probe(device.get());
  ASSERT_TRUE(CreateQuadBatch(&probe));
  CQuadBatch& batch = *g_quadBatch;
  probe.BeginScene();
  batch.BeginTextured(texture);
  for (UINT i = 0; i < QUAD_BATCH_TEXTURED_QUADS; ++i) batch.AddTexturedQuad(0, 0, 1, 1, 0, 0, 1, 1, false, 0.0f);
  for (UINT i = 0; i < QUAD_BATCH_PLAIN_QUADS; ++i) batch.AddRect(0, 0, 1, 1);
  EXPECT_TRUE(probe.draws.empty());
  EXPECT_EQ(2 * QUAD_BATCH_TEXTURED_QUADS, batch.TexturedTriangleCount());
  EXPECT_EQ(2 * QUAD_BATCH_PLAIN_QUADS, batch.PlainTriangleCount());

  batch.AddTexturedQuad(7, 0, 1, 1, 0, 0, 1, 1, false, 0.0f);
  ASSERT_EQ(2u, probe.draws.size());
  EXPECT_EQ(2 * QUAD_BATCH_TEXTURED_QUADS, probe.draws[0].primitives);
  EXPECT_EQ(2 * QUAD_BATCH_PLAIN_QUADS, probe.draws[1].primitives);
  EXPECT_EQ(2u, batch.TexturedTriangleCount());
  EXPECT_EQ(7.0f, batch.TexturedVertices()[0].x);

  for (UINT i = 0; i < QUAD_BATCH_PLAIN_QUADS; ++i) batch.AddRect(0, 0, 1, 1);
  batch.AddRect(9, 0, 1, 1);
  ASSERT_EQ(4u, probe.draws.size());
  EXPECT_EQ(2u, probe.draws[2].primitives);
  EXPECT_EQ(2 * QUAD_BATCH_PLAIN_QUADS, probe.draws[3].primitives);
  EXPECT_EQ(2u, batch.PlainTriangleCount());
  EXPECT_EQ(9.0f, batch.PlainVertices()[0].x);
  probe.EndScene();
}

TEST_F(QuadBatchTest, ABatchWithoutDeviceHasNoListsAndIgnoresEverything) {
  EXPECT_FALSE(CreateQuadBatch(nullptr));
  ASSERT_NE(nullptr, g_quadBatch);
  CQuadBatch& batch = *g_quadBatch;
  EXPECT_EQ(nullptr, batch.TexturedVertices());
  EXPECT_EQ(nullptr, batch.PlainVertices());
  batch.BeginTextured(texture);
  batch.AddTexturedQuad(0, 0, 4, 4, 0, 0, 4, 4, false, 0.0f);
  batch.AddRect(0, 0, 4, 4);
  EXPECT_EQ(0u, batch.TexturedTriangleCount());
  EXPECT_EQ(0u, batch.PlainTriangleCount());
  batch.Flush();

  EXPECT_TRUE(CreateQuadBatch(device.get()));
  ASSERT_NE(nullptr, g_quadBatch);
  EXPECT_NE(nullptr, g_quadBatch->TexturedVertices());
  DestroyQuadBatch();
  EXPECT_EQ(nullptr, g_quadBatch);
}

// A textured quad drawn 1:1 shows its source texels pixel for pixel; a following untextured
// group fills exactly its rectangle, whatever texture states the textured group left behind.
TEST_F(QuadBatchTest, DrawsTexelsOneToOneAndRectanglesExactlyOnTheDevice) {
  constexpr int kTw = 64, kTh = 32;
  std::vector<DWORD> texels(kTw * kTh);
  for (int y = 0; y < kTh; ++y)
    for (int x = 0; x < kTw; ++x) texels[y * kTw + x] = 0xFF000000u | (x * 4) << 16 | (y * 8) << 8 | 0x40;
  IDirect3DTexture9* picture = device.MakeTexture(kTw, kTh, texels);
  ASSERT_NE(nullptr, picture);

  IDirect3DDevice9* d = device.get();
  ASSERT_TRUE(CreateQuadBatch(d));
  ASSERT_EQ(S_OK, d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0));
  ASSERT_EQ(S_OK, d->BeginScene());
  g_quadBatch->BeginTextured(picture);
  g_quadBatch->AddTexturedQuad(20, 30, 16, 12, 8, 4, 16, 12, false, 0.0f);
  g_quadBatch->Flush();
  g_quadBatch->BeginTextured(nullptr);
  g_quadBatch->m_color = 0xFF00C000;
  g_quadBatch->AddRect(50, 60, 7, 3);
  g_quadBatch->Flush();
  ASSERT_EQ(S_OK, d->EndScene());
  picture->Release();

  UINT width = 0;
  const std::vector<DWORD> pixels = device.ReadBack(&width);
  ASSERT_EQ(256u * 256u, pixels.size());
  int wrong = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) {
      DWORD want = 0xFFFFFF;
      if (x >= 20 && x < 36 && y >= 30 && y < 42) want = texels[(y - 30 + 4) * kTw + (x - 20 + 8)] & 0xFFFFFF;
      if (x >= 50 && x < 57 && y >= 60 && y < 63) want = 0x00C000;
      const DWORD got = pixels[y * width + x] & 0xFFFFFF;
      if (got != want && ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << std::hex << got << " want " << want;
    }
  }
  EXPECT_EQ(0, wrong);
}

}  // namespace
