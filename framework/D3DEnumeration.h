// Lists every usable combination of adapter, device type, adapter format, back-buffer format and
// windowed/fullscreen use, filtered by the application's minimum requirements.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"

enum VertexProcessingType { SOFTWARE_VP = 0, MIXED_VP = 1, HARDWARE_VP = 2, PURE_HARDWARE_VP = 3 };

struct D3DDSMSConflict {
  D3DFORMAT DSFormat;
  D3DMULTISAMPLE_TYPE MSType;
};

struct D3DDeviceCombo {
  UINT AdapterOrdinal = 0;
  D3DDEVTYPE DevType = D3DDEVTYPE_HAL;
  D3DFORMAT AdapterFormat = D3DFMT_UNKNOWN;
  D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
  bool IsWindowed = false;
  std::vector<D3DFORMAT> DepthStencilFormats;
  std::vector<D3DMULTISAMPLE_TYPE> MultiSampleTypes;
  std::vector<DWORD> MultiSampleQualities;
  std::vector<D3DDSMSConflict> DSMSConflicts;
  std::vector<VertexProcessingType> VertexProcessingTypes;
  std::vector<UINT> PresentIntervals;
};

struct D3DDeviceInfo {
  UINT AdapterOrdinal = 0;
  D3DDEVTYPE DevType = D3DDEVTYPE_HAL;
  D3DCAPS9 Caps{};
  std::vector<std::unique_ptr<D3DDeviceCombo>> DeviceCombos;
};

struct D3DAdapterInfo {
  UINT AdapterOrdinal = 0;
  D3DADAPTER_IDENTIFIER9 AdapterIdentifier{};
  std::vector<D3DDISPLAYMODE> DisplayModes;
  std::vector<std::unique_ptr<D3DDeviceInfo>> DeviceInfos;
};

// Asks whether a device with these caps and this vertex processing may be used.
using ConfirmDeviceFn = bool (*)(const D3DCAPS9* caps, VertexProcessingType vertexProcessing,
                                 D3DFORMAT backBufferFormat);

UINT ColorChannelBits(D3DFORMAT format);
UINT AlphaChannelBits(D3DFORMAT format);
UINT DepthBits(D3DFORMAT format);
UINT StencilBits(D3DFORMAT format);
// The format's Direct3D name ("D3DFMT_X8R8G8B8"), without "D3DFMT_" when withPrefix is false;
// "Unknown format" for values without a name.
std::u16string D3DFormatName(D3DFORMAT format, bool withPrefix);

class CD3DEnumeration {
 public:
  // Requirements, set before Enumerate.
  UINT AppMinFullscreenWidth = 640;
  UINT AppMinFullscreenHeight = 480;
  UINT AppMinColorChannelBits = 5;
  UINT AppMinAlphaChannelBits = 0;
  UINT AppMinDepthBits = 15;
  UINT AppMinStencilBits = 0;
  bool AppUsesDepthBuffer = false;
  bool AppUsesMixedVP = false;
  bool AppRequiresWindowed = false;
  bool AppRequiresFullscreen = false;
  ConfirmDeviceFn ConfirmDeviceCallback = nullptr;

  std::vector<std::unique_ptr<D3DAdapterInfo>> AdapterInfoList;

  void SetD3D(IDirect3D9* d3d) { m_d3d = d3d; }
  HRESULT Enumerate();

 private:
  HRESULT EnumerateDevices(D3DAdapterInfo& adapter, const std::vector<D3DFORMAT>& adapterFormats);
  HRESULT EnumerateDeviceCombos(D3DDeviceInfo& device, const std::vector<D3DFORMAT>& adapterFormats);
  void BuildDepthStencilFormatList(D3DDeviceCombo& combo);
  void BuildMultiSampleTypeList(D3DDeviceCombo& combo);
  void BuildDSMSConflictList(D3DDeviceCombo& combo);
  void BuildVertexProcessingTypeList(const D3DDeviceInfo& device, D3DDeviceCombo& combo);
  void BuildPresentIntervalList(const D3DDeviceInfo& device, D3DDeviceCombo& combo);

  IDirect3D9* m_d3d = nullptr;
};
