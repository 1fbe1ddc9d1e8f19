#include "TWUtil/EFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TWUtil/Array.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "TWUtil/TWUnixCompat.h"

// Seconds between 1601-01-01 and 1970-01-01, in 100-nanosecond units.
static const int64_t kUNIX_EPOCH_IN_FILETIME = 116444736000000000LL;
static const int64_t kFILETIME_PER_SECOND = 10000000LL;

// ---------------------------------------------------------------------------
// EFile

void EFile::Close() { delete this; }

bool EFile::SetWriteFiletime(int64_t) { return false; }

// The byte count of size x count elements, kept within an int.
static int ElementBytes(unsigned size, unsigned count) {
  uint64_t bytes = (uint64_t)size * count;
  if (bytes > 0x7fffffffu) bytes = (0x7fffffffu / size) * (uint64_t)size;
  return (int)bytes;
}

int EFile::Read(void* buffer, unsigned size, unsigned count) {
  if (size == 0 || count == 0) return 0;
  int got = Read(buffer, ElementBytes(size, count));
  if (got <= 0) return 0;
  return (int)((unsigned)got / size);
}

int EFile::Write(const void* data, unsigned size, unsigned count) {
  if (size == 0 || count == 0) return 0;
  int put = Write(data, ElementBytes(size, count));
  if (put <= 0) return 0;
  return (int)((unsigned)put / size);
}

int EFile::ReadAndAlloc(EArray<unsigned char>& out) {
  int size = GetFilesize();
  if (size < 0) size = 0;
  out.GrowTo(size, true);
  if (size == 0) return 0;
  return Read(&out[0], size);
}

int EFile::ReadAndAlloc(void** out) {
  int size = GetFilesize();
  if (size <= 0) return 0;
  void* block = malloc((size_t)size);
  EASSERT(block);
  *out = block;
  return Read(block, 1u, (unsigned)size);
}

// ---------------------------------------------------------------------------
// EWin32File

EWin32File::EWin32File(int fd, const char* path) : m_fd(fd) {
  m_szName = StringDuplicatePooled(path, kMEMTYPE_String);
}

EWin32File::~EWin32File() {
  StringFreePooled(m_szName, kMEMTYPE_String, false);
  m_szName = nullptr;
  if (m_fd != -1) close(m_fd);
  m_fd = -1;
}

// Creates each missing parent directory of path, outermost first.
static void CreateParentDirectories(char* path) {
  for (char* p = strchr(path + 1, '/'); p; p = strchr(p + 1, '/')) {
    *p = '\0';
    mkdir(path, 0700);
    *p = '/';
  }
}

// Copies path with its backslashes turned into slashes: the spelling
// convertUnixFilename keeps whenever it names an existing file.
static void EFileSlashesOnly(char* destination, const char* source) {
  size_t i = 0;
  for (; source[i]; ++i) destination[i] = (source[i] == '\\') ? '/' : source[i];
  destination[i] = '\0';
}

EWin32File* EWin32File::Open(const char* path, unsigned flags) {
  if (!(flags & (FILE_READ | FILE_WRITE))) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Open %s: Must pass read or write", path ? path : "");
    return nullptr;
  }
  if (!path) return nullptr;

  char* repaired = static_cast<char*>(malloc(strlen(path) + 1));
  if (!repaired) return nullptr;

  int mode;
  if ((flags & FILE_READ) && (flags & FILE_WRITE)) mode = O_RDWR;
  else if (flags & FILE_WRITE) mode = O_WRONLY;
  else mode = O_RDONLY;
  if (flags & FILE_CREATE) mode |= O_CREAT;
  if (flags & FILE_TRUNCATE) mode |= O_TRUNC;

  // A file that opens as spelled needs no repair of its name; only an
  // open that creates nothing may try that first.
  int fd = -1;
  if (!(flags & FILE_CREATE)) {
    EFileSlashesOnly(repaired, path);
    fd = open(repaired, mode, 0600);
  }
  if (fd == -1) {
    convertUnixFilename(repaired, path);
    fd = open(repaired, mode, 0600);
  }
  if (fd == -1 && errno == ENOENT && (flags & FILE_CREATE)) {
    CreateParentDirectories(repaired);
    fd = open(repaired, mode, 0600);
  }
  if (fd == -1) {
    if (errno != ENOENT) g_ErrorManager.TraceMessagef(TT_None, "Failed to open %s: err %d", repaired, errno);
    free(repaired);
    return nullptr;
  }
  EWin32File* file = new EWin32File(fd, repaired);
  free(repaired);
  return file;
}

bool EWin32File::Exists(const char* path) {
  if (!path) return false;
  char* repaired = static_cast<char*>(malloc(strlen(path) + 1));
  if (!repaired) return false;
  EFileSlashesOnly(repaired, path);
  bool exists = access(repaired, F_OK) == 0;
  if (!exists) {
    convertUnixFilename(repaired, path);
    exists = access(repaired, F_OK) == 0;
  }
  free(repaired);
  return exists;
}

bool EWin32File::Delete(const char* path) {
  if (!path) return false;
  char* repaired = static_cast<char*>(malloc(strlen(path) + 1));
  if (!repaired) return false;
  convertUnixFilename(repaired, path);
  bool deleted = unlink(repaired) == 0;
  free(repaired);
  return deleted;
}

void EWin32File::GetDirectory(const char* directory, const char* filter, EArray<EString>& out) {
  if (!directory) return;
  const char* extension = nullptr;  // with its dot
  if (filter && filter[0] == '*' && filter[1] == '.') extension = filter + 1;

  char* repaired = static_cast<char*>(malloc(strlen(directory) + 1));
  if (!repaired) return;
  convertUnixFilename(repaired, directory);
  DIR* dir = opendir(repaired);
  if (!dir) {
    free(repaired);
    return;
  }
  char full[4096];
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    int n = snprintf(full, sizeof(full), "%s/%s", repaired, entry->d_name);
    if (n < 0 || n >= (int)sizeof(full)) continue;
    struct stat st;
    if (stat(full, &st) != 0 || S_ISDIR(st.st_mode)) continue;
    if (extension) {
      const char* dot = strrchr(entry->d_name, '.');
      if (!dot || AsciiCaseCompare(dot, extension) != 0) continue;
    }
    out.AddData(EString(entry->d_name));
  }
  closedir(dir);
  free(repaired);
}

int EWin32File::Read(void* buffer, int bytes) {
  if (bytes < 0) return -1;
  return (int)read(m_fd, buffer, (size_t)bytes);
}

int EWin32File::Write(const void* data, int bytes) {
  if (bytes < 0) return -1;
  return (int)write(m_fd, data, (size_t)bytes);
}

int EWin32File::Seek(int offset, ESeekType from) {
  int whence;
  switch (from) {
    case SEEKTYPE_Begin: whence = SEEK_SET; break;
    case SEEKTYPE_Current: whence = SEEK_CUR; break;
    case SEEKTYPE_End: whence = SEEK_END; break;
    default: EASSERT(false); return -1;
  }
  return (int)lseek(m_fd, offset, whence);
}

int EWin32File::GetFilesize() {
  // A regular file's size without moving the position.
  struct stat st;
  if (fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 0x7fffffff) return (int)st.st_size;
  int pos = Seek(0, SEEKTYPE_Current);
  int size = Seek(0, SEEKTYPE_End);
  Seek(pos, SEEKTYPE_Begin);
  return size;
}

int64_t EWin32File::GetFiletime() {
  struct stat st;
  if (fstat(m_fd, &st) != 0) return 0;
  return (int64_t)st.st_mtime * kFILETIME_PER_SECOND + kUNIX_EPOCH_IN_FILETIME;
}

bool EWin32File::SetWriteFiletime(int64_t time) {
  int64_t units = time - kUNIX_EPOCH_IN_FILETIME;
  int64_t seconds = units / kFILETIME_PER_SECOND;
  int64_t rest = units % kFILETIME_PER_SECOND;
  if (rest < 0) {
    rest += kFILETIME_PER_SECOND;
    --seconds;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time stays
  times[1].tv_sec = (time_t)seconds;
  times[1].tv_nsec = (long)(rest * 100);
  return futimens(m_fd, times) == 0;
}

// ---------------------------------------------------------------------------
// EAltMemFile

EAltMemFile* EAltMemFile::Open(void* buffer, unsigned size, EMemFileBufferDisposition disposition) {
  return new EAltMemFile(buffer, size, disposition == kMEMFILE_Own);
}

EAltMemFile::EAltMemFile(void* buffer, unsigned size, bool ownsBuffer)
    : m_pBuffer(static_cast<unsigned char*>(buffer)), m_uSize(size), m_iPos(0), m_bOwnsBuffer(ownsBuffer) {}

EAltMemFile::~EAltMemFile() {
  if (m_bOwnsBuffer) free(m_pBuffer);
  m_pBuffer = nullptr;
}

int EAltMemFile::Read(void* buffer, int bytes) {
  if (bytes <= 0) return 0;
  unsigned left = m_uSize - (unsigned)m_iPos;
  unsigned n = (unsigned)bytes < left ? (unsigned)bytes : left;
  if (n) memcpy(buffer, m_pBuffer + m_iPos, n);
  m_iPos += (int)n;
  return (int)n;
}

int EAltMemFile::Seek(int offset, ESeekType from) {
  int64_t target;
  switch (from) {
    case SEEKTYPE_Begin: target = offset; break;
    case SEEKTYPE_Current: target = (int64_t)m_iPos + offset; break;
    case SEEKTYPE_End: target = (int64_t)m_uSize + offset; break;
    default: return -1;
  }
  if (target < 0 || target > (int64_t)m_uSize) return -1;
  m_iPos = (int)target;
  return m_iPos;
}

// ---------------------------------------------------------------------------
// EMemFile

EMemFile::EMemFile()
    : m_bBinary(false), m_pBuffer(nullptr), m_uSize(0), m_pCursor(nullptr), m_uPos(0), m_bOwnsBuffer(false) {}

EMemFile::~EMemFile() { Close(); }

bool EMemFile::Open(void* buffer, unsigned size, bool binary, bool ownsBuffer) {
  if (m_pBuffer) return false;
  m_bBinary = binary;
  m_pBuffer = static_cast<unsigned char*>(buffer);
  m_uSize = size;
  m_pCursor = m_pBuffer;
  m_uPos = 0;
  m_bOwnsBuffer = ownsBuffer;
  return true;
}

void EMemFile::Close() {
  if (!m_pBuffer) return;
  if (m_bOwnsBuffer) free(m_pBuffer);
  m_pBuffer = nullptr;
  m_pCursor = nullptr;
  m_uSize = 0;
  m_uPos = 0;
  m_bOwnsBuffer = false;
}

int EMemFile::Read(void* buffer, int size, int count) {
  if (!m_pBuffer || size <= 0 || count <= 0) return 0;
  uint64_t want = (uint64_t)size * (uint64_t)count;
  unsigned left = m_uSize - m_uPos;
  unsigned n = want < left ? (unsigned)want : left;
  if (n) memcpy(buffer, m_pCursor, n);
  m_pCursor += n;
  m_uPos += n;
  return (int)n;
}

int EMemFile::ReadString(char* buffer, int capacity) {
  if (!m_pBuffer || m_bBinary || !buffer || capacity <= 0) return 0;
  unsigned start = m_uPos;
  int stored = 0;
  while (m_uPos < m_uSize) {
    unsigned char c = *m_pCursor;
    if (c == '\0' || c == '\n') break;
    if (c != '\r') {
      if (stored >= capacity - 1) break;
      buffer[stored++] = (char)c;
    }
    ++m_pCursor;
    ++m_uPos;
  }
  buffer[stored] = '\0';
  if (m_uPos < m_uSize && *m_pCursor == '\n') {
    ++m_pCursor;
    ++m_uPos;
  }
  return (int)(m_uPos - start);
}

int EMemFile::ReadAndMallocShortString(char** out) {
  uint8_t bytes[2] = {0, 0};
  if (Read(bytes, 1, 2) != 2) return 0;
  unsigned n = (unsigned)bytes[0] | ((unsigned)bytes[1] << 8);
  // Zero-filled, so a short read never leaves stale bytes.
  char* block = static_cast<char*>(calloc(n ? n : 1, 1));
  EASSERT(block);
  *out = block;
  return Read(block, 1, (int)n);
}
