// One file opened for reading through the file manager.
#pragma once

#include <cstdint>

class EFile;

class EGameFile {
public:
  EGameFile() : m_pFile(nullptr), m_bOpen(false) {}
  ~EGameFile();  // the owner closes the file first

  // False when no file of that name is found. The flag is not used.
  bool Open(const char* name, bool flag);
  bool Close();
  bool IsOpen() const { return m_bOpen; }

  // Whole elements read.
  int Read(void* buffer, int size, int count);
  int GetFilesize();
  // 1 when the 4 bytes were read.
  int ReadUInt32(uint32_t* value);
  int ReadDword(uint32_t* value) { return ReadUInt32(value); }
  int ReadLong(int32_t* value);

private:
  EFile* m_pFile;
  bool m_bOpen;
};
