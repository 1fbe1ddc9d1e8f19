#include "TWUtil/EPackageWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "TWUtil/EFile.h"
#include "TWUtil/EPackageFile.h"

// A file waiting to be written. Named (not file-local): the writer's
// implementation record, which has external linkage, holds a list of them.
namespace PackageWriterDetail {
struct PendingFile {
  std::string dir, name, ext;  // lower case
  std::string sourcePath;      // read at write time when not empty
  std::vector<unsigned char> data;
};
}  // namespace PackageWriterDetail
using PackageWriterDetail::PendingFile;

namespace {

struct Node {
  unsigned char ch;
  unsigned lo, hi, eq, firstFile, endFile;
};

void PutLE16(std::vector<unsigned char>& b, size_t at, unsigned v) {
  b[at] = (unsigned char)v;
  b[at + 1] = (unsigned char)(v >> 8);
}
void PutLE32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (unsigned char)(v >> (8 * i));
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  unsigned char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) out.insert(out.end(), chunk, chunk + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

}  // namespace

struct EPackageWriter::Impl {
  std::vector<PendingFile> files;
  std::vector<std::string> skipped;
  std::set<std::string> paths;
  std::string error;

  bool Add(const char* path, PendingFile&& file);
  bool Walk(const std::string& root, const std::string& relative);
};

EPackageWriter::EPackageWriter() : m_pImpl(new Impl) {}
EPackageWriter::~EPackageWriter() { delete m_pImpl; }

int EPackageWriter::GetNumFiles() const { return (int)m_pImpl->files.size(); }
int EPackageWriter::GetNumSkipped() const { return (int)m_pImpl->skipped.size(); }
const char* EPackageWriter::GetSkipped(int i) const { return m_pImpl->skipped[i].c_str(); }
const char* EPackageWriter::GetError() const { return m_pImpl->error.c_str(); }

bool EPackageWriter::Impl::Add(const char* path, PendingFile&& file) {
  std::string p(path ? path : "");
  for (char& c : p) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  }
  while (!p.empty() && p[0] == '/') p.erase(0, 1);
  size_t slash = p.rfind('/');
  if (slash == std::string::npos || slash == 0) {
    error = "'" + p + "' is not inside a folder";
    return false;
  }
  file.dir = p.substr(0, slash);
  std::string leaf = p.substr(slash + 1);
  if (leaf.empty() || file.dir.back() == '/' || file.dir.find("//") != std::string::npos) {
    error = "'" + p + "' is not a file path";
    return false;
  }
  size_t dot = leaf.rfind('.');
  file.name = dot == std::string::npos ? leaf : leaf.substr(0, dot);
  file.ext = dot == std::string::npos ? std::string() : leaf.substr(dot + 1);
  // Paths that differ only in letter case or separators name one entry.
  std::string key = file.dir + '\0' + file.name + '\0' + file.ext;
  if (!paths.insert(key).second) {
    error = "'" + p + "' added twice";
    return false;
  }
  files.push_back(std::move(file));
  return true;
}

bool EPackageWriter::AddFile(const char* path, const void* data, unsigned size) {
  PendingFile f;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (size) f.data.assign(bytes, bytes + size);
  return m_pImpl->Add(path, std::move(f));
}

bool EPackageWriter::Impl::Walk(const std::string& root, const std::string& relative) {
  std::string here = relative.empty() ? root : root + "/" + relative;
  DIR* dir = opendir(here.c_str());
  if (!dir) {
    error = "cannot read folder '" + here + "'";
    return false;
  }
  std::vector<std::string> names;
  while (struct dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());  // the same folder gives the same package
  for (const std::string& n : names) {
    std::string rel = relative.empty() ? n : relative + "/" + n;
    std::string full = root + "/" + rel;
    struct stat st;
    if (stat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (!Walk(root, rel)) return false;
    } else if (S_ISREG(st.st_mode)) {
      if (relative.empty()) {
        skipped.push_back(rel);
        continue;
      }
      PendingFile f;
      f.sourcePath = full;
      if (!Add(rel.c_str(), std::move(f))) return false;
    }
  }
  return true;
}

bool EPackageWriter::AddFolder(const char* folder) {
  std::string root(folder ? folder : "");
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return m_pImpl->Walk(root, "");
}

bool EPackageWriter::Write(const char* packagePath) {
  Impl& m = *m_pImpl;
  std::vector<PendingFile*> order;
  for (PendingFile& f : m.files) order.push_back(&f);
  std::sort(order.begin(), order.end(), [](const PendingFile* a, const PendingFile* b) {
    int c = strcmp(a->dir.c_str(), b->dir.c_str());
    if (c == 0) c = strcmp(a->name.c_str(), b->name.c_str());
    if (c == 0) c = strcmp(a->ext.c_str(), b->ext.c_str());
    return c < 0;
  });
  const size_t count = order.size();
  if (count > 0xffff) {
    m.error = "too many files";
    return false;
  }

  // Extension strings: the empty one first; offsets must fit in one byte.
  std::string extTable(1, '\0');
  std::map<std::string, unsigned> extOffsets{{std::string(), 0u}};
  std::string nameTable;
  std::map<std::string, unsigned> nameOffsets;
  std::vector<unsigned> entryExt(count), entryName(count);
  for (size_t i = 0; i < count; ++i) {
    const PendingFile& f = *order[i];
    auto e = extOffsets.find(f.ext);
    if (e == extOffsets.end()) {
      if (extTable.size() > 0xff) {
        m.error = "too many different extensions";
        return false;
      }
      e = extOffsets.emplace(f.ext, (unsigned)extTable.size()).first;
      extTable += f.ext;
      extTable += '\0';
    }
    entryExt[i] = e->second;
    auto n = nameOffsets.find(f.name);
    if (n == nameOffsets.end()) {
      n = nameOffsets.emplace(f.name, (unsigned)nameTable.size()).first;
      nameTable += f.name;
      nameTable += '\0';
    }
    entryName[i] = n->second;
  }

  // Trie over the directory paths, each directory inserted with its range;
  // directories go in middle-first order to keep the tree shallow.
  std::vector<std::string> dirs;
  std::vector<unsigned> dirFirst, dirEnd;
  std::vector<unsigned> dirIndex(count);
  for (size_t i = 0; i < count; ++i) {
    if (dirs.empty() || dirs.back() != order[i]->dir) {
      dirs.push_back(order[i]->dir);
      dirFirst.push_back((unsigned)i);
      dirEnd.push_back((unsigned)i);
    }
    dirEnd.back() = (unsigned)i + 1;
    dirIndex[i] = (unsigned)(dirs.size() - 1);
  }
  std::vector<Node> nodes;
  auto newNode = [&nodes](unsigned char ch) {
    nodes.push_back(Node{ch, 0, 0, 0, 0, 0});
    return (unsigned)(nodes.size() - 1);
  };
  auto insert = [&](size_t d) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(dirs[d].c_str());
    if (nodes.empty()) newNode(s[0]);
    unsigned n = 0;
    for (;;) {
      if (*s < nodes[n].ch) {
        if (!nodes[n].lo) { unsigned c = newNode(*s); nodes[n].lo = c; }
        n = nodes[n].lo;
      } else if (*s > nodes[n].ch) {
        if (!nodes[n].hi) { unsigned c = newNode(*s); nodes[n].hi = c; }
        n = nodes[n].hi;
      } else {
        ++s;
        if (!*s) {
          nodes[n].firstFile = dirFirst[d];
          nodes[n].endFile = dirEnd[d];
          return;
        }
        if (!nodes[n].eq) { unsigned c = newNode(*s); nodes[n].eq = c; }
        n = nodes[n].eq;
      }
    }
  };
  std::vector<std::pair<size_t, size_t>> spans;
  if (!dirs.empty()) spans.push_back({0, dirs.size()});
  while (!spans.empty()) {
    auto sp = spans.back();
    spans.pop_back();
    size_t mid = (sp.first + sp.second) / 2;
    insert(mid);
    if (sp.first < mid) spans.push_back({sp.first, mid});
    if (mid + 1 < sp.second) spans.push_back({mid + 1, sp.second});
  }
  if (nodes.size() > 0xffff) {
    m.error = "directory tree too large";
    return false;
  }

  // Directory block: header, entries, names, extensions, trie.
  const uint64_t entriesEnd = EPackageFile::kHEADER_SIZE + (uint64_t)EPackageFile::kENTRY_SIZE * count;
  const uint64_t nameAt = entriesEnd;
  const uint64_t extAt = nameAt + nameTable.size();
  const uint64_t trieAt = extAt + extTable.size();
  const uint64_t dirSize = trieAt + (uint64_t)EPackageFile::kTRIE_NODE_SIZE * nodes.size();
  if (dirSize > EPackageFile::kMAX_DIR_SIZE) {
    m.error = "directory larger than 1 MiB";
    return false;
  }

  // File sizes first; data from folders is read one file at a time while
  // writing, so a large package never sits in memory whole.
  uint64_t dataAt = dirSize;
  std::vector<uint32_t> offsets(count), sizes(count);
  for (size_t i = 0; i < count; ++i) {
    uint64_t size = order[i]->data.size();
    if (!order[i]->sourcePath.empty()) {
      struct stat st;
      if (stat(order[i]->sourcePath.c_str(), &st) != 0) {
        m.error = "cannot read '" + order[i]->sourcePath + "'";
        return false;
      }
      size = (uint64_t)st.st_size;
    }
    offsets[i] = (uint32_t)dataAt;
    sizes[i] = (uint32_t)size;
    dataAt += size;
    if (dataAt > 0x7fffffff) {
      m.error = "package larger than 2 GiB";
      return false;
    }
  }

  std::vector<unsigned char> block((size_t)dirSize, 0);
  PutLE32(block, 0, EPackageFile::Tag('Z', 'P', 'K', 'G'));
  PutLE32(block, 4, EPackageFile::kVERSION);
  PutLE32(block, 8, (uint32_t)dirSize);
  PutLE32(block, 12, (uint32_t)count);
  PutLE32(block, 16, (uint32_t)trieAt);
  PutLE32(block, 24, (uint32_t)nameAt);
  PutLE32(block, 28, (uint32_t)extAt);
  for (size_t i = 0; i < count; ++i) {
    size_t at = EPackageFile::kHEADER_SIZE + EPackageFile::kENTRY_SIZE * i;
    block[at] = 0;
    block[at + 1] = (unsigned char)entryExt[i];
    PutLE16(block, at + 2, dirIndex[i] & 0xffff);
    PutLE32(block, at + 4, entryName[i]);
    PutLE32(block, at + 8, offsets[i]);
    PutLE32(block, at + 12, sizes[i]);
  }
  memcpy(&block[nameAt], nameTable.data(), nameTable.size());
  memcpy(&block[extAt], extTable.data(), extTable.size());
  for (size_t n = 0; n < nodes.size(); ++n) {
    size_t at = (size_t)trieAt + EPackageFile::kTRIE_NODE_SIZE * n;
    block[at] = nodes[n].ch;
    PutLE16(block, at + 2, nodes[n].lo);
    PutLE16(block, at + 4, nodes[n].hi);
    PutLE16(block, at + 6, nodes[n].eq);
    PutLE16(block, at + 8, nodes[n].firstFile);
    PutLE16(block, at + 10, nodes[n].endFile);
  }

  FILE* out = fopen(packagePath, "wb");
  if (!out) {
    m.error = std::string("cannot create '") + packagePath + "'";
    return false;
  }
  bool ok = fwrite(block.data(), 1, block.size(), out) == block.size();
  if (!ok) m.error = std::string("cannot write '") + packagePath + "'";
  std::vector<unsigned char> loaded;
  for (size_t i = 0; ok && i < count; ++i) {
    const std::vector<unsigned char>* data = &order[i]->data;
    if (!order[i]->sourcePath.empty()) {
      if (!ReadWholeFile(order[i]->sourcePath, loaded) || loaded.size() != sizes[i]) {
        m.error = "cannot read '" + order[i]->sourcePath + "' (or it changed while packing)";
        ok = false;
        break;
      }
      data = &loaded;
    }
    if (!data->empty() && fwrite(data->data(), 1, data->size(), out) != data->size()) {
      m.error = std::string("cannot write '") + packagePath + "'";
      ok = false;
    }
  }
  if (fclose(out) != 0 && ok) {
    m.error = std::string("cannot write '") + packagePath + "'";
    ok = false;
  }
  if (!ok) remove(packagePath);
  return ok;
}
