// Frame-to-surface blit: converter selection, scaling and field modes, and
// the row walk over whole rectangles or only their changed 16x16 blocks.
#include "ZoeBlit.h"

#include <cstddef>
#include <cstring>

#include "ZoeColour.h"
#include "ZoePlatform.h"

ZoeBlitState BlitS;
ZoeBlitConstants BlitG = {
    {19081, 19081, 19081, 19081},
    {26640, 26640, 26640, 26640},
    {28672, 28672, 28672, 28672},
    {0, 0, 0, 0},
    {},
    {},
    0,
    {ARGB32_mmx, RGB32_mmx, ARGB16_mmx, RGB16_mmx, YUV16_mmx, RGB8_mmx, ARGB32, RGB32, ARGB16, RGB16, YUV16, YUV12,
     RGB8, nullptr},
};

namespace zoe_blit {

const uint32_t kScratchBytes = 512;
// Large enough for the chroma of the longest run any converter is handed.
const uint32_t kNeutralBytes = 512;

struct Layout {
  uint32_t alpha_pos, red_pos, green_pos, blue_pos, alpha_loss, red_loss, green_loss, blue_loss;
};

const Layout kLayout32Bgr = {24, 16, 8, 0, 0, 0, 0, 0};  // formats 1, 3, 5
const Layout kLayout32Rgb = {24, 0, 8, 16, 0, 0, 0, 0};  // formats 2, 4, 6

bool IsBgr32(uint32_t format) {
  return format == 1 || format == 3 || format == 5;
}

// Layouts of formats 7-12 and 0, with losses counted from the 12-bit lane
// value (lane) or from the 8-bit value (table).
const Layout* Layout16(uint32_t format, bool lane) {
  static const Layout kLane[6] = {{12, 8, 4, 0, 4, 8, 8, 8}, {15, 10, 5, 0, 7, 7, 7, 7}, {15, 10, 5, 0, 7, 7, 7, 7},
                                  {0, 11, 5, 0, 0, 7, 6, 7}, {0, 10, 5, 0, 0, 6, 7, 7},  {0, 10, 4, 0, 0, 6, 6, 8}};
  static const Layout kTable[6] = {{12, 8, 4, 0, 4, 4, 4, 4}, {15, 10, 5, 0, 7, 3, 3, 3}, {15, 10, 5, 0, 7, 3, 3, 3},
                                   {0, 11, 5, 0, 0, 3, 2, 3}, {0, 10, 5, 0, 0, 2, 3, 3},  {0, 10, 4, 0, 0, 2, 2, 4}};
  return lane ? &kLane[format - 7] : &kTable[format - 7];
}

const Layout kLayout8Lane = {0, 0, 3, 6, 0, 9, 9, 10};
const Layout kLayout8Table = {0, 0, 3, 6, 0, 5, 5, 6};

bool HasMmx() {
  return (cpu_features_to_use & 1) != 0;
}

void Install(uint32_t bpp, uint32_t scratch_shift, uint32_t two_pass, ZoeRowFunction converter, ZoePostProcess post,
             ZoePostProcess doubler) {
  BlitS.bytes_per_pixel = bpp;
  BlitS.scratch_shift = scratch_shift;
  BlitS.two_pass = two_pass;
  BlitS.row_converter = converter;
  BlitS.post_process = post;
  BlitS.doubler = doubler;
  BlitS.saved_post_process = nullptr;
}

void SetLayout(const Layout& l) {
  update_blit_specifics_color_tables(l.alpha_pos, l.red_pos, l.green_pos, l.blue_pos, l.alpha_loss, l.red_loss,
                                     l.green_loss, l.blue_loss);
}

void SetDither(const Layout& l) {
  setup_dither(l.alpha_pos, l.red_pos, l.green_pos, l.blue_pos, l.alpha_loss, l.red_loss, l.green_loss, l.blue_loss);
}

// 32-bit layouts; formats 1 and 2 convert into the scratch row and pack.
uint32_t Setup32(uint32_t flags, ZoeRowFunction converter, ZoePostProcess pack, ZoePostProcess pack_double,
                 ZoePostProcess double32_fn, bool lane) {
  uint32_t format = flags & SurfaceFormat;
  if (format <= 2)
    Install(3, 2, 1, converter, pack, pack_double);
  else
    Install(4, 2, 0, converter, nullptr, double32_fn);
  SetLayout(IsBgr32(format) ? kLayout32Bgr : kLayout32Rgb);
  if (lane) ZoeLaneSetBasesOnly();
  setup_scaling(flags & CopyScaleMode);
  if (!lane) checkyc();
  return 1;
}

// The luma dither of the 16-bit table converters.
void TableLumaDither() {
  ZoeBiasEntry& cur = BlitS.bias[ZoeRed][0];
  ZoeBiasEntry& other = BlitS.bias[ZoeRed][1];
  cur.table[0] = 0;
  cur.table[1] = static_cast<int32_t>(BlitS.dither_half);
  other.table[0] = static_cast<int32_t>(BlitS.dither_quarter);
  other.table[1] = static_cast<int32_t>(BlitS.dither_three_quarters);
}

uint32_t Setup16(uint32_t flags, ZoeRowFunction converter, ZoePostProcess double16_fn, bool lane) {
  Install(2, 1, 0, converter, nullptr, double16_fn);
  const Layout* l = Layout16(flags & SurfaceFormat, lane);
  if (lane)
    SetDither(*l);
  else
    SetLayout(*l);
  setup_scaling(flags & CopyScaleMode);
  if (!lane) {
    checkyc();
    TableLumaDither();
  }
  return 1;
}

uint32_t SetupYuv16(uint32_t flags, bool lane) {
  if ((flags & SurfaceFormat) == SurfaceYUYV)
    Install(2, 1, 0, lane ? yuyv_row_mmx : yuyv_row, nullptr, lane ? double_yuyv_mmx : double_yuyv);
  else
    Install(2, 1, 0, lane ? uyvy_row_mmx : uyvy_row, nullptr, lane ? double_uyvy_mmx : double_uyvy);
  setup_scaling(flags & CopyScaleMode);
  return 1;
}

bool IsWidthDoubling(uint32_t mode) {
  return mode == ScaleWidth2x || mode == ScaleBoth2x || mode == ScaleWidth2xInterlaced;
}

}  // namespace zoe_blit

uint32_t ARGB32_mmx(uint32_t flags, uint32_t has_alpha) {
  uint32_t format = flags & SurfaceFormat;
  if (!zoe_blit::HasMmx() || !has_alpha || (format != 5 && format != 6)) return 0;
  zoe_blit::Install(4, 2, 0, argb32_row_mmx, nullptr, double32_mmx);
  zoe_blit::SetLayout(zoe_blit::IsBgr32(format) ? zoe_blit::kLayout32Bgr : zoe_blit::kLayout32Rgb);
  ZoeLaneSetBasesOnly();
  setup_scaling(flags & CopyScaleMode);
  return 1;
}

uint32_t RGB32_mmx(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (!zoe_blit::HasMmx() || format < 1 || format > 6) return 0;
  return zoe_blit::Setup32(flags, rgb32_row_mmx, pack24_mmx, pack24_double_mmx, double32_mmx, true);
}

uint32_t ARGB16_mmx(uint32_t flags, uint32_t has_alpha) {
  uint32_t format = flags & SurfaceFormat;
  if (!zoe_blit::HasMmx() || !has_alpha || (format != 7 && format != 8)) return 0;
  return zoe_blit::Setup16(flags, argb16_row_mmx, double16_mmx, true);
}

uint32_t RGB16_mmx(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (!zoe_blit::HasMmx() || format < 7 || format > 12) return 0;
  return zoe_blit::Setup16(flags, rgb16_row_mmx, double16_mmx, true);
}

uint32_t YUV16_mmx(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (!zoe_blit::HasMmx() || (format != SurfaceYUYV && format != SurfaceUYVY)) return 0;
  return zoe_blit::SetupYuv16(flags, true);
}

uint32_t RGB8_mmx(uint32_t flags, uint32_t) {
  if (!zoe_blit::HasMmx() || (flags & SurfaceFormat) != SurfaceIndex8) return 0;
  zoe_blit::Install(1, 0, 0, rgb8_row_mmx, nullptr, double8_mmx);
  zoe_blit::SetDither(zoe_blit::kLayout8Lane);
  setup_scaling(flags & CopyScaleMode);
  return 1;
}

uint32_t ARGB32(uint32_t flags, uint32_t has_alpha) {
  uint32_t format = flags & SurfaceFormat;
  if (!has_alpha || (format != 5 && format != 6)) return 0;
  zoe_blit::Install(4, 2, 0, argb32_row, nullptr, double32);
  zoe_blit::SetLayout(zoe_blit::IsBgr32(format) ? zoe_blit::kLayout32Bgr : zoe_blit::kLayout32Rgb);
  setup_scaling(flags & CopyScaleMode);
  checkyc();
  return 1;
}

uint32_t RGB32(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (format < 1 || format > 6) return 0;
  return zoe_blit::Setup32(flags, rgb32_row, pack24, pack24_double, double32, false);
}

uint32_t ARGB16(uint32_t flags, uint32_t has_alpha) {
  uint32_t format = flags & SurfaceFormat;
  if (!has_alpha || (format != 7 && format != 8)) return 0;
  return zoe_blit::Setup16(flags, argb16_row, double16, false);
}

uint32_t RGB16(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (format < 7 || format > 12) return 0;
  return zoe_blit::Setup16(flags, rgb16_row, double16, false);
}

uint32_t YUV16(uint32_t flags, uint32_t) {
  uint32_t format = flags & SurfaceFormat;
  if (format != SurfaceYUYV && format != SurfaceUYVY) return 0;
  return zoe_blit::SetupYuv16(flags, false);
}

uint32_t YUV12(uint32_t flags, uint32_t) {
  if ((flags & SurfaceFormat) != SurfaceYV12) return 0;
  uint32_t mode = flags & CopyScaleMode;
  bool wide = zoe_blit::IsWidthDoubling(mode);
  zoe_blit::Install(1, 0, 0, wide ? yv12_row_double : yv12_row, nullptr, nullptr);
  BlitS.out_bytes_per_pixel = wide ? 2 : 1;
  BlitS.row_function = (mode == ScaleHeight2x || mode == ScaleBoth2x) ? Height_2x : BlitS.row_converter;
  return 1;
}

uint32_t RGB8(uint32_t flags, uint32_t) {
  if ((flags & SurfaceFormat) != SurfaceIndex8) return 0;
  zoe_blit::Install(1, 0, 0, rgb8_row, nullptr, double8);
  zoe_blit::SetLayout(zoe_blit::kLayout8Table);
  setup_scaling(flags & CopyScaleMode);
  checkyc();
  const uint64_t loss[3] = {BlitS.red_loss, BlitS.green_loss, BlitS.blue_loss};
  for (int c = 0; c < 3; c++) {
    int32_t m = 1 << loss[c];
    BlitS.bias[c][0].table[0] = 0;
    BlitS.bias[c][0].table[1] = m / 2;
    BlitS.bias[c][1].table[0] = m / 4;
    BlitS.bias[c][1].table[1] = 3 * m / 4;
  }
  return 1;
}

uint32_t YUV_init(uint32_t flags, uint32_t has_alpha) {
  CPU_check(0, 0);
  for (ZoeSetupFunction setup : BlitG.setups) {
    if (!setup) continue;
    if (uint32_t accepted = setup(flags, has_alpha)) return accepted;
  }
  BlitS.row_function = nullptr;
  return 0;
}

void setup_scaling(uint32_t mode) {
  if (zoe_blit::IsWidthDoubling(mode)) {
    BlitS.post_process = BlitS.doubler;
    BlitS.two_pass = 1;
    BlitS.out_bytes_per_pixel = 2 * BlitS.bytes_per_pixel;
  } else {
    BlitS.out_bytes_per_pixel = BlitS.bytes_per_pixel;
  }
  if (mode == ScaleBoth2x) {
    BlitS.post_process = WidthHeight_2x_post;
    BlitS.row_function = BlitS.row_converter;
  } else if (mode == ScaleHeight2x) {
    if (BlitS.two_pass == 0) {
      BlitS.row_function = Height_2x;
    } else {
      BlitS.row_function = BlitS.row_converter;
      BlitS.saved_post_process = BlitS.post_process;
      BlitS.post_process = Height_2x_post;
    }
  } else {
    BlitS.row_function = BlitS.row_converter;
  }
}

uint8_t* WidthHeight_2x_post(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  uint8_t* r = BlitS.doubler(ctx, to, first, end);
  BlitS.doubler(ctx, to + ctx->dest_pitch, first, end);
  return r;
}

uint8_t* Height_2x_post(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end) {
  uint8_t* r = BlitS.saved_post_process(ctx, to, first, end);
  BlitS.saved_post_process(ctx, to + ctx->dest_pitch, first, end);
  return r;
}

uint32_t Height_2x(BlitContext* ctx, uint32_t count, uint32_t x) {
  uint8_t* dest = ctx->dest;
  const uint8_t* luma = ctx->luma;
  const uint8_t* chroma1 = ctx->chroma1;
  const uint8_t* chroma2 = ctx->chroma2;
  const uint8_t* alpha = ctx->alpha;
  uint8_t* out1 = ctx->out_chroma1;
  uint8_t* out2 = ctx->out_chroma2;
  BlitS.row_converter(ctx, count, x);
  uint8_t* kept_dest = ctx->dest;
  uint8_t* kept_out1 = ctx->out_chroma1;
  uint8_t* kept_out2 = ctx->out_chroma2;
  ctx->dest = dest + ctx->dest_pitch;
  if (out1) {
    ctx->out_chroma1 = out1 + ctx->out_chroma_step[0] / 2;
    ctx->out_chroma2 = out2 + ctx->out_chroma_step[0] / 2;
  }
  ctx->luma = luma;
  ctx->chroma1 = chroma1;
  ctx->chroma2 = chroma2;
  ctx->alpha = alpha;
  uint32_t left = BlitS.row_converter(ctx, count, x);
  ctx->dest = kept_dest;
  ctx->out_chroma1 = kept_out1;
  ctx->out_chroma2 = kept_out2;
  return left;
}

namespace zoe_blit {

// Per-blit facts the row walk needs beside the context.
struct Walk {
  uint8_t* scratch;
  const uint8_t* neutral;
  bool gray;
  uint32_t cw;  // chroma samples a row's span touches
};

void ContextSetup(BlitContext* ctx, Walk* walk, uint8_t* dest, uint32_t destx, uint32_t desty, uint32_t pitch,
                  uint32_t destheight, const FramePlaneSet* planes, uint32_t srcx, uint32_t srcy, uint32_t srcw,
                  uint32_t srch, uint32_t flags) {
  const uint32_t mode = flags & CopyScaleMode;
  const uint32_t bpp = BlitS.bytes_per_pixel;
  const uint32_t obpp = BlitS.out_bytes_per_pixel;
  const bool yv12 = (flags & SurfaceFormat) == SurfaceYV12;
  uint32_t r0 = srcy, n = srch;
  ptrdiff_t luma_pitch = planes->Y.pitch, c1_pitch = planes->cR.pitch, c2_pitch = planes->cB.pitch;
  // A pitch above 2^31 is a negative one: rows run bottom up.
  ptrdiff_t dest_pitch = static_cast<int32_t>(pitch);
  if (mode == ScaleField) {
    n = srch / 2;
    r0 = srcy / 2;
    dest_pitch *= 2;
    luma_pitch *= 2;
    c1_pitch *= 2;
    c2_pitch *= 2;
  }
  ctx->row = r0;
  ctx->end_row = r0 + n;
  ctx->dest = dest + static_cast<ptrdiff_t>(desty) * static_cast<int32_t>(pitch) + static_cast<ptrdiff_t>(destx) * bpp;
  if (mode == ScaleHeight2xInterlaced || mode == ScaleWidth2xInterlaced) dest_pitch *= 2;
  ctx->dest_pitch = static_cast<int32_t>(dest_pitch);

  const uint8_t* luma_src = planes->Y.buffer;
  const uint8_t* alpha_src = planes->A.buffer ? planes->A.buffer : planes->Y.buffer;
  if ((flags & CopyAlphaAsLuma) && planes->A.buffer) {
    luma_src = planes->A.buffer;
    alpha_src = planes->Y.buffer;
  }
  ctx->luma = luma_src + r0 * luma_pitch + srcx;
  ctx->alpha = alpha_src + r0 * luma_pitch + srcx;

  walk->gray = (flags & CopyGray) != 0;
  if (walk->gray) {
    c1_pitch = c2_pitch = 0;
    ctx->chroma1 = ctx->chroma2 = walk->neutral;
  } else {
    const uint8_t* first = planes->cR.buffer;
    const uint8_t* second = planes->cB.buffer;
    if (flags & CopySwapChroma) {
      const uint8_t* t = first;
      first = second;
      second = t;
      ptrdiff_t tp = c1_pitch;
      c1_pitch = c2_pitch;
      c2_pitch = tp;
    }
    ctx->chroma1 = first + (r0 / 2) * c1_pitch + srcx / 2;
    ctx->chroma2 = second + (r0 / 2) * c2_pitch + srcx / 2;
  }

  ctx->dest_skip = static_cast<int32_t>(dest_pitch - static_cast<ptrdiff_t>(srcw) * obpp);
  ctx->luma_skip = ctx->alpha_skip = static_cast<int32_t>(luma_pitch - srcw);

  ctx->out_chroma1 = ctx->out_chroma2 = nullptr;
  ctx->out_chroma_step[0] = ctx->out_chroma_step[1] = 0;
  uint32_t cw;
  if (yv12) {
    cw = (srcw + 1) / 2;
    ptrdiff_t half = static_cast<int32_t>(pitch) / 2;
    ctx->out_chroma1 = dest + static_cast<ptrdiff_t>(pitch) * destheight + (desty / 2) * half + destx / 2;
    ctx->out_chroma2 = ctx->out_chroma1 + (destheight / 2) * half;
    ctx->out_chroma_step[0] = ctx->dest_pitch / 2;
  } else {
    cw = ((srcx & 1) + srcw) / 2 + ((srcx + srcw) & 1);
  }
  walk->cw = cw;
  ctx->chroma1_step[0] = -static_cast<int32_t>(cw);
  ctx->chroma1_step[1] = static_cast<int32_t>(c1_pitch - cw);
  ctx->chroma2_step[0] = -static_cast<int32_t>(cw);
  ctx->chroma2_step[1] = static_cast<int32_t>(c2_pitch - cw);

  if (mode == ScaleHeight2x || mode == ScaleBoth2x) {
    ctx->dest_skip += ctx->dest_pitch;
    ctx->out_chroma_step[0] += static_cast<int32_t>(pitch) / 2;
  }
  if (r0 & 1) ZoeSwapRowBias();

  if (BlitS.two_pass)
    ctx->max_run = kScratchBytes >> BlitS.scratch_shift;
  else
    ctx->max_run = walk->gray ? 256 : 0xFFFFFFFFu;
  if (walk->gray && ctx->max_run > srcw) ctx->max_run = srcw;
}

// Converts count pixels of the current row from column x; with two-pass
// formats through the scratch row and the post-processor.
void ConvertSpan(BlitContext* ctx, const Walk& walk, uint32_t count, uint32_t x) {
  uint8_t* real = nullptr;
  if (BlitS.two_pass) {
    real = ctx->dest;
    ctx->dest = walk.scratch;
  }
  while (count != 0) {
    if (walk.gray) ctx->chroma1 = ctx->chroma2 = walk.neutral;
    uint32_t run = count < ctx->max_run ? count : ctx->max_run;
    uint32_t done = run - BlitS.row_function(ctx, run, x);
    count -= done;
    x += done;
    if (BlitS.two_pass) {
      real = BlitS.post_process(ctx, real, walk.scratch, ctx->dest);
      ctx->dest = walk.scratch;
    }
  }
  if (BlitS.two_pass) ctx->dest = real;
}

void EndRow(BlitContext* ctx, const Walk& walk) {
  const uint32_t parity = ctx->row & 1;
  ctx->luma += ctx->luma_skip;
  ctx->alpha += ctx->alpha_skip;
  if (!walk.gray) {
    ctx->chroma1 += ctx->chroma1_step[parity];
    ctx->chroma2 += ctx->chroma2_step[parity];
  }
  if (ctx->row_out_chroma1) {
    ctx->out_chroma1 = ctx->row_out_chroma1 + ctx->out_chroma_step[parity];
    ctx->out_chroma2 = ctx->row_out_chroma2 + ctx->out_chroma_step[parity];
  }
  ctx->dest += ctx->dest_skip;
  ZoeSwapRowBias();
  ctx->row++;
}

// Moves every address past `width` pixels (and `chroma` chroma samples)
// without converting them.
void Skip(BlitContext* ctx, const Walk& walk, uint32_t width, uint32_t chroma, uint32_t out_chroma) {
  ctx->luma += width;
  ctx->alpha += width;
  if (!walk.gray) {
    ctx->chroma1 += chroma;
    ctx->chroma2 += chroma;
  }
  if (ctx->out_chroma1) {
    ctx->out_chroma1 += out_chroma;
    ctx->out_chroma2 += out_chroma;
  }
  ctx->dest += static_cast<ptrdiff_t>(width) * BlitS.out_bytes_per_pixel;
}

}  // namespace zoe_blit

void YUV_blit(void* dest, uint32_t destx, uint32_t desty, uint32_t pitch, uint32_t destheight,
              const FramePlaneSet* planes, uint32_t srcx, uint32_t srcy, uint32_t srcw, uint32_t srch, uint32_t flags) {
  if (!BlitS.row_function || srcw == 0 || srch == 0) return;
  alignas(16) uint8_t scratch[zoe_blit::kScratchBytes];
  alignas(16) uint8_t neutral[zoe_blit::kNeutralBytes];
  zoe_blit::Walk walk = {scratch, neutral, false, 0};
  BlitContext ctx;
  zoe_blit::ContextSetup(&ctx, &walk, static_cast<uint8_t*>(dest), destx, desty, pitch, destheight, planes, srcx, srcy,
                         srcw, srch, flags);
  if (ctx.row >= ctx.end_row) return;
  if (walk.gray) std::memset(neutral, 128, sizeof(neutral));
  do {
    ctx.row_out_chroma1 = ctx.out_chroma1;
    ctx.row_out_chroma2 = ctx.out_chroma2;
    zoe_blit::ConvertSpan(&ctx, walk, srcw, srcx);
    zoe_blit::EndRow(&ctx, walk);
  } while (ctx.row < ctx.end_row);
}

void YUV_blit_mask(void* dest, uint32_t destx, uint32_t desty, uint32_t pitch, uint32_t destheight, const uint8_t* mask,
                   uint32_t mapPitch, const FramePlaneSet* planes, uint32_t srcx, uint32_t srcy, uint32_t srcw,
                   uint32_t srch, uint32_t flags) {
  if (!BlitS.row_function || srcw == 0 || srch == 0) return;
  alignas(16) uint8_t scratch[zoe_blit::kScratchBytes];
  alignas(16) uint8_t neutral[zoe_blit::kNeutralBytes];
  zoe_blit::Walk walk = {scratch, neutral, false, 0};
  BlitContext ctx;
  zoe_blit::ContextSetup(&ctx, &walk, static_cast<uint8_t*>(dest), destx, desty, pitch, destheight, planes, srcx, srcy,
                         srcw, srch, flags);
  if (ctx.row >= ctx.end_row) return;
  if (walk.gray) std::memset(neutral, 128, sizeof(neutral));

  const bool yv12 = (flags & SurfaceFormat) == SurfaceYV12;
  const uint32_t obpp = BlitS.out_bytes_per_pixel;
  uint32_t lead = (16 - (srcx & 15)) & 15;
  if (lead > srcw) lead = srcw;
  const uint32_t lead_chroma = yv12 ? (lead + 1) / 2 : ((srcx & 1) + lead) / 2 + ((srcx + lead) & 1);
  const uint32_t nblocks = ((srcx & 15) + srcw + 15) >> 4;
  const uint8_t* map = mask + static_cast<ptrdiff_t>(srcy >> 4) * mapPitch + (srcx >> 4);

  do {
    ctx.row_out_chroma1 = ctx.out_chroma1;
    ctx.row_out_chroma2 = ctx.out_chroma2;
    uint32_t remaining = srcw, x = srcx, pending = 0;
    if (lead > 0) {
      if (*map++) {
        pending = lead;
      } else {
        zoe_blit::Skip(&ctx, walk, lead, lead_chroma, obpp * lead_chroma);
        x += lead;
      }
      remaining -= lead;
    }
    while (remaining != 0) {
      uint32_t width = remaining < 16 ? remaining : 16;
      if (*map++) {
        pending += width;
      } else {
        if (pending) {
          zoe_blit::ConvertSpan(&ctx, walk, pending, x);
          x += pending;
          pending = 0;
        }
        zoe_blit::Skip(&ctx, walk, width, (width + 1) / 2, width == 16 ? 8 * obpp : 0);
        x += width;
      }
      remaining -= width;
    }
    if (pending) zoe_blit::ConvertSpan(&ctx, walk, pending, x);
    const uint32_t finished = ctx.row;
    zoe_blit::EndRow(&ctx, walk);
    if ((finished & 15) == 15)
      map += static_cast<ptrdiff_t>(mapPitch) - nblocks;
    else
      map -= nblocks;
  } while (ctx.row < ctx.end_row);
}

void ZoetGetPalette(uint32_t* palette) {
  for (uint32_t i = 0; i < 256; i++)
    palette[i] = (((i & 7) * 255 / 7) << 16) | ((((i >> 3) & 7) * 255 / 7) << 8) | ((i >> 6) * 85);
}
