#include "platform/d3d9/Device.h"
#include "platform/d3d9/Texture.h"
#include "platform/d3d9/d3d9_testing.h"

void D3D9TestSetDeviceLost(IDirect3DDevice9* device) {
  static_cast<d3d9::Device*>(device)->SimulateLost();
}

std::vector<DWORD> D3D9TestReadBackBuffer(IDirect3DDevice9* device, UINT* width, UINT* height) {
  return static_cast<d3d9::Device*>(device)->ReadBackBuffer(width, height);
}

int D3D9TestReadStencil(IDirect3DDevice9* device, int x, int y) {
  return static_cast<d3d9::Device*>(device)->ReadStencil(x, y);
}

void D3D9TestIgnoreScissor(IDirect3DDevice9* device, bool ignore) {
  static_cast<d3d9::Device*>(device)->IgnoreScissor(ignore);
}

void D3D9TestForceOffscreen(IDirect3DDevice9* device, bool force) {
  static_cast<d3d9::Device*>(device)->ForceOffscreen(force);
}

bool D3D9TestDrawsToWindow(IDirect3DDevice9* device) {
  return static_cast<d3d9::Device*>(device)->DrawsToWindow();
}

ULONGLONG D3D9TestPresentCount(IDirect3DDevice9* device) {
  return static_cast<d3d9::Device*>(device)->PresentCount();
}

ULONGLONG D3D9TestTexelsUploaded(IDirect3DTexture9* texture) {
  return static_cast<d3d9::Texture*>(texture)->TexelsUploaded();
}
