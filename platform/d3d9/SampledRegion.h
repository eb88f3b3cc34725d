// The range of texture coordinates a draw can sample: from the vertices alone, or, for
// screen-space triangles of one depth weight, from the part of each triangle inside a clip
// rectangle (the scissor or the target), so that a picture drawn mostly off screen or outside
// the scissor needs only its visible texels. Pure functions; internal to platform/d3d9.
#pragma once

#include "platform/d3d9/VertexFormat.h"
#include "platform/kit/wintypes.h"

namespace d3d9 {

struct UvRange {
  float u0, u1, v0, v1;
  bool empty;  // nothing of the draw is inside the clip rectangle
};

// The first texture coordinates of `vertices` vertices at `data` (layout with coordinates).
// clip: pixels [left, right) x [top, bottom) the draw can reach.
UvRange SampledUvRange(D3DPRIMITIVETYPE type, const VertexLayout& layout, const void* data, UINT stride, UINT vertices,
                       const RECT& clip);

}  // namespace d3d9
