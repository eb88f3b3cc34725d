#include "platform/d3d9/RenderTarget.h"

#include <algorithm>

namespace d3d9 {

RenderTarget::~RenderTarget() {
  Destroy();
}

void RenderTarget::Destroy() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (color_) glDeleteRenderbuffers(1, &color_);
  if (depth_) glDeleteRenderbuffers(1, &depth_);
  framebuffer_ = color_ = depth_ = 0;
  width_ = height_ = 0;
  toWindow_ = false;
}

bool RenderTarget::Create(UINT width, UINT height) {
  Destroy();
  glGenRenderbuffers(1, &color_);
  glBindRenderbuffer(GL_RENDERBUFFER, color_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
    Destroy();
    return false;
  }
  width_ = width;
  height_ = height;
  glViewport(0, 0, width, height);
  // Start from black and the far depth rather than whatever the memory held.
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  stencilUniform_ = true;
  stencilValue_ = 0;
  return true;
}

void RenderTarget::BlitToWindow(int drawableWidth, int drawableHeight) const {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  // A window a whole number of times as large in both directions (a scaled screen) shows each
  // back-buffer pixel as a square of window pixels, without blur; other sizes are smoothed.
  const bool wholeMultiple = width_ > 0 && height_ > 0 && drawableWidth % int(width_) == 0 &&
                             drawableHeight % int(height_) == 0 &&
                             drawableWidth / int(width_) == drawableHeight / int(height_) && drawableWidth > 0;
  glBlitFramebuffer(0, 0, width_, height_, 0, 0, drawableWidth, drawableHeight, GL_COLOR_BUFFER_BIT,
                    wholeMultiple ? GL_NEAREST : GL_LINEAR);
}

void RenderTarget::DrawToWindow(bool on, int drawableWidth, int drawableHeight) {
  if (on == toWindow_) return;
  if (drawableWidth == int(width_) && drawableHeight == int(height_)) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, toWindow_ ? 0 : framebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, on ? 0 : framebuffer_);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                      GL_NEAREST);
  } else {
    stencilUniform_ = false;  // the other buffer's stencil was never set
  }
  toWindow_ = on;
}

std::array<GLint, 4> RenderTarget::GlBox(const RECT& rect) const {
  const LONG left = std::max<LONG>(rect.left, 0), top = std::max<LONG>(rect.top, 0);
  const LONG right = std::min<LONG>(rect.right, LONG(width_)), bottom = std::min<LONG>(rect.bottom, LONG(height_));
  if (right <= left || bottom <= top) return {0, 0, 0, 0};
  return {left, LONG(height_) - bottom, right - left, bottom - top};
}

GLint RenderTarget::ReadStencil(int x, int y) const {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, toWindow_ ? 0 : framebuffer_);
  GLubyte value = 0;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, GLint(height_) - 1 - y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
  return value;
}

std::vector<DWORD> RenderTarget::Read(bool opaque) const {
  std::vector<DWORD> pixels(std::size_t(width_) * height_);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, toWindow_ ? 0 : framebuffer_);
  glReadBuffer(toWindow_ ? GL_BACK : GL_COLOR_ATTACHMENT0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
  for (UINT y = 0; y < height_ / 2; ++y)
    std::swap_ranges(pixels.begin() + std::size_t(y) * width_, pixels.begin() + std::size_t(y + 1) * width_,
                     pixels.begin() + std::size_t(height_ - 1 - y) * width_);
  if (opaque)
    for (DWORD& p : pixels) p |= 0xff000000u;
  return pixels;
}

}  // namespace d3d9
