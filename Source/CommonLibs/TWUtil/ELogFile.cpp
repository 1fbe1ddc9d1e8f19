#include "TWUtil/ELogFile.h"

#include <cstring>

#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

static const char kLOG_NAME[] = "Quillomar.log";

bool ELogFile::OpenLog(const char*) {
  if (m_bOpen) CloseLog();
  EFile* file = gFile->Open(kLOG_NAME, FILE_WRITE | FILE_CREATE, kFILELOC_WritePath);
  if (!file) return false;
  file->Close();
  m_Name = kLOG_NAME;
  m_bOpen = true;
  return true;
}

bool ELogFile::WriteToLog(const char* text) {
  if (!m_bOpen) return false;
  EFile* file = gFile->Open(*m_Name, FILE_WRITE, kFILELOC_WritePath);
  if (!file) return false;
  bool ok = true;
  if (text && text[0]) {
    int n = (int)strlen(text);
    ok = file->Seek(0, SEEKTYPE_End) >= 0 && file->Write(text, n) == n;
  }
  file->Close();
  return ok;
}

void ELogFile::CloseLog() {
  if (!m_bOpen) return;
  m_Name.Empty();
  m_bOpen = false;
}
