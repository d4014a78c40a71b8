#include "imaging/views/ie_view_cursors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/ui/forms.h"

namespace {

const char* const kNames[IECursorCount] = {
    "ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA",  "MANO",   "PENNA",  "CROCE1", "CROCE3",  "MOVE2", "MOVEY",
    "MOVE1",    "MOVEX",   "MOVE",  "CROCE3+", "CROCE3-", "CROCE2", "CROCE2+", "CROCE2-", "CROCE2-", "1795",
    "1796",     "1797",    "1798",  "1799",   "1800",   "1801",   "1802",   "1803",    "1803",  "1805",
    "1806",     "1807",    "1808",  "ROT1",   "ROT2",   "ROT3",   "ROT4"};

constexpr int kSize = 32;
constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;

// A 32 x 32 picture drawn as black strokes with a one-pixel white outline, so the cursor shows on
// any background.
class CursorPicture {
 public:
  CursorPicture() : ink_(kSize * kSize, 0) {}

  void Dot(int x, int y) {
    if (x >= 0 && y >= 0 && x < kSize && y < kSize) ink_[static_cast<size_t>(y * kSize + x)] = 1;
  }
  void Line(int x0, int y0, int x1, int y1) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
      const double t = steps ? static_cast<double>(i) / steps : 0;
      Dot(static_cast<int>(std::lround(x0 + (x1 - x0) * t)), static_cast<int>(std::lround(y0 + (y1 - y0) * t)));
    }
  }
  void Box(int x0, int y0, int x1, int y1) {
    Line(x0, y0, x1, y0);
    Line(x1, y0, x1, y1);
    Line(x1, y1, x0, y1);
    Line(x0, y1, x0, y0);
  }
  void Circle(int cx, int cy, int r, double from = 0, double to = 360) {
    for (double a = from; a <= to; a += 2)
      Dot(static_cast<int>(std::lround(cx + r * std::cos(a * M_PI / 180))),
          static_cast<int>(std::lround(cy - r * std::sin(a * M_PI / 180))));
  }
  // An arrow head at (x, y) pointing in direction (dx, dy) (unit steps).
  void Head(int x, int y, int dx, int dy) {
    for (int i = 1; i <= 4; ++i) {
      Dot(x - dx * i - dy * i, y - dy * i + dx * i);
      Dot(x - dx * i + dy * i, y - dy * i - dx * i);
    }
  }
  void Arrow(int x0, int y0, int x1, int y1) {
    Line(x0, y0, x1, y1);
    const int dx = (x1 > x0) - (x1 < x0), dy = (y1 > y0) - (y1 < y0);
    Head(x1, y1, dx, dy);
    Head(x0, y0, -dx, -dy);
  }
  void Plus(int cx, int cy) {
    Line(cx - 3, cy, cx + 3, cy);
    Line(cx, cy - 3, cx, cy + 3);
  }
  void Minus(int cx, int cy) { Line(cx - 3, cy, cx + 3, cy); }

  // B, G, R, A pixels: ink black, its neighbourhood white, the rest transparent.
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> out(kSize * kSize, 0);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        if (ink_[static_cast<size_t>(y * kSize + x)]) {
          out[static_cast<size_t>(y * kSize + x)] = kBlack;
          continue;
        }
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i) {
            const int u = x + i, v = y + j;
            if (u >= 0 && v >= 0 && u < kSize && v < kSize && ink_[static_cast<size_t>(v * kSize + u)])
              out[static_cast<size_t>(y * kSize + x)] = kWhite;
          }
      }
    return out;
  }

 private:
  std::vector<uint8_t> ink_;
};

void Crosshair(CursorPicture& p) {
  p.Line(16, 4, 16, 13);
  p.Line(16, 19, 16, 28);
  p.Line(4, 16, 13, 16);
  p.Line(19, 16, 28, 16);
}

// Draws the picture of the cursor at table position i and gives its hot spot.
void Draw(int i, CursorPicture& p, int& hotX, int& hotY) {
  hotX = hotY = 16;
  const std::string name = kNames[i];
  if (name == "ZOOMMENO" || name == "ZOOMPIU") {
    p.Circle(12, 12, 8);
    p.Line(18, 18, 27, 27);
    p.Line(19, 18, 28, 27);
    if (name == "ZOOMPIU") p.Plus(12, 12);
    else p.Minus(12, 12);
    hotX = hotY = 12;
  } else if (name == "GOMMA") {
    p.Box(6, 12, 26, 22);
    p.Line(12, 12, 12, 22);
    hotX = 6;
    hotY = 22;
  } else if (name == "MANO") {
    p.Box(9, 14, 23, 27);
    for (int f = 0; f < 4; ++f) p.Line(10 + 4 * f, 6 + (f == 0 || f == 3 ? 3 : 0), 10 + 4 * f, 14);
    p.Line(23, 18, 27, 13);
  } else if (name == "PENNA") {
    p.Line(2, 29, 24, 7);
    p.Line(5, 29, 27, 7);
    p.Line(24, 7, 27, 7);
    p.Line(2, 29, 5, 29);
    hotX = 2;
    hotY = 29;
  } else if (name == "MOVE") {
    p.Arrow(16, 4, 16, 28);
    p.Arrow(4, 16, 28, 16);
  } else if (name == "MOVEX") {
    p.Arrow(4, 16, 28, 16);
  } else if (name == "MOVEY") {
    p.Arrow(16, 4, 16, 28);
  } else if (name == "MOVE1") {
    p.Arrow(7, 25, 25, 7);
  } else if (name == "MOVE2") {
    p.Arrow(7, 7, 25, 25);
  } else if (name.rfind("ROT", 0) == 0) {
    // A quarter arc with an arrow head, turned by the quadrant.
    const int q = name[3] - '1';
    const double from = 90.0 * q;
    p.Circle(16, 16, 10, from, from + 90);
    const double a = (from + 90) * M_PI / 180;
    const int ex = static_cast<int>(std::lround(16 + 10 * std::cos(a)));
    const int ey = static_cast<int>(std::lround(16 - 10 * std::sin(a)));
    const int dx = static_cast<int>(std::lround(-std::sin(a))), dy = static_cast<int>(std::lround(-std::cos(a)));
    p.Head(ex, ey, dx, dy);
  } else {
    Crosshair(p);
    if (name == "CROCE1") p.Box(14, 14, 18, 18);
    if (name.rfind("CROCE2", 0) == 0) p.Box(20, 20, 27, 27);
    if (name.back() == '+') p.Plus(25, 9);
    if (name.back() == '-') p.Minus(25, 9);
  }
}

}  // namespace

std::string IECursorName(int32_t Id) {
  if (Id < IEFirstCursorId || Id > IELastCursorId) return {};
  return kNames[Id - IEFirstCursorId];
}

void RegisterViewCursors() {
  if (!Screen) return;
  // The pictures are the same each time: drawn once, made into cursors at every registration.
  struct Picture {
    std::vector<uint32_t> pixels;
    int hotX = 16, hotY = 16;
  };
  static const std::vector<Picture> pictures = [] {
    std::vector<Picture> v(IECursorCount);
    for (int i = 0; i < IECursorCount; ++i) {
      CursorPicture p;
      Draw(i, p, v[static_cast<size_t>(i)].hotX, v[static_cast<size_t>(i)].hotY);
      v[static_cast<size_t>(i)].pixels = p.Pixels();
    }
    return v;
  }();
  for (int i = 0; i < IECursorCount; ++i) {
    const Picture& p = pictures[static_cast<size_t>(i)];
    HCURSOR c = CreateCursorFromPixels(p.pixels.data(), kSize, kSize, p.hotX, p.hotY);
    if (c) Screen->SetCursors(IEFirstCursorId + i, c);
  }
}
