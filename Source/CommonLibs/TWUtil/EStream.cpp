#include "TWUtil/EStream.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

// ---------------------------------------------------------------------------
// Little-endian scalars. The bytes are prepared from the current value, so a
// short read leaves the unread part of the value as it was.

static void StreamLE(EStream& s, uint32_t& v, unsigned width) {
  uint8_t b[4];
  for (unsigned i = 0; i < width; ++i) b[i] = (uint8_t)(v >> (8 * i));
  s.Stream(b, width);
  if (s.IsReader()) {
    uint32_t r = 0;
    for (unsigned i = 0; i < width; ++i) r |= (uint32_t)b[i] << (8 * i);
    v = r;
  }
}

static void StreamConstLE(EStream& s, uint32_t v, unsigned width) {
  if (s.IsReader()) {
    s.Stream(nullptr, width);
    return;
  }
  uint8_t b[4];
  for (unsigned i = 0; i < width; ++i) b[i] = (uint8_t)(v >> (8 * i));
  s.Stream(b, width);
}

static inline uint32_t FloatBits(float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

EStream& operator<<(EStream& s, unsigned char& v) {
  s.Stream(&v, 1);
  return s;
}

EStream& operator<<(EStream& s, unsigned short& v) {
  uint32_t u = v;
  StreamLE(s, u, 2);
  v = (unsigned short)u;
  return s;
}

EStream& operator<<(EStream& s, int& v) {
  uint32_t u = (uint32_t)v;
  StreamLE(s, u, 4);
  v = (int)u;
  return s;
}

EStream& operator<<(EStream& s, unsigned int& v) {
  uint32_t u = v;
  StreamLE(s, u, 4);
  v = u;
  return s;
}

EStream& operator<<(EStream& s, long& v) {
  uint32_t u = (uint32_t)(int32_t)v;
  StreamLE(s, u, 4);
  v = (long)(int32_t)u;
  return s;
}

EStream& operator<<(EStream& s, float& v) {
  uint32_t u = FloatBits(v);
  StreamLE(s, u, 4);
  memcpy(&v, &u, 4);
  return s;
}

EStream& operator<<(EStream& s, const unsigned short& v) {
  StreamConstLE(s, v, 2);
  return s;
}
EStream& operator<<(EStream& s, const int& v) {
  StreamConstLE(s, (uint32_t)v, 4);
  return s;
}
EStream& operator<<(EStream& s, const unsigned int& v) {
  StreamConstLE(s, v, 4);
  return s;
}
EStream& operator<<(EStream& s, const float& v) {
  StreamConstLE(s, FloatBits(v), 4);
  return s;
}

EFileReader& operator<<(EFileReader& s, unsigned short& v) {
  static_cast<EStream&>(s) << v;
  return s;
}
EFileReader& operator<<(EFileReader& s, int& v) {
  static_cast<EStream&>(s) << v;
  return s;
}
EFileReader& operator<<(EFileReader& s, unsigned int& v) {
  static_cast<EStream&>(s) << v;
  return s;
}
EFileReader& operator<<(EFileReader& s, float& v) {
  static_cast<EStream&>(s) << v;
  return s;
}
EMemReader& operator<<(EMemReader& s, unsigned short& v) {
  static_cast<EStream&>(s) << v;
  return s;
}
EMemReader& operator<<(EMemReader& s, unsigned int& v) {
  static_cast<EStream&>(s) << v;
  return s;
}

// ---------------------------------------------------------------------------
// Strings and byte arrays

unsigned EStream::BoundLength(unsigned n) {
  uint64_t left = GetBytesLeft();
  if (n > left) {
    SetErr();
    return (unsigned)left;
  }
  return n;
}

EStream& operator<<(EStream& s, char*& text) {
  if (s.IsWriter()) {
    uint32_t n = text && text[0] ? (uint32_t)strlen(text) + 1 : 0;
    StreamLE(s, n, 4);
    if (n) s.Stream(text, n);
    return s;
  }
  uint32_t n = 0;
  StreamLE(s, n, 4);
  text = nullptr;
  if (n <= 1) {
    s.Stream(nullptr, s.BoundLength(n));
    return s;
  }
  n = s.BoundLength(n);
  if (n == 0) return s;
  // One spare byte: the text is terminated even when the data lacks its NUL.
  char* block = static_cast<char*>(calloc(n + 1, 1));
  EASSERT(block);
  s.Stream(block, n);
  if (block[n - 1] != '\0') s.SetErr();
  text = block;
  return s;
}

EStream& operator<<(EStream& s, EString& text) {
  if (s.IsWriter()) {
    uint32_t n = text.Length() ? (uint32_t)text.Length() + 1 : 0;
    StreamLE(s, n, 4);
    if (n) s.Stream(*text, n);
    return s;
  }
  uint32_t n = 0;
  StreamLE(s, n, 4);
  n = s.BoundLength(n);
  if (n == 0) {
    text.Empty();
    return s;
  }
  EArray<char>& chars = text.GetCharArray();
  chars.GrowTo((int)n, true);
  chars[(int)n - 1] = '\0';
  s.Stream(&chars[0], n);
  if (chars[(int)n - 1] != '\0') {
    // Damaged data without its NUL: keep the bytes and terminate after them.
    s.SetErr();
    chars.GrowTo((int)n + 1, true);
    chars[(int)n] = '\0';
  }
  return s;
}

EStream& operator<<(EStream& s, EArray<unsigned char>& bytes) {
  if (s.IsWriter()) {
    uint32_t n = (uint32_t)bytes.Num();
    StreamLE(s, n, 4);
    if (n) s.Stream(&bytes[0], n);
    return s;
  }
  uint32_t n = 0;
  StreamLE(s, n, 4);
  n = s.BoundLength(n);
  if (n == 0) {
    bytes.Empty();
    return s;
  }
  bytes.GrowTo((int)n, true);
  s.Stream(&bytes[0], n);
  return s;
}

void EStream::StreamStringFixed(char* buffer, int bufferSize, int prefixBytes) {
  const unsigned capacity = bufferSize > 0 ? (unsigned)bufferSize : 0;
  if (IsWriter()) {
    size_t len = buffer && capacity ? strnlen(buffer, capacity) : 0;
    if (capacity && len == capacity) {
      // No terminator inside the buffer: write an empty string, never a
      // length without its bytes.
      SetErr();
      uint32_t zero = 0;
      StreamLE(*this, zero, (unsigned)prefixBytes);
      return;
    }
    int iLen = (int)len;
    if (prefixBytes == 1) EASSERT(iLen < 0xff);
    else EASSERT(iLen < 0xffff);
    uint32_t n = (uint32_t)len + 1;
    StreamLE(*this, n, (unsigned)prefixBytes);
    if (buffer && capacity) Stream(buffer, n);
    else Stream(nullptr, n);
    return;
  }

  uint32_t n = 0;
  StreamLE(*this, n, (unsigned)prefixBytes);
  if (n > 0 && n < capacity) {
    unsigned have = BoundLength(n);
    if (have < n) {
      Stream(nullptr, have);
      buffer[0] = '\0';
      return;
    }
    Stream(buffer, n);
    if (buffer[n - 1] != '\0') {
      SetErr();
      buffer[n - 1] = '\0';
    }
    return;
  }
  Stream(nullptr, BoundLength(n));
  if (buffer && capacity) buffer[0] = '\0';
}

char* EStream::StreamStringPooled_4b(EMemType) {
  EASSERT(IsReader());
  uint32_t n = 0;
  StreamLE(*this, n, 4);
  if (n <= 1) {
    Stream(nullptr, BoundLength(n));
    return nullptr;
  }
  n = BoundLength(n);
  if (n == 0) return nullptr;
  char* block = static_cast<char*>(calloc(n + 1, 1));
  EASSERT(block);
  Stream(block, n);
  if (block[n - 1] != '\0') SetErr();
  return block;
}

// ---------------------------------------------------------------------------
// File streams

EFileStream::EFileStream(EFile* file, EStreamType type, EAutoCloseTag autoClose)
    : EStream(type), m_pFile(file), m_bAutoClose(autoClose == kAUTOCLOSE_Yes) {}

EFileStream::~EFileStream() {
  if (m_bAutoClose && m_pFile) m_pFile->Close();
  m_pFile = nullptr;
}

const char* EFileStream::GetName() { return m_pFile ? m_pFile->GetFilename() : nullptr; }

void EFileStream::Close() {
  if (m_pFile) m_pFile->Close();
  m_pFile = nullptr;
}

uint64_t EFileStream::GetBytesLeft() {
  if (!m_pFile) return 0;
  int pos = m_pFile->Seek(0, SEEKTYPE_Current);
  int size = m_pFile->GetFilesize();
  if (pos < 0 || size < 0 || size <= pos) return 0;
  return (uint64_t)(size - pos);
}

void EFileReader::StreamNV(void* data, unsigned bytes) {
  if (!m_pFile) {
    if (bytes) SetErr();
    return;
  }
  if (!data) {
    if (bytes) m_pFile->Seek((int)bytes, SEEKTYPE_Current);
    return;
  }
  if (bytes > 0x7fffffffu) {
    SetErr();
    return;
  }
  int got = m_pFile->Read(data, (int)bytes);
  if (got != (int)bytes) SetErr();
}

void EFileWriter::StreamNV(const void* data, unsigned bytes) {
  if (!m_pFile) {
    if (bytes) SetErr();
    return;
  }
  if (!data) {
    if (bytes) m_pFile->Seek((int)bytes, SEEKTYPE_Current);
    return;
  }
  if (bytes > 0x7fffffffu) {
    SetErr();
    return;
  }
  int put = m_pFile->Write(data, (int)bytes);
  if (put != (int)bytes) SetErr();
}

// ---------------------------------------------------------------------------
// Memory reader

EMemReader::EMemReader(const EMemFile& file)
    : EStream(kSTREAM_Reader), m_pBuffer(file.GetBuffer()), m_uSize(file.GetSize()), m_uPos(0) {}

EMemReader::EMemReader(const EArray<unsigned char>& bytes)
    : EStream(kSTREAM_Reader), m_pBuffer(bytes.GetData()), m_uSize((unsigned)bytes.Num()), m_uPos(0) {}

EMemReader::EMemReader(const void* buffer, unsigned size)
    : EStream(kSTREAM_Reader), m_pBuffer(static_cast<const unsigned char*>(buffer)), m_uSize(size), m_uPos(0) {}

void EMemReader::StreamNV(void* data, unsigned bytes) {
  unsigned left = m_uSize - m_uPos;
  unsigned n = bytes < left ? bytes : left;
  if (n < bytes) SetErr();
  if (data && n) memcpy(data, m_pBuffer + m_uPos, n);
  m_uPos += n;
}
