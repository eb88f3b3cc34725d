// The back buffer: an offscreen GL framebuffer with an RGBA8 colour and a depth-stencil
// renderbuffer. GL stores rows bottom first; the device draws with GL's orientation so that
// presenting needs no flip, and read-back turns rows top first. Device thread only.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <vector>

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

class RenderTarget {
 public:
  RenderTarget() = default;
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;
  ~RenderTarget();

  // False (with nothing allocated) when GL cannot make a complete framebuffer of that size.
  bool Create(UINT width, UINT height);
  // Binds the framebuffer that draws go to: the offscreen one, or the window's own.
  void Bind() const { glBindFramebuffer(GL_FRAMEBUFFER, toWindow_ ? 0 : framebuffer_); }
  // With on, draws go straight to the window's back buffer (of the same size and depth), and
  // Present has nothing to copy; the offscreen framebuffer then stands unused. The depth and
  // stencil values move with the switch, as the device's one depth-stencil surface keeps them
  // across frames; the colour does not (a presented back buffer holds no defined picture).
  void DrawToWindow(bool on, int drawableWidth, int drawableHeight);
  bool drawsToWindow() const { return toWindow_; }
  // Copies the target to the default framebuffer, stretched to the drawable size: enlarged
  // without blur when the drawable is the same whole number of times as large in both directions.
  void BlitToWindow(int drawableWidth, int drawableHeight) const;
  // A rectangle in Direct3D's pixels (top row 0) as a GL scissor box {x, y, width, height}
  // (bottom row 0), cut to the target; an empty or inverted rectangle gives a zero-sized box.
  std::array<GLint, 4> GlBox(const RECT& rect) const;
  // ARGB pixels, top row first; alpha forced to 0xff when opaque.
  std::vector<DWORD> Read(bool opaque) const;

  // Draws never write stencil (the device has no stencil states), so only clears change it.
  // While every stencil value is known to be the same, a depth clear may clear stencil to that
  // value too: the same contents, and the driver clears the packed depth-stencil buffer in one
  // fill instead of masking each pixel's stencil bits.
  bool UniformStencil(GLint* value) const {
    *value = stencilValue_;
    return stencilUniform_;
  }
  // Records a stencil clear to `value` of the whole target or, with whole false, of a part.
  void NoteStencilClear(bool whole, GLint value) {
    if (!whole && stencilUniform_ && value == stencilValue_) return;
    stencilUniform_ = whole;
    stencilValue_ = value;
  }
  // Reads the stencil value at a pixel (top row 0), for tests.
  GLint ReadStencil(int x, int y) const;

  UINT width() const { return width_; }
  UINT height() const { return height_; }

 private:
  void Destroy();

  GLuint framebuffer_ = 0, color_ = 0, depth_ = 0;
  UINT width_ = 0, height_ = 0;
  bool toWindow_ = false;
  bool stencilUniform_ = false;
  GLint stencilValue_ = 0;
};

}  // namespace d3d9
