// A real window and Direct3D device (OpenGL under Xvfb) for the D3DX tests.
#pragma once

#include <gtest/gtest.h>

#include "platform/d3d9/d3d9.h"
#include "support/TestDevice.h"

class D3DXTestDevice : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 640, kHeight = 480;

  void SetUp() override {
    device_ = device.get();
    ASSERT_NE(device_, nullptr);
  }

  TestDevice device{kWidth, kHeight};
  IDirect3DDevice9* device_ = nullptr;
};
