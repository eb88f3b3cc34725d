#include "platform/d3d9/VertexFormat.h"

#include <string>

#include "platform/kit/LogOnce.h"

namespace d3d9 {

namespace {
constexpr DWORD kPositionMask = 0x00e;
constexpr DWORD kPointSize = 0x020;
constexpr DWORD kTexCountShift = 8;
constexpr DWORD kKnownBits = kPositionMask | D3DFVF_NORMAL | kPointSize | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | 0xf00;
}  // namespace

VertexLayout LayoutOfFvf(DWORD fvf) {
  VertexLayout layout;
  const DWORD position = fvf & kPositionMask;
  if ((position != D3DFVF_XYZ && position != D3DFVF_XYZRHW) || (fvf & ~kKnownBits) != 0) {
    kit::LogOnce("d3d9", "LayoutOfFvf", "vertex format " + std::to_string(fvf) + " is not supported");
    return layout;
  }
  layout.pretransformed = position == D3DFVF_XYZRHW;
  layout.positionSize = layout.pretransformed ? 4 : 3;
  UINT offset = layout.positionSize * 4;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & kPointSize) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuseOffset = static_cast<int>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  const DWORD texCount = (fvf >> kTexCountShift) & 0xf;
  if (texCount > 8) return layout;
  if (texCount > 0) layout.texCoordOffset = static_cast<int>(offset);
  offset += texCount * 8;
  layout.size = offset;
  layout.valid = true;
  return layout;
}

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount) {
  switch (type) {
    case D3DPT_POINTLIST:
      return primitiveCount;
    case D3DPT_LINELIST:
      return primitiveCount * 2;
    case D3DPT_LINESTRIP:
      return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
      return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primitiveCount + 2;
    default:
      return 0;
  }
}

}  // namespace d3d9
