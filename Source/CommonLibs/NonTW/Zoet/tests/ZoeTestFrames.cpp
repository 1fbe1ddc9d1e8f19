#include "ZoeTestFrames.h"

#include <algorithm>
#include <cstdlib>

#include "ZoePlatform.h"

namespace zoe_test {

void UseFamily(Family f) {
  CPU_check(0, 0);
  if (f == Family::Lane)
    CPU_check(1, 0);
  else
    CPU_check(0, 1);
}

TestFrame::TestFrame(uint32_t width, uint32_t height, bool alpha, uint32_t seed) : w(width), h(height) {
  const uint32_t pitch = w + 5, cpitch = ChromaW() + 3;
  y.resize(pitch * h);
  cr.resize(cpitch * ChromaH());
  cb.resize(cpitch * ChromaH());
  if (alpha) a.resize(pitch * h);
  planes.Y.pitch = planes.A.pitch = pitch;
  planes.cR.pitch = planes.cB.pitch = cpitch;
  uint32_t s = seed * 2654435761u + 12345u;
  auto next = [&s]() {
    s = s * 1103515245u + 12345u;
    return static_cast<uint8_t>(s >> 16);
  };
  for (uint8_t& b : y) b = next();
  for (uint8_t& b : cr) b = next();
  for (uint8_t& b : cb) b = next();
  for (uint8_t& b : a) b = next();
  Repoint();
}

void TestFrame::Repoint() {
  planes.Y.buffer = y.data();
  planes.cR.buffer = cr.data();
  planes.cB.buffer = cb.data();
  planes.A.buffer = a.empty() ? nullptr : a.data();
}

void TestFrame::FillConstant(uint8_t yv, uint8_t u, uint8_t v) {
  std::fill(y.begin(), y.end(), yv);
  std::fill(cb.begin(), cb.end(), u);
  std::fill(cr.begin(), cr.end(), v);
}

uint32_t FormatBytes(uint32_t format) {
  static const uint32_t kBytes[16] = {1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2, 1};
  return kBytes[format];
}

namespace {

struct TestLayout {
  uint32_t apos, rpos, gpos, bpos, aloss, rloss, gloss, bloss;
};

// Formats 7-12 then 0: lane losses count from 12 bits, table losses from 8.
const TestLayout kTestLane16[7] = {{12, 8, 4, 0, 4, 8, 8, 8}, {15, 10, 5, 0, 7, 7, 7, 7}, {15, 10, 5, 0, 7, 7, 7, 7},
                                   {0, 11, 5, 0, 0, 7, 6, 7}, {0, 10, 5, 0, 0, 6, 7, 7},  {0, 10, 4, 0, 0, 6, 6, 8},
                                   {0, 0, 3, 6, 0, 9, 9, 10}};
const TestLayout kTestTable16[7] = {{12, 8, 4, 0, 4, 4, 4, 4}, {15, 10, 5, 0, 7, 3, 3, 3}, {15, 10, 5, 0, 7, 3, 3, 3},
                                    {0, 11, 5, 0, 0, 3, 2, 3}, {0, 10, 5, 0, 0, 2, 3, 3},  {0, 10, 4, 0, 0, 2, 2, 4},
                                    {0, 0, 3, 6, 0, 5, 5, 6}};

const TestLayout& LayoutOf(const TestLayout* table, uint32_t format) {
  return table[format == 0 ? 6 : format - 7];
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
  return std::min(std::max(v, lo), hi);
}

// Dither offset of a step m for a pixel: even rows 0 / m/2, odd rows m/4 / 3m/4.
int32_t Dither(int32_t m, uint32_t col, uint32_t row) {
  if ((row & 1) == 0) return (col & 1) ? m / 2 : 0;
  return (col & 1) ? 3 * m / 4 : m / 4;
}

std::vector<uint8_t> Bytes32(uint32_t format, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  bool bgr = format == 1 || format == 3 || format == 5;
  std::vector<uint8_t> out = {static_cast<uint8_t>(bgr ? b : r), static_cast<uint8_t>(g),
                              static_cast<uint8_t>(bgr ? r : b)};
  if (format >= 3) out.push_back(static_cast<uint8_t>(a));
  return out;
}

std::vector<uint8_t> Bytes16(uint32_t w) {
  return {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)};
}

std::vector<uint8_t> YuvBytes(uint32_t format, uint32_t yv, uint32_t u, uint32_t v, uint32_t col) {
  uint8_t c = static_cast<uint8_t>((col & 1) ? v : u);
  if (format == SurfaceYUYV) return {static_cast<uint8_t>(yv), c};
  if (format == SurfaceUYVY) return {c, static_cast<uint8_t>(yv)};
  return {static_cast<uint8_t>(yv)};
}

}  // namespace

std::vector<uint8_t> LaneReference(uint32_t format, uint32_t yv, uint32_t u, uint32_t v, uint32_t a, uint32_t col,
                                   uint32_t row, bool alpha_conv) {
  if (format >= 13) return YuvBytes(format, yv, u, v, col);
  const int32_t yt = (64 * yv * 19081) >> 16, ut = (16 * u * 26640) >> 16, vt = (32 * v * 26640) >> 16;
  const int32_t sum[3] = {yt + 2 * vt, yt - ut - vt, yt + 5 * ut};
  const int32_t offset[3] = {-3632, 2215, -4467};
  if (format >= 1 && format <= 6) {
    int32_t ch[3];
    for (int c = 0; c < 3; c++) ch[c] = Clamp(sum[c] + offset[c], 0, 4095) >> 4;
    return Bytes32(format, ch[0], ch[1], ch[2], alpha_conv ? a : 0);
  }
  const TestLayout& l = LayoutOf(kTestLane16, format);
  const uint32_t loss[3] = {l.rloss, l.gloss, l.bloss}, pos[3] = {l.rpos, l.gpos, l.bpos};
  uint32_t w = 0;
  for (int c = 0; c < 3; c++) {
    int32_t value = Clamp(sum[c] + offset[c] + Dither(1 << loss[c], col, row), 0, 4095);
    w |= static_cast<uint32_t>(value >> loss[c]) << pos[c];
  }
  if (alpha_conv) w |= (a >> l.aloss) << l.apos;
  if (format == 0) return {static_cast<uint8_t>(w)};
  return Bytes16(w);
}

std::vector<uint8_t> TableReference(uint32_t format, uint32_t yv, uint32_t u, uint32_t v, uint32_t a, uint32_t col,
                                    uint32_t row, bool alpha_conv) {
  if (format >= 13) return YuvBytes(format, yv, u, v, col);
  auto chroma = [](int32_t k) {
    int32_t p = (k - 128) * 26572;
    return p >= 0 ? p / 65536 : -((-p + 65535) / 65536);  // floor
  };
  const int32_t yl = yv < 16 ? 0 : (yv >= 235 ? 255 : ((static_cast<int32_t>(yv) - 16) * 76392) >> 16);
  const int32_t up = chroma(u), vp = chroma(v);
  if (format >= 1 && format <= 6) {
    int32_t r = Clamp(yl + 4 * vp - 2, 0, 255), g = Clamp(yl - up - 2 * vp + 1, 0, 255),
            b = Clamp(yl + 5 * up - 1, 0, 255);
    return Bytes32(format, r, g, b, alpha_conv ? a : 0);
  }
  const TestLayout& l = LayoutOf(kTestTable16, format);
  const uint32_t loss[3] = {l.rloss, l.gloss, l.bloss}, pos[3] = {l.rpos, l.gpos, l.bpos};
  if (format == 0) {
    int32_t idx[3] = {yl + 4 * vp - 2, yl - up - 2 * vp + 1, yl + 5 * up - 1};
    uint32_t byte = 0;
    for (int c = 0; c < 3; c++)
      byte |= ((Clamp(idx[c] + Dither(1 << loss[c], col, row), 0, 255) >> loss[c]) << pos[c]) & 0xFF;
    return {static_cast<uint8_t>(byte)};
  }
  const uint32_t L = std::max({loss[0], loss[1], loss[2]});
  const int32_t y2 = yl + Dither(1 << L, col, row);
  int32_t idx[3] = {y2 + 4 * vp - 2, y2 - up - 2 * vp + 1, y2 + 5 * up - 1};
  uint32_t w = 0;
  for (int c = 0; c < 3; c++) w |= (static_cast<uint32_t>(Clamp(idx[c], 0, 255)) >> L) << (pos[c] - loss[c] + L);
  if (alpha_conv) w |= (a >> l.aloss) << l.apos;
  return Bytes16(w);
}

namespace {

uint8_t SquarePictureByte(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v + 0.5));
}

}  // namespace

SquarePicture::SquarePicture(uint32_t width, uint32_t height, uint32_t seed)
    : w(width), h(height), rgb(w * h * 3), y(w * h), cb((w / 2) * (h / 2)), cr((w / 2) * (h / 2)) {
  uint32_t s = seed;
  for (uint32_t by = 0; by < h / 2; by++)
    for (uint32_t bx = 0; bx < w / 2; bx++) {
      double c[3];
      for (double& v : c) v = ((s = s * 1103515245u + 12345u) >> 16) & 255;
      if (bx < 8) c[0] = c[1] = c[2] = by * 17 % 256;
      if (bx == 8) c[0] = 255, c[1] = c[2] = 0;
      if (bx == 9) c[1] = 255, c[0] = c[2] = 0;
      if (bx == 10) c[2] = 255, c[0] = c[1] = 0;
      const double yv = 16 + (65.481 * c[0] + 128.553 * c[1] + 24.966 * c[2]) / 255;
      const double u = 128 + (-37.797 * c[0] - 74.203 * c[1] + 112.0 * c[2]) / 255;
      const double v = 128 + (112.0 * c[0] - 93.786 * c[1] - 18.214 * c[2]) / 255;
      for (uint32_t k = 0; k < 4; k++) {
        const uint32_t x = 2 * bx + (k & 1), r = 2 * by + (k >> 1);
        y[r * w + x] = SquarePictureByte(yv);
        for (int ch = 0; ch < 3; ch++) rgb[(r * w + x) * 3 + ch] = static_cast<uint8_t>(c[ch]);
      }
      cb[by * (w / 2) + bx] = SquarePictureByte(u);
      cr[by * (w / 2) + bx] = SquarePictureByte(v);
    }
}

int SquarePicture::LargestError(const uint8_t* dest, uint32_t pitch) const {
  int worst = 0;
  for (uint32_t r = 0; r < h; r++)
    for (uint32_t x = 0; x < w; x++)
      for (int ch = 0; ch < 3; ch++) {
        const int got = dest[r * pitch + x * 4 + 2 - ch], want = rgb[(r * w + x) * 3 + ch];
        worst = std::max(worst, std::abs(got - want));
      }
  return worst;
}

}  // namespace zoe_test
