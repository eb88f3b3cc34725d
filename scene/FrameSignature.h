// What one frame's drawing reads, written down as a list of numbers so that two frames can be
// compared before either is drawn: equal signatures draw equal pixels. Every value a draw reads
// goes in (the objects drawn, positions, states, the number of pictures delivered into a
// texture so far); a drawing that depends on something it cannot write down (time, say) says so
// instead, and its frame counts as changed. Window thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kit/wintypes.h"

class CFrameSignature {
 public:
  void Clear() { m_values.clear(); }
  void Add(std::int64_t value) { m_values.push_back(value); }
  // An object by its address: the same object drawn again (its contents are added separately).
  void AddObject(const void* object) { Add(static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(object))); }
  void AddRect(const RECT& rect) {
    for (LONG v : {rect.left, rect.top, rect.right, rect.bottom}) Add(v);
  }
  // The text's length, then each code unit.
  void AddText(const std::u16string& text) {
    Add(static_cast<std::int64_t>(text.size()));
    for (char16_t c : text) Add(c);
  }

  bool operator==(const CFrameSignature& other) const = default;

 private:
  std::vector<std::int64_t> m_values;
};
