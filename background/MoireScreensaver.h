// The animated moire background drawn behind every frame: the target cleared to a background
// colour, then one tiled texture drawn twice over one of three meshes, each pass with its own
// texture scale (and, for the second, rotation) and colour, added together so that the two
// patterns interfere. Three switch channels change the colour scheme (every 60 s, one-second
// cross-fade), the texture (every 90 s) and the mesh (every 30 s), the last two through three
// seconds of black. Created with the device by the scene manager; the frame cycle calls Update
// then Draw once per frame before its own scene begins. Window thread only.
#pragma once

#include <array>

#include "background/SwitchChannel.h"
#include "framework/FrameTimer.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3dx9/d3dx9math.h"

class CMoireScreensaver {
 public:
  static constexpr int kMeshCount = 3;
  static constexpr int kTextureCount = 4;
  static constexpr int kSchemeCount = 4;
  using Color = std::array<float, 4>;  // red, green, blue, alpha

  // Seeds the choices, draws the initial mesh, texture and colour scheme, captures the window's
  // client rectangle (kept for the object's life) and creates the resources; a resource that
  // cannot be made is simply missing. Update reads the given timer's application time; the
  // program's background reads the framework's frame timer.
  CMoireScreensaver(IDirect3DDevice9* device, HWND window, const CFrameTimer& timer = AppFrameTimer());
  virtual ~CMoireScreensaver();
  CMoireScreensaver(const CMoireScreensaver&) = delete;
  CMoireScreensaver& operator=(const CMoireScreensaver&) = delete;

  // Sets the view and two render states, builds the three meshes (managed, write-only vertex
  // buffers) and loads the four textures from image\ under the working directory. E_FAIL when
  // a mesh or a texture cannot be made (later textures are then not loaded); S_OK without a
  // device.
  virtual HRESULT CreateResources();
  // Releases the meshes, then the textures. S_OK.
  virtual HRESULT ReleaseResources();
  // Clears to the clear colour and draws the two passes in a scene of its own; the states it
  // sets stay set. View, world, depth test, culling and lights are the device's. S_OK.
  virtual HRESULT Draw();
  // Reads the application time and advances the layer parameters, the colours and the three
  // switch channels. S_OK.
  virtual HRESULT Update();

  // The three colours of a scheme (0 to 3) at application time t: layer 1, layer 2, clear.
  static std::array<Color, 3> SchemeColors(int scheme, float t);
  // The clear colour as 32-bit ARGB: 255 for a component of 1 or more, 0 for 0 or less (or
  // not a number), otherwise the component x 255 rounded half up.
  static D3DCOLOR ToArgb(const Color& color);
  // The off-centre perspective for a client rectangle: the shorter side spans 2 atan(0.5), near
  // plane 0.05, far plane 120. False, with the matrix untouched, for an empty rectangle.
  static bool ProjectionFor(const RECT& client, D3DXMATRIX* projection);

  const SwitchChannel& MeshChannel() const { return m_meshChannel; }
  const SwitchChannel& TextureChannel() const { return m_textureChannel; }
  const SwitchChannel& ColorChannel() const { return m_colorChannel; }
  const Color& Layer1Color() const { return m_layer1Color; }
  const Color& Layer2Color() const { return m_layer2Color; }
  const Color& ClearColor() const { return m_clearColor; }
  float Layer1Scale() const { return m_layer1Scale; }
  float Layer2Scale() const { return m_layer2Scale; }
  float Layer2Rotation() const { return m_layer2Rotation; }
  float Time() const { return m_time; }
  IDirect3DTexture9* Texture(int index) const { return m_textures[index]; }
  IDirect3DVertexBuffer9* Mesh(int index) const { return m_meshes[index]; }

 private:
  HRESULT CreateMeshes();
  HRESULT LoadTextures();
  void SetAllColors(const std::array<Color, 3>& colors);
  void ScaleAllColors(float factor);

  IDirect3DDevice9* m_device;  // not owned
  std::array<IDirect3DVertexBuffer9*, kMeshCount> m_meshes{};
  std::array<UINT, kMeshCount> m_vertexCounts{};
  std::array<IDirect3DTexture9*, kTextureCount> m_textures{};
  MoireRandom m_random{0};
  SwitchChannel m_meshChannel;
  SwitchChannel m_textureChannel;
  SwitchChannel m_colorChannel;
  float m_layer1Scale = 0;
  float m_layer2Scale = 0;
  float m_layer2Rotation = 0;
  Color m_layer1Color{};
  Color m_layer2Color{};
  Color m_clearColor{};
  float m_time = 0;
  RECT m_clientRect{};
  const CFrameTimer* m_timer;
};
