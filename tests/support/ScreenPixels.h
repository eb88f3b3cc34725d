// Pixels of images and screenshots for tests of whole programs, read through ImageMagick.
#pragma once

#include <string>
#include <vector>

class XSession;

struct Rgb {
  int r, g, b;
  int Sum() const { return r + g + b; }
};

// The pixels of a rectangle of an image file, row by row ({-1, -1, -1} where it could not be read).
std::vector<Rgb> ImagePixels(const XSession& x, const std::string& image, int left, int top, int width, int height);
// The client-area pixels of a rectangle of a window, from a fresh screenshot.
std::vector<Rgb> WindowPixels(const XSession& x, const std::string& window, int left, int top, int width, int height);
// Mean absolute difference per channel of two pixel lists of the same size.
double MeanDifference(const std::vector<Rgb>& a, const std::vector<Rgb>& b);
// The largest r + g + b.
int Brightest(const std::vector<Rgb>& pixels);
