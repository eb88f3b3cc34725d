// Whether a test can read anything from the process's resident memory in this build. Header-only.
#pragma once

// The sanitizers hold freed memory back (AddressSanitizer's quarantine) or keep shadow and
// history that grow as the program runs: resident memory says nothing about leaks there, which
// their own checks report instead.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kMeasuresMemory = false;
#else
inline constexpr bool kMeasuresMemory = true;
#endif
