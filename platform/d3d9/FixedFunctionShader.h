// The one GL program that stands in for Direct3D's fixed-function pipeline: pre-transformed
// or world-view-projection transformed vertices, constant lighting without normals
// (emissive + ambient), texture stage 0 and the alpha test. Its uniforms are fed from the
// DeviceState by dirty bits. Device thread only, with the device's GL context current.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <string>

#include "platform/d3d9/DeviceState.h"

namespace d3d9 {

// Vertex attribute locations that the device's vertex setup binds.
enum VertexAttribute : GLuint { kAttribPosition = 0, kAttribDiffuse = 1, kAttribTexCoord = 2 };

class FixedFunctionShader {
 public:
  FixedFunctionShader() = default;
  FixedFunctionShader(const FixedFunctionShader&) = delete;
  FixedFunctionShader& operator=(const FixedFunctionShader&) = delete;
  ~FixedFunctionShader();

  // Compiles and links; on failure returns false with the GL info log in *error.
  bool Create(std::string* error);
  void Use() const { glUseProgram(program_); }

  // Uploads the uniforms that depend on the given dirty bits of the state.
  void Apply(const DeviceState& state, std::uint32_t dirty);
  // Per-draw inputs: the vertex kind, whether vertices carry a colour, whether stage 0 has a
  // texture, and the back-buffer size that pre-transformed positions are in.
  void SetDrawInputs(const DeviceState& state, bool pretransformed, bool vertexColor, bool hasTexture, UINT targetWidth,
                     UINT targetHeight);

 private:
  void ApplyLighting(const DeviceState& state);

  GLuint program_ = 0;
  struct Locations {
    GLint pretransformed, targetSize, wvp, lighting, emissive, matAmbient, ambientLight, matAlpha, fromVertex,
        texTransform, texMatrix, hasTexture, colorOp, colorArgs, alphaOp, alphaArgs, tfactor, alphaTest, alphaFunc,
        alphaRef, sampler;
  } loc_{};
  // Last per-draw inputs, so unchanged ones are not uploaded again.
  int pretransformed_ = -1, vertexColor_ = -1, hasTexture_ = -1;
  UINT targetWidth_ = 0, targetHeight_ = 0;
};

}  // namespace d3d9
