#include "TWUtil/EGameFile.h"

#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

EGameFile::~EGameFile() { EASSERT(!m_bOpen); }

bool EGameFile::Open(const char* name, bool) {
  EASSERT(!m_bOpen);
  m_pFile = gFile->Open(name, FILE_READ, kFILELOC_Default);
  m_bOpen = m_pFile != nullptr;
  return m_bOpen;
}

bool EGameFile::Close() {
  m_bOpen = false;
  if (m_pFile) m_pFile->Close();
  m_pFile = nullptr;
  return true;
}

int EGameFile::Read(void* buffer, int size, int count) {
  EASSERT(m_bOpen);
  if (size <= 0 || count <= 0) return 0;
  return m_pFile->Read(buffer, (unsigned)size, (unsigned)count);
}

int EGameFile::GetFilesize() {
  EASSERT(m_bOpen);
  return m_pFile->GetFilesize();
}

int EGameFile::ReadUInt32(uint32_t* value) {
  uint8_t b[4];
  if (Read(b, 4, 1) != 1) return 0;
  *value = (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
  return 1;
}

int EGameFile::ReadLong(int32_t* value) {
  uint32_t u;
  if (!ReadUInt32(&u)) return 0;
  *value = (int32_t)u;
  return 1;
}
