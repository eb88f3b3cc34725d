// D3DX 9 matrix and vector helpers: the subset the program uses.
//
// Conventions are Direct3D's: row vectors multiplied on the left (v' = v * M), so a
// translation sits in _41.._43 and M1 * M2 applies M1 first; left-handed view space
// (x right, y up, z into the screen); projections map z to [0, 1].
// Every function takes and returns the output pointer like D3DX; the output may alias an
// input. Pure functions, callable on any thread.
#pragma once

#include "platform/d3d9/d3d9.h"

#define D3DX_PI 3.141592654f

struct D3DXVECTOR3 : D3DVECTOR {
  D3DXVECTOR3() = default;
  D3DXVECTOR3(float vx, float vy, float vz) : D3DVECTOR{vx, vy, vz} {}
};

struct D3DXMATRIX : D3DMATRIX {
  D3DXMATRIX() = default;
  D3DXMATRIX(const D3DMATRIX& other) : D3DMATRIX(other) {}
  D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24, float m31,
             float m32, float m33, float m34, float m41, float m42, float m43, float m44);

  // Element at a zero-based row and column.
  float& operator()(UINT row, UINT col) { return m[row][col]; }
  float operator()(UINT row, UINT col) const { return m[row][col]; }
  // As D3DXMatrixMultiply(this, rhs).
  D3DXMATRIX operator*(const D3DXMATRIX& rhs) const;
  D3DXMATRIX& operator*=(const D3DXMATRIX& rhs);
  // Element by element, exactly.
  bool operator==(const D3DXMATRIX& rhs) const;
  bool operator!=(const D3DXMATRIX& rhs) const { return !(*this == rhs); }
};

// The identity matrix.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut);
// pOut = pM1 * pM2: transforming by the result is transforming by pM1, then by pM2.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
// Scaling by sx, sy, sz along the axes.
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz);
// Translation by (x, y, z), held in _41.._43.
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z);
// Rotation about +z by angle radians: x towards y.
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle);
// View matrix of a camera at pEye looking at pAt with pUp roughly up.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);
// Perspective with vertical field of view fovy (radians) and aspect = width / height.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf);
// Perspective whose view volume at the near plane spans l..r horizontally and b..t vertically.
D3DXMATRIX* D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn, float zf);
// Unit vector in the direction of pV; a zero vector gives zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
