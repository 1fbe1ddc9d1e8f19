#include "EFileManager.h"

#include <cstdlib>
#include <cstring>

#include "ErrorManager.h"

EFileManager gFile_twutil;
EFileManager* gFile = &gFile_twutil;

EFileManager::EFileManager() : m_apReadPaths(nullptr), m_nReadPaths(0), m_pWritePath(strdup("XboxDrive\\Z")) {}

EFileManager::~EFileManager() {
  for (int i = 0; i < m_nReadPaths; ++i) free(m_apReadPaths[i]);
  free(m_apReadPaths);
  free(m_pWritePath);
}

void EFileManager::AddReadPath(const char* name, bool atFront) {
  char** p = static_cast<char**>(realloc(m_apReadPaths, sizeof(char*) * (m_nReadPaths + 1)));
  if (!p) return;
  m_apReadPaths = p;
  if (atFront) {
    memmove(m_apReadPaths + 1, m_apReadPaths, sizeof(char*) * m_nReadPaths);
    m_apReadPaths[0] = strdup(name);
  } else {
    m_apReadPaths[m_nReadPaths] = strdup(name);
  }
  ++m_nReadPaths;
}

void EFileManager::AddFilePackage(const char* path) {
  // Packages are not readable yet: every mount fails as a missing one would.
  g_ErrorManager.TraceMessagef(TT_Warning, "Couldn't open package file %s", path);
}

void EFileManager::SetWritePath(const char* name) {
  free(m_pWritePath);
  m_pWritePath = strdup(name);
}
