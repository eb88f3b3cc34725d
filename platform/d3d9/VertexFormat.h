// Where the fields of a flexible vertex format sit in a vertex.
#pragma once

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

struct VertexLayout {
  bool valid = false;           // has a position this layer can draw
  bool pretransformed = false;  // XYZRHW: back-buffer pixels, never lit
  int positionSize = 0;         // floats: 3 (XYZ) or 4 (XYZRHW)
  UINT size = 0;                // bytes per vertex
  int diffuseOffset = -1;       // -1 when absent
  int texCoordOffset = -1;      // first texture coordinate set, -1 when absent
};

// Position XYZ or XYZRHW, optional normal, point size, diffuse, specular and up to eight
// two-component texture coordinate sets; anything else is invalid (and logged once).
VertexLayout LayoutOfFvf(DWORD fvf);

// Vertices consumed by count primitives of a type; 0 for an unknown type.
UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

}  // namespace d3d9
