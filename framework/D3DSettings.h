// The chosen device settings for the windowed and the fullscreen mode, and how they are chosen
// at start-up from the enumeration.
#pragma once

#include "framework/D3DEnumeration.h"

struct D3DModeSettings {
  D3DAdapterInfo* AdapterInfo = nullptr;
  D3DDeviceInfo* DeviceInfo = nullptr;
  D3DDeviceCombo* DeviceCombo = nullptr;
  D3DDISPLAYMODE DisplayMode{};
  D3DFORMAT DepthStencilFormat = D3DFMT_UNKNOWN;
  D3DMULTISAMPLE_TYPE MultisampleType = D3DMULTISAMPLE_NONE;
  DWORD MultisampleQuality = 0;
  VertexProcessingType VertexProcessing = SOFTWARE_VP;
  UINT PresentInterval = D3DPRESENT_INTERVAL_DEFAULT;
};

class CD3DSettings {
 public:
  bool IsWindowed = true;
  D3DModeSettings Windowed;
  int WindowedWidth = 0;
  int WindowedHeight = 0;
  D3DModeSettings Fullscreen;

  D3DModeSettings& Current() { return IsWindowed ? Windowed : Fullscreen; }
  const D3DModeSettings& Current() const { return IsWindowed ? Windowed : Fullscreen; }
  UINT AdapterOrdinal() const { return Current().DeviceCombo->AdapterOrdinal; }
  D3DDEVTYPE DevType() const { return Current().DeviceInfo->DevType; }
  D3DFORMAT BackBufferFormat() const { return Current().DeviceCombo->BackBufferFormat; }
};

// Chooses the best windowed mode on the default adapter's desktop format, preferring HAL devices
// whose back-buffer format equals the adapter format. Only reference devices when requireRef.
bool FindBestWindowedMode(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings, const RECT& clientRect,
                          bool requireRef);
// Chooses the best fullscreen mode over all adapters, preferring HAL devices on the desktop format.
bool FindBestFullscreenMode(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings);
// Fills both halves; D3DAPPERR_NOCOMPATIBLEDEVICES when neither a windowed nor a fullscreen mode exists.
HRESULT ChooseStartSettings(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings,
                            const RECT& clientRect, bool startFullscreen);
