#include "TWUtil/EPackageFile.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/TWUnixCompat.h"

EPackageFile::Directory* g_masterFilePackage = nullptr;
char g_masterFilePackageName[4096];
EPackageFile::EPackageFileAccessor g_EPackageFileAccessor[EPackageFile::kNUM_ACCESSORS];

static inline EPackageFile::Directory* OrMaster(EPackageFile::Directory* d) { return d ? d : g_masterFilePackage; }

#define PACKAGE_MAGIC_OK(d) ((d)->hdr.magicId == EPackageFile::Tag('Z', 'P', 'K', 'G'))

// ---------------------------------------------------------------------------
// Mounting

namespace {

struct MountFailure {
  const char* path;
  bool operator()(const char* why) const {
    g_ErrorManager.TraceMessagef(TT_Warning, "Package %s refused: %s", path, why);
    return false;
  }
};

// True when a NUL ends the text at offset within the block.
bool TerminatedInBlock(const unsigned char* block, uint32_t size, uint64_t offset) {
  if (offset >= size) return false;
  return memchr(block + offset, 0, size - (size_t)offset) != nullptr;
}

// Checks every table reference of a freshly read directory, so that lookups
// and reads never leave the block or the file and never loop.
bool DecodeAndCheck(EPackageFile::Directory* d, const MountFailure& fail) {
  const EPackageFile::Header& h = d->hdr;
  const unsigned char* block = d->block;

  d->entries = static_cast<EPackageFile::FileEntry*>(calloc(h.fileCount ? h.fileCount : 1, sizeof(EPackageFile::FileEntry)));
  if (!d->entries) return fail("out of memory");
  for (uint32_t i = 0; i < h.fileCount; ++i) {
    const unsigned char* p = block + EPackageFile::kHEADER_SIZE + EPackageFile::kENTRY_SIZE * i;
    EPackageFile::FileEntry& f = d->entries[i];
    f.cmpCode = p[0];
    f.extOffset = p[1];
    f.dirIndex = GetLE16(p + 2);
    f.nameOffset = GetLE32(p + 4);
    f.dataOffset = GetLE32(p + 8);
    f.size = GetLE32(p + 12);
    if (!TerminatedInBlock(block, h.dirSize, (uint64_t)h.nameTableOffset + f.nameOffset))
      return fail("file name outside the directory");
    if (!TerminatedInBlock(block, h.dirSize, (uint64_t)h.extTableOffset + f.extOffset))
      return fail("extension outside the directory");
    if ((uint64_t)f.dataOffset + f.size > (uint64_t)d->fileSize) return fail("file data beyond the end of the package");
  }

  uint64_t nodes = (h.dirSize - h.trieOffset) / EPackageFile::kTRIE_NODE_SIZE;
  if (nodes > 0x10000) nodes = 0x10000;  // indices are 16 bits
  d->nodeCount = (unsigned)nodes;
  d->nodes = static_cast<EPackageFile::TrieNode*>(calloc(nodes ? nodes : 1, sizeof(EPackageFile::TrieNode)));
  if (!d->nodes) return fail("out of memory");
  for (unsigned n = 0; n < d->nodeCount; ++n) {
    const unsigned char* p = block + h.trieOffset + EPackageFile::kTRIE_NODE_SIZE * n;
    EPackageFile::TrieNode& t = d->nodes[n];
    t.ch = p[0];
    t.lo = GetLE16(p + 2);
    t.hi = GetLE16(p + 4);
    t.eq = GetLE16(p + 6);
    t.firstFile = GetLE16(p + 8);
    t.endFile = GetLE16(p + 10);
  }
  if (d->nodeCount == 0) return true;

  // Every node reachable from the root must lie in the block, name a file
  // range inside the entries, and be reached once only: the trie is a tree.
  unsigned char* seen = static_cast<unsigned char*>(calloc(d->nodeCount, 1));
  uint16_t* stack = static_cast<uint16_t*>(malloc(sizeof(uint16_t) * d->nodeCount));
  if (!seen || !stack) {
    free(seen);
    free(stack);
    return fail("out of memory");
  }
  bool ok = true;
  const char* why = nullptr;
  unsigned top = 0;
  stack[top++] = 0;
  seen[0] = 1;
  while (top && ok) {
    const EPackageFile::TrieNode& t = d->nodes[stack[--top]];
    if (t.firstFile > t.endFile || t.endFile > h.fileCount) {
      ok = false;
      why = "directory range outside the entries";
      break;
    }
    uint16_t children[3] = {t.lo, t.hi, t.eq};
    for (uint16_t c : children) {
      if (!c) continue;
      if (c >= d->nodeCount || seen[c]) {
        ok = false;
        why = c >= d->nodeCount ? "trie node outside the directory" : "trie node reached twice";
        break;
      }
      seen[c] = 1;
      stack[top++] = c;
    }
  }
  free(seen);
  free(stack);
  return ok ? true : fail(why);
}

void FreeDirectory(EPackageFile::Directory* d) {
  if (!d) return;
  if (d->readHandle) d->readHandle->Close();
  if (d->directHandle) d->directHandle->Close();
  if (d->block) {
    memset(d->block, 0, d->hdr.dirSize < (uint32_t)EPackageFile::kHEADER_SIZE ? d->hdr.dirSize : (uint32_t)EPackageFile::kHEADER_SIZE);
    free(d->block);
  }
  free(d->entries);
  free(d->nodes);
  memset(d, 0, sizeof(*d));
  free(d);
}

}  // namespace

EPackageFile::Directory* EPackageFile::Mount(const char* path) {
  if (!path) return nullptr;
  EWin32File* readHandle = EWin32File::Open(path, 0x4400);
  EWin32File* directHandle = readHandle ? EWin32File::Open(path, 0x4400) : nullptr;
  if (!readHandle || !directHandle) {
    if (readHandle) readHandle->Close();
    return nullptr;
  }

  Directory* d = static_cast<Directory*>(calloc(1, sizeof(Directory)));
  EASSERT(d);
  d->readHandle = readHandle;
  d->directHandle = directHandle;
  MountFailure fail{path};

  unsigned char raw[kHEADER_SIZE];
  int got = readHandle->Read(raw, (int)kHEADER_SIZE);
  Header& h = d->hdr;
  h.magicId = GetLE32(raw);
  h.version = GetLE32(raw + 4);
  h.dirSize = GetLE32(raw + 8);
  h.fileCount = GetLE32(raw + 12);
  h.trieOffset = GetLE32(raw + 16);
  h.unused20 = GetLE32(raw + 20);
  h.nameTableOffset = GetLE32(raw + 24);
  h.extTableOffset = GetLE32(raw + 28);
  d->fileSize = readHandle->GetFilesize();

  bool ok = got == (int)kHEADER_SIZE && PACKAGE_MAGIC_OK(d) && h.version == (uint32_t)kVERSION &&
            h.dirSize <= (uint32_t)kMAX_DIR_SIZE && (uint64_t)h.dirSize >= ((uint64_t)h.fileCount + 32) * 16 &&
            h.dirSize >= h.trieOffset && h.dirSize >= h.nameTableOffset && h.dirSize >= h.extTableOffset;
  if (!ok) {
    if (got == (int)kHEADER_SIZE) fail("bad header");
    h.magicId = 0;
    FreeDirectory(d);
    return nullptr;
  }
  if (d->fileSize < 0 || (uint32_t)d->fileSize < h.dirSize) {
    fail("directory beyond the end of the file");
    FreeDirectory(d);
    return nullptr;
  }

  readHandle->Seek(0, SEEKTYPE_Begin);
  d->block = static_cast<unsigned char*>(malloc(h.dirSize));
  EASSERT(d->block);
  if (readHandle->Read(d->block, (int)h.dirSize) != (int)h.dirSize) {
    fail("short directory");
    FreeDirectory(d);
    return nullptr;
  }
  if (!DecodeAndCheck(d, fail)) {
    FreeDirectory(d);
    return nullptr;
  }
  d->nameTable = reinterpret_cast<const char*>(d->block + h.nameTableOffset);
  d->extTable = reinterpret_cast<const char*>(d->block + h.extTableOffset);

  if (!g_masterFilePackage) {
    g_masterFilePackage = d;
    strncpy(g_masterFilePackageName, path, sizeof(g_masterFilePackageName) - 1);
    g_masterFilePackageName[sizeof(g_masterFilePackageName) - 1] = '\0';
  }
  return d;
}

void EPackageFile::Unmount(Directory* d) {
  if (!d) return;
  if (d == g_masterFilePackage) {
    g_masterFilePackage = nullptr;
    g_masterFilePackageName[0] = '\0';
  }
  EASSERT(d->hdr.magicId == Tag('Z', 'P', 'K', 'G'));
  FreeDirectory(d);
}

// ---------------------------------------------------------------------------
// Lookups

namespace {

// Splits a searched path into lower-case directory, name and extension, in
// one allocation the caller frees.
struct SplitPath {
  char* storage;
  const char* dir;
  const char* name;
  const char* ext;
};

bool SplitPathForSearch(const char* path, SplitPath& out) {
  size_t len = strlen(path);
  out.storage = static_cast<char*>(malloc(len + 2));
  if (!out.storage) return false;
  convertUnixFilename(out.storage, path);
  for (char* p = out.storage; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = (char)(*p - 'A' + 'a');

  char* slash = strrchr(out.storage, '/');
  char* name;
  if (slash) {
    *slash = '\0';
    out.dir = out.storage;
    name = slash + 1;
  } else {
    // No directory: keep an empty text in the spare byte at the end.
    name = out.storage;
    out.dir = out.storage + len + 1;
    out.storage[len + 1] = '\0';
  }
  out.name = name;
  char* dot = strrchr(name, '.');
  if (dot) {
    *dot = '\0';
    out.ext = dot + 1;
  } else {
    out.ext = name + strlen(name);
  }
  return true;
}

// The entry range [first, end) of a directory path; empty when not found.
void FindFileEntryRangeForPath(const EPackageFile::Directory* d, const char* dirPath, unsigned& first, unsigned& end) {
  first = end = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(dirPath);
  if (!*p || d->nodeCount == 0) return;
  unsigned n = 0;
  for (;;) {
    const EPackageFile::TrieNode& t = d->nodes[n];
    unsigned next;
    if (*p == t.ch) {
      ++p;
      if (!*p) {
        first = t.firstFile;
        end = t.endFile;
        return;
      }
      next = t.eq;
    } else if (*p < t.ch) {
      next = t.lo;
    } else {
      next = t.hi;
    }
    if (!next) return;
    n = next;
  }
}

}  // namespace

const char* EPackageFile::GetNameOfFile(Directory* d, FileEntry* f) {
  d = OrMaster(d);
  if (!d || !f) return nullptr;
  return d->nameTable + f->nameOffset;
}

const char* EPackageFile::GetExtensionOfFile(Directory* d, FileEntry* f) {
  d = OrMaster(d);
  if (!d || !f) return nullptr;
  return d->extTable + f->extOffset;
}

EPackageFile::FileEntry* EPackageFile::FindFileEntry(Directory* d, const char* path) {
  d = OrMaster(d);
  if (!d || !path) return nullptr;
  EASSERT(d->hdr.magicId == Tag('Z', 'P', 'K', 'G'));
  SplitPath split;
  if (!SplitPathForSearch(path, split)) return nullptr;
  unsigned lo, hi;
  FindFileEntryRangeForPath(d, split.dir, lo, hi);
  FileEntry* found = nullptr;
  while (lo != hi) {
    unsigned mid = (lo + hi) / 2;
    FileEntry* f = &d->entries[mid];
    int cmp = strcmp(split.name, d->nameTable + f->nameOffset);
    if (cmp == 0) cmp = strcmp(split.ext, d->extTable + f->extOffset);
    if (cmp == 0) {
      found = f;
      break;
    }
    if (cmp < 0) hi = mid;
    else lo = mid + 1;
  }
  free(split.storage);
  return found;
}

EPackageFile::FileEntry* EPackageFile::FindFirstFileInSubdir(Directory* d, const char* path) {
  d = OrMaster(d);
  if (!d || !path) return nullptr;
  SplitPath split;
  if (!SplitPathForSearch(path, split)) return nullptr;
  unsigned lo, hi;
  FindFileEntryRangeForPath(d, split.dir, lo, hi);
  free(split.storage);
  return lo < hi ? &d->entries[lo] : nullptr;
}

EPackageFile::FileEntry* EPackageFile::FindNextFileInSameSubdir(Directory* d, FileEntry* f) {
  d = OrMaster(d);
  if (!d || !f) return nullptr;
  unsigned next = (unsigned)(f - d->entries) + 1;
  if (next >= d->hdr.fileCount || d->entries[next].dirIndex != f->dirIndex) return nullptr;
  return &d->entries[next];
}

// ---------------------------------------------------------------------------
// Reading

int EPackageFile::ReadSync(Directory* d, FileEntry* f, unsigned offset, void* buffer, unsigned length) {
  d = OrMaster(d);
  if (!d || !f) return 0;
  EASSERT(d->hdr.magicId == Tag('Z', 'P', 'K', 'G'));
  EASSERT(f->cmpCode == 0);
  if (offset >= f->size) return 0;
  if (length > f->size - offset) length = f->size - offset;
  if (length == 0) return 0;
  // Mounting checked that the data lies inside the file, which an int spans.
  if (d->readHandle->Seek((int)(f->dataOffset + offset), SEEKTYPE_Begin) < 0) return 0;
  int got = d->readHandle->Read(buffer, (int)length);
  return got < 0 ? 0 : got;
}

EFile* EPackageFile::OpenFile(Directory* d, FileEntry* f) {
  d = OrMaster(d);
  if (!d || !f) return nullptr;
  for (EPackageFileAccessor& a : g_EPackageFileAccessor) {
    if (a.IsFree()) {
      a.OpenOn(d, f);
      return &a;
    }
  }
  g_ErrorManager.TraceMessagef(TT_Warning, "Too many package files open at once (%d)", (int)kNUM_ACCESSORS);
  return nullptr;
}

const char* EPackageFile::GetMasterPackageFileName() {
  return g_masterFilePackage ? g_masterFilePackageName : nullptr;
}

const char* EPackageFile::GetDirectAccessDetailsForFile(Directory* d, FileEntry* f, unsigned* offset, unsigned* size) {
  d = OrMaster(d);
  if (!d || !f || d != g_masterFilePackage) return nullptr;
  if (offset) *offset = f->dataOffset;
  if (size) *size = f->size;
  return g_masterFilePackageName;
}

int EPackageFile::GetAsyncHandle(Directory* d) {
  d = OrMaster(d);
  if (!d || d != g_masterFilePackage || !d->directHandle) return 0;
  return d->directHandle->GetDescriptor();
}

// ---------------------------------------------------------------------------
// Accessors

void EPackageFile::EPackageFileAccessor::OpenOn(Directory* d, FileEntry* f) {
  EASSERT(m_d == 0);
  EASSERT(m_f == 0);
  m_d = d;
  m_f = f;
  m_uPos = 0;
}

void EPackageFile::EPackageFileAccessor::Close() {
  EASSERT(m_d);
  EASSERT(m_f);
  m_d = nullptr;
  m_f = nullptr;
  m_uPos = 0;
}

int EPackageFile::EPackageFileAccessor::Read(void* buffer, int bytes) {
  EASSERT(m_d);
  EASSERT(m_f);
  if (bytes <= 0) return 0;
  int got = ReadSync(m_d, m_f, m_uPos, buffer, (unsigned)bytes);
  m_uPos += (unsigned)got;
  return got;
}

int EPackageFile::EPackageFileAccessor::Write(const void*, int) {
  EASSERT(0);
  return 0;
}

int EPackageFile::EPackageFileAccessor::Seek(int offset, ESeekType from) {
  EASSERT(m_d);
  EASSERT(m_f);
  switch (from) {
    case SEEKTYPE_Begin: m_uPos = (unsigned)offset; break;
    case SEEKTYPE_Current: m_uPos += (unsigned)offset; break;
    default: EASSERT(0); return -1;
  }
  return (int)m_uPos;
}

int EPackageFile::EPackageFileAccessor::GetFilesize() {
  EASSERT(m_d);
  EASSERT(m_f);
  EASSERT(m_f->cmpCode == 0);
  return (int)m_f->size;
}
