// The main of every test program: a message box that a test did not expect fails that test
// instead of waiting for a click that never comes.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  SetMessageBoxHook([](HWND, std::u16string_view text, std::u16string_view caption, UINT) {
    std::string message;
    for (char16_t c : caption) message += c < 0x80 ? static_cast<char>(c) : '?';
    message += ": ";
    for (char16_t c : text) message += c < 0x80 ? static_cast<char>(c) : '?';
    ADD_FAILURE() << "unexpected message box " << message;
    return IDOK;
  });
  return RUN_ALL_TESTS();
}
