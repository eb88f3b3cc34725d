#include "platform/d3d9/FixedFunctionShader.h"

#include <string>
#include <vector>

namespace d3d9 {

namespace {

// a * b in Direct3D's row-vector convention: transforming by the product is transforming by a,
// then by b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

// Direct3D 9 puts pixel centres at integer coordinates, GL at half-integers: pre-transformed
// positions move by half a pixel. The extra 1/256 pixel nudges edges up and left so that a
// pixel centre lying exactly on an edge belongs to the quad on its right/below, which is
// Direct3D's top-left rule, whatever tie rule the GL rasterizer applies.
constexpr char kVertexShader[] = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aDiffuse;
layout(location = 2) in vec2 aTexCoord;
uniform bool uPretransformed;
uniform vec2 uTargetSize;
uniform mat4 uWvp;
uniform bool uLighting;
uniform vec4 uEmissive;
uniform vec4 uMatAmbient;
uniform vec4 uAmbientLight;
uniform float uMatAlpha;
uniform ivec3 uFromVertex;
uniform bool uTexTransform;
uniform mat4 uTexMatrix;
out vec4 vDiffuse;
out vec2 vTexCoord;
const float kTieBreak = 1.0 / 256.0;
void main() {
  if (uPretransformed) {
    float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;
    vec2 ndc = vec2((aPosition.x + 0.5 - kTieBreak) / uTargetSize.x * 2.0 - 1.0,
                    1.0 - (aPosition.y + 0.5 - kTieBreak) / uTargetSize.y * 2.0);
    gl_Position = vec4(ndc * w, (aPosition.z * 2.0 - 1.0) * w, w);
    vDiffuse = aDiffuse;
  } else {
    vec4 clip = uWvp * vec4(aPosition.xyz, 1.0);
    gl_Position = vec4(clip.xy, 2.0 * clip.z - clip.w, clip.w);  // depth range [0, w] to [-w, w]
    if (uLighting) {
      vec4 emissive = uFromVertex.x != 0 ? aDiffuse : uEmissive;
      vec4 ambient = uFromVertex.y != 0 ? aDiffuse : uMatAmbient;
      float alpha = uFromVertex.z != 0 ? aDiffuse.a : uMatAlpha;
      vDiffuse = vec4(clamp(emissive.rgb + ambient.rgb * uAmbientLight.rgb, 0.0, 1.0), clamp(alpha, 0.0, 1.0));
    } else {
      vDiffuse = aDiffuse;
    }
  }
  // Two-component coordinates enter the texture matrix as (u, v, 1, 0): translation is row 3.
  // Pre-transformed vertices bypass the vertex pipeline, texture transform included.
  vTexCoord = uTexTransform && !uPretransformed ? (uTexMatrix * vec4(aTexCoord, 1.0, 0.0)).xy : aTexCoord;
}
)";

constexpr char kFragmentShader[] = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
uniform sampler2D uSampler;
#ifdef STAGE_CONSTANTS
// A variant built for one stage set-up: the compiler folds every test below away.
const bool uHasTexture = HAS_TEXTURE;
const int uColorOp = COLOR_OP;
const ivec2 uColorArgs = ivec2(COLOR_ARGS);
const int uAlphaOp = ALPHA_OP;
const ivec2 uAlphaArgs = ivec2(ALPHA_ARGS);
const bool uAlphaTest = ALPHA_TEST;
const int uAlphaFunc = ALPHA_FUNC;
#else
uniform bool uHasTexture;
uniform int uColorOp;
uniform ivec2 uColorArgs;
uniform int uAlphaOp;
uniform ivec2 uAlphaArgs;
uniform bool uAlphaTest;
uniform int uAlphaFunc;
#endif
uniform vec4 uTFactor;
uniform float uAlphaRef;
out vec4 fragColor;

vec4 Arg(int arg, vec4 tex) {
  vec4 v;
  int which = arg & 15;
  if (which == 2) v = tex;
  else if (which == 3) v = uTFactor;
  else v = vDiffuse;  // diffuse, or current, which is the diffuse colour on stage 0
  if ((arg & 16) != 0) v = vec4(1.0) - v;
  if ((arg & 32) != 0) v = vec4(v.a);
  return v;
}

vec4 Op(int op, vec4 a1, vec4 a2) {
  if (op == 2) return a1;
  if (op == 3) return a2;
  if (op == 4) return a1 * a2;
  if (op == 5) return min(a1 * a2 * 2.0, 1.0);
  if (op == 6) return min(a1 * a2 * 4.0, 1.0);
  if (op == 7) return min(a1 + a2, 1.0);
  return vDiffuse;  // disable
}

bool Compare(int func, float a, float ref) {
  if (func == 1) return false;
  if (func == 2) return a < ref;
  if (func == 3) return a == ref;
  if (func == 4) return a <= ref;
  if (func == 5) return a > ref;
  if (func == 6) return a != ref;
  if (func == 7) return a >= ref;
  return true;
}

void main() {
  vec4 tex = uHasTexture ? texture(uSampler, vTexCoord) : vec4(1.0);
  vec4 color = vDiffuse;
  if (uColorOp != 1) {
    color.rgb = Op(uColorOp, Arg(uColorArgs.x, tex), Arg(uColorArgs.y, tex)).rgb;
    if (uAlphaOp != 1) color.a = Op(uAlphaOp, Arg(uAlphaArgs.x, tex), Arg(uAlphaArgs.y, tex)).a;
  }
  // The alpha test compares 8-bit values, as the back buffer stores them.
  if (uAlphaTest && !Compare(uAlphaFunc, floor(color.a * 255.0 + 0.5), uAlphaRef)) discard;
  fragColor = color;
}
)";

GLuint CompileShader(GLenum type, const char* source, std::string* error) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(length + 1);
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  *error = log.data();
  glDeleteShader(shader);
  return 0;
}

void UploadColor(GLint location, const D3DCOLORVALUE& c) {
  glUniform4f(location, c.r, c.g, c.b, c.a);
}

// The fragment source with the stage set-up of the key written in as constants.
std::string StageVariantSource(std::uint64_t key) {
  auto field = [key](int shift) { return std::to_string((key >> shift) & 0xff); };
  std::string source = kFragmentShader;
  const std::string defines =
      "#define STAGE_CONSTANTS\n#define HAS_TEXTURE " + std::string((key >> 48) & 1 ? "true" : "false") +
      "\n#define COLOR_OP " + field(0) + "\n#define COLOR_ARGS " + field(8) + ", " + field(16) + "\n#define ALPHA_OP " +
      field(24) + "\n#define ALPHA_ARGS " + field(32) + ", " + field(40) + "\n#define ALPHA_TEST " +
      std::string((key >> 49) & 1 ? "true" : "false") + "\n#define ALPHA_FUNC " + field(56) + "\n";
  source.insert(source.find('\n') + 1, defines);
  return source;
}

}  // namespace

FixedFunctionShader::~FixedFunctionShader() {
  if (generic_.name) glDeleteProgram(generic_.name);
  for (auto& [key, program] : variants_)
    if (program.name) glDeleteProgram(program.name);
  if (vertexShader_) glDeleteShader(vertexShader_);
}

bool FixedFunctionShader::Create(std::string* error) {
  vertexShader_ = CompileShader(GL_VERTEX_SHADER, kVertexShader, error);
  if (!vertexShader_) return false;
  if (!Link(kFragmentShader, &generic_, error)) return false;
  current_ = &generic_;
  return true;
}

bool FixedFunctionShader::Link(const char* fragmentSource, Program* out, std::string* error) {
  GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fragmentSource, error);
  if (!fs) return false;
  GLuint program = glCreateProgram();
  glAttachShader(program, vertexShader_);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDetachShader(program, vertexShader_);
  glDetachShader(program, fs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof(log) - 1, nullptr, log);
    *error = log;
    glDeleteProgram(program);
    return false;
  }
  auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
  out->name = program;
  out->loc = {at("uPretransformed"), at("uTargetSize"),   at("uWvp"),       at("uLighting"),   at("uEmissive"),
              at("uMatAmbient"),     at("uAmbientLight"), at("uMatAlpha"),  at("uFromVertex"), at("uTexTransform"),
              at("uTexMatrix"),      at("uHasTexture"),   at("uColorOp"),   at("uColorArgs"),  at("uAlphaOp"),
              at("uAlphaArgs"),      at("uTFactor"),      at("uAlphaTest"), at("uAlphaFunc"),  at("uAlphaRef"),
              at("uSampler")};
  glUseProgram(program);
  glUniform1i(out->loc.sampler, 0);
  glUseProgram(current_ ? current_->name : 0);
  return true;
}

// The program for the stage set-up of the state. llvmpipe runs every branch of the generic
// program for every pixel, so each set-up in use gets its own variant; the generic program
// serves values outside the key's range and a variant that fails to build.
const FixedFunctionShader::Program& FixedFunctionShader::ProgramFor(const DeviceState& state, bool hasTexture) {
  const auto& s = state.stage[0];
  const DWORD fields[] = {s[D3DTSS_COLOROP], s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2],
                          s[D3DTSS_ALPHAOP], s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2]};
  const bool alphaTest = state.render[D3DRS_ALPHATESTENABLE] != FALSE;
  const DWORD alphaFunc = alphaTest ? state.render[D3DRS_ALPHAFUNC] : 0;
  std::uint64_t key = std::uint64_t(hasTexture) << 48 | std::uint64_t(alphaTest) << 49 | std::uint64_t(alphaFunc) << 56;
  for (int i = 0; i < 6; ++i) {
    if (fields[i] > 0xff) return generic_;
    key |= std::uint64_t(fields[i]) << (8 * i);
  }
  if (alphaFunc > 0xff) return generic_;
  if (auto found = variants_.find(key); found != variants_.end()) return found->second.name ? found->second : generic_;
  if (variants_.size() >= kMaxVariants) return generic_;
  Program& program = variants_[key];  // a failed build stays recorded as name 0
  std::string error;
  Link(StageVariantSource(key).c_str(), &program, &error);
  return program.name ? program : generic_;
}

void FixedFunctionShader::Apply(const DeviceState& state, std::uint32_t dirty, bool hasTexture) {
  const Program& program = ProgramFor(state, hasTexture);
  if (&program != current_) {
    // Uniforms belong to a program: the one switched to gets every value again.
    current_ = &program;
    glUseProgram(program.name);
    dirty = kDirtyAll;
    pretransformed_ = vertexColor_ = hasTexture_ = -1;
    targetWidth_ = targetHeight_ = 0;
  }
  const Locations& loc_ = program.loc;
  if (dirty & kDirtyTransform) {
    // Row-major Direct3D matrices uploaded untransposed become their transposes in GLSL, so
    // uWvp * v computes Direct3D's v * M.
    const D3DMATRIX wvp = Multiply(Multiply(state.world, state.view), state.projection);
    glUniformMatrix4fv(loc_.wvp, 1, GL_FALSE, &wvp.m[0][0]);
  }
  if (dirty & kDirtyTexTransform) {
    glUniform1i(loc_.texTransform, state.stage[0][D3DTSS_TEXTURETRANSFORMFLAGS] == D3DTTFF_COUNT2);
    glUniformMatrix4fv(loc_.texMatrix, 1, GL_FALSE, &state.textureMatrix[0].m[0][0]);
  }
  if (dirty & kDirtyFragment) {
    const auto& s = state.stage[0];
    glUniform1i(loc_.colorOp, s[D3DTSS_COLOROP]);
    glUniform2i(loc_.colorArgs, s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2]);
    glUniform1i(loc_.alphaOp, s[D3DTSS_ALPHAOP]);
    glUniform2i(loc_.alphaArgs, s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2]);
    const auto tf = ColorToFloat(state.render[D3DRS_TEXTUREFACTOR]);
    glUniform4f(loc_.tfactor, tf[0], tf[1], tf[2], tf[3]);
    glUniform1i(loc_.alphaTest, state.render[D3DRS_ALPHATESTENABLE] != FALSE);
    glUniform1i(loc_.alphaFunc, state.render[D3DRS_ALPHAFUNC]);
    glUniform1f(loc_.alphaRef, static_cast<float>(state.render[D3DRS_ALPHAREF] & 0xff));
  }
  if (dirty & kDirtyLighting) ApplyLighting(state);
}

void FixedFunctionShader::ApplyLighting(const DeviceState& state) {
  const Locations& loc_ = current_->loc;
  glUniform1i(loc_.lighting, state.render[D3DRS_LIGHTING] != FALSE);
  UploadColor(loc_.emissive, state.material.Emissive);
  UploadColor(loc_.matAmbient, state.material.Ambient);
  glUniform1f(loc_.matAlpha, state.material.Diffuse.a);
  // Without normals only the ambient terms of the lights reach the vertex colour.
  auto ambient = ColorToFloat(state.render[D3DRS_AMBIENT]);
  for (const auto& [index, slot] : state.lights) {
    if (!slot.enabled) continue;
    ambient[0] += slot.light.Ambient.r;
    ambient[1] += slot.light.Ambient.g;
    ambient[2] += slot.light.Ambient.b;
  }
  glUniform4f(loc_.ambientLight, ambient[0], ambient[1], ambient[2], 1.0f);
  const bool colorVertex = state.render[D3DRS_COLORVERTEX] != FALSE && vertexColor_ == 1;
  auto fromVertex = [&](D3DRENDERSTATETYPE source) { return colorVertex && state.render[source] == D3DMCS_COLOR1; };
  glUniform3i(loc_.fromVertex, fromVertex(D3DRS_EMISSIVEMATERIALSOURCE), fromVertex(D3DRS_AMBIENTMATERIALSOURCE),
              fromVertex(D3DRS_DIFFUSEMATERIALSOURCE));
}

void FixedFunctionShader::SetDrawInputs(const DeviceState& state, bool pretransformed, bool vertexColor,
                                        bool hasTexture, UINT targetWidth, UINT targetHeight) {
  const Locations& loc_ = current_->loc;
  if (pretransformed_ != int(pretransformed)) {
    pretransformed_ = pretransformed;
    glUniform1i(loc_.pretransformed, pretransformed);
  }
  if (vertexColor_ != int(vertexColor)) {
    vertexColor_ = vertexColor;
    ApplyLighting(state);  // the material colour sources depend on it
  }
  if (hasTexture_ != int(hasTexture)) {
    hasTexture_ = hasTexture;
    glUniform1i(loc_.hasTexture, hasTexture);
  }
  if (targetWidth_ != targetWidth || targetHeight_ != targetHeight) {
    targetWidth_ = targetWidth;
    targetHeight_ = targetHeight;
    glUniform2f(loc_.targetSize, static_cast<float>(targetWidth), static_cast<float>(targetHeight));
  }
}

}  // namespace d3d9
