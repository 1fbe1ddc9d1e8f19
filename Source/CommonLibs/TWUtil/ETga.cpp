#include "TWUtil/ETga.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"

namespace {

const int kHEADER_BYTES = 18;
const int kFOOTER_BYTES = 26;
const int kEXTENSION_AREA_BYTES = 495;
const char kSIGNATURE[] = "TRUEVISION-XFILE";

const uint8_t kTYPE_TRUECOLOR = 2;
const uint8_t kTYPE_TRUECOLOR_RLE = 10;

const uint8_t kDESC_RIGHT_TO_LEFT = 0x10;
const uint8_t kDESC_TOP_TO_BOTTOM = 0x20;
const uint8_t kDESC_OTHER_BITS = 0xCF;  // attribute bits 0-3, interleave bits 6-7

void SwapPixels(uint8_t* a, uint8_t* b, int bpp) {
  for (int i = 0; i < bpp; ++i) {
    uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// Reverses the order of count pixels in place.
void ReversePixels(uint8_t* pixels, size_t count, int bpp) {
  if (count < 2) return;
  for (size_t i = 0, j = count - 1; i < j; ++i, --j) SwapPixels(pixels + i * bpp, pixels + j * bpp, bpp);
}

}  // namespace

ETGAFile::ETGAFile()
    : m_idLength(0), m_colorMapType(0), m_imageType(0), m_colorMapFirst(0), m_colorMapLength(0),
      m_colorMapEntryBits(0), m_xOrigin(0), m_yOrigin(0), m_width(0), m_height(0), m_pixelDepth(0),
      m_descriptor(0), m_bRightToLeft(false), m_bBottomToTop(false), m_pBitmap(nullptr) {}

bool ETGAFile::ReadImage(EFile* file, EBitmap* bitmap) {
  if (!file || !bitmap) return false;
  bitmap->Reset();

  // The TGA 2.0 footer and extension area are read when present and then
  // play no further part.
  uint8_t footer[kFOOTER_BYTES];
  int fileSize = file->GetFilesize();
  if (fileSize < kFOOTER_BYTES) return false;
  if (file->Seek(-kFOOTER_BYTES, SEEKTYPE_End) < 0) return false;
  if (file->Read(footer, kFOOTER_BYTES) != kFOOTER_BYTES) return false;
  uint32_t extensionOffset = GetLE32(footer);
  if (memcmp(footer + 8, kSIGNATURE, 16) == 0 && extensionOffset != 0) {
    uint8_t extension[kEXTENSION_AREA_BYTES];
    if (extensionOffset > 0x7fffffffu || file->Seek((int)extensionOffset, SEEKTYPE_Begin) < 0) return false;
    if (file->Read(extension, kEXTENSION_AREA_BYTES) != kEXTENSION_AREA_BYTES) return false;
  }

  uint8_t h[kHEADER_BYTES];
  if (file->Seek(0, SEEKTYPE_Begin) != 0) return false;
  if (file->Read(h, kHEADER_BYTES) != kHEADER_BYTES) return false;
  m_idLength = h[0];
  m_colorMapType = h[1];
  m_imageType = h[2];
  m_colorMapFirst = GetLE16(h + 3);
  m_colorMapLength = GetLE16(h + 5);
  m_colorMapEntryBits = h[7];
  m_xOrigin = (int16_t)GetLE16(h + 8);
  m_yOrigin = (int16_t)GetLE16(h + 10);
  m_width = (int16_t)GetLE16(h + 12);
  m_height = (int16_t)GetLE16(h + 14);
  m_pixelDepth = h[16];
  m_descriptor = h[17];
  m_bRightToLeft = (m_descriptor & kDESC_RIGHT_TO_LEFT) != 0;
  m_bBottomToTop = (m_descriptor & kDESC_TOP_TO_BOTTOM) == 0;
  const uint8_t otherBits = m_descriptor & kDESC_OTHER_BITS;

  if (m_width <= 0 || m_height <= 0) return false;
  if (m_imageType != kTYPE_TRUECOLOR && m_imageType != kTYPE_TRUECOLOR_RLE) return false;

  unsigned format;
  switch (m_pixelDepth) {
    case 32: format = 0; break;  // 8888
    case 24:
      // Attribute or interleave bits on a 24-bit image describe a layout
      // this reader does not handle.
      if (otherBits != 0) return false;
      format = 1;  // 0888
      break;
    case 16:
      if (otherBits > 1) return false;
      format = 3;  // 1555
      break;
    default: return false;
  }

  m_pBitmap = bitmap;
  bool ok = LoadPixels(file, fileSize, format);
  m_pBitmap = nullptr;
  if (!ok) bitmap->Reset();
  return ok;
}

bool ETGAFile::LoadPixels(EFile* file, int fileSize, unsigned format) {
  const int bpp = m_pixelDepth / 8;
  const size_t pixelCount = (size_t)m_width * (size_t)m_height;
  const size_t imageBytes = pixelCount * bpp;

  const int64_t dataStart =
      kHEADER_BYTES + (int64_t)m_idLength + (int64_t)m_colorMapLength * ((m_colorMapEntryBits + 7) / 8);
  if (dataStart > fileSize) return false;
  const size_t available = (size_t)(fileSize - dataStart);
  // Refuse sizes the file cannot hold before allocating for them: a raw image
  // needs all its bytes, a run-length packet of 1 + bpp bytes stores at most
  // 128 pixels.
  if (m_imageType == kTYPE_TRUECOLOR && imageBytes > available) return false;
  if (m_imageType == kTYPE_TRUECOLOR_RLE && pixelCount > (available / (1 + bpp) + 1) * 128) return false;
  if (file->Seek((int)dataStart, SEEKTYPE_Begin) != (int)dataStart) return false;

  m_pBitmap->Init(m_width, m_height, format, nullptr, false);
  uint8_t* pixels = reinterpret_cast<uint8_t*>(m_pBitmap->Buffer());

  if (m_imageType == kTYPE_TRUECOLOR) {
    if (file->Read(pixels, (int)imageBytes) != (int)imageBytes) return false;
  } else {
    uint8_t* packed = static_cast<uint8_t*>(malloc(available ? available : 1));
    if (!packed) return false;
    size_t got = available ? (size_t)file->Read(packed, (int)available) : 0;
    bool ok = got == available;
    size_t in = 0, out = 0;
    while (ok && out < pixelCount) {
      if (in >= got) {
        ok = false;
        break;
      }
      uint8_t head = packed[in++];
      if (head >= 128) {
        size_t run = head - 127;
        if (got - in < (size_t)bpp) {
          ok = false;
          break;
        }
        for (size_t i = 0; i < run && out < pixelCount; ++i, ++out) memcpy(pixels + out * bpp, packed + in, bpp);
        in += bpp;
      } else {
        size_t run = (size_t)head + 1;
        if (run > pixelCount - out) run = pixelCount - out;
        if (got - in < run * bpp) {
          ok = false;
          break;
        }
        memcpy(pixels + out * bpp, packed + in, run * bpp);
        in += run * bpp;
        out += run;
      }
    }
    free(packed);
    if (!ok) return false;
  }

  const size_t rowBytes = (size_t)m_width * bpp;
  if (m_bRightToLeft && m_bBottomToTop) {
    ReversePixels(pixels, pixelCount, bpp);
  } else if (m_bRightToLeft) {
    for (int y = 0; y < m_height; ++y) ReversePixels(pixels + y * rowBytes, (size_t)m_width, bpp);
  } else if (m_bBottomToTop) {
    uint8_t* scratch = static_cast<uint8_t*>(malloc(rowBytes));
    if (!scratch) return false;
    for (int top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom) {
      memcpy(scratch, pixels + top * rowBytes, rowBytes);
      memcpy(pixels + top * rowBytes, pixels + bottom * rowBytes, rowBytes);
      memcpy(pixels + bottom * rowBytes, scratch, rowBytes);
    }
    free(scratch);
  }
  return true;
}

bool ETGAFile::WriteImage(EFile* file, const EBitmap* bitmap) {
  if (!file || !bitmap || !bitmap->Buffer()) return false;
  uint8_t depth, alphaBits;
  switch (bitmap->Format()) {
    case 0: depth = 32; alphaBits = 8; break;
    case 1: depth = 24; alphaBits = 0; break;
    case 3: depth = 16; alphaBits = 1; break;
    default: return false;
  }
  if (bitmap->Width() > 0x7fff || bitmap->Height() > 0x7fff) return false;
  uint8_t h[kHEADER_BYTES] = {};
  h[2] = kTYPE_TRUECOLOR;
  h[12] = (uint8_t)bitmap->Width();
  h[13] = (uint8_t)(bitmap->Width() >> 8);
  h[14] = (uint8_t)bitmap->Height();
  h[15] = (uint8_t)(bitmap->Height() >> 8);
  h[16] = depth;
  h[17] = (uint8_t)(kDESC_TOP_TO_BOTTOM | alphaBits);
  if (file->Write(h, kHEADER_BYTES) != kHEADER_BYTES) return false;
  int bytes = (int)(bitmap->Width() * bitmap->Height() * (depth / 8));
  return file->Write(bitmap->Buffer(), bytes) == bytes;
}
