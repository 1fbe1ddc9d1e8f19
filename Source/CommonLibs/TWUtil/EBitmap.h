// An uncompressed image in memory, owned or borrowed.
#pragma once

class EBitmap {
public:
  // The format of an empty bitmap; other formats are the renderer's texture
  // format numbers (0 8888, 1 0888, 2 4444, 3 1555, 5 565, 6 A8, 7 L8).
  enum { kFORMAT_NONE = -1 };

  EBitmap();
  ~EBitmap();
  EBitmap(const EBitmap&) = delete;
  EBitmap& operator=(const EBitmap&) = delete;

  // With no pixels, or with copy set, allocates the pixels (zero-filled, then
  // copied from pixels when given); otherwise borrows the given pixels.
  bool Init(long width, long height, unsigned format, const char* pixels, bool copy);
  void Reset();

  // Bits per pixel of the format; 0 for formats a bitmap cannot hold.
  int Depth() const { return DepthOfFormat(m_iFormat); }
  static int DepthOfFormat(int format);

  char* Buffer() const { return m_pBuffer; }
  long Width() const { return m_iWidth; }
  long Height() const { return m_iHeight; }
  int Format() const { return m_iFormat; }

  // Pixels, row after row, top row first, without padding.
  char* m_pBuffer;

private:
  int m_iWidth;
  int m_iHeight;
  int m_iFormat;
  bool m_bBorrowed;
};
