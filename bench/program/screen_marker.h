// What the screen readers share: the monotonic clock in seconds and the test media's marker
// colours as they reach the screen. The media carry a box at their centre, orange (0xFF8000) or
// blue (0x2050FF); no other colour of testsrc2 (its bars are primaries and their mixes), the
// viewer's welcome picture, its black mask nor the desktop passes these tests. The viewer's lens
// darkens and tints what it shows a little, hence the ranges.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <time.h>

static inline double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// About (250, 139, 18) through the viewer's lens.
static inline int IsOrange(unsigned long r, unsigned long g, unsigned long b) {
  return r >= 150 && g >= 60 && g <= 190 && b <= 90 && r >= g + 50 && g >= b + 40;
}

static inline int IsBlue(unsigned long r, unsigned long g, unsigned long b) {
  return b >= 150 && r <= 100 && g <= 140 && b >= g + 80;
}

static inline unsigned Shift(unsigned long mask) {
  unsigned s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

// Counts the pixels of an image that pass the colour test; optionally writes the image to dump
// as a binary PPM.
static inline int CountMarker(XImage* image, int (*test)(unsigned long, unsigned long, unsigned long), FILE* dump) {
  const unsigned rs = Shift(image->red_mask), gs = Shift(image->green_mask), bs = Shift(image->blue_mask);
  int count = 0;
  if (dump) fprintf(dump, "P6\n%d %d\n255\n", image->width, image->height);
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const unsigned long r = (p & image->red_mask) >> rs, g = (p & image->green_mask) >> gs,
                          b = (p & image->blue_mask) >> bs;
      count += test(r, g, b);
      if (dump) {
        const unsigned char rgb[3] = {(unsigned char)r, (unsigned char)g, (unsigned char)b};
        fwrite(rgb, 1, 3, dump);
      }
    }
  }
  return count;
}
