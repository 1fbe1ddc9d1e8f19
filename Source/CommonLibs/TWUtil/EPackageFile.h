// Packages: one file holding a tree of data files behind an in-memory
// directory (the "ZPKG" format).
#pragma once

#include <cstdint>

#include "TWUtil/EFile.h"

class EPackageFile {
public:
  enum {
    kHEADER_SIZE = 512,
    kENTRY_SIZE = 16,
    kTRIE_NODE_SIZE = 12,
    kMAX_DIR_SIZE = 0x100000,
    kVERSION = 1,
    kNUM_ACCESSORS = 4,
  };

  // The first 512 bytes of a package; the fields used by the reader.
  struct Header {
    uint32_t magicId;
    uint32_t version;
    uint32_t dirSize;  // bytes of the directory block, header included
    uint32_t fileCount;
    uint32_t trieOffset;
    uint32_t unused20;
    uint32_t nameTableOffset;
    uint32_t extTableOffset;
  };

  // One file of a package (16 bytes on disk).
  struct FileEntry {
    uint8_t cmpCode;  // 0: stored
    uint8_t extOffset;
    uint16_t dirIndex;
    uint32_t nameOffset;
    uint32_t dataOffset;
    uint32_t size;
  };

  // One node of the ternary trie over directory paths (12 bytes on disk).
  struct TrieNode {
    uint8_t ch;
    uint16_t lo, hi, eq;
    uint16_t firstFile, endFile;
  };

  // A mounted package.
  struct Directory {
    Header hdr;
    unsigned char* block;  // the directory block as read
    FileEntry* entries;    // decoded, fileCount of them
    TrieNode* nodes;       // decoded, nodeCount of them
    unsigned nodeCount;
    const char* nameTable;
    const char* extTable;
    EWin32File* readHandle;
    EWin32File* directHandle;  // for the animation loader's own reads
    int fileSize;
  };

  // An EFile over one entry of a package; four of them serve every package.
  class EPackageFileAccessor : public EFile {
  public:
    EPackageFileAccessor() : m_d(nullptr), m_f(nullptr), m_uPos(0) {}
    ~EPackageFileAccessor() override {}

    void OpenOn(Directory* d, FileEntry* f);
    bool IsFree() const { return !m_d && !m_f; }

    using EFile::Read;
    using EFile::Write;
    void Close() override;
    int Read(void* buffer, int bytes) override;
    int Write(const void* data, int bytes) override;
    int Seek(int offset, ESeekType from) override;
    int GetFilesize() override;

    Directory* m_d;
    FileEntry* m_f;
    unsigned m_uPos;
  };

  static uint32_t Tag(char a, char b, char c, char d) {
    return (uint32_t)(unsigned char)a | ((uint32_t)(unsigned char)b << 8) | ((uint32_t)(unsigned char)c << 16) |
           ((uint32_t)(unsigned char)d << 24);
  }

  // Mounts a package; null when it is missing or damaged (traced).
  static Directory* Mount(const char* path);
  static void Unmount(Directory* d);

  // A null directory means the master package.
  static FileEntry* FindFileEntry(Directory* d, const char* path);
  static FileEntry* FindFirstFileInSubdir(Directory* d, const char* path);
  static FileEntry* FindNextFileInSameSubdir(Directory* d, FileEntry* f);
  static const char* GetNameOfFile(Directory* d, FileEntry* f);
  static const char* GetExtensionOfFile(Directory* d, FileEntry* f);
  static int ReadSync(Directory* d, FileEntry* f, unsigned offset, void* buffer, unsigned length);
  // A free accessor opened on the entry, or null when all are in use.
  static EFile* OpenFile(Directory* d, FileEntry* f);

  static const char* GetMasterPackageFileName();
  static const char* GetDirectAccessDetailsForFile(Directory* d, FileEntry* f, unsigned* offset, unsigned* size);
  static int GetAsyncHandle(Directory* d);
};

extern EPackageFile::Directory* g_masterFilePackage;
extern char g_masterFilePackageName[4096];
extern EPackageFile::EPackageFileAccessor g_EPackageFileAccessor[EPackageFile::kNUM_ACCESSORS];
