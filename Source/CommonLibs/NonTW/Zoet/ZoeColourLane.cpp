// Row converters working in 16-bit lane fixed point (eight pixels per step
// on an 8-column grid), the YUV writers and the post-processors.
#include <cstring>

#include "ZoeColour.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zoe_lane {

const int32_t kBase[3] = {25040, 30887, 24205};

// Channel values 0..4095 (sixteenths) of one pixel.
struct Channels {
  int32_t r, g, b;
};

inline int32_t Finish(int32_t sum, int16_t bias) {
  int32_t s = sum + bias;  // signed saturating add
  if (s > 32767) s = 32767;
  if (s < -32768) s = -32768;
  uint32_t u = static_cast<uint16_t>(s);  // unsigned saturating subtract
  const uint32_t black = static_cast<uint16_t>(BlitG.black_offset[0]);
  return u > black ? static_cast<int32_t>(u - black) : 0;
}

inline Channels Convert(uint32_t y, uint32_t u, uint32_t v, uint32_t word) {
  const int32_t luma_mul = BlitG.luma_mul[0], chroma_mul = BlitG.chroma_mul[0];
  int32_t yt = (static_cast<int32_t>(y << 6) * luma_mul) >> 16;
  int32_t ut = (static_cast<int32_t>(u << 4) * chroma_mul) >> 16;
  int32_t vt = (static_cast<int32_t>(v << 5) * chroma_mul) >> 16;
  Channels c;
  c.r = Finish(static_cast<int16_t>(yt + 2 * vt), BlitS.bias[ZoeRed][0].lane[word]);
  c.g = Finish(static_cast<int16_t>(yt - ut - vt), BlitS.bias[ZoeGreen][0].lane[word]);
  c.b = Finish(static_cast<int16_t>(yt + 5 * ut), BlitS.bias[ZoeBlue][0].lane[word]);
  return c;
}

inline void Store16(uint8_t* p, uint32_t w) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
}

inline void Store32(uint8_t* p, uint32_t w) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
  p[2] = static_cast<uint8_t>(w >> 16);
  p[3] = static_cast<uint8_t>(w >> 24);
}

enum Kind { kRgb32, kArgb32, kRgb16, kArgb16, kRgb8 };

// Writes one converted pixel at ctx->dest and advances dest.
template <Kind K>
inline void Put(BlitContext* ctx, const Channels& c, uint32_t a) {
  if (K == kRgb32 || K == kArgb32) {
    uint32_t w = (static_cast<uint32_t>(c.r >> 4) << BlitS.red_pos) | (static_cast<uint32_t>(c.g >> 4) << 8) |
                 (static_cast<uint32_t>(c.b >> 4) << BlitS.blue_pos);
    if (K == kArgb32) w |= a << 24;
    Store32(ctx->dest, w);
    ctx->dest += 4;
  } else {
    uint32_t w = (static_cast<uint32_t>(c.r >> BlitS.red_loss) << BlitS.red_pos) |
                 (static_cast<uint32_t>(c.g >> BlitS.green_loss) << BlitS.green_pos) |
                 (static_cast<uint32_t>(c.b >> BlitS.blue_loss) << BlitS.blue_pos);
    if (K == kArgb16) w |= (a >> BlitS.alpha_loss) << BlitS.alpha_pos;
    if (K == kRgb8) {
      *ctx->dest = static_cast<uint8_t>(w);
      ctx->dest += 1;
    } else {
      Store16(ctx->dest, w);
      ctx->dest += 2;
    }
  }
}

template <Kind K>
inline void Pixel(BlitContext* ctx, uint32_t word) {
  Channels c = Convert(*ctx->luma, *ctx->chroma2, *ctx->chroma1, word);
  uint32_t a = 0;
  if (K == kArgb32 || K == kArgb16) a = *ctx->alpha++;
  Put<K>(ctx, c, a);
  ctx->luma++;
}

#if defined(__SSE2__)
// Four 16-bit words repeated into eight lanes.
inline __m128i Lanes8(const int16_t* words) {
  __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(words));
  return _mm_unpacklo_epi64(w, w);
}

inline __m128i Bias8(int channel) { return Lanes8(BlitS.bias[channel][0].lane); }

inline __m128i Load4Doubled(const uint8_t* p) {
  uint32_t bits;
  std::memcpy(&bits, p, 4);
  __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bits)), _mm_setzero_si128());
  return _mm_unpacklo_epi16(v, v);
}

// Eight pixels: channel values 0..4095 in eight 16-bit lanes each.
inline void Block8(BlitContext* ctx, __m128i& r, __m128i& g, __m128i& b) {
  const __m128i zero = _mm_setzero_si128();
  __m128i y = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ctx->luma)), zero);
  __m128i u = Load4Doubled(ctx->chroma2);
  __m128i v = Load4Doubled(ctx->chroma1);
  __m128i yt = _mm_mulhi_epi16(_mm_slli_epi16(y, 6), Lanes8(BlitG.luma_mul));
  __m128i ut = _mm_mulhi_epi16(_mm_slli_epi16(u, 4), Lanes8(BlitG.chroma_mul));
  __m128i vt = _mm_mulhi_epi16(_mm_slli_epi16(v, 5), Lanes8(BlitG.chroma_mul));
  const __m128i black = Lanes8(BlitG.black_offset);
  r = _mm_add_epi16(yt, _mm_add_epi16(vt, vt));
  g = _mm_sub_epi16(_mm_sub_epi16(yt, ut), vt);
  b = _mm_add_epi16(yt, _mm_add_epi16(ut, _mm_slli_epi16(ut, 2)));
  r = _mm_subs_epu16(_mm_adds_epi16(r, Bias8(ZoeRed)), black);
  g = _mm_subs_epu16(_mm_adds_epi16(g, Bias8(ZoeGreen)), black);
  b = _mm_subs_epu16(_mm_adds_epi16(b, Bias8(ZoeBlue)), black);
}

template <Kind K>
inline void Block(BlitContext* ctx) {
  const __m128i zero = _mm_setzero_si128();
  __m128i r, g, b;
  Block8(ctx, r, g, b);
  __m128i a = zero;
  if (K == kArgb32 || K == kArgb16)
    a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ctx->alpha)), zero);
  if (K == kRgb32 || K == kArgb32) {
    r = _mm_srli_epi16(r, 4);
    g = _mm_slli_epi16(_mm_srli_epi16(g, 4), 8);
    b = _mm_srli_epi16(b, 4);
    // Per 32-bit pixel: low word holds green << 8 or the channel at bit 0,
    // high word the channel at bit 16 and alpha << 8.
    __m128i lo = g, hi = _mm_slli_epi16(a, 8);
    __m128i rr = r, bb = b;
    if (BlitS.red_pos == 16) {
      hi = _mm_or_si128(hi, rr);
      lo = _mm_or_si128(lo, bb);
    } else {
      hi = _mm_or_si128(hi, bb);
      lo = _mm_or_si128(lo, rr);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ctx->dest), _mm_unpacklo_epi16(lo, hi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ctx->dest + 16), _mm_unpackhi_epi16(lo, hi));
    ctx->dest += 32;
  } else {
    __m128i w =
        _mm_or_si128(_mm_or_si128(_mm_sll_epi16(_mm_srl_epi16(r, _mm_cvtsi32_si128(static_cast<int>(BlitS.red_loss))),
                                                _mm_cvtsi32_si128(static_cast<int>(BlitS.red_pos))),
                                  _mm_sll_epi16(_mm_srl_epi16(g, _mm_cvtsi32_si128(static_cast<int>(BlitS.green_loss))),
                                                _mm_cvtsi32_si128(static_cast<int>(BlitS.green_pos)))),
                     _mm_sll_epi16(_mm_srl_epi16(b, _mm_cvtsi32_si128(static_cast<int>(BlitS.blue_loss))),
                                   _mm_cvtsi32_si128(static_cast<int>(BlitS.blue_pos))));
    if (K == kArgb16)
      w = _mm_or_si128(w, _mm_sll_epi16(_mm_srl_epi16(a, _mm_cvtsi32_si128(static_cast<int>(BlitS.alpha_loss))),
                                        _mm_cvtsi32_si128(static_cast<int>(BlitS.alpha_pos))));
    if (K == kRgb8) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(ctx->dest), _mm_packus_epi16(w, w));
      ctx->dest += 8;
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(ctx->dest), w);
      ctx->dest += 16;
    }
  }
  ctx->luma += 8;
  if (K == kArgb32 || K == kArgb16) ctx->alpha += 8;
  ctx->chroma1 += 4;
  ctx->chroma2 += 4;
}
#else
template <Kind K>
inline void Block(BlitContext* ctx) {
  for (uint32_t i = 0; i < 8; i += 2) {
    Pixel<K>(ctx, i & 3);
    Pixel<K>(ctx, (i + 1) & 3);
    ctx->chroma1++;
    ctx->chroma2++;
  }
}
#endif

// Length of the head before the 8-column grid (or of the whole short run).
inline uint32_t Head(uint32_t count, uint32_t x) {
  if (count >= 8) return (8 - x) & 7;
  return count == 1 ? count : count - ((x ^ count) & 1);
}

inline uint32_t Rest(uint32_t count, uint32_t head) {
  return count >= 8 ? (count - head) & 7 : count - head;
}

template <Kind K>
uint32_t Run(BlitContext* ctx, uint32_t count, uint32_t x) {
  uint32_t head = Head(count, x);
  if (head & 1) {
    Pixel<K>(ctx, x & 1);
    ctx->chroma1++;
    ctx->chroma2++;
  }
  for (uint32_t i = head >> 1; i != 0; i--) {
    Pixel<K>(ctx, 0);
    Pixel<K>(ctx, 1);
    ctx->chroma1++;
    ctx->chroma2++;
  }
  if (count >= 8)
    for (uint32_t i = (count - head) >> 3; i != 0; i--) Block<K>(ctx);
  return Rest(count, head);
}

// Packed 4:2:2 writers: byte order of a pair is given by the offsets of Y0,
// U, Y1 and V in its four bytes.
template <int Y0, int U, int Y1, int V>
inline void YuvPair(BlitContext* ctx) {
  ctx->dest[Y0] = ctx->luma[0];
  ctx->dest[U] = *ctx->chroma2;
  ctx->dest[Y1] = ctx->luma[1];
  ctx->dest[V] = *ctx->chroma1;
  ctx->dest += 4;
  ctx->luma += 2;
  ctx->chroma1++;
  ctx->chroma2++;
}

// A single pixel: luma and the chroma of its column (U even, V odd), in the
// order the format puts them.
template <bool LumaFirst>
inline void YuvSingle(BlitContext* ctx, uint32_t x) {
  uint8_t c = (x & 1) ? *ctx->chroma1 : *ctx->chroma2;
  ctx->dest[LumaFirst ? 0 : 1] = *ctx->luma;
  ctx->dest[LumaFirst ? 1 : 0] = c;
  ctx->dest += 2;
  ctx->luma++;
  ctx->chroma1++;
  ctx->chroma2++;
}

template <int Y0, int U, int Y1, int V>
uint32_t YuvLaneRun(BlitContext* ctx, uint32_t count, uint32_t x) {
  uint32_t head = Head(count, x);
  if (head & 1) YuvSingle<Y0 == 0>(ctx, x);
  for (uint32_t i = head >> 1; i != 0; i--) YuvPair<Y0, U, Y1, V>(ctx);
  if (count >= 8)
    for (uint32_t i = (count - head) & ~7u; i != 0; i -= 2) YuvPair<Y0, U, Y1, V>(ctx);
  return Rest(count, head);
}

template <int Y0, int U, int Y1, int V>
uint32_t YuvPairRun(BlitContext* ctx, uint32_t count, uint32_t x) {
  uint32_t n = count == 1 ? count : count - ((count ^ x) & 1);
  if (n & 1) YuvSingle<Y0 == 0>(ctx, x);
  for (uint32_t i = n >> 1; i != 0; i--) YuvPair<Y0, U, Y1, V>(ctx);
  return count - n;
}

}  // namespace zoe_lane

void update_blit_specifics_color_tables(uint32_t alpha_pos, uint32_t red_pos, uint32_t green_pos, uint32_t blue_pos,
                                        uint32_t alpha_loss, uint32_t red_loss, uint32_t green_loss,
                                        uint32_t blue_loss) {
  if (BlitS.alpha_pos == alpha_pos && BlitS.red_pos == red_pos && BlitS.green_pos == green_pos &&
      BlitS.blue_pos == blue_pos && BlitS.alpha_loss == alpha_loss && BlitS.red_loss == red_loss &&
      BlitS.green_loss == green_loss && BlitS.blue_loss == blue_loss)
    return;
  BlitS.alpha_pos = alpha_pos;
  BlitS.red_pos = red_pos;
  BlitS.green_pos = green_pos;
  BlitS.blue_pos = blue_pos;
  BlitS.alpha_loss = alpha_loss;
  BlitS.red_loss = red_loss;
  BlitS.green_loss = green_loss;
  BlitS.blue_loss = blue_loss;
  BlitS.alpha_shift = alpha_pos - alpha_loss;
  BlitS.alpha_mask = ((0xFF00FFu >> alpha_loss) & 0xFF00FFu) << alpha_pos;
}

void setup_dither(uint32_t alpha_pos, uint32_t red_pos, uint32_t green_pos, uint32_t blue_pos, uint32_t alpha_loss,
                  uint32_t red_loss, uint32_t green_loss, uint32_t blue_loss) {
  update_blit_specifics_color_tables(alpha_pos, red_pos, green_pos, blue_pos, alpha_loss, red_loss, green_loss,
                                     blue_loss);
  const uint32_t loss[3] = {red_loss, green_loss, blue_loss};
  for (int c = 0; c < 3; c++) {
    int32_t m = 1 << loss[c];
    for (int k = 0; k < 4; k++) {
      BlitS.bias[c][0].lane[k] = static_cast<int16_t>(zoe_lane::kBase[c] + ((k & 1) ? m / 2 : 0));
      BlitS.bias[c][1].lane[k] = static_cast<int16_t>(zoe_lane::kBase[c] + ((k & 1) ? 3 * m / 4 : m / 4));
    }
  }
}

void ZoeLaneSetBasesOnly() {
  for (int c = 0; c < 3; c++)
    for (int e = 0; e < 2; e++)
      for (int k = 0; k < 4; k++) BlitS.bias[c][e].lane[k] = static_cast<int16_t>(zoe_lane::kBase[c]);
}

void ZoeSwapRowBias() {
  for (int c = 0; c < 3; c++) {
    ZoeBiasEntry t = BlitS.bias[c][0];
    BlitS.bias[c][0] = BlitS.bias[c][1];
    BlitS.bias[c][1] = t;
  }
}

uint32_t rgb32_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::Run<zoe_lane::kRgb32>(ctx, count, x);
}
uint32_t argb32_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::Run<zoe_lane::kArgb32>(ctx, count, x);
}
uint32_t rgb16_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::Run<zoe_lane::kRgb16>(ctx, count, x);
}
uint32_t argb16_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::Run<zoe_lane::kArgb16>(ctx, count, x);
}
uint32_t rgb8_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::Run<zoe_lane::kRgb8>(ctx, count, x);
}
uint32_t yuyv_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::YuvLaneRun<0, 1, 2, 3>(ctx, count, x);
}
uint32_t uyvy_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::YuvLaneRun<1, 0, 3, 2>(ctx, count, x);
}
uint32_t yuyv_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::YuvPairRun<0, 1, 2, 3>(ctx, count, x);
}
uint32_t uyvy_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_lane::YuvPairRun<1, 0, 3, 2>(ctx, count, x);
}

uint32_t yv12_row(BlitContext* ctx, uint32_t count, uint32_t) {
  uint32_t c = (count + 1) / 2;
  std::memcpy(ctx->dest, ctx->luma, count);
  if ((ctx->row & 1) == 0) {
    std::memcpy(ctx->out_chroma1, ctx->chroma1, c);
    std::memcpy(ctx->out_chroma2, ctx->chroma2, c);
  }
  ctx->dest += count;
  ctx->luma += count;
  ctx->chroma1 += c;
  ctx->chroma2 += c;
  ctx->out_chroma1 += c;
  ctx->out_chroma2 += c;
  return 0;
}

uint32_t yv12_row_double(BlitContext* ctx, uint32_t count, uint32_t) {
  uint32_t c = (count + 1) / 2;
  double_bytes(ctx, ctx->dest, ctx->luma, ctx->luma + count);
  if ((ctx->row & 1) == 0) {
    double_bytes(ctx, ctx->out_chroma1, ctx->chroma1, ctx->chroma1 + c);
    double_bytes(ctx, ctx->out_chroma2, ctx->chroma2, ctx->chroma2 + c);
  }
  ctx->dest += 2 * count;
  ctx->luma += count;
  ctx->chroma1 += c;
  ctx->chroma2 += c;
  ctx->out_chroma1 += 2 * c;
  ctx->out_chroma2 += 2 * c;
  return 0;
}

// Post-processors.

namespace zoe_lane {
template <int Unit>
uint8_t* DoubleUnits(uint8_t* to, const uint8_t* first, const uint8_t* end) {
  for (; first + Unit <= end; first += Unit) {
    std::memcpy(to, first, Unit);
    std::memcpy(to + Unit, first, Unit);
    to += 2 * Unit;
  }
  return to;
}

// Y0 C0 Y1 C1 becomes Y0 C0 Y0 C1, Y1 C0 Y1 C1 with the luma bytes at LumaAt
// (0 or 1); a trailing two-byte group is written twice.
template <int LumaAt>
uint8_t* DoublePacked(uint8_t* to, const uint8_t* first, const uint8_t* end) {
  const int c = 1 - LumaAt;
  for (; first + 4 <= end; first += 4) {
    uint8_t y0 = first[LumaAt], y1 = first[LumaAt + 2], c0 = first[c], c1 = first[c + 2];
    to[LumaAt] = y0, to[c] = c0, to[LumaAt + 2] = y0, to[c + 2] = c1;
    to[LumaAt + 4] = y1, to[c + 4] = c0, to[LumaAt + 6] = y1, to[c + 6] = c1;
    to += 8;
  }
  if (first + 2 <= end) {
    to[0] = first[0], to[1] = first[1], to[2] = first[0], to[3] = first[1];
    to += 4;
  }
  return to;
}
}  // namespace zoe_lane

uint8_t* double32(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoubleUnits<4>(to, first, end);
}
uint8_t* double16(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoubleUnits<2>(to, first, end);
}
uint8_t* double8(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoubleUnits<1>(to, first, end);
}
uint8_t* double_bytes(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoubleUnits<1>(to, first, end);
}
uint8_t* pack24(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  for (; first + 4 <= end; first += 4, to += 3) std::memcpy(to, first, 3);
  return to;
}
uint8_t* pack24_double(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  for (; first + 4 <= end; first += 4, to += 6) {
    std::memcpy(to, first, 3);
    std::memcpy(to + 3, first, 3);
  }
  return to;
}
uint8_t* double_yuyv(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoublePacked<0>(to, first, end);
}
uint8_t* double_uyvy(BlitContext*, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return zoe_lane::DoublePacked<1>(to, first, end);
}

// The lane family's post-processors produce the same bytes as the plain ones.
uint8_t* double32_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return double32(ctx, to, first, end);
}
uint8_t* double16_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return double16(ctx, to, first, end);
}
uint8_t* double8_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return double8(ctx, to, first, end);
}
uint8_t* pack24_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return pack24(ctx, to, first, end);
}
uint8_t* pack24_double_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return pack24_double(ctx, to, first, end);
}
uint8_t* double_yuyv_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return double_yuyv(ctx, to, first, end);
}
uint8_t* double_uyvy_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  return double_uyvy(ctx, to, first, end);
}
