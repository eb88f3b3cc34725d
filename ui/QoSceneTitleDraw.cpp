// The player scene's drawing: the media under the lens, the black mask around it, the control
// strip with the seek bar, the buttons, their tooltips and the texts.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/MovieSource.h"
#include "platform/d3dx9/d3dx9.h"
#include "scene/DrawLimit.h"
#include "scene/FontSet.h"
#include "scene/FrameSignature.h"
#include "scene/SceneGlobals.h"
#include "scene/TextureTable.h"
#include "ui/QoSceneTitle.h"
#include "ui/QuadBatch.h"

namespace {

constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kBlack = 0xFF000000;
constexpr D3DCOLOR kTrackGrey = 0xFFC0C0C0;
constexpr D3DCOLOR kFrameWhite = 0x80FFFFFF;
constexpr int kStripHeight = 50;

IDirect3DTexture9* Slot(int id) {
  return g_textures ? g_textures->GetSlotTexture(id) : nullptr;
}

// The position and the duration when the media has a positive duration. The duration is read
// again after the position, so the two belong together when the duration changes meanwhile (a
// file still growing); a second reading that is no longer positive shows nothing rather than
// dividing by it.
bool MediaTimes(CMovieSource* media, REFTIME* position, REFTIME* duration) {
  IMediaPosition* mp = media ? media->GetMediaPosition() : nullptr;
  if (!mp || FAILED(mp->get_Duration(duration)) || !(*duration > 0)) return false;
  if (FAILED(mp->get_CurrentPosition(position))) return false;
  return SUCCEEDED(mp->get_Duration(duration)) && *duration > 0;
}

// The seek bar knob's offset in pixels along the 600-pixel bar.
int KnobOffset(REFTIME position, REFTIME duration) {
  return static_cast<int>(position / duration * 600);
}

// Starts black rectangles. Opaque black needs neither blending nor the alpha test: the pixels
// are the same, and the rasteriser writes them without reading what lies underneath.
void BeginOpaqueBlack(CQuadBatch& batch) {
  batch.BeginTextured(nullptr);
  batch.m_color = kBlack;
  if (!g_device) return;
  g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  g_device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

}  // namespace

void CQoSceneTitle::Draw() {
  if (!g_quadBatch) return;
  const int w = g_screenWidth, h = g_screenHeight;
  CQuadBatch& batch = *g_quadBatch;

  // The picture and the lens layers only show through the lens; DrawLens lifts the limit before
  // the mask.
  RECT open;
  if (OpenArea(&open)) LimitDrawing(g_device, &open);
  if (m_media) DrawMedia();
  DrawLens(m_cursorX, m_cursorY);

  // The help corner may overlap the lens, so it is painted black even on a cleared frame; the
  // strip's rows never are.
  BeginOpaqueBlack(batch);
  batch.AddRect(w - 40, 0, 40, 40);
  if (!m_outsideCleared) batch.AddRect(0, h - kStripHeight, w, kStripHeight);
  batch.Flush();

  DrawControlStrip();
  for (auto& button : m_buttons)
    if (button) button->DrawByState();
  for (auto& button : m_buttons)
    if (button) button->DrawTooltip();
  DrawTexts();
}

bool CQoSceneTitle::OpenArea(RECT* area) const {
  const int w = g_screenWidth, h = g_screenHeight;
  if (!area || !BackBufferWithin(g_device, w, h)) return false;
  // The mask covers the screen but for the lens square, and the strip is opaque black over its
  // rows; what is left may be empty (the lens off the screen or under the strip).
  const int half = LENS_SIZE / 2;
  *area = {std::max(m_cursorX - half, 0), std::max(m_cursorY - half, 0), std::min(m_cursorX + half, w),
           std::min(m_cursorY + half, h - kStripHeight)};
  if (area->right <= area->left || area->bottom <= area->top) *area = {0, 0, 0, 0};
  return true;
}

bool CQoSceneTitle::CoversOpenArea(const RECT& area) const {
  // The picture's texture has no alpha, so its quad is opaque; a pixel's margin on every side
  // keeps the edge texels, which may sample the transparent border, out of the area.
  if (!m_media || !m_mediaTexture || m_media->GetWidth() <= 0 || m_media->GetHeight() <= 0) return false;
  const RECT r = MediaRect();
  return r.left < area.left && r.top < area.top && r.right > area.right && r.bottom > area.bottom;
}

bool CQoSceneTitle::DescribeDraw(CFrameSignature* signature) const {
  // Everything Draw and the functions it calls read, in their order.
  signature->Add(g_screenWidth);
  signature->Add(g_screenHeight);
  signature->AddObject(g_device);
  signature->AddObject(g_quadBatch);
  signature->Add(m_outsideCleared);
  for (int slot : {TEXID_LENSBACK, TEXID_ORBELLE, TEXID_MENU}) signature->AddObject(Slot(slot));
  signature->AddObject(m_media);
  signature->AddObject(m_mediaTexture);
  if (m_media) {
    signature->Add(m_media->GetWidth());
    signature->Add(m_media->GetHeight());
    // A new picture in the texture (a video's next frame, an animation's, a still arriving).
    signature->Add(m_media->GetFramesRendered());
    signature->AddRect(MediaRect());
  }
  for (int v : {m_cursorX, m_cursorY, m_anchorX, m_anchorY, m_zoomFramesLeft}) signature->Add(v);
  // The seek bar's knob and the time text change in steps of a pixel and of a second.
  REFTIME position = 0, duration = 0;
  const bool times = MediaTimes(m_media, &position, &duration);
  signature->Add(times);
  if (times) {
    signature->Add(KnobOffset(position, duration));
    signature->AddText(PlayTimeText(position));
  }
  signature->Add(m_cameraLocked);
  for (const auto& button : m_buttons) {
    signature->AddObject(button.get());
    if (button) button->DescribeDraw(signature);
  }
  const FontSet* font = g_uiFont;
  signature->AddObject(font);
  if (font) {
    signature->AddObject(font->m_font);
    signature->AddObject(font->m_sprite);
  }
  return true;
}

void CQoSceneTitle::DrawControlStrip() {
  const int h = g_screenHeight;
  const int y = h - 45;
  CQuadBatch& batch = *g_quadBatch;
  batch.BeginTextured(Slot(TEXID_MENU));
  batch.m_color = kTrackGrey;
  batch.AddTexturedQuad(15, y, 200, 5, 0, 192, 200, 5, false, 0.0f);
  batch.AddTexturedQuad(215, y, 200, 5, 0, 197, 200, 5, false, 0.0f);
  batch.AddTexturedQuad(415, y, 200, 5, 0, 192, 200, 5, false, 0.0f);
  batch.AddTexturedQuad(615, y, 10, 5, 0, 197, 10, 5, false, 0.0f);
  batch.m_color = kFrameWhite;
  batch.AddTexturedQuad(15, y, 2, 5, 200, 192, 2, 5, false, 0.0f);
  batch.AddTexturedQuad(17, y, 606, 5, 202, 192, 2, 5, false, 0.0f);
  batch.AddTexturedQuad(623, y, 2, 5, 206, 192, 2, 5, false, 0.0f);

  REFTIME position = 0, duration = 0;
  if (MediaTimes(m_media, &position, &duration)) {
    const int d = KnobOffset(position, duration);
    batch.m_color = kWhite;
    batch.AddTexturedQuad(15 + d, h - 48, 12, 9, 0, 224, 12, 9, false, 0.0f);
  }
  batch.Flush();
}

void CQoSceneTitle::DrawTexts() {
  if (!g_uiFont || !g_uiFont->m_font || !g_uiFont->m_sprite) return;
  const int w = g_screenWidth, h = g_screenHeight;
  ID3DXFont* font = g_uiFont->m_font;
  ID3DXSprite* sprite = g_uiFont->m_sprite;
  sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
  RECT lockRect = {20, h - 30, w, h};
  font->DrawTextW(sprite, m_cameraLocked ? u"カメラ固定：オン" : u"カメラ固定：オフ", -1, &lockRect, DT_NOCLIP, kWhite);

  REFTIME position = 0, duration = 0;
  if (MediaTimes(m_media, &position, &duration)) {
    RECT timeRect = {200, h - 30, w, h};
    font->DrawTextW(sprite, PlayTimeText(position).c_str(), -1, &timeRect, DT_NOCLIP, kWhite);
  }
  sprite->End();
}

std::u16string PlayTimeText(double seconds) {
  const int s = static_cast<int>(seconds);  // toward zero
  char narrow[64];
  std::snprintf(narrow, sizeof narrow, "%2d:%02d:%02d", s / 3600, (s / 60) % 60, s % 60);
  return std::u16string(narrow, narrow + std::strlen(narrow));
}

void CQoSceneTitle::DrawMedia() {
  if (!m_mediaTexture || !m_media) return;
  const RECT r = MediaRect();
  CQuadBatch& batch = *g_quadBatch;
  batch.BeginTextured(m_mediaTexture);
  batch.m_color = kWhite;
  // The texture holds the picture bottom row first; the flip shows it upright.
  batch.AddTexturedQuad(r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, m_media->GetWidth(),
                        m_media->GetHeight(), true, 0.0f);
  batch.Flush();
}

void CQoSceneTitle::DrawLens(int x, int y) {
  const int w = g_screenWidth, h = g_screenHeight;
  const int half = LENS_SIZE / 2;
  CQuadBatch& batch = *g_quadBatch;

  batch.BeginTextured(Slot(TEXID_LENSBACK));
  batch.m_color = kWhite;
  batch.AddTexturedQuad(x - half, y - half, LENS_SIZE, LENS_SIZE, 0, 0, 256, 256, false, 0.0f);
  batch.Flush();

  // The overlay brightens briefly during each zoom step.
  const int alpha = (m_anchorX + m_anchorY) % 32 + m_zoomFramesLeft + 32;
  batch.BeginTextured(Slot(TEXID_ORBELLE));
  batch.m_color = (static_cast<D3DCOLOR>(alpha) << 24) | 0x00FFFFFF;
  batch.AddTexturedQuad(x - half, y - half, LENS_SIZE, LENS_SIZE, 0, 0, 256, 256, false, 0.0f);
  batch.Flush();

  LimitDrawing(g_device, nullptr);
  if (m_outsideCleared) return;
  BeginOpaqueBlack(batch);
  if (y - half > 0) batch.AddRect(0, 0, w, y - half);
  if (x - half > 0) batch.AddRect(0, y - half, x - half, LENS_SIZE);
  if (x + half < w) batch.AddRect(x + half, y - half, w - x - half, LENS_SIZE);
  if (y + half < h) batch.AddRect(0, y + half, w, h - y - half);
  batch.Flush();
}

void CQoSceneTitle::DrawDebugInfo() {
  if (!g_appFont) return;
  REFTIME position = 0, duration = 0;
  IMediaPosition* mp = m_media ? m_media->GetMediaPosition() : nullptr;
  if (mp) {
    mp->get_CurrentPosition(&position);
    mp->get_Duration(&duration);
  }
  char narrow[128];
  std::snprintf(narrow, sizeof narrow, "position %.2f / %.2f s, zoom %d%%", position, duration, CurrentZoom());
  WCHAR text[128] = {};
  for (int i = 0; narrow[i] && i < 127; ++i) text[i] = static_cast<unsigned char>(narrow[i]);
  RECT rect = {2, 2, g_screenWidth, g_screenHeight};
  g_appFont->DrawTextW(nullptr, text, -1, &rect, DT_NOCLIP, 0xFFFFFF00);
}
