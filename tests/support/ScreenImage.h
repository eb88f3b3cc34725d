// Pixels of screenshots and image files for tests that look at whole programs.
#pragma once

#include <string>
#include <vector>

#include "support/XSession.h"

struct Rgb {
  int r, g, b;
  int Sum() const { return r + g + b; }
};

// The pixels of a rectangle of an image file (row by row), read with ImageMagick; pixels it
// cannot read are {-1, -1, -1}.
std::vector<Rgb> ImagePixels(const XSession& x, const std::string& image, int left, int top, int width, int height);
// A rectangle of a window's client area from a fresh screenshot.
std::vector<Rgb> WindowPixels(const XSession& x, const std::string& window, int left, int top, int width, int height);
// Mean absolute difference per channel (0..255) of two pixel lists of the same size.
double MeanDifference(const std::vector<Rgb>& a, const std::vector<Rgb>& b);
// The largest r + g + b of the pixels.
int Brightest(const std::vector<Rgb>& pixels);
