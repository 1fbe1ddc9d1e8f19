// Process-wide state of the frame-to-surface conversion and the row
// converters of both families (lane arithmetic and table lookups).
#pragma once

#include <cstdint>

struct BlitContext {
  uint8_t* dest;
  const uint8_t* luma;
  const uint8_t* chroma1;
  const uint8_t* chroma2;
  const uint8_t* alpha;
  uint8_t* out_chroma1;
  uint8_t* out_chroma2;
  uint8_t* row_out_chroma1;
  uint8_t* row_out_chroma2;
  int32_t dest_pitch;
  uint32_t row;
  uint32_t end_row;
  uint32_t max_run;
  int32_t dest_skip;
  int32_t luma_skip;
  int32_t alpha_skip;
  int32_t chroma1_step[2];
  int32_t chroma2_step[2];
  int32_t out_chroma_step[2];
};

// Converts up to count pixels of the current row from source column x and
// returns how many it left.
typedef uint32_t (*ZoeRowFunction)(BlitContext* ctx, uint32_t count, uint32_t x);
// Moves the scratch bytes [first, end) to `to`, transformed; returns the
// address after the last byte written.
typedef uint8_t* (*ZoePostProcess)(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
typedef uint32_t (*ZoeSetupFunction)(uint32_t flags, uint32_t has_alpha);

// One bias-and-dither entry: four 16-bit words for the lane converters, or
// an even-column and an odd-column value for the table converters.
union ZoeBiasEntry {
  int16_t lane[4];
  int32_t table[2];
};

enum { ZoeRed = 0, ZoeGreen = 1, ZoeBlue = 2 };

struct ZoeBlitState {
  // Channel layout: positions and losses, 64-bit slots.
  uint64_t red_pos, green_pos, blue_pos, alpha_pos;
  uint64_t red_loss, green_loss, blue_loss, alpha_loss;
  // [channel][0] current row, [channel][1] the other row parity.
  ZoeBiasEntry bias[3][2];
  // Clamp tables of the table converters, indexed by j + 256 for j in -256..511.
  union {
    uint32_t words[768];
    uint8_t bytes[3][768];
  } clamp;
  uint32_t dither_half, dither_quarter, dither_three_quarters;
  uint32_t red_shift, green_shift, blue_shift;
  uint32_t alpha_shift, alpha_mask;
  ZoeRowFunction row_function;
  ZoePostProcess post_process;
  ZoePostProcess doubler;
  ZoeRowFunction row_converter;
  ZoePostProcess saved_post_process;
  uint32_t bytes_per_pixel;
  uint32_t scratch_shift;
  uint32_t two_pass;
  uint32_t out_bytes_per_pixel;
  // Whether red_shift..blue_shift describe built clamp tables, and how many
  // times the clamp tables have been built.
  uint32_t clamp_valid;
  uint32_t clamp_builds;
};

struct ZoeBlitConstants {
  int16_t luma_mul[4];
  int16_t chroma_mul[4];
  int16_t black_offset[4];
  int16_t zeros[4];
  uint8_t luma_table[256];
  int8_t chroma_table[256];
  uint32_t tables_built;
  ZoeSetupFunction setups[14];
};

extern ZoeBlitState BlitS;
extern ZoeBlitConstants BlitG;

// Set-ups, in the order of the set-up list.
uint32_t ARGB32_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t RGB32_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t ARGB16_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t RGB16_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t YUV16_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t RGB8_mmx(uint32_t flags, uint32_t has_alpha);
uint32_t ARGB32(uint32_t flags, uint32_t has_alpha);
uint32_t RGB32(uint32_t flags, uint32_t has_alpha);
uint32_t ARGB16(uint32_t flags, uint32_t has_alpha);
uint32_t RGB16(uint32_t flags, uint32_t has_alpha);
uint32_t YUV16(uint32_t flags, uint32_t has_alpha);
uint32_t YUV12(uint32_t flags, uint32_t has_alpha);
uint32_t RGB8(uint32_t flags, uint32_t has_alpha);

void setup_scaling(uint32_t mode);
uint32_t Height_2x(BlitContext* ctx, uint32_t count, uint32_t x);
uint8_t* WidthHeight_2x_post(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* Height_2x_post(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);

// Layout set-up shared by both families.
void update_blit_specifics_color_tables(uint32_t alpha_pos, uint32_t red_pos, uint32_t green_pos, uint32_t blue_pos,
                                        uint32_t alpha_loss, uint32_t red_loss, uint32_t green_loss,
                                        uint32_t blue_loss);
void setup_dither(uint32_t alpha_pos, uint32_t red_pos, uint32_t green_pos, uint32_t blue_pos, uint32_t alpha_loss,
                  uint32_t red_loss, uint32_t green_loss, uint32_t blue_loss);
// Writes the lane bases into every bias entry (32-bit formats).
void ZoeLaneSetBasesOnly();
// Exchanges the current-row and other-row bias entries of all channels.
void ZoeSwapRowBias();

// Lane converters.
uint32_t rgb32_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t argb32_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t rgb16_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t argb16_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t rgb8_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t yuyv_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t uyvy_row_mmx(BlitContext* ctx, uint32_t count, uint32_t x);

// Writers shared by both families.
uint32_t yuyv_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t uyvy_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t yv12_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t yv12_row_double(BlitContext* ctx, uint32_t count, uint32_t x);

// Table converters.
void checkyc();
uint32_t rgb32_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t argb32_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t rgb16_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t argb16_row(BlitContext* ctx, uint32_t count, uint32_t x);
uint32_t rgb8_row(BlitContext* ctx, uint32_t count, uint32_t x);

// Post-processors; each _mmx member gives the same bytes as its plain twin.
uint8_t* double32(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double16(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double8(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double_bytes(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* pack24(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* pack24_double(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double_yuyv(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double_uyvy(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double32_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double16_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double8_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* pack24_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* pack24_double_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double_yuyv_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
uint8_t* double_uyvy_mmx(BlitContext* ctx, uint8_t* to, const uint8_t* first, const uint8_t* end);
