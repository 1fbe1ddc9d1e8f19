// Row converters built on table lookups: a luma table and a chroma table
// built once, and clamp tables built for the current channel layout.
#include <algorithm>

#include "ZoeColour.h"

namespace zoe_table {

inline int32_t ClampByte(int32_t j) {
  return j < 0 ? 0 : (j > 255 ? 255 : j);
}

// Clamp-table slot of index j; indices beyond -256..511 read the table ends.
inline uint32_t Slot(int32_t j) {
  return j < -256 ? 0u : (j > 511 ? 767u : static_cast<uint32_t>(j + 256));
}

struct Indices {
  int32_t r, g, b;
};

inline Indices Index(uint32_t y, uint32_t u, uint32_t v, int32_t luma_dither) {
  int32_t yp = BlitG.luma_table[y] + luma_dither;
  int32_t up = BlitG.chroma_table[u];
  int32_t vp = BlitG.chroma_table[v];
  return Indices{yp + 4 * vp - 2, yp - up - 2 * vp + 1, yp + 5 * up - 1};
}

enum Kind { kRgb32, kArgb32, kRgb16, kArgb16, kRgb8 };

template <Kind K>
inline void Pixel(BlitContext* ctx, uint32_t parity) {
  int32_t dither = (K == kRgb16 || K == kArgb16) ? BlitS.bias[ZoeRed][0].table[parity] : 0;
  Indices i = Index(*ctx->luma, *ctx->chroma2, *ctx->chroma1, dither);
  ctx->luma++;
  const uint32_t* words = BlitS.clamp.words;
  if (K == kRgb32 || K == kArgb32) {
    uint32_t w = (words[Slot(i.r)] << BlitS.red_pos) | (words[Slot(i.g)] << 8) | (words[Slot(i.b)] << BlitS.blue_pos);
    if (K == kArgb32) w |= static_cast<uint32_t>(*ctx->alpha++) << 24;
    ctx->dest[0] = static_cast<uint8_t>(w);
    ctx->dest[1] = static_cast<uint8_t>(w >> 8);
    ctx->dest[2] = static_cast<uint8_t>(w >> 16);
    ctx->dest[3] = static_cast<uint8_t>(w >> 24);
    ctx->dest += 4;
  } else if (K == kRgb16 || K == kArgb16) {
    uint32_t w = (words[Slot(i.r)] << BlitS.red_shift) | (words[Slot(i.g)] << BlitS.green_shift) |
                 (words[Slot(i.b)] << BlitS.blue_shift);
    if (K == kArgb16) w |= (static_cast<uint32_t>(*ctx->alpha++) << BlitS.alpha_shift) & (BlitS.alpha_mask & 0xFFFFu);
    ctx->dest[0] = static_cast<uint8_t>(w);
    ctx->dest[1] = static_cast<uint8_t>(w >> 8);
    ctx->dest += 2;
  } else {
    const int32_t dr = BlitS.bias[ZoeRed][0].table[parity];
    const int32_t dg = BlitS.bias[ZoeGreen][0].table[parity];
    const int32_t db = BlitS.bias[ZoeBlue][0].table[parity];
    *ctx->dest++ = static_cast<uint8_t>(BlitS.clamp.bytes[0][Slot(i.r + dr)] | BlitS.clamp.bytes[1][Slot(i.g + dg)] |
                                        BlitS.clamp.bytes[2][Slot(i.b + db)]);
  }
}

template <Kind K>
uint32_t Run(BlitContext* ctx, uint32_t count, uint32_t x) {
  uint32_t n = count == 1 ? count : count - ((x ^ count) & 1);
  if (n & 1) {
    Pixel<K>(ctx, x & 1);
    ctx->chroma1++;
    ctx->chroma2++;
  }
  for (uint32_t i = n >> 1; i != 0; i--) {
    Pixel<K>(ctx, 0);
    Pixel<K>(ctx, 1);
    ctx->chroma1++;
    ctx->chroma2++;
  }
  return count - n;
}

void BuildOnceTables() {
  for (int32_t y = 0; y < 256; y++)
    BlitG.luma_table[y] = static_cast<uint8_t>(y < 16 ? 0 : (y >= 235 ? 255 : ((y - 16) * 76392) >> 16));
  for (int32_t k = 0; k < 256; k++) BlitG.chroma_table[k] = static_cast<int8_t>(((k - 128) * 26572) >> 16);
  BlitG.tables_built = 1;
}

}  // namespace zoe_table

void checkyc() {
  if (!BlitG.tables_built) zoe_table::BuildOnceTables();
  const uint32_t L = static_cast<uint32_t>(std::max({BlitS.red_loss, BlitS.green_loss, BlitS.blue_loss}));
  const uint32_t rs = static_cast<uint32_t>(BlitS.red_pos - BlitS.red_loss + L);
  const uint32_t gs = static_cast<uint32_t>(BlitS.green_pos - BlitS.green_loss + L);
  const uint32_t bs = static_cast<uint32_t>(BlitS.blue_pos - BlitS.blue_loss + L);
  if (BlitS.clamp_valid && rs == BlitS.red_shift && gs == BlitS.green_shift && bs == BlitS.blue_shift) return;
  BlitS.red_shift = rs;
  BlitS.green_shift = gs;
  BlitS.blue_shift = bs;
  BlitS.dither_half = (1u << L) >> 1;
  BlitS.dither_quarter = (1u << L) >> 2;
  BlitS.dither_three_quarters = (3u << L) >> 2;
  const bool word_form = static_cast<int64_t>(BlitS.red_pos) - static_cast<int64_t>(BlitS.red_loss) > 0 ||
                         static_cast<int64_t>(BlitS.green_pos) - static_cast<int64_t>(BlitS.green_loss) > 0 ||
                         static_cast<int64_t>(BlitS.blue_pos) - static_cast<int64_t>(BlitS.blue_loss) > 0;
  if (word_form) {
    for (int32_t j = -256; j < 512; j++)
      BlitS.clamp.words[j + 256] = static_cast<uint32_t>(zoe_table::ClampByte(j)) >> L;
  } else {
    const uint64_t pos[3] = {BlitS.red_pos, BlitS.green_pos, BlitS.blue_pos};
    const uint64_t loss[3] = {BlitS.red_loss, BlitS.green_loss, BlitS.blue_loss};
    for (int c = 0; c < 3; c++)
      for (int32_t j = -256; j < 512; j++)
        BlitS.clamp.bytes[c][j + 256] =
            static_cast<uint8_t>(((static_cast<uint32_t>(zoe_table::ClampByte(j)) >> loss[c]) << pos[c]) & 0xFF);
  }
  BlitS.clamp_valid = 1;
  BlitS.clamp_builds++;
}

uint32_t rgb32_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_table::Run<zoe_table::kRgb32>(ctx, count, x);
}
uint32_t argb32_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_table::Run<zoe_table::kArgb32>(ctx, count, x);
}
uint32_t rgb16_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_table::Run<zoe_table::kRgb16>(ctx, count, x);
}
uint32_t argb16_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_table::Run<zoe_table::kArgb16>(ctx, count, x);
}
uint32_t rgb8_row(BlitContext* ctx, uint32_t count, uint32_t x) {
  return zoe_table::Run<zoe_table::kRgb8>(ctx, count, x);
}
