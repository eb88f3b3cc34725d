#include "support/ScreenImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <unistd.h>

#include "support/TempDir.h"

std::vector<Rgb> ImagePixels(const XSession& x, const std::string& image, int left, int top, int width, int height) {
  const std::string crop =
      std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(left) + "+" + std::to_string(top);
  std::istringstream lines(x.Run({"convert", image, "-crop", crop, "+repage", "-depth", "8", "txt:-"}));
  std::vector<Rgb> pixels(static_cast<std::size_t>(width * height), Rgb{-1, -1, -1});
  std::string line;
  while (std::getline(lines, line)) {
    int px = 0, py = 0;
    Rgb c{};
    if (std::sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &px, &py, &c.r, &c.g, &c.b) == 5 && px < width && py < height)
      pixels[static_cast<std::size_t>(py * width + px)] = c;
  }
  return pixels;
}

std::vector<Rgb> WindowPixels(const XSession& x, const std::string& window, int left, int top, int width, int height) {
  const TempDir scratch("orbelle_shot");
  const std::string png = (scratch.path() / "shot.png").string();
  if (!x.Screenshot(window, png)) return std::vector<Rgb>(static_cast<std::size_t>(width * height), Rgb{-1, -1, -1});
  return ImagePixels(x, png, left, top, width, height);
}

double MeanDifference(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
  if (a.size() != b.size() || a.empty()) return 255.0;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    sum += std::abs(a[i].r - b[i].r) + std::abs(a[i].g - b[i].g) + std::abs(a[i].b - b[i].b);
  return sum / (3.0 * static_cast<double>(a.size()));
}

int Brightest(const std::vector<Rgb>& pixels) {
  int best = 0;
  for (const Rgb& p : pixels) best = std::max(best, p.Sum());
  return best;
}
