#include "ui/SrdButton.h"

#include "input/InputDevices.h"
#include "scene/FontSet.h"
#include "scene/FrameSignature.h"
#include "scene/SceneGlobals.h"
#include "ui/QuadBatch.h"

namespace {

// The tooltip keeps to the fixed logical screen whatever the back buffer's size.
constexpr int kLogicalWidth = 640;
constexpr int kLogicalHeight = 480;
constexpr int kTooltipHeight = 20;
constexpr int kTooltipCharWidth = 18;

}  // namespace

void CSrdButton::SetPlacement(int left, int top, int right, int bottom, const std::u16string& caption) {
  m_left = left;
  m_top = top;
  m_right = right;
  m_bottom = bottom;
  m_caption = caption;
}

int CSrdButton::Track() {
  if (!g_input) return SRD_IDLE;
  const bool pressed = g_input->m_mouseButtons[0] && !g_input->m_prevMouseButtons[0];
  const bool released = !g_input->m_mouseButtons[0] && g_input->m_prevMouseButtons[0];

  if (m_state == SRD_HOVER) {
    ++m_counter;
    if (pressed) {
      m_state = SRD_PRESSED;
      m_counter = 0;
    }
  } else if (m_state == SRD_PRESSED && released) {
    m_counter = 0;
    m_state = SRD_NORMAL;
    return SRD_CLICKED;
  }

  const LONG x = g_input->m_pointerX;
  const LONG y = g_input->m_pointerY;
  if (m_left < x && x < m_right && m_top < y && y < m_bottom) {
    if (m_state == SRD_NORMAL) {
      m_state = SRD_HOVER;
      m_counter = 0;
    }
    return m_state == SRD_HOVER ? SRD_OVER : SRD_IDLE;
  }
  if (m_state == SRD_HOVER) {
    m_state = SRD_NORMAL;
    m_counter = 0;
  }
  return SRD_IDLE;
}

void CSrdButton::DrawCell(const SrdCell& cell, D3DCOLOR color) {
  if (!g_quadBatch) return;
  g_quadBatch->BeginTextured(m_texture);
  g_quadBatch->m_color = color;
  g_quadBatch->AddTexturedQuad(m_left, m_top, cell.width, cell.height, cell.x, cell.y, cell.width, cell.height, false,
                               0.0f);
  g_quadBatch->Flush();
}

void CSrdButton::DrawNormal() {
  DrawCell(m_normalCell, 0xFFFFFFFF);
}
void CSrdButton::DrawHover() {
  DrawCell(m_normalCell, 0xFFFFFF80);
}
void CSrdButton::DrawPressed() {
  DrawCell(m_pressedCell, 0xFFFFFFFF);
}
void CSrdButton::DrawDisabled() {
  DrawCell(m_normalCell, 0xFF404040);
}

void CSrdButton::DrawByState() {
  if (!m_texture) return;
  switch (m_state) {
    case SRD_NORMAL:
      DrawNormal();
      break;
    case SRD_HOVER:
      DrawHover();
      break;
    case SRD_PRESSED:
      DrawPressed();
      break;
    case SRD_DISABLED:
      DrawDisabled();
      break;
    default:  // hidden, or a state the program never enters
      break;
  }
}

CSrdButton::TooltipBox CSrdButton::TooltipPlacement() const {
  const int width = kTooltipCharWidth * static_cast<int>(m_caption.size());
  const int x = m_left + width > kLogicalWidth ? kLogicalWidth - width : m_left;
  const int y = m_top + kTooltipHeight > kLogicalHeight ? kLogicalHeight - kTooltipHeight : m_top;
  return {x, y, width};
}

void CSrdButton::DrawTooltip() {
  if (m_counter <= SRD_TOOLTIP_DELAY) return;
  const TooltipBox box = TooltipPlacement();
  if (g_quadBatch) {
    g_quadBatch->BeginTextured(nullptr);
    g_quadBatch->m_color = 0xC0808080;
    g_quadBatch->AddRect(box.x - 2, box.y - 2, box.width, kTooltipHeight);
    g_quadBatch->Flush();
  }
  if (g_uiFont && g_uiFont->m_font && g_uiFont->m_sprite) {
    RECT rect = {box.x, box.y, kLogicalWidth, kLogicalHeight};
    g_uiFont->m_sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    g_uiFont->m_font->DrawTextW(g_uiFont->m_sprite, m_caption.c_str(), -1, &rect, DT_NOCLIP, 0xFFFFFFFF);
    g_uiFont->m_sprite->End();
  }
}

void CSrdButton::DescribeDraw(CFrameSignature* signature) const {
  signature->AddObject(m_texture);
  signature->Add(m_state);
  for (int v : {m_left, m_top, m_normalCell.x, m_normalCell.y, m_normalCell.width, m_normalCell.height, m_pressedCell.x,
                m_pressedCell.y, m_pressedCell.width, m_pressedCell.height})
    signature->Add(v);
  // The counter past the delay shows the tooltip; its exact value is not drawn.
  const bool tooltip = m_counter > SRD_TOOLTIP_DELAY;
  signature->Add(tooltip);
  if (tooltip) signature->AddText(m_caption);
}
