#include "framework/D3DEnumeration.h"

#include <algorithm>
#include <new>

namespace {

constexpr D3DFORMAT kAllowedAdapterFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10};
constexpr D3DFORMAT kBackBufferFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                            D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};
constexpr D3DDEVTYPE kDeviceTypes[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF};
constexpr D3DFORMAT kDepthStencilFormats[] = {D3DFMT_D16,   D3DFMT_D15S1,   D3DFMT_D24X8,
                                              D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
constexpr UINT kPresentIntervals[] = {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT,
                                      D3DPRESENT_INTERVAL_ONE,       D3DPRESENT_INTERVAL_TWO,
                                      D3DPRESENT_INTERVAL_THREE,     D3DPRESENT_INTERVAL_FOUR};

bool ModeLess(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
  if (a.Width != b.Width) return a.Width < b.Width;
  if (a.Height != b.Height) return a.Height < b.Height;
  if (a.Format != b.Format) return a.Format < b.Format;
  return a.RefreshRate < b.RefreshRate;
}

}  // namespace

UINT ColorChannelBits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 8;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return 5;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
      return 4;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8R3G3B2:
      return 2;
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A2R10G10B10:
      return 10;
    default:
      return 0;
  }
}

UINT AlphaChannelBits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A8R3G3B2:
      return 8;
    case D3DFMT_A1R5G5B5:
      return 1;
    case D3DFMT_A4R4G4B4:
      return 4;
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A2R10G10B10:
      return 2;
    default:
      return 0;
  }
}

UINT DepthBits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16:
      return 16;
    case D3DFMT_D15S1:
      return 15;
    case D3DFMT_D24X8:
    case D3DFMT_D24S8:
    case D3DFMT_D24X4S4:
      return 24;
    case D3DFMT_D32:
      return 32;
    default:
      return 0;
  }
}

UINT StencilBits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D15S1:
      return 1;
    case D3DFMT_D24S8:
      return 8;
    case D3DFMT_D24X4S4:
      return 4;
    default:
      return 0;
  }
}

std::u16string D3DFormatName(D3DFORMAT format, bool withPrefix) {
  const char16_t* name = u"Unknown format";
  switch (format) {
#define FORMAT_NAME(f)    \
  case D3DFMT_##f:        \
    name = u"D3DFMT_" #f; \
    break;
    FORMAT_NAME(UNKNOWN)
    FORMAT_NAME(R8G8B8)
    FORMAT_NAME(A8R8G8B8)
    FORMAT_NAME(X8R8G8B8)
    FORMAT_NAME(R5G6B5)
    FORMAT_NAME(X1R5G5B5)
    FORMAT_NAME(A1R5G5B5)
    FORMAT_NAME(A4R4G4B4)
    FORMAT_NAME(R3G3B2)
    FORMAT_NAME(A8)
    FORMAT_NAME(A8R3G3B2)
    FORMAT_NAME(X4R4G4B4)
    FORMAT_NAME(A2B10G10R10)
    FORMAT_NAME(A8B8G8R8)
    FORMAT_NAME(X8B8G8R8)
    FORMAT_NAME(G16R16)
    FORMAT_NAME(A2R10G10B10)
    FORMAT_NAME(A16B16G16R16)
    FORMAT_NAME(A8P8)
    FORMAT_NAME(P8)
    FORMAT_NAME(L8)
    FORMAT_NAME(A8L8)
    FORMAT_NAME(A4L4)
    FORMAT_NAME(V8U8)
    FORMAT_NAME(L6V5U5)
    FORMAT_NAME(X8L8V8U8)
    FORMAT_NAME(Q8W8V8U8)
    FORMAT_NAME(V16U16)
    FORMAT_NAME(A2W10V10U10)
    FORMAT_NAME(D16_LOCKABLE)
    FORMAT_NAME(D32)
    FORMAT_NAME(D15S1)
    FORMAT_NAME(D24S8)
    FORMAT_NAME(D24X8)
    FORMAT_NAME(D24X4S4)
    FORMAT_NAME(D16)
    FORMAT_NAME(L16)
    FORMAT_NAME(VERTEXDATA)
    FORMAT_NAME(INDEX16)
    FORMAT_NAME(INDEX32)
    FORMAT_NAME(Q16W16V16U16)
    FORMAT_NAME(R16F)
    FORMAT_NAME(G16R16F)
    FORMAT_NAME(A16B16G16R16F)
    FORMAT_NAME(R32F)
    FORMAT_NAME(G32R32F)
    FORMAT_NAME(A32B32G32R32F)
    FORMAT_NAME(CxV8U8)
    FORMAT_NAME(MULTI2_ARGB8)
    FORMAT_NAME(DXT1)
    FORMAT_NAME(DXT2)
    FORMAT_NAME(YUY2)
    FORMAT_NAME(DXT3)
    FORMAT_NAME(DXT4)
    FORMAT_NAME(DXT5)
    FORMAT_NAME(UYVY)
#undef FORMAT_NAME
    default:
      break;
  }
  std::u16string text(name);
  if (!withPrefix && text.find(u"D3DFMT_") != std::u16string::npos) text.erase(0, 7);
  return text;
}

HRESULT CD3DEnumeration::Enumerate() {
  if (!m_d3d) return E_FAIL;
  AdapterInfoList.clear();
  try {
    std::vector<D3DFORMAT> adapterFormats;
    const UINT adapterCount = m_d3d->GetAdapterCount();
    for (UINT ordinal = 0; ordinal < adapterCount; ++ordinal) {
      auto adapter = std::make_unique<D3DAdapterInfo>();
      adapter->AdapterOrdinal = ordinal;
      m_d3d->GetAdapterIdentifier(ordinal, 0, &adapter->AdapterIdentifier);

      adapterFormats.clear();
      for (D3DFORMAT format : kAllowedAdapterFormats) {
        const UINT modeCount = m_d3d->GetAdapterModeCount(ordinal, format);
        for (UINT mode = 0; mode < modeCount; ++mode) {
          D3DDISPLAYMODE displayMode{};
          m_d3d->EnumAdapterModes(ordinal, format, mode, &displayMode);
          if (displayMode.Width < AppMinFullscreenWidth || displayMode.Height < AppMinFullscreenHeight ||
              ColorChannelBits(displayMode.Format) < AppMinColorChannelBits)
            continue;
          adapter->DisplayModes.push_back(displayMode);
          if (std::find(adapterFormats.begin(), adapterFormats.end(), displayMode.Format) == adapterFormats.end())
            adapterFormats.push_back(displayMode.Format);
        }
      }
      std::sort(adapter->DisplayModes.begin(), adapter->DisplayModes.end(), ModeLess);

      HRESULT hr = EnumerateDevices(*adapter, adapterFormats);
      if (FAILED(hr)) return hr;
      if (!adapter->DeviceInfos.empty()) AdapterInfoList.push_back(std::move(adapter));
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT CD3DEnumeration::EnumerateDevices(D3DAdapterInfo& adapter, const std::vector<D3DFORMAT>& adapterFormats) {
  for (D3DDEVTYPE type : kDeviceTypes) {
    auto device = std::make_unique<D3DDeviceInfo>();
    device->AdapterOrdinal = adapter.AdapterOrdinal;
    device->DevType = type;
    if (FAILED(m_d3d->GetDeviceCaps(adapter.AdapterOrdinal, type, &device->Caps))) continue;
    HRESULT hr = EnumerateDeviceCombos(*device, adapterFormats);
    if (FAILED(hr)) return hr;
    if (!device->DeviceCombos.empty()) adapter.DeviceInfos.push_back(std::move(device));
  }
  return S_OK;
}

HRESULT CD3DEnumeration::EnumerateDeviceCombos(D3DDeviceInfo& device, const std::vector<D3DFORMAT>& adapterFormats) {
  for (D3DFORMAT adapterFormat : adapterFormats) {
    for (D3DFORMAT backBufferFormat : kBackBufferFormats) {
      if (AlphaChannelBits(backBufferFormat) < AppMinAlphaChannelBits) continue;
      for (bool windowed : {false, true}) {
        if (!windowed && AppRequiresWindowed) continue;
        if (windowed && AppRequiresFullscreen) continue;
        if (FAILED(m_d3d->CheckDeviceType(device.AdapterOrdinal, device.DevType, adapterFormat, backBufferFormat,
                                          windowed)))
          continue;
        auto combo = std::make_unique<D3DDeviceCombo>();
        combo->AdapterOrdinal = device.AdapterOrdinal;
        combo->DevType = device.DevType;
        combo->AdapterFormat = adapterFormat;
        combo->BackBufferFormat = backBufferFormat;
        combo->IsWindowed = windowed;
        if (AppUsesDepthBuffer) {
          BuildDepthStencilFormatList(*combo);
          if (combo->DepthStencilFormats.empty()) continue;
        }
        BuildMultiSampleTypeList(*combo);
        if (combo->MultiSampleTypes.empty()) continue;
        BuildDSMSConflictList(*combo);
        BuildVertexProcessingTypeList(device, *combo);
        if (combo->VertexProcessingTypes.empty()) continue;
        BuildPresentIntervalList(device, *combo);
        device.DeviceCombos.push_back(std::move(combo));
      }
    }
  }
  return S_OK;
}

void CD3DEnumeration::BuildDepthStencilFormatList(D3DDeviceCombo& combo) {
  for (D3DFORMAT format : kDepthStencilFormats) {
    if (DepthBits(format) < AppMinDepthBits || StencilBits(format) < AppMinStencilBits) continue;
    if (SUCCEEDED(m_d3d->CheckDeviceFormat(combo.AdapterOrdinal, combo.DevType, combo.AdapterFormat,
                                           D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)) &&
        SUCCEEDED(m_d3d->CheckDepthStencilMatch(combo.AdapterOrdinal, combo.DevType, combo.AdapterFormat,
                                                combo.BackBufferFormat, format)))
      combo.DepthStencilFormats.push_back(format);
  }
}

void CD3DEnumeration::BuildMultiSampleTypeList(D3DDeviceCombo& combo) {
  for (DWORD type = D3DMULTISAMPLE_NONE; type <= D3DMULTISAMPLE_16_SAMPLES; ++type) {
    DWORD qualities = 0;
    if (SUCCEEDED(m_d3d->CheckDeviceMultiSampleType(combo.AdapterOrdinal, combo.DevType, combo.BackBufferFormat,
                                                    combo.IsWindowed, static_cast<D3DMULTISAMPLE_TYPE>(type),
                                                    &qualities))) {
      combo.MultiSampleTypes.push_back(static_cast<D3DMULTISAMPLE_TYPE>(type));
      combo.MultiSampleQualities.push_back(qualities);
    }
  }
}

void CD3DEnumeration::BuildDSMSConflictList(D3DDeviceCombo& combo) {
  for (D3DFORMAT format : combo.DepthStencilFormats) {
    for (D3DMULTISAMPLE_TYPE type : combo.MultiSampleTypes) {
      if (FAILED(m_d3d->CheckDeviceMultiSampleType(combo.AdapterOrdinal, combo.DevType, format, combo.IsWindowed, type,
                                                   nullptr)))
        combo.DSMSConflicts.push_back({format, type});
    }
  }
}

void CD3DEnumeration::BuildVertexProcessingTypeList(const D3DDeviceInfo& device, D3DDeviceCombo& combo) {
  const bool hwTnL = (device.Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
  auto consider = [&](VertexProcessingType type) {
    if (!ConfirmDeviceCallback || ConfirmDeviceCallback(&device.Caps, type, combo.BackBufferFormat))
      combo.VertexProcessingTypes.push_back(type);
  };
  if (hwTnL && (device.Caps.DevCaps & D3DDEVCAPS_PUREDEVICE)) consider(PURE_HARDWARE_VP);
  if (hwTnL) consider(HARDWARE_VP);
  if (hwTnL && AppUsesMixedVP) consider(MIXED_VP);
  consider(SOFTWARE_VP);
}

void CD3DEnumeration::BuildPresentIntervalList(const D3DDeviceInfo& device, D3DDeviceCombo& combo) {
  for (UINT interval : kPresentIntervals) {
    if (combo.IsWindowed && (interval == D3DPRESENT_INTERVAL_TWO || interval == D3DPRESENT_INTERVAL_THREE ||
                             interval == D3DPRESENT_INTERVAL_FOUR))
      continue;
    if (interval == D3DPRESENT_INTERVAL_DEFAULT || (device.Caps.PresentationIntervals & interval))
      combo.PresentIntervals.push_back(interval);
  }
}
