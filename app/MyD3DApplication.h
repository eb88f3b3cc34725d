// The viewer's application object: fixes the window, the device state re-applied every frame,
// the 60 Hz pacing and the lifetime of the scene manager on top of the generic framework.
#pragma once

#include <string>

#include "app/FramePacer.h"
#include "framework/D3DApplication.h"

struct ID3DXFont;

class CMyD3DApplication : public CD3DApplication {
 public:
  explicit CMyD3DApplication(const PacerClock& clock = SystemPacerClock());
  ~CMyD3DApplication() override;

  HRESULT InitOnce() override;
  HRESULT CreateDeviceResources() override;
  HRESULT RestoreDeviceResources() override;
  HRESULT Advance() override;
  HRESULT DrawFrame() override;
  HRESULT LoseDeviceResources() override;
  HRESULT DestroyDeviceResources() override;
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

  // A file for the player scene to open when the scene manager first starts, as if picked.
  void SetStartFile(std::u16string path) { m_startFile = std::move(path); }
  // One frame into the back buffer without waiting for its slot: the background and the scene.
  void DrawFrameUnpaced();
  // False draws every layer over the whole back buffer, as a reference for the limited frame.
  bool m_limitDrawing = true;

  const FramePacer& Pacer() const { return m_pacer; }
  bool IsLoading() const { return m_loading; }

 private:
  void ApplyFixedDeviceState();

  BOOL m_loading = TRUE;
  ID3DXFont* m_appFont = nullptr;
  FramePacer m_pacer;
  std::u16string m_startFile;    // taken by the first scene manager start
  std::u16string m_droppedFile;  // the first file of the last drop, opened in the next Advance
};
