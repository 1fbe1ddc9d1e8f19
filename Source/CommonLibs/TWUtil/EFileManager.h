// File access through packages and read paths.
#pragma once

class EFileManager {
public:
  EFileManager();
  ~EFileManager();

  void AddReadPath(const char* name, bool atFront);
  void AddFilePackage(const char* path);
  void SetWritePath(const char* name);

  int GetNumReadPaths() const { return m_nReadPaths; }
  const char* GetReadPath(int i) const { return m_apReadPaths[i]; }
  const char* GetWritePath() const { return m_pWritePath; }

private:
  char** m_apReadPaths;
  int m_nReadPaths;
  char* m_pWritePath;
};

extern EFileManager gFile_twutil;
extern EFileManager* gFile;
