// A clickable 32 x 32 picture button of the player: one cell of the menu texture, tinted or
// swapped by its state. Each frame the owner calls Track (after input polling) and draws the
// look of the current state, then every button's DrawTooltip. The button knows nothing of its
// action; Track reports a click and the owner acts on it. Frame thread only.
#pragma once

#include <string>

#include "platform/d3d9/d3d9.h"

class CFrameSignature;

// States. The owner sets SRD_NORMAL, SRD_HIDDEN and SRD_DISABLED directly (with counter 0);
// Track moves between SRD_NORMAL, SRD_HOVER and SRD_PRESSED only.
constexpr int SRD_NORMAL = 3;
constexpr int SRD_HIDDEN = 4;
constexpr int SRD_HOVER = 5;
constexpr int SRD_PRESSED = 6;
constexpr int SRD_DISABLED = 7;

// Results of Track.
constexpr int SRD_IDLE = 0;
constexpr int SRD_OVER = 1;
constexpr int SRD_CLICKED = 2;

// Hovered frames after which the tooltip shows (it shows once the counter exceeds this).
constexpr int SRD_TOOLTIP_DELAY = 20;

struct SrdCell {
  int x, y, width, height;
};

class CSrdButton {
 public:
  CSrdButton() = default;
  CSrdButton(const CSrdButton&) = delete;
  CSrdButton& operator=(const CSrdButton&) = delete;

  // Stores the screen rectangle and the tooltip caption.
  void SetPlacement(int left, int top, int right, int bottom, const std::u16string& caption);

  // Once per frame from g_input's pointer and left button. A press (down now, up in the previous
  // poll) while hovered presses the button; the release that follows clicks it wherever the
  // pointer is. The hit test is strict: a pointer on an edge is outside. Hidden and disabled
  // buttons never change state and never click. SRD_IDLE without an input object.
  int Track();

  // The looks, each one quad of the button's texture at (left, top) in the cell's own size:
  // normal white, hover with a yellow tint, pressed from the pressed cell, disabled dark.
  void DrawNormal();
  void DrawHover();
  void DrawPressed();
  void DrawDisabled();
  // The look of the current state; nothing for SRD_HIDDEN or any other state, or without a texture.
  void DrawByState();

  // After SRD_TOOLTIP_DELAY hovered frames: the caption in a translucent box 18 pixels per UTF-16
  // code unit wide and 20 high, at the button's top left, kept inside the 640 x 480 screen.
  void DrawTooltip();
  // Adds what DrawByState and DrawTooltip read to the signature.
  void DescribeDraw(CFrameSignature* signature) const;
  // Where the tooltip's text goes (the box starts 2 pixels up and left of it) and the box width.
  struct TooltipBox {
    int x, y, width;
  };
  TooltipBox TooltipPlacement() const;

  IDirect3DTexture9* m_texture = nullptr;  // not owned
  int m_state = 0;
  int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
  std::u16string m_caption;
  SrdCell m_normalCell = {};
  SrdCell m_pressedCell = {};
  int m_counter = 0;

 private:
  void DrawCell(const SrdCell& cell, D3DCOLOR color);
};
