// Reads the input as a TGA image.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ETga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EFile* file = EAltMemFile::Open(const_cast<uint8_t*>(data), (unsigned)size, kMEMFILE_Borrow);
  EBitmap bitmap;
  ETGAFile tga;
  if (tga.ReadImage(file, &bitmap)) {
    // Touch every pixel: the whole buffer must be there.
    const char* p = bitmap.Buffer();
    size_t bytes = (size_t)bitmap.Width() * bitmap.Height() * (bitmap.Depth() / 8);
    volatile char sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum = (char)(sum + p[i]);
  }
  file->Close();
  return 0;
}
