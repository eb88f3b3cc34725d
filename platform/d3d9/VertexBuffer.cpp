#include "platform/d3d9/VertexBuffer.h"

#include <new>

namespace d3d9 {

HRESULT VertexBuffer::Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** out) {
  if (!out || length == 0) return D3DERR_INVALIDCALL;
  VertexBuffer* buffer = new (std::nothrow) VertexBuffer(device);
  if (!buffer) return E_OUTOFMEMORY;
  try {
    buffer->bytes_.resize(length);
  } catch (const std::bad_alloc&) {
    buffer->Release();
    return E_OUTOFMEMORY;
  }
  buffer->desc_ = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
  *out = buffer;
  return D3D_OK;
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > desc_.Size || (size != 0 && size > desc_.Size - offset)) return D3DERR_INVALIDCALL;
  locked_ = true;
  if (!(flags & D3DLOCK_READONLY)) dirty_ = true;
  *data = bytes_.data() + offset;
  return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = desc_;
  return D3D_OK;
}

void VertexBuffer::ReleaseGl() {
  if (name_) glDeleteBuffers(1, &name_);
  name_ = 0;
  dirty_ = true;
}

void VertexBuffer::BindForDraw() {
  if (!name_) glGenBuffers(1, &name_);
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  if (dirty_) {
    glBufferData(GL_ARRAY_BUFFER, bytes_.size(), bytes_.data(), GL_STATIC_DRAW);
    dirty_ = false;
  }
}

}  // namespace d3d9
