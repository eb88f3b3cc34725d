#include "scene/DrawLimit.h"

void LimitDrawing(IDirect3DDevice9* device, const RECT* area) {
  if (!device) return;
  if (area) device->SetScissorRect(area);
  device->SetRenderState(D3DRS_SCISSORTESTENABLE, area ? TRUE : FALSE);
}

bool BackBufferWithin(IDirect3DDevice9* device, int width, int height) {
  IDirect3DSurface9* surface = nullptr;
  if (!device || FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) return false;
  D3DSURFACE_DESC desc{};
  const bool known = SUCCEEDED(surface->GetDesc(&desc));
  surface->Release();
  return known && desc.Width <= UINT(width) && desc.Height <= UINT(height);
}
