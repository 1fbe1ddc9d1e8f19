#include "TWGraphics/Palette.h"

#include <cstdlib>
#include <cstring>

#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"

EPalette::~EPalette() {
  free(m_pColors);
  m_pColors = nullptr;
}

HPALETTE ERenderer::CreatePalette() {
  HPALETTE idPalette = m_pPalettes->ElementNew();
  EASSERT(idPalette);
  EPalette* pPalette = m_pPalettes->ElementGet(idPalette);
  pPalette->m_dwLockCount = 0;
  pPalette->m_pColors = static_cast<uint32_t*>(malloc(EPalette::kNUM_ENTRIES * sizeof(uint32_t)));
  EASSERT(pPalette->m_pColors);
  return idPalette;
}

uint32_t* ERenderer::LockPalette(HPALETTE hPalette) {
  EThreadProtectD3D lock;
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  ++pPalette->m_dwLockCount;
  return pPalette->m_pColors;
}

void ERenderer::UnlockPalette(HPALETTE hPalette) {
  EThreadProtectD3D lock;
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  EASSERT(pPalette->m_dwLockCount);
  --pPalette->m_dwLockCount;
}

void ERenderer::DeletePalette(HPALETTE hPalette) {
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  EASSERT(!pPalette->m_dwLockCount);
  m_pPalettes->ElementDelete(pPalette);
}

// ---------------------------------------------------------------------------
// Palettising

namespace {

const int netsize = 256;
const int prime1 = 499;
const int prime2 = 491;
const int prime3 = 487;
const int prime4 = 503;
const int maxnetpos = netsize - 1;
const int netbiasshift = 4;  // components are kept times 16
const int ncycles = 100;
const int intbiasshift = 16;  // frequency and bias in 16-bit fixed point
const int intbias = 1 << intbiasshift;
const int gammashift = 10;
const int betashift = 10;
const int beta = intbias >> betashift;
const int betagamma = intbias << (gammashift - betashift);
const int initrad = netsize >> 3;
const int radiusbiasshift = 6;
const int radiusbias = 1 << radiusbiasshift;
const int initradius = initrad * radiusbias;
const int radiusdec = 30;
const int alphabiasshift = 10;
const int initalpha = 1 << alphabiasshift;
const int radbiasshift = 8;
const int radbias = 1 << radbiasshift;
const int alpharadbshift = alphabiasshift + radbiasshift;
const int alpharadbias = 1 << alpharadbshift;

const unsigned char* thepicture;
int lengthcount;
int samplefac;
int network[netsize][4];
int netindex[256];
int bias[netsize];
int freq[netsize];
int radpower[initrad];

int Abs(int v) { return v < 0 ? -v : v; }

}  // namespace

void initnet(const unsigned char* picture, int len, int sample) {
  thepicture = picture;
  lengthcount = len;
  samplefac = sample;
  for (int i = 0; i < netsize; ++i) {
    int* p = network[i];
    p[0] = p[1] = p[2] = (i << (netbiasshift + 8)) / netsize;
    p[3] = 0;
    freq[i] = intbias / netsize;
    bias[i] = 0;
  }
}

void unbiasnet() {
  for (int i = 0; i < netsize; ++i) {
    for (int j = 0; j < 3; ++j) {
      int temp = (network[i][j] + (1 << (netbiasshift - 1))) >> netbiasshift;
      if (temp > 255) temp = 255;
      network[i][j] = temp;
    }
    network[i][3] = i;
  }
}

void writecolourmap(unsigned char* map) {
  for (int i = 0; i < netsize; ++i) {
    map[3 * i + 0] = (unsigned char)network[i][2];
    map[3 * i + 1] = (unsigned char)network[i][1];
    map[3 * i + 2] = (unsigned char)network[i][0];
  }
}

void inxbuild() {
  int previouscol = 0, startpos = 0;
  for (int i = 0; i < netsize; ++i) {
    int* p = network[i];
    int smallpos = i;
    int smallval = p[1];
    for (int j = i + 1; j < netsize; ++j) {
      if (network[j][1] < smallval) {
        smallpos = j;
        smallval = network[j][1];
      }
    }
    int* q = network[smallpos];
    if (i != smallpos) {
      for (int k = 0; k < 4; ++k) {
        int t = q[k];
        q[k] = p[k];
        p[k] = t;
      }
    }
    if (smallval != previouscol) {
      netindex[previouscol] = (startpos + i) >> 1;
      for (int j = previouscol + 1; j < smallval; ++j) netindex[j] = i;
      previouscol = smallval;
      startpos = i;
    }
  }
  netindex[previouscol] = (startpos + maxnetpos) >> 1;
  for (int j = previouscol + 1; j < 256; ++j) netindex[j] = maxnetpos;
}

int inxsearch(int b, int g, int r) {
  int bestd = 1000;
  int best = -1;
  int i = netindex[g & 255];
  int j = i - 1;
  while (i < netsize || j >= 0) {
    if (i < netsize) {
      const int* p = network[i];
      int dist = p[1] - g;
      if (dist >= bestd) {
        i = netsize;
      } else {
        ++i;
        dist = Abs(dist) + Abs(p[0] - b);
        if (dist < bestd) {
          dist += Abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
    if (j >= 0) {
      const int* p = network[j];
      int dist = g - p[1];
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        dist = Abs(dist) + Abs(p[0] - b);
        if (dist < bestd) {
          dist += Abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
  }
  return best;
}

int contest(int b, int g, int r) {
  int bestd = ~(1 << 31);
  int bestbiasd = bestd;
  int bestpos = -1;
  int bestbiaspos = bestpos;
  for (int i = 0; i < netsize; ++i) {
    const int* n = network[i];
    int dist = Abs(n[0] - b) + Abs(n[1] - g) + Abs(n[2] - r);
    if (dist < bestd) {
      bestd = dist;
      bestpos = i;
    }
    int biasdist = dist - (bias[i] >> (intbiasshift - netbiasshift));
    if (biasdist < bestbiasd) {
      bestbiasd = biasdist;
      bestbiaspos = i;
    }
    int betafreq = freq[i] >> betashift;
    freq[i] -= betafreq;
    bias[i] += betafreq << gammashift;
  }
  freq[bestpos] += beta;
  bias[bestpos] -= betagamma;
  return bestbiaspos;
}

void altersingle(int alpha, int i, int b, int g, int r) {
  int* n = network[i];
  n[0] -= (alpha * (n[0] - b)) / initalpha;
  n[1] -= (alpha * (n[1] - g)) / initalpha;
  n[2] -= (alpha * (n[2] - r)) / initalpha;
}

void alterneigh(int rad, int i, int b, int g, int r) {
  int lo = i - rad;
  if (lo < -1) lo = -1;
  int hi = i + rad;
  if (hi > netsize) hi = netsize;
  int j = i + 1;
  int k = i - 1;
  int m = 1;
  while (j < hi || k > lo) {
    const int a = radpower[m++];
    if (j < hi) {
      int* p = network[j++];
      p[0] -= (a * (p[0] - b)) / alpharadbias;
      p[1] -= (a * (p[1] - g)) / alpharadbias;
      p[2] -= (a * (p[2] - r)) / alpharadbias;
    }
    if (k > lo) {
      int* p = network[k--];
      p[0] -= (a * (p[0] - b)) / alpharadbias;
      p[1] -= (a * (p[1] - g)) / alpharadbias;
      p[2] -= (a * (p[2] - r)) / alpharadbias;
    }
  }
}

void learn() {
  const int alphadec = 30 + ((samplefac - 1) / 3);
  const int samplepixels = lengthcount / (3 * samplefac);
  int delta = samplepixels / ncycles;
  if (delta < 1) delta = 1;
  int alpha = initalpha;
  int radius = initradius;
  int rad = radius >> radiusbiasshift;
  if (rad <= 1) rad = 0;
  for (int i = 0; i < rad; ++i) radpower[i] = alpha * (((rad * rad - i * i) * radbias) / (rad * rad));

  int step;
  if (lengthcount % prime1 != 0)
    step = 3 * prime1;
  else if (lengthcount % prime2 != 0)
    step = 3 * prime2;
  else if (lengthcount % prime3 != 0)
    step = 3 * prime3;
  else
    step = 3 * prime4;

  // A byte offset, wrapped around the end of the picture.
  long pos = 0;
  for (int i = 0; i < samplepixels;) {
    const unsigned char* p = thepicture + pos;
    const int b = p[0] << netbiasshift;
    const int g = p[1] << netbiasshift;
    const int r = p[2] << netbiasshift;
    const int j = contest(b, g, r);
    altersingle(alpha, j, b, g, r);
    if (rad) alterneigh(rad, j, b, g, r);
    pos += step;
    while (pos >= lengthcount) pos -= lengthcount;
    ++i;
    if (i % delta == 0) {
      alpha -= alpha / alphadec;
      radius -= radius / radiusdec;
      rad = radius >> radiusbiasshift;
      if (rad <= 1) rad = 0;
      for (int k = 0; k < rad; ++k) radpower[k] = alpha * (((rad * rad - k * k) * radbias) / (rad * rad));
    }
  }
}

bool ERenderer::PalettizeTexture(HTEXTURE hInputTexture, HTEXTURE& hTexture, HPALETTE& hPalette) {
  unsigned width = 0, height = 0;
  GetTextureDimensions(hInputTexture, width, height);
  const unsigned n = width * height;
  if (n + 1024 >= 3 * n) return false;
  EASSERT(GetTextureFormat(hInputTexture) == kTEXTUREFORMAT_8888);

  // The picture: red, green and blue of every texel of the top level.
  unsigned char* picture = static_cast<unsigned char*>(malloc((size_t)n * 3));
  EASSERT(picture);
  unsigned pitch = 0;
  const unsigned char* src =
      static_cast<const unsigned char*>(LockTexture(hInputTexture, 0, &pitch, true, kCUBEMAP_POSITIVE_X, false));
  EASSERT(src);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      uint32_t texel;
      memcpy(&texel, src + (size_t)y * pitch + (size_t)x * 4, 4);
      unsigned char* out = picture + ((size_t)y * width + x) * 3;
      out[0] = (unsigned char)(texel >> 16);
      out[1] = (unsigned char)(texel >> 8);
      out[2] = (unsigned char)texel;
    }
  }
  UnlockTexture(hInputTexture, 0, true, kCUBEMAP_POSITIVE_X);

  unsigned char* map = static_cast<unsigned char*>(malloc(3 * netsize));
  EASSERT(map);
  initnet(picture, (int)(3 * n), 1);
  learn();
  unbiasnet();
  writecolourmap(map);
  inxbuild();

  const unsigned levels = GetTextureLevelCount(hInputTexture);
  hTexture = CreateBitmapTexture(kTEXTUREFORMAT_P8, width, height, levels, 0);
  for (unsigned level = 0; level < levels; ++level) {
    // Levels whose sides shift to 0 on either axis take no indices.
    const unsigned w = width >> level, h = height >> level;
    unsigned srcPitch = 0, dstPitch = 0;
    const unsigned char* s = static_cast<const unsigned char*>(
        LockTexture(hInputTexture, level, &srcPitch, true, kCUBEMAP_POSITIVE_X, false));
    unsigned char* d =
        static_cast<unsigned char*>(LockTexture(hTexture, level, &dstPitch, false, kCUBEMAP_POSITIVE_X, false));
    EASSERT(s && d);
    for (unsigned y = 0; y < h; ++y) {
      for (unsigned x = 0; x < w; ++x) {
        uint32_t texel;
        memcpy(&texel, s + (size_t)y * srcPitch + (size_t)x * 4, 4);
        d[(size_t)y * dstPitch + x] =
            (unsigned char)inxsearch((int)((texel >> 16) & 0xFF), (int)((texel >> 8) & 0xFF), (int)(texel & 0xFF));
      }
    }
    UnlockTexture(hInputTexture, level, true, kCUBEMAP_POSITIVE_X);
    UnlockTexture(hTexture, level, false, kCUBEMAP_POSITIVE_X);
  }

  hPalette = CreatePalette();
  uint32_t* colours = LockPalette(hPalette);
  for (int k = 0; k < netsize; ++k)
    colours[k] = 0xFF000000u | (uint32_t)map[3 * k + 2] << 16 | (uint32_t)map[3 * k + 1] << 8 | map[3 * k];
  UnlockPalette(hPalette);

  free(picture);
  free(map);
  return true;
}
