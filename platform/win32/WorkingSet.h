// The process's resident code pages. Internal to the platform layers.
//
// When a shared library is loaded or first runs, the kernel maps into the process not only the
// pages its code touches but the page-cache neighbours of each (fault-around, 64 KB at a time).
// Mesa's software renderer links LLVM (a 100 MB library whose initialisers reach all over it,
// and whose shader compiler runs through large parts of it for the first frames): about 45 MB of
// code pages end up resident that the program does not run again. Dropping them returns them to
// the page cache, where they cost the system nothing more; a page that is used again comes back
// at its next use from the cache (a minor fault, no disk read).
#pragma once

#include <cstddef>

// Drops the resident pages of the read-only segments (code and constant data) of every object
// loaded in the process, the program included, and returns the bytes of address range given
// back. Writable segments, objects whose code the loader patched (text relocations) and a
// process under a debugger (whose breakpoints live in code pages) are left alone. Any thread;
// it takes the kernel tens of milliseconds when much is resident.
std::size_t Win32DropCodePages();

// The same on a short-lived thread of its own, so that the caller does not wait (nothing when
// one is still at work).
void Win32DropCodePagesSoon();

// Win32DropCodePagesSoon once the process's resident file pages have grown by 16 MB since the
// last drop (or since the first call): cheap enough for every frame (one read of a few
// counters), so that code the driver's shader compiler mapped for new draws goes back after
// the frame that needed it. Growth of shared memory mappings counts too, but only starts a drop
// that finds little to do.
void Win32DropCodePagesIfGrown();
