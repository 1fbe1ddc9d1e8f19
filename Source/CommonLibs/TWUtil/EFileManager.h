// The file manager: turns file names into files, through the mounted
// packages and the read paths, the write directory and the user data
// directory.
#pragma once

#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EPackageFile.h"
#include "TWUtil/String.h"

// Where a name is resolved.
enum EFileLoc {
  kFILELOC_Default = 0,    // chosen by Open
  kFILELOC_ReadPaths = 1,  // packages and directories of the read paths, in order
  kFILELOC_ReadDirs = 2,   // directories of the read paths only
  kFILELOC_Packages = 3,   // packages of the read paths only
  kFILELOC_WritePath = 4,
  kFILELOC_RootD = 5,
  kFILELOC_RootT = 6,
  kFILELOC_UserData = 7,
  kFILELOC_RootZ = 8,
  kFILELOC_AsGiven = 9,
};

class EFileManager {
public:
  enum { kMAX_PATH = 4096 };

  struct EPathEntry {
    EPathEntry() : package(nullptr) {}
    ~EPathEntry();  // unmounts the package
    EPathEntry(const EPathEntry&) = delete;
    EPathEntry& operator=(const EPathEntry&) = delete;

    EString path;                      // directory, or the package's file name
    EPackageFile::Directory* package;  // null for a directory
  };

  EFileManager();
  virtual ~EFileManager();

  virtual EFile* Open(const char* name, unsigned flags, EFileLoc location);
  virtual void BeginLinear(const char*) {}
  virtual void EndLinear() {}

  void AddReadPath(const char* name, bool atFront);
  void AddFilePackage(const char* path);
  void SetWritePath(const char* name);

  // The resolved name in the manager's buffer, valid until the next
  // resolution; null when the name does not resolve. When both out pointers
  // are given and the name is found in a package, they receive the package
  // and its entry.
  const char* GetFullPath(const char* name, EFileLoc location, EPackageFile::Directory** outPackage = nullptr,
                          EPackageFile::FileEntry** outEntry = nullptr);
  bool Exists(const char* name, EFileLoc location);
  bool Delete(const char* name, EFileLoc location);
  // Appends the names (with extension, without folder) of the files in
  // directory; filter is null, "*" or "*.ext".
  void GetDirectory(EArray<EString>& out, const char* directory, const char* filter, EFileLoc location);
  // base_N.extension for the first N from 1 that does not exist, in a static
  // buffer; null when the name does not fit.
  const char* GetUniqueFilename(const char* base, const char* extension, EFileLoc location);

  static const char* hack_remove_workresource(const char* name);

  int GetNumReadPaths() const { return m_aReadPaths.Num(); }
  const char* GetReadPath(int i) const { return *m_aReadPaths[i].path; }
  const EPathEntry& GetReadPathEntry(int i) const { return m_aReadPaths[i]; }
  const char* GetWritePath() const { return *m_WritePath; }
  const char* GetUserDataDir() const { return m_szUserDataDir; }

  // The user data directory, also read directly to name settings files.
  char* m_szUserDataDir;

private:
  EFile* OpenInFirstReadDir(const char* name);
  const char* Resolve(const char* name, EFileLoc location, EPackageFile::Directory** outPackage,
                      EPackageFile::FileEntry** outEntry, EFileLoc* resolvedAs);
  const char* SearchReadPaths(const char* name, EFileLoc location, EPackageFile::Directory** outPackage,
                              EPackageFile::FileEntry** outEntry);
  const char* JoinInResult(const char* base, const char* name);

  EString m_WritePath;
  EArray<EPathEntry> m_aReadPaths;
  char m_szResult[kMAX_PATH];
};

extern EFileManager gFile_twutil;
extern EFileManager* gFile;
