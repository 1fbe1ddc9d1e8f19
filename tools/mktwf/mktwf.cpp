// mktwf: makes a ".twf" bitmap font from a TGA image whose glyphs lie in a
// grid of cells in byte-code order.
//
//   mktwf [-cell WxH] [-first CODE] [-baseline ROW] [-format 0|3] in.tga out.twf
//
// Defaults: 16x16 cells, first code 32, baseline 12, format 0.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ETga.h"
#include "VERirezo/FontWriter.h"

static int MktwfUsage() {
  fprintf(stderr, "usage: mktwf [-cell WxH] [-first CODE] [-baseline ROW] [-format 0|3] in.tga out.twf\n");
  return 2;
}

int main(int argc, char** argv) {
  unsigned cellW = 16, cellH = 16, first = 32, format = 0;
  int baseline = 12;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
    const char* opt = argv[i];
    const char* val = argv[i + 1];
    if (!strcmp(opt, "-cell")) {
      if (sscanf(val, "%ux%u", &cellW, &cellH) != 2) return MktwfUsage();
    } else if (!strcmp(opt, "-first")) {
      first = (unsigned)strtoul(val, nullptr, 0);
    } else if (!strcmp(opt, "-baseline")) {
      baseline = atoi(val);
    } else if (!strcmp(opt, "-format")) {
      format = (unsigned)atoi(val);
      if (format != 0 && format != 3) return MktwfUsage();
    } else {
      return MktwfUsage();
    }
  }
  if (argc - i != 2) return MktwfUsage();
  EFile* in = EWin32File::Open(argv[i], FILE_READ);
  if (!in) {
    fprintf(stderr, "mktwf: cannot open '%s'\n", argv[i]);
    return 1;
  }
  EBitmap bitmap;
  ETGAFile tga;
  const bool ok = tga.ReadImage(in, &bitmap);
  in->Close();
  if (!ok || bitmap.Format() != 0) {
    fprintf(stderr, "mktwf: '%s' is not a 32-bit TGA image\n", argv[i]);
    return 1;
  }
  const size_t n = (size_t)bitmap.Width() * bitmap.Height();
  uint32_t* pixels = static_cast<uint32_t*>(malloc(n * 4 + 4));
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bitmap.Buffer());
  for (size_t k = 0; k < n; ++k, b += 4)
    pixels[k] = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
  std::vector<uint8_t> bytes = TwfFromGrid(pixels, (uint32_t)bitmap.Width(), (uint32_t)bitmap.Height(), cellW, cellH,
                                           first, baseline, format);
  free(pixels);
  if (bytes.empty()) {
    fprintf(stderr, "mktwf: the cells do not fit the image\n");
    return 1;
  }
  EFile* out = EWin32File::Open(argv[i + 1], FILE_CREATE | FILE_TRUNCATE | FILE_WRITE);
  if (!out || out->Write(bytes.data(), (int)bytes.size()) != (int)bytes.size()) {
    fprintf(stderr, "mktwf: cannot write '%s'\n", argv[i + 1]);
    if (out) out->Close();
    return 1;
  }
  out->Close();
  printf("mktwf: %s, %u glyphs\n", argv[i + 1], (unsigned)bytes[8] | (unsigned)bytes[9] << 8);
  return 0;
}
