// The viewer's application object: fixes the window, the device state re-applied every frame,
// the 60 Hz pacing and the lifetime of the scene manager on top of the generic framework.
#pragma once

#include <string>

#include "app/FramePacer.h"
#include "framework/D3DApplication.h"
#include "scene/FrameSignature.h"

struct ID3DXFont;

class CMyD3DApplication : public CD3DApplication {
 public:
  explicit CMyD3DApplication(const PacerClock& clock = SystemPacerClock());
  ~CMyD3DApplication() override;

  HRESULT InitOnce() override;
  HRESULT CreateDeviceResources() override;
  HRESULT RestoreDeviceResources() override;
  HRESULT Advance() override;
  // Waits for the frame's slot, then draws the frame, or returns S_FALSE without drawing when
  // it would come out the same as the frame last drawn (and presented).
  HRESULT DrawFrame() override;
  void InvalidateFrame() override { m_drawnValid = false; }
  HRESULT LoseDeviceResources() override;
  HRESULT DestroyDeviceResources() override;
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

  // A file for the player scene to open when the scene manager first starts, as if picked.
  void SetStartFile(std::u16string path) { m_startFile = std::move(path); }
  // One frame into the back buffer without waiting for its slot: the background and the scene.
  void DrawFrameUnpaced();
  // False draws every layer over the whole back buffer, as a reference for the limited frame.
  bool m_limitDrawing = true;
  // False draws every frame, as a reference for the frames left out.
  bool m_skipUnchangedFrames = true;
  // Frames drawn by DrawFrame, and those it left out as unchanged, since the start.
  ULONGLONG FramesDrawn() const { return m_framesDrawn; }
  ULONGLONG FramesSkipped() const { return m_framesSkipped; }

  const FramePacer& Pacer() const { return m_pacer; }
  bool IsLoading() const { return m_loading; }

 private:
  // How the next frame is drawn: limited to the scene's open area, and whether anything under
  // the scene shows.
  struct FramePlan {
    bool limited = false;
    bool hidden = false;
    RECT open{};
  };
  FramePlan PlanFrame() const;
  void DrawPlannedFrame(const FramePlan& plan);
  // Everything the planned frame reads into `signature`; false when something may change
  // without showing there (the animated background, a scene that cannot describe its drawing).
  bool DescribeFrame(const FramePlan& plan, CFrameSignature* signature) const;
  void ApplyFixedDeviceState();

  BOOL m_loading = TRUE;
  ID3DXFont* m_appFont = nullptr;
  FramePacer m_pacer;
  std::u16string m_startFile;    // taken by the first scene manager start
  std::u16string m_droppedFile;  // the first file of the last drop, opened in the next Advance
  CFrameSignature m_drawn;       // of the frame last drawn, valid while m_drawnValid
  CFrameSignature m_next;        // the current slot's, kept to reuse its storage
  bool m_drawnValid = false;     // false until a frame is drawn, and again after an expose or reset
  ULONGLONG m_framesDrawn = 0;
  ULONGLONG m_framesSkipped = 0;
};
