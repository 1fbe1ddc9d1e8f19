// Files: the abstract EFile, files on disk and files over memory.
#pragma once

#include <cstdint>

template <class T> class EArray;
class EString;

// Open flags.
enum {
  FILE_CREATE = 0x100,    // create when missing, with missing parent directories
  FILE_TRUNCATE = 0x200,  // truncate an existing file
  FILE_READ = 0x400,
  FILE_WRITE = 0x800,
};

enum ESeekType {
  SEEKTYPE_Begin = 0,
  SEEKTYPE_Current = 1,
  SEEKTYPE_End = 2,
};

// An open file. Close releases it; callers never delete one.
class EFile {
public:
  EFile() : m_szName(nullptr) {}
  virtual ~EFile() {}

  virtual void Close();
  virtual int Read(void* buffer, int bytes) = 0;
  virtual int Write(const void* data, int bytes) = 0;
  virtual int Seek(int offset, ESeekType from) = 0;
  virtual int GetFilesize() = 0;
  // Modification time in 100-nanosecond units since 1601-01-01.
  virtual int64_t GetFiletime() { return 0; }
  virtual bool SetWriteFiletime(int64_t time);

  const char* GetFilename() const { return m_szName; }

  // Whole elements transferred; 0 when the transfer fails.
  int Read(void* buffer, unsigned size, unsigned count);
  int Write(const void* data, unsigned size, unsigned count);

  // Reads the whole file into out, sized exactly to the file.
  int ReadAndAlloc(EArray<unsigned char>& out);
  // Reads the whole file into a block from malloc that the caller frees. An
  // empty file returns 0 and leaves *out untouched.
  int ReadAndAlloc(void** out);

protected:
  char* m_szName;
};

// A file on disk over a POSIX descriptor.
class EWin32File : public EFile {
public:
  static EWin32File* Open(const char* path, unsigned flags);
  static bool Exists(const char* path);
  static bool Delete(const char* path);
  // Appends the names of the files in directory matching filter ("*" or
  // "*.ext", the extension compared ignoring case).
  static void GetDirectory(const char* directory, const char* filter, EArray<EString>& out);

  EWin32File(int fd, const char* path);
  ~EWin32File() override;

  using EFile::Read;
  using EFile::Write;
  int Read(void* buffer, int bytes) override;
  int Write(const void* data, int bytes) override;
  int Seek(int offset, ESeekType from) override;
  int GetFilesize() override;
  int64_t GetFiletime() override;
  bool SetWriteFiletime(int64_t time) override;

  int GetDescriptor() const { return m_fd; }

private:
  int m_fd;
};

enum EMemFileBufferDisposition {
  kMEMFILE_Borrow = 0,
  kMEMFILE_Own = 1,  // freed with free() when the file goes away
};

// A block of memory seen as a read-only file.
class EAltMemFile : public EFile {
public:
  static EAltMemFile* Open(void* buffer, unsigned size, EMemFileBufferDisposition disposition);

  EAltMemFile(void* buffer, unsigned size, bool ownsBuffer);
  ~EAltMemFile() override;

  using EFile::Read;
  using EFile::Write;
  int Read(void* buffer, int bytes) override;
  int Write(const void*, int) override { return 0; }
  int Seek(int offset, ESeekType from) override;
  int GetFilesize() override { return (int)m_uSize; }

private:
  unsigned char* m_pBuffer;
  unsigned m_uSize;
  int m_iPos;
  bool m_bOwnsBuffer;
};

// Reads binary values and text lines from a block of memory.
class EMemFile {
public:
  EMemFile();
  ~EMemFile();

  bool Open(void* buffer, unsigned size, bool binary, bool ownsBuffer);
  void Close();

  // Bytes read (not elements).
  int Read(void* buffer, int size, int count);
  // Reads one text line without its CR and LF; returns the bytes consumed.
  int ReadString(char* buffer, int capacity);
  int ReadUInt32(uint32_t* value) { return Read(value, 4, 1); }
  int ReadFloat(float* value) { return Read(value, 4, 1); }
  int ReadWord(uint16_t* value) { return Read(value, 2, 1); }
  int ReadByte(uint8_t* value) { return Read(value, 1, 1); }
  // Reads a 2-byte length n and n bytes into a block from malloc.
  int ReadAndMallocShortString(char** out);

  const unsigned char* GetBuffer() const { return m_pBuffer; }
  unsigned GetSize() const { return m_uSize; }
  unsigned GetPos() const { return m_uPos; }

private:
  bool m_bBinary;
  unsigned char* m_pBuffer;
  unsigned m_uSize;
  unsigned char* m_pCursor;
  unsigned m_uPos;
  bool m_bOwnsBuffer;
};
