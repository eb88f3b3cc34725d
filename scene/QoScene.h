// A scene of the program: created by the scene manager, updated and drawn once per frame.
#pragma once

#include "platform/kit/wintypes.h"

class CFrameSignature;

class CQoScene {
 public:
  virtual ~CQoScene() = default;
  // Called once right after construction; the manager passes 0 and ignores the status.
  virtual int Init(int mode) = 0;
  // Releases the scene's own resources (the scene's destructor calls it).
  virtual void Cleanup() = 0;
  // Per-frame logic after input polling: 0 continue, 1 this scene is finished.
  virtual int Update() = 0;
  // Per-frame drawing between BeginScene and EndScene with depth testing off.
  virtual void Draw() = 0;
  // The part of the back buffer where what is drawn before the scene (the background) still
  // shows once the scene is drawn; everywhere else the scene shows opaque black beneath what it
  // draws there itself. False when that is not one rectangle or not known, and then the whole
  // back buffer counts.
  virtual bool OpenArea(RECT* /*area*/) const { return false; }
  // True when the scene's first layer paints every pixel of the open area `area` opaquely, so
  // that nothing drawn before the scene shows at all.
  virtual bool CoversOpenArea(const RECT& /*area*/) const { return false; }
  // Adds everything Draw reads to the signature, so that a frame whose signature equals the
  // last drawn one need not be drawn again. False when the scene cannot tell (then every frame
  // is drawn); a scene that overrides Draw's inputs must keep this list in step with them.
  virtual bool DescribeDraw(CFrameSignature* /*signature*/) const { return false; }
  // Diagnostic text drawn with g_appFont.
  virtual void DrawDebugInfo() = 0;

  // Set by the frame before each Draw: true when everything outside OpenArea is already opaque
  // black, so that the scene need not paint its black there again.
  bool m_outsideCleared = false;
};
