#include "platform/d3d9/Texture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

#include "platform/d3d9/Device.h"
#include "platform/d3d9/Surface.h"

namespace d3d9 {

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const TextureFormat& format,
                        D3DPOOL pool, IDirect3DTexture9** out) {
  const UINT max = device->maxTextureSize();
  if (width == 0 || height == 0 || width > max || height > max) return D3DERR_INVALIDCALL;
  UINT fullChain = 1;
  for (UINT w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2)) ++fullChain;
  levels = levels == 0 ? 1 : std::min(levels, fullChain);
  Texture* texture = new (std::nothrow) Texture(device, format, usage, pool);
  if (!texture) return E_OUTOFMEMORY;
  try {
    texture->levels_.reserve(levels);
    for (UINT i = 0, w = width, h = height; i < levels; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
      const UINT pitch = RowPitch(format, w);
      texture->levels_.push_back(Level{w, h, pitch, TexelStore(std::size_t(pitch) * h)});
    }
  } catch (const std::bad_alloc&) {
    texture->Release();
    return E_OUTOFMEMORY;
  }
  *out = texture;
  return D3D_OK;
}

Texture::Texture(Device* device, const TextureFormat& format, DWORD usage, D3DPOOL pool)
    : DeviceChild(device), format_(format), usage_(usage), pool_(pool) {
  device->textures_.insert(this);
}

Texture::~Texture() {
  device()->textures_.erase(this);
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
  *desc = {format_.format,       D3DRTYPE_SURFACE,     usage_, pool_, D3DMULTISAMPLE_NONE, 0,
           levels_[level].width, levels_[level].height};
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= levels_.size()) return D3DERR_INVALIDCALL;
  *surface = Surface::ForTextureLevel(device(), this, level);
  return *surface ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked || level >= levels_.size()) return D3DERR_INVALIDCALL;
  Level& l = levels_[level];
  RECT r = rect ? *rect : RECT{0, 0, LONG(l.width), LONG(l.height)};
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > LONG(l.width) ||
      r.bottom > LONG(l.height))
    return D3DERR_INVALIDCALL;
  std::lock_guard lock(mutex_);
  if (l.locked) return D3DERR_INVALIDCALL;
  l.locked = true;
  ++lockedLevels_;
  if (!(flags & D3DLOCK_READONLY)) {
    dirty_ = true;
    previous_ = current_;
    current_ = RECT{};
  }
  locked->Pitch = static_cast<INT>(l.pitch);
  locked->pBits = l.bytes.data() + std::size_t(r.top) * l.pitch + std::size_t(r.left) * format_.bytesPerPixel;
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= levels_.size()) return D3DERR_INVALIDCALL;
  std::lock_guard lock(mutex_);
  if (!levels_[level].locked) return D3DERR_INVALIDCALL;
  levels_[level].locked = false;
  if (--lockedLevels_ == 0) unlocked_.notify_all();
  return D3D_OK;
}

void Texture::ReleaseGl() {
  // A large picture's storage may serve the next texture of its shape.
  const Level& l = levels_[0];
  if (name_ && allocated_ && levels_.size() == 1 && l.bytes.size() >= kKeptStorageBytes) {
    device()->KeepTextureStorage(name_, l.width, l.height, format_.format);
    name_ = 0;
  }
  DeleteGl();
}

void Texture::DeleteGl() {
  if (name_) glDeleteTextures(1, &name_);
  name_ = 0;
  allocated_ = false;
}

void Texture::DropGlCopy() {
  DeleteGl();
  std::lock_guard lock(mutex_);
  dirty_ = true;
  current_ = previous_ = RECT{};
}

namespace {

// 32-bit texels are stored as GL's unsized RGBA, which lets the driver keep the BGRA byte order
// given to it (Mesa then copies each upload as it is; a sized GL_RGBA8 makes it swap red and
// blue texel by texel, every frame of a video). Smaller texels widen to 8 bits a channel as before.
GLint InternalFormat(const TextureFormat& format) {
  return format.bytesPerPixel == 4 ? GL_RGBA : GL_RGBA8;
}

bool Empty(const RECT& r) {
  return r.left >= r.right || r.top >= r.bottom;
}

RECT Bounds(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left < outer.right && outer.top < outer.bottom && inner.left >= outer.left &&
         inner.right <= outer.right && inner.top >= outer.top && inner.bottom <= outer.bottom;
}

// Texel columns [first, end) that coordinates in [c0, c1] reach on a level `size` texels wide:
// one to spare on each side for linear filtering and rounding. Where the address mode wraps,
// a reach past either edge takes in every column; clamped, the edge texels are always kept.
void Reach(float c0, float c1, LONG size, bool clamp, LONG* first, LONG* end) {
  const double lo = std::floor(double(c0) * size) - 1, hi = std::ceil(double(c1) * size) + 1;
  if (!std::isfinite(lo) || !std::isfinite(hi) || (!clamp && (lo < 0 || hi > size))) {
    *first = 0;
    *end = size;
    return;
  }
  *first = LONG(std::clamp(lo, 0.0, double(size - 1)));
  *end = LONG(std::clamp(hi, double(*first + 1), double(size)));
}

}  // namespace

RECT Texture::TexelsUnder(float u0, float u1, float v0, float v1, bool clampU, bool clampV) const {
  RECT r;
  Reach(u0, u1, LONG(levels_[0].width), clampU, &r.left, &r.right);
  Reach(v0, v1, LONG(levels_[0].height), clampV, &r.top, &r.bottom);
  return r;
}

void Texture::BindForDraw(const RECT* sampled) {
  if (!name_) {
    // A texture of this shape may have left its storage: GL then has room for every texel
    // already, and none of what it holds is drawn before it is uploaded (a texture without a GL
    // name has nothing up to date there yet).
    name_ = levels_.size() == 1 ? device()->TakeTextureStorage(levels_[0].width, levels_[0].height, format_.format) : 0;
    allocated_ = name_ != 0;
    if (!name_) glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    if (!allocated_) {
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels_.size()) - 1);
      if (format_.opaque) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
  } else {
    glBindTexture(GL_TEXTURE_2D, name_);
  }
  std::unique_lock lock(mutex_);
  if (!dirty_) return;
  const bool part = sampled && levels_.size() == 1;
  const RECT need = part ? *sampled : Whole();
  if (lockedLevels_ > 0) {
    // The writer's bytes cannot be read. Within the last picture uploaded the draw shows that
    // picture, as it would have shown it whole; elsewhere GL may hold an older one.
    if (!allocated_ || Contains(previous_, need)) return;
    if (!unlocked_.wait_for(lock, std::chrono::milliseconds(100), [this] { return lockedLevels_ == 0; })) return;
  }
  if (part && !allocated_) {
    // The first draw of a one-level texture: GL gets storage for the whole level but a copy of
    // only what the draw samples (a large picture seen in part is not copied whole).
    const Level& l = levels_[0];
    glTexImage2D(GL_TEXTURE_2D, 0, InternalFormat(format_), l.width, l.height, 0, format_.glFormat, format_.glType,
                 nullptr);
    allocated_ = true;
    current_ = RECT{};
  }
  if (!part) {
    Upload();
  } else if (!Contains(current_, need)) {
    // What is already up to date grows to the bounds of it and the new part, so that draws
    // taking turns at two parts (two strings of one glyph texture) upload each at most once.
    const RECT upload = Empty(current_) ? need : Bounds(current_, need);
    UploadPart(upload);
    current_ = upload;
    dirty_ = !Contains(upload, Whole());
  }
}

void Texture::Upload() {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    const Level& l = levels_[i];
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(l.pitch / format_.bytesPerPixel));
    if (allocated_) {
      glTexSubImage2D(GL_TEXTURE_2D, GLint(i), 0, 0, l.width, l.height, format_.glFormat, format_.glType,
                      l.bytes.data());
      texelsUploaded_ += std::uint64_t(l.width) * l.height;
    } else {
      glTexImage2D(GL_TEXTURE_2D, GLint(i), InternalFormat(format_), l.width, l.height, 0, format_.glFormat,
                   format_.glType, l.bytes.data());
      texelsUploaded_ += std::uint64_t(l.width) * l.height;
    }
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  allocated_ = true;
  dirty_ = false;
  current_ = Whole();
}

void Texture::UploadPart(const RECT& texels) {
  const Level& l = levels_[0];
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(l.pitch / format_.bytesPerPixel));
  glTexSubImage2D(
      GL_TEXTURE_2D, 0, texels.left, texels.top, texels.right - texels.left, texels.bottom - texels.top,
      format_.glFormat, format_.glType,
      l.bytes.data() + std::size_t(texels.top) * l.pitch + std::size_t(texels.left) * format_.bytesPerPixel);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  texelsUploaded_ += std::uint64_t(texels.right - texels.left) * std::uint64_t(texels.bottom - texels.top);
}

}  // namespace d3d9
