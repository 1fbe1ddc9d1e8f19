// Encoder of the picture side of movie frames: bit writer, code choices,
// bundle refills, the ten block kinds, the bit-plane writers and a frame
// encoder that turns Y, cR, cB (and A) planes into frame video data.
#pragma once

#include <cstdint>
#include <vector>

namespace zoeenc {

// Writes fields least significant bit first into 32-bit little-endian words.
class BitWriter {
 public:
  void Put(uint32_t value, uint32_t n);  // n = 0 to 32
  void Append(const BitWriter& other);
  uint64_t BitCount() const { return (uint64_t)words_.size() * 32 + held_; }
  // The bits padded with zeros to a whole word.
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint32_t> words_;
  uint32_t acc_ = 0, held_ = 0;
};

// Writes the prefix-code word of index i of code c.
void PutCodeWord(BitWriter& w, int code, int index);
int CodeWordLength(int code, int index);

// Code choice of a bundle: code number and symbol map (symbol = map[word index]),
// written as plain (code 0), listed (up to 8 symbols) or merge-built (depth 0-3).
struct CodeChoice {
  enum Form { Automatic, Listed, Merged };
  int code = 0;
  uint8_t map[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  Form form = Automatic;
  int depth = 3;  // for Merged
};
// Smallest merge depth that builds the map, or -1.
int MergeDepth(const uint8_t map[16]);
// Number of symbols a listed form needs (1-8), or -1.
int ListedCount(const uint8_t map[16]);
// Writes the choice; the form must be able to build the map.
void WriteCodeChoice(BitWriter& w, const CodeChoice& c);
int CodeChoiceBits(const CodeChoice& c);
// The cheapest choice for symbols with the given counts.
CodeChoice ChooseCode(const uint32_t counts[16]);

// Bit-plane writers (coefficients and residues in raster order).
void WriteBPLossless(BitWriter& w, const int16_t block[64]);
int LenBPLossless(const int16_t block[64]);
// Residue in raster order: returns 0 and writes nothing when it is all zero,
// otherwise writes every pass in full and returns 1.
int WriteBPLossy(BitWriter& w, const int8_t residue[64]);
// Writes exactly what a reader with this budget consumes and returns the
// number of applications the full residue needs; decoded receives what the
// reader rebuilds (raster order).
int WriteResidue(BitWriter& w, const int8_t residue[64], int budget, int8_t decoded[64]);

// Reciprocal quantisers of the forward DCT outputs.
void FastQuantizeCoef(int16_t out[64], const int32_t in[64], int q);
void FastQuantizeMotionCoef(int16_t out[64], const int32_t in[64], int q);
uint32_t MulAddShift(int32_t a, int32_t b, uint32_t c, int s);

// Bundles of a plane, with what each block puts into them, and the bits each
// block carries inline. Block writers append to the current row.
class PlaneBuilder {
 public:
  explicit PlaneBuilder(uint32_t width);

  void BeginRow();
  // Elements and inline bits of the current row.
  void Element(int bundle, int value);
  BitWriter& Inline() { return rows_.back().bits; }

  // Block kinds.
  void Skip();
  void Untouched(int type);  // 10-11; 12-15 only in a row whose types are all equal
  void Motion(int dx, int dy);
  void Run(int pattern, const uint8_t px[64]);  // the block's pixels (raster)
  void Residue(int dx, int dy, int budget, const int8_t residue[64]);
  void Intra(const int16_t coefs[64], int q);  // coefs[0] is the DC
  void Fill(uint8_t colour);
  void Inter(int dx, int dy, const int16_t coefs[64], int q);
  void Pattern(uint8_t c0, uint8_t c1, const uint8_t rows[8]);
  void Raw(const uint8_t px[64]);
  // A scaled block's upper row: sub-kind 3, 5, 6, 8 or 9 (others leave the area untouched).
  void ScaledRun(int pattern, const uint8_t px[64]);
  void ScaledIntra(const int16_t coefs[64], int q);
  void ScaledFill(uint8_t colour);
  void ScaledPattern(uint8_t c0, uint8_t c1, const uint8_t rows[8]);
  void ScaledRaw(const uint8_t px[64]);
  void ScaledOther(int subType);
  // The lower row of a scaled block (only the type is repeated).
  void ScaledLower();

  // Run coding of 64 pixels along a pattern: runs (length - 1, same flag); false when more than maxRuns.
  static bool RunsOf(int pattern, const uint8_t px[64], int maxRuns, std::vector<int>* lengths,
                     std::vector<bool>* same);

  // Code choices used when set; others are chosen from the symbol counts.
  // Index: 0-8 the bundles (codes of 6 and 7 unused), 9-24 the colour high-nibble codes.
  void SetCode(int index, const CodeChoice& c);
  // Refill forms: when false, uniform elements are still written one by one.
  bool useFill = true;
  // Old colour mapping of formats 'f'-'h' (elements given as the stored values).
  bool oldColours = false;

  // The plane's bits, padded to a word.
  std::vector<uint8_t> Finish() const;

 private:
  struct Row {
    std::vector<int> elems[9];
    BitWriter bits;
  };
  void Colours(const uint8_t* c, int n);
  void RunBits(int pattern, const uint8_t px[64]);
  uint32_t width_;
  std::vector<Row> rows_;
  bool fixed_[25] = {};
  CodeChoice codes_[25];
};

// Options of the frame encoder.
struct EncodeOptions {
  bool keyFrame = false;
  bool lossless = true;  // only kinds that rebuild the source exactly
  int quant = 0;         // quantiser of DCT blocks
  int search = 4;        // motion search range in pixels
  bool preferDct = false;  // code every block that is not skipped or filled with a DCT when its error is small
};

struct EncodeStats {
  uint32_t blocks[10] = {};
  uint32_t skipStatistic = 0;  // what the decoder returns for the frame
};

// Turns frames into video data, keeping its own reconstruction as the
// previous frame. Plane sizes: luma width and height rounded up to 8, chroma
// half (rounding up) rounded up to 8.
class FrameEncoder {
 public:
  FrameEncoder(uint32_t width, uint32_t height, bool grey = false, bool alpha = false);
  // Planes are tightly packed at the plane sizes; a may be null without alpha.
  std::vector<uint8_t> Encode(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, const uint8_t* a,
                              const EncodeOptions& options, EncodeStats* stats = nullptr);

  uint32_t lumaWidth, lumaHeight, chromaWidth, chromaHeight;
  std::vector<uint8_t> recon[4];  // Y, cR, cB, A
  std::vector<uint8_t> map;       // changed-block map of the last frame
  uint32_t mapPitch;

 private:
  std::vector<uint8_t> EncodePlane(int plane, const uint8_t* src, uint32_t w, uint32_t h, int kind,
                                   const EncodeOptions& o, EncodeStats* stats, uint32_t* skips);
  bool grey_, alpha_;
  bool first_ = true;
};

}  // namespace zoeenc
