#include "platform/d3dx9/d3dx9math.h"

#include <cmath>

namespace {

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                       float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44)
    : D3DMATRIX{{{m11, m12, m13, m14, m21, m22, m23, m24, m31, m32, m33, m34, m41, m42, m43, m44}}} {}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& rhs) const {
  D3DXMATRIX out;
  D3DXMatrixMultiply(&out, this, &rhs);
  return out;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& rhs) {
  return *D3DXMatrixMultiply(this, this, &rhs);
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& rhs) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m[r][c] != rhs.m[r][c]) return false;
  return true;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  D3DXMATRIX r;  // separate so that pOut may alias an input
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] + pM1->m[i][2] * pM2->m[2][j] +
                  pM1->m[i][3] * pM2->m[3][j];
  *pOut = r;
  return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz) {
  *pOut = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z) {
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  *pOut = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  D3DXVECTOR3 zaxis(pAt->x - pEye->x, pAt->y - pEye->y, pAt->z - pEye->z);
  D3DXVec3Normalize(&zaxis, &zaxis);
  D3DXVECTOR3 xaxis = Cross(*pUp, zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  const D3DXVECTOR3 yaxis = Cross(zaxis, xaxis);
  *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0, xaxis.y, yaxis.y, zaxis.y, 0, xaxis.z, yaxis.z, zaxis.z, 0,
                     -Dot(xaxis, *pEye), -Dot(yaxis, *pEye), -Dot(zaxis, *pEye), 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf) {
  const float yscale = 1.0f / std::tan(fovy / 2);
  const float xscale = yscale / aspect;
  *pOut = D3DXMATRIX(xscale, 0, 0, 0, 0, yscale, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn, float zf) {
  *pOut = D3DXMATRIX(2 * zn / (r - l), 0, 0, 0, 0, 2 * zn / (t - b), 0, 0, (l + r) / (l - r), (t + b) / (b - t),
                     zf / (zf - zn), 1, 0, 0, zn * zf / (zn - zf), 0);
  return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  const float len = std::sqrt(Dot(*pV, *pV));
  if (len == 0.0f) {
    *pOut = D3DXVECTOR3(0, 0, 0);
  } else {
    *pOut = D3DXVECTOR3(pV->x / len, pV->y / len, pV->z / len);
  }
  return pOut;
}
