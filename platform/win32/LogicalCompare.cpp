// StrCmpLogicalW: the order in which file managers list names.
#include "platform/win32/Win32State.h"

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Compares the digit runs a[ia, ea) and b[ib, eb) by value: leading zeros dropped, then the
// longer run is the larger number, and runs of one length compare digit by digit. No integer
// conversion, so runs of any length compare correctly.
int CompareNumbers(const char16_t* a, std::size_t ia, std::size_t ea, const char16_t* b, std::size_t ib,
                   std::size_t eb) {
  while (ia < ea && a[ia] == u'0') ++ia;
  while (ib < eb && b[ib] == u'0') ++ib;
  if (ea - ia != eb - ib) return ea - ia < eb - ib ? -1 : 1;
  for (; ia < ea; ++ia, ++ib)
    if (a[ia] != b[ib]) return a[ia] < b[ib] ? -1 : 1;
  return 0;
}

}  // namespace

int StrCmpLogicalW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  // Both names are read as runs of ASCII digits (one token each, ranked where "0" ranks) and
  // single other code units (ranked by their case-folded value). Every token has a fixed rank,
  // so the comparison is a consistent order however the names mix digits and letters.
  std::size_t i = 0, j = 0;
  while (a[i] && b[j]) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t ei = i, ej = j;
      while (IsDigit(a[ei])) ++ei;
      while (IsDigit(b[ej])) ++ej;
      if (const int order = CompareNumbers(a, i, ei, b, j, ej)) return order;
      i = ei;
      j = ej;
      continue;
    }
    const char16_t ca = IsDigit(a[i]) ? u'0' : Win32FoldCase(a[i]);
    const char16_t cb = IsDigit(b[j]) ? u'0' : Win32FoldCase(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (a[i]) return 1;
  return b[j] ? -1 : 0;
}
