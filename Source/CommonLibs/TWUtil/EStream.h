// Binary streams: one code path that reads or writes a record depending on
// the stream's direction. All values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "TWUtil/MemType.h"

class EFile;
class EMemFile;
class EString;
template <class T> class EArray;

enum EStreamType {
  kSTREAM_Reader = 0,
  kSTREAM_Writer = 1,
};

enum EAutoCloseTag {
  kAUTOCLOSE_No = 0,
  kAUTOCLOSE_Yes = 1,  // the stream closes its file when destroyed
};

class EStream {
public:
  explicit EStream(EStreamType type) : m_eType(type), m_uVersion(0), m_bErr(false) {}
  virtual ~EStream() {}

  virtual const char* GetName() { return nullptr; }
  // Reads into or writes from data; a null data moves past the bytes.
  virtual void StreamLow(void* data, unsigned bytes) = 0;

  bool IsReader() const { return m_eType == kSTREAM_Reader; }
  bool IsWriter() const { return m_eType == kSTREAM_Writer; }
  unsigned GetVersion() const { return m_uVersion; }
  void SetVersion(unsigned version) { m_uVersion = version; }
  // Set by a short transfer or damaged data; never cleared.
  bool Err() const { return m_bErr; }

  void Stream(void* data, unsigned bytes) { StreamLow(data, bytes); }
  void Stream(std::nullptr_t, unsigned bytes) { StreamLow(nullptr, bytes); }
  // A constant is written by a writer and skipped by a reader.
  void Stream(const void* data, unsigned bytes) { StreamLow(IsWriter() ? const_cast<void*>(data) : nullptr, bytes); }

  void Read(void* data, unsigned size, unsigned count) { Stream(data, size * count); }
  void Write(void* data, unsigned size, unsigned count) { Stream(data, size * count); }
  void Write(const void* data, unsigned size, unsigned count) { Stream(data, size * count); }

  // A string in a caller's buffer of bufferSize bytes, behind a length of
  // 1, 2 or 4 bytes that counts the terminating NUL. A reader stores an empty
  // string when the length is 0 or does not fit the buffer.
  void StreamString_1b(char* buffer, int bufferSize) { StreamStringFixed(buffer, bufferSize, 1); }
  void StreamString_2b(char* buffer, int bufferSize) { StreamStringFixed(buffer, bufferSize, 2); }
  void StreamString_4b(char* buffer, int bufferSize) { StreamStringFixed(buffer, bufferSize, 4); }
  // Reader only: a string with a 4-byte length in a block from malloc that
  // the caller frees; null for an empty string.
  char* StreamStringPooled_4b(EMemType type);

  // A length prefix read from the stream, to be followed by n bytes: a
  // length beyond what a reader has left is cut to it and flags the error.
  unsigned BoundLength(unsigned n);
  void SetErr() { m_bErr = true; }

protected:
  // Bytes a reader has left; unbounded for writers.
  virtual uint64_t GetBytesLeft() { return UINT64_MAX; }

private:
  void StreamStringFixed(char* buffer, int bufferSize, int prefixBytes);

  EStreamType m_eType;
  unsigned m_uVersion;
  bool m_bErr;
};

// A stream over an EFile.
class EFileStream : public EStream {
public:
  EFileStream(EFile* file, EStreamType type, EAutoCloseTag autoClose);
  ~EFileStream() override;

  const char* GetName() override;
  EFile* GetFile() const { return m_pFile; }
  // Closes (and so releases) the file now.
  void Close();
  void SetAutoClose(bool autoClose) { m_bAutoClose = autoClose; }

protected:
  uint64_t GetBytesLeft() override;

  EFile* m_pFile;
  bool m_bAutoClose;
};

class EFileReader : public EFileStream {
public:
  EFileReader(EFile* file, EAutoCloseTag autoClose) : EFileStream(file, kSTREAM_Reader, autoClose) {}
  void StreamLow(void* data, unsigned bytes) override { StreamNV(data, bytes); }
  void StreamNV(void* data, unsigned bytes);
};

class EFileWriter : public EFileStream {
public:
  EFileWriter(EFile* file, EAutoCloseTag autoClose) : EFileStream(file, kSTREAM_Writer, autoClose) {}
  void StreamLow(void* data, unsigned bytes) override { StreamNV(data, bytes); }
  void StreamNV(const void* data, unsigned bytes);

protected:
  uint64_t GetBytesLeft() override { return UINT64_MAX; }
};

// A reader over memory it does not own.
class EMemReader : public EStream {
public:
  explicit EMemReader(const EMemFile& file);
  explicit EMemReader(const EArray<unsigned char>& bytes);
  EMemReader(const void* buffer, unsigned size);

  void StreamLow(void* data, unsigned bytes) override { StreamNV(data, bytes); }
  void StreamNV(void* data, unsigned bytes);

  const unsigned char* GetPointer() const { return m_pBuffer + m_uPos; }
  unsigned GetPos() const { return m_uPos; }
  unsigned GetSize() const { return m_uSize; }

protected:
  uint64_t GetBytesLeft() override { return m_uSize - m_uPos; }

private:
  const unsigned char* m_pBuffer;
  unsigned m_uSize;
  unsigned m_uPos;
};

EStream& operator<<(EStream& s, unsigned char& v);
EStream& operator<<(EStream& s, unsigned short& v);
EStream& operator<<(EStream& s, int& v);
EStream& operator<<(EStream& s, unsigned int& v);
EStream& operator<<(EStream& s, long& v);  // 4 bytes in the stream
EStream& operator<<(EStream& s, float& v);

EStream& operator<<(EStream& s, const unsigned short& v);
EStream& operator<<(EStream& s, const int& v);
EStream& operator<<(EStream& s, const unsigned int& v);
EStream& operator<<(EStream& s, const float& v);

EFileReader& operator<<(EFileReader& s, unsigned short& v);
EFileReader& operator<<(EFileReader& s, int& v);
EFileReader& operator<<(EFileReader& s, unsigned int& v);
EFileReader& operator<<(EFileReader& s, float& v);
EMemReader& operator<<(EMemReader& s, unsigned short& v);
EMemReader& operator<<(EMemReader& s, unsigned int& v);

// A 4-byte length counting the NUL (0 for a null or empty string), then the
// bytes. A reader allocates with malloc; the caller frees.
EStream& operator<<(EStream& s, char*& text);
EStream& operator<<(EStream& s, EString& text);
// A 4-byte count, then the bytes.
EStream& operator<<(EStream& s, EArray<unsigned char>& bytes);
