#include "framework/D3DSettings.h"

#include "framework/FrameworkCodes.h"

namespace {

// One half of the settings: the chosen combo with the first of each of its lists.
void FillMode(D3DModeSettings& mode, D3DAdapterInfo* adapter, D3DDeviceInfo* device, D3DDeviceCombo* combo,
              const D3DDISPLAYMODE& displayMode) {
  mode.AdapterInfo = adapter;
  mode.DeviceInfo = device;
  mode.DeviceCombo = combo;
  mode.DisplayMode = displayMode;
  mode.DepthStencilFormat = combo->DepthStencilFormats.empty() ? D3DFMT_UNKNOWN : combo->DepthStencilFormats.front();
  mode.MultisampleType = combo->MultiSampleTypes.front();
  mode.MultisampleQuality = 0;
  mode.VertexProcessing = combo->VertexProcessingTypes.front();
  mode.PresentInterval = combo->PresentIntervals.front();
}

}  // namespace

bool FindBestWindowedMode(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings, const RECT& clientRect,
                          bool requireRef) {
  D3DDISPLAYMODE desktop{};
  if (FAILED(d3d->GetAdapterDisplayMode(0, &desktop))) return false;

  D3DAdapterInfo* bestAdapter = nullptr;
  D3DDeviceInfo* bestDevice = nullptr;
  D3DDeviceCombo* bestCombo = nullptr;
  for (auto& adapter : enumeration.AdapterInfoList) {
    for (auto& device : adapter->DeviceInfos) {
      if (requireRef && device->DevType != D3DDEVTYPE_REF) continue;
      for (auto& combo : device->DeviceCombos) {
        if (!combo->IsWindowed || combo->AdapterFormat != desktop.Format) continue;
        const bool matchesBackBuffer = combo->BackBufferFormat == combo->AdapterFormat;
        const bool isHal = combo->DevType == D3DDEVTYPE_HAL;
        if (!bestCombo || (bestCombo->DevType != D3DDEVTYPE_HAL && isHal) || (isHal && matchesBackBuffer)) {
          bestAdapter = adapter.get();
          bestDevice = device.get();
          bestCombo = combo.get();
          if (isHal && matchesBackBuffer) goto found;
        }
      }
    }
  }
found:
  if (!bestCombo) return false;

  FillMode(settings.Windowed, bestAdapter, bestDevice, bestCombo, desktop);
  settings.WindowedWidth = clientRect.right - clientRect.left;
  settings.WindowedHeight = clientRect.bottom - clientRect.top;
  settings.IsWindowed = true;
  return true;
}

bool FindBestFullscreenMode(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings) {
  D3DAdapterInfo* bestAdapter = nullptr;
  D3DDeviceInfo* bestDevice = nullptr;
  D3DDeviceCombo* bestCombo = nullptr;
  D3DDISPLAYMODE bestDesktop{};
  for (auto& adapter : enumeration.AdapterInfoList) {
    D3DDISPLAYMODE desktop{};
    if (FAILED(d3d->GetAdapterDisplayMode(adapter->AdapterOrdinal, &desktop))) continue;
    for (auto& device : adapter->DeviceInfos) {
      for (auto& combo : device->DeviceCombos) {
        if (combo->IsWindowed) continue;
        const bool isHal = device->DevType == D3DDEVTYPE_HAL;
        const bool onDesktop = combo->AdapterFormat == desktop.Format;
        const bool matchesBackBuffer = onDesktop && combo->AdapterFormat == combo->BackBufferFormat;
        if (!bestCombo || (bestDevice->DevType != D3DDEVTYPE_HAL && isHal) ||
            (isHal && bestCombo->AdapterFormat != bestDesktop.Format && onDesktop) || (isHal && matchesBackBuffer)) {
          bestAdapter = adapter.get();
          bestDevice = device.get();
          bestCombo = combo.get();
          bestDesktop = desktop;
          if (isHal && matchesBackBuffer) goto found;
        }
      }
    }
  }
found:
  if (!bestCombo) return false;

  // Prefer the desktop's own resolution and refresh; else the last mode of the desktop's width;
  // else the first mode of the combo's format.
  const D3DDISPLAYMODE* exact = nullptr;
  const D3DDISPLAYMODE* lastOfDesktopWidth = nullptr;
  const D3DDISPLAYMODE* first = nullptr;
  for (const D3DDISPLAYMODE& mode : bestAdapter->DisplayModes) {
    if (mode.Format != bestCombo->AdapterFormat) continue;
    if (!first) first = &mode;
    if (mode.Width == bestDesktop.Width && mode.Height == bestDesktop.Height &&
        mode.RefreshRate == bestDesktop.RefreshRate) {
      exact = &mode;
      break;
    }
    if (mode.Width == bestDesktop.Width) lastOfDesktopWidth = &mode;
  }
  const D3DDISPLAYMODE* chosen = exact ? exact : lastOfDesktopWidth ? lastOfDesktopWidth : first;
  if (!chosen) return false;

  FillMode(settings.Fullscreen, bestAdapter, bestDevice, bestCombo, *chosen);
  settings.IsWindowed = false;
  return true;
}

HRESULT ChooseStartSettings(IDirect3D9* d3d, CD3DEnumeration& enumeration, CD3DSettings& settings,
                            const RECT& clientRect, bool startFullscreen) {
  const bool foundFullscreen = FindBestFullscreenMode(d3d, enumeration, settings);
  const bool foundWindowed = FindBestWindowedMode(d3d, enumeration, settings, clientRect, false);
  if (startFullscreen && foundFullscreen) settings.IsWindowed = false;
  if (!foundWindowed) {
    if (!foundFullscreen) return D3DAPPERR_NOCOMPATIBLEDEVICES;
    settings.IsWindowed = false;
  }
  return S_OK;
}
