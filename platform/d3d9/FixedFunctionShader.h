// The GL programs that stand in for Direct3D's fixed-function pipeline: pre-transformed
// or world-view-projection transformed vertices, constant lighting without normals
// (emissive + ambient), texture stage 0 and the alpha test. One generic program takes the
// whole set-up as uniforms; each stage set-up in use (ops, arguments, texture present, alpha
// test) gets a variant with it built in, made at its first draw. Uniforms are fed from the
// DeviceState by dirty bits. Device thread only, with the device's GL context current.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <unordered_map>

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

  // Compiles and links the generic program; on failure returns false with the GL info log in
  // *error.
  bool Create(std::string* error);
  void Use() const { glUseProgram(current_->name); }

  // Makes the program for the state's stage set-up current (building it at first use) and
  // uploads the uniforms that depend on the given dirty bits, or all of them after a switch.
  void Apply(const DeviceState& state, std::uint32_t dirty, bool hasTexture);
  // Per-draw inputs: the vertex kind, whether vertices carry a colour, whether stage 0 has a
  // texture, and the back-buffer size that pre-transformed positions are in.
  void SetDrawInputs(const DeviceState& state, bool pretransformed, bool vertexColor, bool hasTexture, UINT targetWidth,
                     UINT targetHeight);

 private:
  struct Locations {
    GLint pretransformed, targetSize, wvp, lighting, emissive, matAmbient, ambientLight, matAlpha, fromVertex,
        texTransform, texMatrix, hasTexture, colorOp, colorArgs, alphaOp, alphaArgs, tfactor, alphaTest, alphaFunc,
        alphaRef, sampler;
  };
  struct Program {
    GLuint name = 0;
    Locations loc{};
  };
  // Far more than the few set-ups a program uses; past it the generic program serves.
  static constexpr std::size_t kMaxVariants = 64;

  void ApplyLighting(const DeviceState& state);
  bool Link(const char* fragmentSource, Program* out, std::string* error);
  const Program& ProgramFor(const DeviceState& state, bool hasTexture);

  GLuint vertexShader_ = 0;
  Program generic_;
  std::unordered_map<std::uint64_t, Program> variants_;  // name 0 records a variant that failed to build
  const Program* current_ = nullptr;
  // Last per-draw inputs, so unchanged ones are not uploaded again.
  int pretransformed_ = -1, vertexColor_ = -1, hasTexture_ = -1;
  UINT targetWidth_ = 0, targetHeight_ = 0;
};

}  // namespace d3d9
