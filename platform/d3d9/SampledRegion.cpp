#include "platform/d3d9/SampledRegion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9 {
namespace {

struct Corner {
  float x, y, u, v;
};

// The part of a convex polygon on the inner side of one edge (inside(c) >= 0), with the
// coordinates interpolated along the cut sides.
template <typename Distance>
int ClipAgainst(const Corner* in, int n, Corner* out, Distance inside) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const Corner& a = in[i];
    const Corner& b = in[(i + 1) % n];
    const float da = inside(a), db = inside(b);
    if (da >= 0) out[m++] = a;
    if ((da >= 0) != (db >= 0)) {
      const float t = da / (da - db);
      out[m++] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.u + t * (b.u - a.u), a.v + t * (b.v - a.v)};
    }
  }
  return m;
}

void Include(UvRange* r, float u, float v) {
  r->u0 = std::min(r->u0, u);
  r->u1 = std::max(r->u1, u);
  r->v0 = std::min(r->v0, v);
  r->v1 = std::max(r->v1, v);
  r->empty = false;
}

}  // namespace

UvRange SampledUvRange(D3DPRIMITIVETYPE type, const VertexLayout& layout, const void* data, UINT stride, UINT vertices,
                       const RECT& clip) {
  UvRange range{INFINITY, -INFINITY, INFINITY, -INFINITY, true};
  const auto* base = static_cast<const BYTE*>(data);
  auto corner = [&](UINT i) {
    float position[4] = {0, 0, 0, 1}, uv[2];
    std::memcpy(position, base + std::size_t(i) * stride, sizeof(float) * std::size_t(layout.positionSize));
    std::memcpy(uv, base + std::size_t(i) * stride + layout.texCoordOffset, sizeof uv);
    return std::pair{Corner{position[0], position[1], uv[0], uv[1]}, position[3]};
  };
  // Screen-space coordinates interpolate linearly across the screen only when every vertex has
  // the same depth weight; anything else is bounded by its vertices.
  bool affine =
      layout.pretransformed && (type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN);
  const float weight = vertices ? corner(0).second : 1;
  for (UINT i = 0; i < vertices && affine; ++i) {
    const auto [c, w] = corner(i);
    affine = w == weight && std::isfinite(c.x) && std::isfinite(c.y);
  }
  if (!affine) {
    for (UINT i = 0; i < vertices; ++i) {
      const Corner c = corner(i).first;
      Include(&range, c.u, c.v);
    }
    return range;
  }
  // A pixel is drawn when its centre is covered; one pixel to spare on each side keeps the
  // bound safe from rounding and from either pixel-centre convention.
  const float left = float(clip.left) - 1, right = float(clip.right) + 1, top = float(clip.top) - 1,
              bottom = float(clip.bottom) + 1;
  const UINT triangles = type == D3DPT_TRIANGLELIST ? vertices / 3 : (vertices >= 3 ? vertices - 2 : 0);
  for (UINT t = 0; t < triangles; ++t) {
    UINT index[3];
    if (type == D3DPT_TRIANGLELIST)
      index[0] = 3 * t, index[1] = 3 * t + 1, index[2] = 3 * t + 2;
    else if (type == D3DPT_TRIANGLESTRIP)
      index[0] = t, index[1] = t + 1, index[2] = t + 2;
    else
      index[0] = 0, index[1] = t + 1, index[2] = t + 2;
    Corner a[8], b[8];
    for (int k = 0; k < 3; ++k) a[k] = corner(index[k]).first;
    int n = ClipAgainst(a, 3, b, [&](const Corner& c) { return c.x - left; });
    n = ClipAgainst(b, n, a, [&](const Corner& c) { return right - c.x; });
    n = ClipAgainst(a, n, b, [&](const Corner& c) { return c.y - top; });
    n = ClipAgainst(b, n, a, [&](const Corner& c) { return bottom - c.y; });
    for (int k = 0; k < n; ++k) Include(&range, a[k].u, a[k].v);
  }
  return range;
}

}  // namespace d3d9
