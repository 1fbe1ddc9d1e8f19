// Encoder of frame video data, written from the format's tables.
#include "ZoeEncode.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "NonTW/Zoet/ZoeBitplane.h"
#include "NonTW/Zoet/ZoeDecode.h"
#include "NonTW/Zoet/ZoeTransform.h"
#include "TWUtil/ByteOrder.h"

namespace zoeenc {

// ---- bit writer ----

void BitWriter::Put(uint32_t value, uint32_t n) {
  if (n == 0) return;
  if (n < 32) value &= (1u << n) - 1;
  acc_ |= value << held_;
  uint32_t total = held_ + n;
  if (total >= 32) {
    words_.push_back(acc_);
    uint32_t used = 32 - held_;
    acc_ = used < 32 ? value >> used : 0;
    held_ = total - 32;
  } else {
    held_ = total;
  }
}

void BitWriter::Append(const BitWriter& other) {
  for (uint32_t w : other.words_) Put(w, 32);
  if (other.held_) Put(other.acc_, other.held_);
}

std::vector<uint8_t> BitWriter::Bytes() const {
  std::vector<uint8_t> out((words_.size() + (held_ ? 1 : 0)) * 4);
  for (size_t i = 0; i < words_.size(); i++) PutLE32(&out[4 * i], words_[i]);
  if (held_) PutLE32(&out[4 * words_.size()], acc_);
  return out;
}

// ---- prefix codes and code choices ----

int CodeWordLength(int code, int index) { return (int)strlen(zoe_code_words[code][index]); }

void PutCodeWord(BitWriter& w, int code, int index) {
  for (const char* p = zoe_code_words[code][index]; *p; p++) w.Put(*p == '1', 1);
}

namespace {

int BitLen(uint32_t v) {
  int n = 0;
  while (v) {
    n++;
    v >>= 1;
  }
  return n;
}

// Builds the map a merge of the given depth makes, choosing every bit by the
// target order; bits receives the choices in writing order.
void MergeBuild(const uint8_t map[16], int depth, uint8_t out[16], std::vector<int>* bits) {
  int rank[16];
  for (int i = 0; i < 16; i++) rank[map[i]] = i;
  uint8_t cur[16], next[16];
  for (int i = 0; i < 16; i += 2) {
    bool swap = rank[i + 1] < rank[i];
    bits->push_back(swap);
    cur[i] = (uint8_t)(swap ? i + 1 : i);
    cur[i + 1] = (uint8_t)(swap ? i : i + 1);
  }
  for (int level = 0, run = 2; level < depth; level++, run *= 2) {
    for (int s = 0; s < 16; s += 2 * run) {
      const uint8_t* a = cur + s;
      const uint8_t* b = cur + s + run;
      int i = 0, j = 0, o = s;
      while (i < run && j < run) {
        bool takeB = rank[b[j]] < rank[a[i]];
        bits->push_back(takeB);
        next[o++] = takeB ? b[j++] : a[i++];
      }
      while (i < run) next[o++] = a[i++];
      while (j < run) next[o++] = b[j++];
    }
    memcpy(cur, next, 16);
  }
  memcpy(out, cur, 16);
}

}  // namespace

int MergeDepth(const uint8_t map[16]) {
  for (int d = 0; d < 4; d++) {
    uint8_t out[16];
    std::vector<int> bits;
    MergeBuild(map, d, out, &bits);
    if (memcmp(out, map, 16) == 0) return d;
  }
  return -1;
}

int ListedCount(const uint8_t map[16]) {
  for (int count = 1; count <= 8; count++) {
    bool used[16] = {};
    for (int i = 0; i < count; i++) used[map[i]] = true;
    int o = count;
    bool ok = true;
    for (int s = 0; s < 16 && ok; s++)
      if (!used[s]) ok = map[o++] == s;
    if (ok) return count;
  }
  return -1;
}

namespace {

int MergeBits(const uint8_t map[16], int depth) {
  uint8_t out[16];
  std::vector<int> bits;
  MergeBuild(map, depth, out, &bits);
  return (int)bits.size();
}

// Resolved form: 0 plain, 1 listed, 2 merged.
int ResolveForm(const CodeChoice& c, int* depth) {
  if (c.code == 0) return 0;
  if (c.form == CodeChoice::Listed) return 1;
  if (c.form == CodeChoice::Merged) {
    *depth = c.depth;
    return 2;
  }
  int n = ListedCount(c.map), d = MergeDepth(c.map);
  int listed = n > 0 ? 8 + 4 * n : INT_MAX;
  int merged = d >= 0 ? 3 + MergeBits(c.map, d) : INT_MAX;
  *depth = d;
  return listed <= merged ? 1 : 2;
}

}  // namespace

void WriteCodeChoice(BitWriter& w, const CodeChoice& c) {
  w.Put((uint32_t)c.code, 4);
  int depth = 3;
  int form = ResolveForm(c, &depth);
  if (form == 0) return;
  if (form == 1) {
    int n = ListedCount(c.map);
    if (n < 0) n = 8;
    w.Put(1, 1);
    w.Put((uint32_t)(n - 1), 3);
    for (int i = 0; i < n; i++) w.Put(c.map[i], 4);
    return;
  }
  w.Put(0, 1);
  w.Put((uint32_t)depth, 2);
  uint8_t out[16];
  std::vector<int> bits;
  MergeBuild(c.map, depth, out, &bits);
  for (int b : bits) w.Put((uint32_t)b, 1);
}

int CodeChoiceBits(const CodeChoice& c) {
  BitWriter w;
  WriteCodeChoice(w, c);
  return (int)w.BitCount();
}

CodeChoice ChooseCode(const uint32_t counts[16]) {
  CodeChoice best;
  uint64_t total = 0;
  for (int s = 0; s < 16; s++) total += counts[s];
  uint64_t bestCost = total * 4 + 4;
  if (total == 0) return best;
  CodeChoice sorted;
  int order[16];
  for (int i = 0; i < 16; i++) order[i] = i;
  std::stable_sort(order, order + 16, [&](int a, int b) { return counts[a] > counts[b]; });
  for (int i = 0; i < 16; i++) sorted.map[i] = (uint8_t)order[i];
  for (int c = 1; c < 16; c++) {
    sorted.code = c;
    uint64_t cost = (uint64_t)CodeChoiceBits(sorted);
    for (int i = 0; i < 16; i++) cost += (uint64_t)counts[sorted.map[i]] * (uint64_t)CodeWordLength(c, i);
    if (cost < bestCost) {
      bestCost = cost;
      best = sorted;
    }
  }
  return best;
}

// ---- bit-plane writers ----

namespace {

struct ListWriter {
  uint8_t e[96];
  int start, end;
  void Init(const uint8_t* initial, int n) {
    start = end = 72;
    for (int i = 0; i < n; i++) e[end++] = initial[i];
  }
};

const uint8_t kDctList[6] = {4 * 4, 24 * 4, 44 * 4, 1 * 4 + 3, 2 * 4 + 3, 3 * 4 + 3};
const uint8_t kResidueList[4] = {4 * 4, 24 * 4, 44 * 4, 0 * 4 + 2};

int MaxLevel(const int* level, int from, int count) {
  int m = 0;
  for (int k = from; k < from + count && k < 64; k++) m = std::max(m, level[k]);
  return m;
}

// One pass at level i: emits the bits that make the reader walk the list the
// same way. value(k) writes coefficient k's value and returns false to stop.
template <class ValueFn>
bool WalkWrite(ListWriter& l, BitWriter& w, const int* level, int i, ValueFn&& value) {
  for (int pos = l.start; pos < l.end; pos++) {
    uint8_t e = l.e[pos];
    if (e == 0) continue;
    for (;;) {
      int k = e >> 2, mode = e & 3;
      int span = mode == 0 ? 20 : mode == 1 ? 16 : mode == 2 ? 4 : 1;
      bool fire = MaxLevel(level, k, span) >= i;
      w.Put(fire, 1);
      if (!fire) break;
      if (mode == 3) {
        l.e[pos] = 0;
        if (!value(k)) return false;
        break;
      }
      if (mode == 1) {
        e = (uint8_t)(k * 4 + 2);
        l.e[pos] = e;
        l.e[l.end++] = (uint8_t)((k + 4) * 4 + 2);
        l.e[l.end++] = (uint8_t)((k + 8) * 4 + 2);
        l.e[l.end++] = (uint8_t)((k + 12) * 4 + 2);
        continue;
      }
      for (int j = k; j < k + 4; j++) {
        bool later = level[j] != i;
        w.Put(later, 1);
        if (later) {
          l.e[--l.start] = (uint8_t)(j * 4 + 3);
        } else if (!value(j)) {
          return false;
        }
      }
      if (mode == 2) {
        l.e[pos] = 0;
        break;
      }
      e = (uint8_t)((k + 4) * 4 + 1);
      l.e[pos] = e;
    }
  }
  return true;
}

}  // namespace

void WriteBPLossless(BitWriter& w, const int16_t block[64]) {
  int level[64] = {};
  int mag[64] = {}, neg[64] = {};
  int planes = 0;
  for (int k = 1; k < 64; k++) {
    int v = block[zigzag[k]];
    mag[k] = std::abs(v);
    neg[k] = v < 0;
    level[k] = mag[k] <= 128 ? _bitlevels[mag[k]] : BitLen((uint32_t)mag[k]);
    planes = std::max(planes, level[k]);
  }
  w.Put((uint32_t)planes, 4);
  if (!planes) return;
  ListWriter l;
  l.Init(kDctList, 6);
  for (int i = planes; i >= 1; i--) {
    WalkWrite(l, w, level, i, [&](int k) {
      uint32_t half = 1u << (i - 1);
      w.Put(((uint32_t)mag[k] & (half - 1)) | (neg[k] ? half : 0), (uint32_t)i);
      return true;
    });
  }
}

int LenBPLossless(const int16_t block[64]) {
  BitWriter w;
  WriteBPLossless(w, block);
  return (int)w.BitCount();
}

int WriteResidue(BitWriter& w, const int8_t residue[64], int budget, int8_t decoded[64]) {
  int level[64] = {}, mag[64] = {}, neg[64] = {};
  int top = 0, needed = 0;
  for (int k = 0; k < 64; k++) {
    int v = residue[zigzag[k]];
    mag[k] = std::abs(v);
    neg[k] = v < 0;
    level[k] = BitLen((uint32_t)mag[k]);
    top = std::max(top, level[k]);
    needed += __builtin_popcount((unsigned)mag[k]);
  }
  int c = top ? top - 1 : 0;
  w.Put((uint32_t)c, 3);
  int8_t dec[64] = {};
  ListWriter l;
  l.Init(kResidueList, 4);
  uint8_t sig[64];
  int nsig = 0, counter = 0;
  bool stopped = false;
  auto apply = [&]() {
    if (counter == budget) return false;
    counter++;
    return true;
  };
  for (int i = c + 1; i >= 1 && !stopped; i--) {
    int m = 1 << (i - 1);
    for (int s = 0; s < nsig && !stopped; s++) {
      int k = sig[s];
      bool bit = (mag[k] & m) != 0;
      w.Put(bit, 1);
      if (bit) {
        dec[k] = (int8_t)(uint8_t)(dec[k] >= 0 ? dec[k] + m : dec[k] - m);
        if (!apply()) stopped = true;
      }
    }
    if (stopped) break;
    if (!WalkWrite(l, w, level, i, [&](int k) {
          sig[nsig++] = (uint8_t)k;
          w.Put((uint32_t)neg[k], 1);
          dec[k] = (int8_t)(uint8_t)(neg[k] ? -m : m);
          return apply();
        }))
      stopped = true;
  }
  if (decoded)
    for (int k = 0; k < 64; k++) decoded[zigzag[k]] = dec[k];
  return needed;
}

int WriteBPLossy(BitWriter& w, const int8_t residue[64]) {
  bool any = false;
  for (int i = 0; i < 64; i++) any |= residue[i] != 0;
  if (!any) return 0;
  WriteResidue(w, residue, INT_MAX, nullptr);
  return 1;
}

// ---- quantisers ----

namespace {

struct Reciprocals {
  uint32_t r[2][16][64];
  Reciprocals() {
    for (int t = 0; t < 2; t++)
      for (int q = 0; q < 16; q++)
        for (int i = 0; i < 64; i++)
          r[t][q][i] = (uint32_t)std::floor((double)(float)(524288.0 / ZoeDequantFactor(t, q, i)) + 0.5);
  }
};

const Reciprocals& Recip() {
  static const Reciprocals r;
  return r;
}

void Quantize(int16_t out[64], const int32_t in[64], const uint32_t* r) {
  for (int i = 0; i < 64; i++) out[i] = (int16_t)(((int64_t)in[i] * (int64_t)r[i] + 0x1FFFFFFF) >> 30);
}

}  // namespace

void FastQuantizeCoef(int16_t out[64], const int32_t in[64], int q) { Quantize(out, in, Recip().r[0][q & 15]); }
void FastQuantizeMotionCoef(int16_t out[64], const int32_t in[64], int q) {
  Quantize(out, in, Recip().r[1][q & 15]);
}

uint32_t MulAddShift(int32_t a, int32_t b, uint32_t c, int s) {
  return (uint32_t)(((int64_t)a * b + (int64_t)c) >> s);
}

// ---- plane builder ----

PlaneBuilder::PlaneBuilder(uint32_t width) : width_(width) {}

void PlaneBuilder::BeginRow() { rows_.emplace_back(); }

void PlaneBuilder::Element(int bundle, int value) { rows_.back().elems[bundle].push_back(value); }

void PlaneBuilder::SetCode(int index, const CodeChoice& c) {
  fixed_[index] = true;
  codes_[index] = c;
}

void PlaneBuilder::Skip() { Element(ZOE_BUNDLE_TYPES, SkipBlock); }
void PlaneBuilder::Untouched(int type) { Element(ZOE_BUNDLE_TYPES, type); }

void PlaneBuilder::Motion(int dx, int dy) {
  Element(ZOE_BUNDLE_TYPES, MotionBlock);
  Element(ZOE_BUNDLE_XOFF, dx);
  Element(ZOE_BUNDLE_YOFF, dy);
}

bool PlaneBuilder::RunsOf(int pattern, const uint8_t px[64], int maxRuns, std::vector<int>* lengths,
                          std::vector<bool>* same) {
  const uint8_t* o = patterns[pattern];
  lengths->clear();
  same->clear();
  int i = 0;
  while (i < 63) {
    int len = 1;
    while (i + len < 64 && len < 16 && px[o[i + len]] == px[o[i]]) len++;
    bool equal = len >= 2;
    if (!equal) {
      while (i + len < 64 && len < 16 && (i + len + 1 >= 64 || px[o[i + len]] != px[o[i + len + 1]])) len++;
    }
    lengths->push_back(len);
    same->push_back(equal);
    i += len;
    if ((int)lengths->size() > maxRuns) return false;
  }
  return true;
}

void PlaneBuilder::RunBits(int pattern, const uint8_t px[64]) {
  const uint8_t* o = patterns[pattern];
  std::vector<int> lengths;
  std::vector<bool> same;
  RunsOf(pattern, px, 64, &lengths, &same);
  Inline().Put((uint32_t)pattern, 4);
  int i = 0;
  for (size_t r = 0; r < lengths.size(); r++) {
    Inline().Put(same[r], 1);
    Element(ZOE_BUNDLE_RUNS, lengths[r] - 1);
    if (same[r]) {
      Element(ZOE_BUNDLE_COLOURS, px[o[i]]);
    } else {
      for (int k = 0; k < lengths[r]; k++) Element(ZOE_BUNDLE_COLOURS, px[o[i + k]]);
    }
    i += lengths[r];
  }
  if (i == 63) Element(ZOE_BUNDLE_COLOURS, px[o[63]]);
}

void PlaneBuilder::Run(int pattern, const uint8_t px[64]) {
  Element(ZOE_BUNDLE_TYPES, RunBlock);
  RunBits(pattern, px);
}

void PlaneBuilder::Residue(int dx, int dy, int budget, const int8_t residue[64]) {
  Element(ZOE_BUNDLE_TYPES, ResidueBlock);
  Element(ZOE_BUNDLE_XOFF, dx);
  Element(ZOE_BUNDLE_YOFF, dy);
  Inline().Put((uint32_t)budget, 7);
  WriteResidue(Inline(), residue, budget, nullptr);
}

void PlaneBuilder::Intra(const int16_t coefs[64], int q) {
  Element(ZOE_BUNDLE_TYPES, IntraBlock);
  Element(ZOE_BUNDLE_INTRA_DC, coefs[0]);
  WriteBPLossless(Inline(), coefs);
  Inline().Put((uint32_t)q, 4);
}

void PlaneBuilder::Fill(uint8_t colour) {
  Element(ZOE_BUNDLE_TYPES, FillBlock);
  Element(ZOE_BUNDLE_COLOURS, colour);
}

void PlaneBuilder::Inter(int dx, int dy, const int16_t coefs[64], int q) {
  Element(ZOE_BUNDLE_TYPES, InterBlock);
  Element(ZOE_BUNDLE_XOFF, dx);
  Element(ZOE_BUNDLE_YOFF, dy);
  Element(ZOE_BUNDLE_INTER_DC, coefs[0]);
  WriteBPLossless(Inline(), coefs);
  Inline().Put((uint32_t)q, 4);
}

void PlaneBuilder::Pattern(uint8_t c0, uint8_t c1, const uint8_t rows[8]) {
  Element(ZOE_BUNDLE_TYPES, PatternBlock);
  Element(ZOE_BUNDLE_COLOURS, c0);
  Element(ZOE_BUNDLE_COLOURS, c1);
  for (int i = 0; i < 8; i++) Element(ZOE_BUNDLE_PATTERNS, rows[i]);
}

void PlaneBuilder::Raw(const uint8_t px[64]) {
  Element(ZOE_BUNDLE_TYPES, RawBlock);
  for (int i = 0; i < 64; i++) Element(ZOE_BUNDLE_COLOURS, px[i]);
}

void PlaneBuilder::ScaledRun(int pattern, const uint8_t px[64]) {
  ScaledOther(RunBlock);
  RunBits(pattern, px);
}

void PlaneBuilder::ScaledIntra(const int16_t coefs[64], int q) {
  ScaledOther(IntraBlock);
  Element(ZOE_BUNDLE_INTRA_DC, coefs[0]);
  WriteBPLossless(Inline(), coefs);
  Inline().Put((uint32_t)q, 4);
}

void PlaneBuilder::ScaledFill(uint8_t colour) {
  ScaledOther(FillBlock);
  Element(ZOE_BUNDLE_COLOURS, colour);
}

void PlaneBuilder::ScaledPattern(uint8_t c0, uint8_t c1, const uint8_t rows[8]) {
  ScaledOther(PatternBlock);
  Element(ZOE_BUNDLE_COLOURS, c0);
  Element(ZOE_BUNDLE_COLOURS, c1);
  for (int i = 0; i < 8; i++) Element(ZOE_BUNDLE_PATTERNS, rows[i]);
}

void PlaneBuilder::ScaledRaw(const uint8_t px[64]) {
  ScaledOther(RawBlock);
  for (int i = 0; i < 64; i++) Element(ZOE_BUNDLE_COLOURS, px[i]);
}

void PlaneBuilder::ScaledOther(int subType) {
  Element(ZOE_BUNDLE_TYPES, ScaledBlock);
  Element(ZOE_BUNDLE_SUBTYPES, subType);
}

void PlaneBuilder::ScaledLower() { Element(ZOE_BUNDLE_TYPES, ScaledBlock); }

namespace {

// A field of raw bits, a symbol of a code context, or a row's inline bits.
struct Token {
  int ctx;  // -1 bits, -2 inline bits of row v, else code context
  uint32_t v, n;
};

const int kHighNibbleCtx = 9;

}  // namespace

std::vector<uint8_t> PlaneBuilder::Finish() const {
  std::vector<Token> toks;
  auto bits = [&](uint32_t v, uint32_t n) { toks.push_back({-1, v, n}); };
  auto sym = [&](int ctx, uint32_t s) { toks.push_back({ctx, s, 0}); };
  uint32_t blocks = width_ / 8;
  const uint32_t counts[9] = {blocks, width_ / 16, 64 * blocks, 8 * blocks, blocks,
                              blocks, blocks,      blocks,      48 * blocks};
  uint32_t remaining[9] = {};
  bool closed[9] = {};
  uint32_t lastHigh = 0;

  for (size_t r = 0; r < rows_.size(); r++) {
    for (int b = 0; b < 9; b++) {
      if (closed[b] || remaining[b]) continue;
      std::vector<int> el;
      for (size_t s = r; s < rows_.size() && el.empty(); s++) el = rows_[s].elems[b];
      uint32_t n = (uint32_t)el.size();
      bits(n, ZoeCountBits(counts[b]));
      if (!n) {
        closed[b] = true;
        continue;
      }
      remaining[b] = n;
      bool uniform = useFill && std::all_of(el.begin(), el.end(), [&](int v) { return v == el[0]; });
      switch (b) {
        case ZOE_BUNDLE_TYPES:
        case ZOE_BUNDLE_SUBTYPES: {
          bits(uniform, 1);
          if (uniform) {
            bits((uint32_t)el[0], 4);
            break;
          }
          int last = 0;
          for (size_t i = 0; i < el.size();) {
            size_t run = 0;
            while (i + run < el.size() && el[i + run] == last) run++;
            if (run >= 4) {
              static const int reps[4] = {32, 12, 8, 4};
              for (int e = 0; e < 4; e++)
                if ((int)run >= reps[e]) {
                  sym(b, (uint32_t)(15 - e));
                  i += (size_t)reps[e];
                  break;
                }
              continue;
            }
            sym(b, (uint32_t)el[i]);
            last = el[i++];
          }
          break;
        }
        case ZOE_BUNDLE_COLOURS: {
          bits(uniform, 1);
          size_t count = uniform ? 1 : el.size();
          for (size_t i = 0; i < count; i++) {
            int v = el[i] & 255;
            if (oldColours) v = v >= 128 ? v - 128 : v == 0 ? 255 : 256 - v;
            sym(kHighNibbleCtx + (int)lastHigh, (uint32_t)(v >> 4));
            sym(ZOE_BUNDLE_COLOURS, (uint32_t)(v & 15));
            lastHigh = (uint32_t)(v >> 4);
          }
          break;
        }
        case ZOE_BUNDLE_PATTERNS:
          for (int v : el) {
            sym(b, (uint32_t)(v & 15));
            sym(b, (uint32_t)((v >> 4) & 15));
          }
          break;
        case ZOE_BUNDLE_XOFF:
        case ZOE_BUNDLE_YOFF:
          bits(uniform, 1);
          if (uniform) {
            bits((uint32_t)std::abs(el[0]), 4);
            if (el[0]) bits(el[0] < 0, 1);
            break;
          }
          for (int v : el) {
            sym(b, (uint32_t)std::abs(v));
            if (v) bits(v < 0, 1);
          }
          break;
        case ZOE_BUNDLE_INTRA_DC:
        case ZOE_BUNDLE_INTER_DC: {
          if (b == ZOE_BUNDLE_INTRA_DC) {
            bits((uint32_t)el[0], 11);
          } else {
            bits((uint32_t)std::abs(el[0]), 10);
            if (el[0]) bits(el[0] < 0, 1);
          }
          for (size_t i = 1; i < el.size(); i += 8) {
            size_t end = std::min(el.size(), i + 8);
            int w = 0;
            for (size_t j = i; j < end; j++) w = std::max(w, BitLen((uint32_t)std::abs(el[j] - el[j - 1])));
            bits((uint32_t)w, 4);
            if (!w) continue;
            for (size_t j = i; j < end; j++) {
              int d = el[j] - el[j - 1];
              bits((uint32_t)std::abs(d), (uint32_t)w);
              if (d) bits(d < 0, 1);
            }
          }
          break;
        }
        case ZOE_BUNDLE_RUNS:
          bits(uniform, 1);
          if (uniform) {
            bits((uint32_t)el[0], 4);
            break;
          }
          for (int v : el) sym(b, (uint32_t)v);
          break;
      }
    }
    for (int b = 0; b < 9; b++) remaining[b] -= std::min<uint32_t>(remaining[b], (uint32_t)rows_[r].elems[b].size());
    toks.push_back({-2, (uint32_t)r, 0});
  }

  CodeChoice codes[25];
  uint32_t hist[25][16] = {};
  for (const Token& t : toks)
    if (t.ctx >= 0) hist[t.ctx][t.v & 15]++;
  for (int c = 0; c < 25; c++) codes[c] = fixed_[c] ? codes_[c] : ChooseCode(hist[c]);
  int index[25][16];
  for (int c = 0; c < 25; c++)
    for (int i = 0; i < 16; i++) index[c][codes[c].map[i]] = i;

  BitWriter w;
  static const int order[] = {0, 1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 2, 3, 4, 5, 8};
  for (int c : order) WriteCodeChoice(w, codes[c]);
  for (const Token& t : toks) {
    if (t.ctx == -1) w.Put(t.v, t.n);
    else if (t.ctx == -2) w.Append(rows_[t.v].bits);
    else PutCodeWord(w, codes[t.ctx].code, index[t.ctx][t.v & 15]);
  }
  return w.Bytes();
}

// ---- frame encoder ----

FrameEncoder::FrameEncoder(uint32_t width, uint32_t height, bool grey, bool alpha) : grey_(grey), alpha_(alpha) {
  lumaWidth = (width + 7) & ~7u;
  lumaHeight = (height + 7) & ~7u;
  chromaWidth = (((width + 1) / 2) + 7) & ~7u;
  chromaHeight = (((height + 1) / 2) + 7) & ~7u;
  recon[0].assign((size_t)lumaWidth * lumaHeight, 0);
  recon[1].assign((size_t)chromaWidth * chromaHeight, 0);
  recon[2].assign((size_t)chromaWidth * chromaHeight, 0);
  recon[3].assign((size_t)lumaWidth * lumaHeight, 0);
  mapPitch = (lumaWidth + 15) / 16;
  map.assign((size_t)mapPitch * ((lumaHeight + 15) / 16), 0);
}

namespace {

void GetBlock(uint8_t out[64], const uint8_t* p, uint32_t pitch) {
  for (int y = 0; y < 8; y++) memcpy(out + 8 * y, p + (size_t)y * pitch, 8);
}
void PutBlock(uint8_t* p, uint32_t pitch, const uint8_t in[64]) {
  for (int y = 0; y < 8; y++) memcpy(p + (size_t)y * pitch, in + 8 * y, 8);
}
// Colours a run block takes (one per equal run, one per pixel of the others).
int RunColours(const std::vector<int>& lengths, const std::vector<bool>& same) {
  int n = 0, total = 0;
  for (size_t i = 0; i < lengths.size(); i++) {
    n += same[i] ? 1 : lengths[i];
    total += lengths[i];
  }
  return n + (total == 63);
}

int Sse(const uint8_t* a, const uint8_t* b) {
  int s = 0;
  for (int i = 0; i < 64; i++) s += (a[i] - b[i]) * (a[i] - b[i]);
  return s;
}

}  // namespace

std::vector<uint8_t> FrameEncoder::EncodePlane(int plane, const uint8_t* src, uint32_t w, uint32_t h, int kind,
                                               const EncodeOptions& o, EncodeStats* stats, uint32_t* skips) {
  std::vector<uint8_t> prev = recon[plane];
  std::vector<uint8_t>& cur = recon[plane];
  PlaneBuilder pb(w);
  bool inter = !o.keyFrame && !first_;
  int shift = kind == 1 ? 4 : 3;
  *skips = 0;
  for (uint32_t row = 0; row < h; row += 8) {
    pb.BeginRow();
    uint8_t* mapLine = &map[(size_t)(row >> shift) * mapPitch];
    for (uint32_t x = 0; x < w; x += 8) {
      uint8_t s[64], p[64], r[64];
      GetBlock(s, src + (size_t)row * w + x, w);
      GetBlock(p, prev.data() + (size_t)row * w + x, w);
      int chosen = -1;
      if (inter && memcmp(s, p, 64) == 0) {
        pb.Skip();
        if (mapLine[x >> shift] == 0) (*skips)++;
        if (stats) stats->blocks[SkipBlock]++;
        continue;
      }
      mapLine[x >> shift] = 1;
      bool uniform = std::all_of(s, s + 64, [&](uint8_t v) { return v == s[0]; });
      // best displacement by the sum of absolute differences
      int bdx = 0, bdy = 0, bestSad = INT_MAX;
      if (inter) {
        for (int dy = -o.search; dy <= o.search; dy++)
          for (int dx = -o.search; dx <= o.search; dx++) {
            int64_t sx = (int64_t)x + dx, sy = (int64_t)row + dy;
            if (sx < 0 || sy < 0 || sx + 8 > w || sy + 8 > h) continue;
            int sad = 0;
            for (int yy = 0; yy < 8 && sad <= bestSad; yy++)
              for (int xx = 0; xx < 8; xx++) sad += std::abs(s[yy * 8 + xx] - prev[(size_t)(sy + yy) * w + sx + xx]);
            if (sad < bestSad || (sad == bestSad && std::abs(dx) + std::abs(dy) < std::abs(bdx) + std::abs(bdy))) {
              bestSad = sad;
              bdx = dx;
              bdy = dy;
            }
          }
      }
      uint8_t ref[64] = {};
      if (inter) GetBlock(ref, prev.data() + (size_t)(row + bdy) * w + x + bdx, w);
      if (uniform) {
        pb.Fill(s[0]);
        memcpy(r, s, 64);
        chosen = FillBlock;
      } else if (inter && bestSad == 0) {
        pb.Motion(bdx, bdy);
        memcpy(r, s, 64);
        chosen = MotionBlock;
      }
      if (chosen < 0 && !o.lossless) {
        int32_t f[64];
        int16_t ci[64];
        FastFDCT8x8(f, s);
        FastQuantizeCoef(ci, f, o.quant);
        ci[0] = (int16_t)std::min(2047, std::max(0, (int)ci[0]));
        uint8_t ri[64];
        FastIDCT8x8(ri, 8, ci, o.quant);
        int best = Sse(ri, s);
        int16_t cm[64];
        uint8_t rm[64];
        int bestInter = INT_MAX;
        if (inter) {
          int8_t diff[64];
          for (int i = 0; i < 64; i++) diff[i] = (int8_t)std::min(127, std::max(-128, s[i] - ref[i]));
          FastFDCTs8x8(f, diff);
          FastQuantizeMotionCoef(cm, f, o.quant);
          cm[0] = (int16_t)std::min(1023, std::max(-1023, (int)cm[0]));
          FastmIDCT8x8WithMotion(rm, 8, cm, o.quant, ref, 8);
          bestInter = Sse(rm, s);
        }
        int limit = o.preferDct ? 64 * 24 : 64 * 8;
        if (std::min(best, bestInter) <= limit) {
          if (bestInter < best) {
            pb.Inter(bdx, bdy, cm, o.quant);
            memcpy(r, rm, 64);
            chosen = InterBlock;
          } else {
            pb.Intra(ci, o.quant);
            memcpy(r, ri, 64);
            chosen = IntraBlock;
          }
        }
      }
      if (chosen < 0) {
        uint8_t c0 = s[0], c1 = s[0];
        bool two = true;
        for (int i = 0; i < 64 && two; i++) {
          if (s[i] == c0) continue;
          if (c1 == c0) c1 = s[i];
          else if (s[i] != c1) two = false;
        }
        std::vector<int> lengths;
        std::vector<bool> same;
        int8_t res[64], dec[64];
        if (two) {
          uint8_t rows[8];
          for (int y = 0; y < 8; y++) {
            rows[y] = 0;
            for (int xx = 0; xx < 8; xx++)
              if (s[y * 8 + xx] == c1) rows[y] |= (uint8_t)(1 << xx);
          }
          pb.Pattern(c0, c1, rows);
          chosen = PatternBlock;
        } else if (PlaneBuilder::RunsOf(0, s, 24, &lengths, &same) && RunColours(lengths, same) < 40) {
          pb.Run(0, s);
          chosen = RunBlock;
        } else {
          bool residueFits = false;
          if (inter) {
            for (int i = 0; i < 64; i++) res[i] = (int8_t)(uint8_t)(s[i] - ref[i]);
            BitWriter probe;
            residueFits = WriteResidue(probe, res, 127, dec) <= 127;
          }
          if (residueFits) {
            pb.Residue(bdx, bdy, 127, res);
            chosen = ResidueBlock;
          } else {
            pb.Raw(s);
            chosen = RawBlock;
          }
        }
        memcpy(r, s, 64);
      }
      if (stats) stats->blocks[chosen]++;
      PutBlock(cur.data() + (size_t)row * w + x, w, r);
    }
  }
  return pb.Finish();
}

std::vector<uint8_t> FrameEncoder::Encode(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, const uint8_t* a,
                                          const EncodeOptions& options, EncodeStats* stats) {
  std::fill(map.begin(), map.end(), 0);
  std::vector<uint8_t> out;
  auto word = [&](uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    out.insert(out.end(), b, b + 4);
  };
  uint32_t skips = 0;
  if (alpha_) {
    std::vector<uint8_t> ap = EncodePlane(3, a, lumaWidth, lumaHeight, 1, options, nullptr, &skips);
    word((uint32_t)ap.size() + 4);
    out.insert(out.end(), ap.begin(), ap.end());
  }
  std::vector<uint8_t> yp = EncodePlane(0, y, lumaWidth, lumaHeight, 1, options, stats, &skips);
  word((uint32_t)yp.size());
  out.insert(out.end(), yp.begin(), yp.end());
  uint32_t statistic = skips / 4;
  if (!grey_) {
    std::vector<uint8_t> rp = EncodePlane(1, cr, chromaWidth, chromaHeight, 2, options, stats, &skips);
    out.insert(out.end(), rp.begin(), rp.end());
    std::vector<uint8_t> bp = EncodePlane(2, cb, chromaWidth, chromaHeight, 2, options, stats, &skips);
    out.insert(out.end(), bp.begin(), bp.end());
    statistic = skips;
  }
  if (stats) stats->skipStatistic = statistic;
  first_ = false;
  return out;
}

}  // namespace zoeenc
