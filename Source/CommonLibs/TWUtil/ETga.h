// Truevision TGA images.
#pragma once

#include <cstdint>

class EBitmap;
class EFile;

class ETGAFile {
public:
  ETGAFile();
  virtual ~ETGAFile() {}

  // Reads a 16-, 24- or 32-bit true-colour image, raw or run-length encoded,
  // into bitmap, top row first. False (and an empty bitmap) when the file is
  // refused. The caller closes the file.
  virtual bool ReadImage(EFile* file, EBitmap* bitmap);
  // Writes bitmap as an uncompressed image, top row first. False for formats
  // a TGA file does not hold.
  virtual bool WriteImage(EFile* file, const EBitmap* bitmap);

private:
  bool LoadPixels(EFile* file, int fileSize, unsigned format);

  // The 18-byte header of the file being read.
  uint8_t m_idLength;
  uint8_t m_colorMapType;
  uint8_t m_imageType;
  uint16_t m_colorMapFirst;
  uint16_t m_colorMapLength;
  uint8_t m_colorMapEntryBits;
  int16_t m_xOrigin;
  int16_t m_yOrigin;
  int16_t m_width;
  int16_t m_height;
  uint8_t m_pixelDepth;
  uint8_t m_descriptor;

  bool m_bRightToLeft;
  bool m_bBottomToTop;
  EBitmap* m_pBitmap;
};
