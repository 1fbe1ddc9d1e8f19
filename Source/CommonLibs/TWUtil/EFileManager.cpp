#include "TWUtil/EFileManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/TWUnixCompat.h"

EFileManager gFile_twutil;
EFileManager* gFile = &gFile_twutil;

static const char* const kROOT_D = "XboxDrive\\D";
static const char* const kROOT_T = "XboxDrive\\T";
static const char* const kROOT_Z = "XboxDrive\\Z";

EFileManager::EPathEntry::~EPathEntry() {
  EPackageFile::Unmount(package);
  package = nullptr;
}

// Creates each directory along path, and path itself, ignoring failures.
static void MakeDirectoryChain(char* path) {
  for (char* p = strchr(path + 1, '/'); p; p = strchr(p + 1, '/')) {
    *p = '\0';
    mkdir(path, 0700);
    *p = '/';
  }
  mkdir(path, 0700);
}

EFileManager::EFileManager() : m_szUserDataDir(nullptr), m_WritePath(kROOT_Z) {
  m_szResult[0] = '\0';
  const char* base = ".";
  const char* leaf = "";
  if (const char* xdg = getenv("XDG_DATA_HOME")) {
    base = xdg;
    leaf = "Quillomar";
  } else if (const char* home = getenv("HOME")) {
    base = home;
    leaf = ".local/share/Quillomar";
  }
  size_t n = strlen(base) + strlen(leaf) + 2;
  m_szUserDataDir = static_cast<char*>(malloc(n));
  EASSERT(m_szUserDataDir);
  snprintf(m_szUserDataDir, n, "%s/%s", base, leaf);
  MakeDirectoryChain(m_szUserDataDir);
}

EFileManager::~EFileManager() {
  free(m_szUserDataDir);
  m_szUserDataDir = nullptr;
  m_aReadPaths.Empty();
}

const char* EFileManager::hack_remove_workresource(const char* name) {
  if (!name) return name;
  static const char kFolder[] = "workresource";
  const size_t n = sizeof(kFolder) - 1;
  if (strlen(name) > n && (name[n] == '/' || name[n] == '\\')) {
    char head[sizeof(kFolder)];
    memcpy(head, name, n);
    head[n] = '\0';
    if (AsciiCaseCompare(head, kFolder) == 0) return name + n + 1;
  }
  return name;
}

void EFileManager::AddReadPath(const char* name, bool atFront) {
  const char* resolved = GetFullPath(name, kFILELOC_AsGiven);
  if (!resolved) return;
  int i = atFront ? 0 : m_aReadPaths.Num();
  m_aReadPaths.Insert(i, 1);
  m_aReadPaths[i].path = resolved;
}

void EFileManager::AddFilePackage(const char* path) {
  EPackageFile::Directory* package = EPackageFile::Mount(path);
  if (!package) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Couldn't open package file %s", path ? path : "");
    return;
  }
  const char* resolved = GetFullPath(path, kFILELOC_AsGiven);
  m_aReadPaths.Insert(0, 1);
  m_aReadPaths[0].path = resolved ? resolved : path;
  m_aReadPaths[0].package = package;
}

void EFileManager::SetWritePath(const char* name) {
  const char* resolved = GetFullPath(name, kFILELOC_AsGiven);
  if (resolved) m_WritePath = resolved;
}

const char* EFileManager::JoinInResult(const char* base, const char* name) {
  int n = snprintf(m_szResult, sizeof(m_szResult), "%s%s%s", base ? base : "", "/", name);
  if (n < 0 || n >= (int)sizeof(m_szResult)) {
    // A cut name would open or write some other file.
    g_ErrorManager.TraceMessagef(TT_Warning, "Filename overflow: %s%s%s", base ? base : "", "\\", name);
    m_szResult[0] = '\0';
    return nullptr;
  }
  return m_szResult;
}

const char* EFileManager::SearchReadPaths(const char* name, EFileLoc location, EPackageFile::Directory** outPackage,
                                          EPackageFile::FileEntry** outEntry) {
  const bool packages = location == kFILELOC_ReadPaths || location == kFILELOC_Packages;
  const bool directories = location == kFILELOC_ReadPaths || location == kFILELOC_ReadDirs;
  for (int i = 0; i < m_aReadPaths.Num(); ++i) {
    EPathEntry& entry = m_aReadPaths[i];
    if (entry.package) {
      if (!packages) continue;
      EPackageFile::FileEntry* f = EPackageFile::FindFileEntry(entry.package, name);
      if (!f) continue;
      if (outPackage && outEntry) {
        *outPackage = entry.package;
        *outEntry = f;
        if (strlen(name) >= sizeof(m_szResult)) return nullptr;
        strcpy(m_szResult, name);
        return m_szResult;
      }
      // A name inside the package file, which exists on no disk.
      return JoinInResult(*entry.path, name);
    }
    if (!directories) continue;
    int n = snprintf(m_szResult, sizeof(m_szResult), "%s/%s", *entry.path, name);
    if (n < 0 || n >= (int)sizeof(m_szResult)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Filename overflow: %s%s%s", *entry.path, "\\", name);
      return nullptr;
    }
    if (EWin32File::Exists(m_szResult)) return m_szResult;
  }
  return nullptr;
}

const char* EFileManager::Resolve(const char* name, EFileLoc location, EPackageFile::Directory** outPackage,
                                  EPackageFile::FileEntry** outEntry, EFileLoc* resolvedAs) {
  if (!name) return nullptr;
  size_t len = strlen(name);
  char* normal = static_cast<char*>(malloc(len + 1));
  EASSERT(normal);
  convertUnixFilename(normal, name);
  char* p = const_cast<char*>(hack_remove_workresource(normal));
  size_t n = strlen(p);
  if (n && p[n - 1] == '/') p[n - 1] = '\0';
  if (p[0] && p[1] == ':') location = kFILELOC_AsGiven;

  const char* result = nullptr;
  switch (location) {
    case kFILELOC_ReadPaths:
    case kFILELOC_ReadDirs:
    case kFILELOC_Packages:
      result = SearchReadPaths(p, location, outPackage, outEntry);
      break;
    case kFILELOC_Default:
      g_ErrorManager.TraceMessagef(TT_Warning, "Bad parameter to GetFullPath(%s)", name);
      location = kFILELOC_WritePath;
      result = JoinInResult(*m_WritePath, p);
      break;
    case kFILELOC_WritePath: result = JoinInResult(*m_WritePath, p); break;
    case kFILELOC_RootD: result = JoinInResult(kROOT_D, p); break;
    case kFILELOC_RootT: result = JoinInResult(kROOT_T, p); break;
    case kFILELOC_RootZ: result = JoinInResult(kROOT_Z, p); break;
    case kFILELOC_UserData: {
      size_t dirLen = strlen(m_szUserDataDir);
      const char* rest = p;
      if (strncmp(p, m_szUserDataDir, dirLen) == 0 && p[dirLen] == '/') rest = p + dirLen + 1;
      result = JoinInResult(m_szUserDataDir, rest);
      break;
    }
    case kFILELOC_AsGiven:
      if (strlen(p) < sizeof(m_szResult)) {
        strcpy(m_szResult, p);
        result = m_szResult;
      } else {
        g_ErrorManager.TraceMessagef(TT_Warning, "Filename overflow: %s%s%s", "", "", p);
      }
      break;
    default: EASSERT(false); break;
  }
  free(normal);
  if (resolvedAs) *resolvedAs = location;
  return result;
}

const char* EFileManager::GetFullPath(const char* name, EFileLoc location, EPackageFile::Directory** outPackage,
                                      EPackageFile::FileEntry** outEntry) {
  return Resolve(name, location, outPackage, outEntry, nullptr);
}

// Opens name for reading in the first read path when that is a folder and
// the file opens there as spelled: the file the read-path search finds
// first, found without its separate existence check. Null otherwise.
EFile* EFileManager::OpenInFirstReadDir(const char* name) {
  if (m_aReadPaths.Num() == 0 || m_aReadPaths[0].package) return nullptr;
  char* normal = static_cast<char*>(malloc(strlen(name) + 1));
  EASSERT(normal);
  convertUnixFilename(normal, name);
  char* p = const_cast<char*>(hack_remove_workresource(normal));
  size_t n = strlen(p);
  if (n && p[n - 1] == '/') p[n - 1] = '\0';
  EFile* file = nullptr;
  char full[kMAX_PATH];
  int len = snprintf(full, sizeof(full), "%s/%s", *m_aReadPaths[0].path, p);
  if (!(p[0] && p[1] == ':') && len > 0 && len < (int)sizeof(full)) {
    for (char* c = full; *c; ++c)
      if (*c == '\\') *c = '/';
    int fd = open(full, O_RDONLY, 0600);
    if (fd != -1) file = new EWin32File(fd, full);
  }
  free(normal);
  return file;
}

EFile* EFileManager::Open(const char* name, unsigned flags, EFileLoc location) {
  if (!name) return nullptr;
  if (location == kFILELOC_Default) {
    if (m_aReadPaths.Num() == 0) location = kFILELOC_AsGiven;
    else if (flags & (FILE_WRITE | FILE_CREATE | FILE_TRUNCATE)) location = kFILELOC_WritePath;
    else location = kFILELOC_ReadPaths;
  }
  if ((location == kFILELOC_ReadPaths || location == kFILELOC_ReadDirs) && (flags & FILE_READ) &&
      !(flags & (FILE_WRITE | FILE_CREATE | FILE_TRUNCATE)))
    if (EFile* file = OpenInFirstReadDir(name)) return file;
  EPackageFile::Directory* package = nullptr;
  EPackageFile::FileEntry* entry = nullptr;
  const char* path = GetFullPath(name, location, &package, &entry);
  if (package && entry) return EPackageFile::OpenFile(package, entry);
  if (path) return EWin32File::Open(path, flags);
  return nullptr;
}

bool EFileManager::Exists(const char* name, EFileLoc location) {
  EPackageFile::Directory* package = nullptr;
  EPackageFile::FileEntry* entry = nullptr;
  EFileLoc resolvedAs = location;
  const char* path = Resolve(name, location, &package, &entry, &resolvedAs);
  if (package && entry) return true;
  if (!path) return false;
  // The read-path search has already looked at the disk.
  if (resolvedAs == kFILELOC_ReadPaths || resolvedAs == kFILELOC_ReadDirs) return true;
  return EWin32File::Exists(path);
}

bool EFileManager::Delete(const char* name, EFileLoc location) {
  EPackageFile::Directory* package = nullptr;
  EPackageFile::FileEntry* entry = nullptr;
  const char* path = GetFullPath(name, location, &package, &entry);
  if (!path || (package && entry)) return false;
  return EWin32File::Delete(path);
}

void EFileManager::GetDirectory(EArray<EString>& out, const char* directory, const char* filter, EFileLoc location) {
  if (!directory) return;
  if (!filter) filter = "*";
  if (location != kFILELOC_ReadPaths && location != kFILELOC_ReadDirs) {
    const char* path = GetFullPath(directory, location);
    if (!path) return;
    EString copy(path);
    EWin32File::GetDirectory(*copy, filter, out);
    return;
  }

  const char* resolved = GetFullPath(directory, kFILELOC_AsGiven);
  if (!resolved) return;
  EString dir(resolved);
  // The package lists the folder named by the part before the last
  // separator, so the folder is given with one.
  EString inPackage(EPrintfTag(), "%s/", *dir);
  const char* extension = (filter[0] == '*' && filter[1] == '.') ? filter + 2 : nullptr;
  char full[kMAX_PATH];
  for (int i = 0; i < m_aReadPaths.Num(); ++i) {
    EPathEntry& entry = m_aReadPaths[i];
    if (entry.package) {
      if (location != kFILELOC_ReadPaths) continue;
      for (EPackageFile::FileEntry* f = EPackageFile::FindFirstFileInSubdir(entry.package, *inPackage); f;
           f = EPackageFile::FindNextFileInSameSubdir(entry.package, f)) {
        const char* ext = EPackageFile::GetExtensionOfFile(entry.package, f);
        if (extension && AsciiCaseCompare(ext, extension) != 0) continue;
        const char* fileName = EPackageFile::GetNameOfFile(entry.package, f);
        if (ext[0]) out.AddData(EString(EPrintfTag(), "%s.%s", fileName, ext));
        else out.AddData(EString(fileName));
      }
      continue;
    }
    int n = snprintf(full, sizeof(full), "%s/%s", *entry.path, *dir);
    if (n < 0 || n >= (int)sizeof(full)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Filename overflow: %s%s%s", *entry.path, "\\", *dir);
      continue;
    }
    EWin32File::GetDirectory(full, filter, out);
  }
}

const char* EFileManager::GetUniqueFilename(const char* base, const char* extension, EFileLoc location) {
  static char s_szUnique[kMAX_PATH];
  for (int i = 1; i > 0; ++i) {
    int n = snprintf(s_szUnique, sizeof(s_szUnique), "%s_%i.%s", base ? base : "", i, extension ? extension : "");
    if (n < 0 || n >= (int)sizeof(s_szUnique)) return nullptr;
    if (!Exists(s_szUnique, location)) return s_szUnique;
  }
  return nullptr;
}
