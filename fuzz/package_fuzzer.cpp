// Mounts the input as a package, then looks up, lists and reads every file
// it names.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "TWUtil/EPackageFile.h"

namespace {

std::string TempPath() {
  char buf[64];
  snprintf(buf, sizeof(buf), "/tmp/quillomar-fuzz-%d.pkg", (int)getpid());
  return buf;
}

// Collects the directory paths of the trie that end at a node with files.
void CollectDirectories(const EPackageFile::Directory* d, unsigned node, std::string& prefix,
                        std::vector<std::string>& out) {
  const EPackageFile::TrieNode& t = d->nodes[node];
  if (t.lo) CollectDirectories(d, t.lo, prefix, out);
  if (t.hi) CollectDirectories(d, t.hi, prefix, out);
  prefix.push_back((char)t.ch);
  if (t.firstFile < t.endFile) out.push_back(prefix);
  if (t.eq) CollectDirectories(d, t.eq, prefix, out);
  prefix.pop_back();
}

void ReadAll(EPackageFile::Directory* d, EPackageFile::FileEntry* f) {
  if (f->cmpCode != 0) return;  // compressed entries are fatal to read by design
  EFile* file = EPackageFile::OpenFile(d, f);
  if (!file) return;
  char buf[256];
  int size = file->GetFilesize();
  for (int done = 0; done < size && done < 4096;) {
    int got = file->Read(buf, sizeof(buf));
    if (got <= 0) break;
    done += got;
  }
  file->Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = TempPath();
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return 0;
  if (size) fwrite(data, 1, size, out);
  fclose(out);

  EPackageFile::Directory* d = EPackageFile::Mount(path.c_str());
  if (d) {
    std::vector<std::string> dirs;
    std::string prefix;
    if (d->nodeCount) CollectDirectories(d, 0, prefix, dirs);
    for (const std::string& dir : dirs) {
      std::string listed = dir + "/";
      for (EPackageFile::FileEntry* f = EPackageFile::FindFirstFileInSubdir(d, listed.c_str()); f;
           f = EPackageFile::FindNextFileInSameSubdir(d, f)) {
        std::string name = dir + "/" + EPackageFile::GetNameOfFile(d, f);
        const char* ext = EPackageFile::GetExtensionOfFile(d, f);
        if (*ext) name += std::string(".") + ext;
        EPackageFile::FileEntry* found = EPackageFile::FindFileEntry(d, name.c_str());
        if (found) ReadAll(d, found);
        ReadAll(d, f);
        unsigned offset, length;
        EPackageFile::GetDirectAccessDetailsForFile(d, f, &offset, &length);
      }
    }
    EPackageFile::FindFileEntry(d, "scripts/boot.lua");
    EPackageFile::FindFileEntry(d, "Levels\\\xc3\xa9t\xc3\xa9.plb");
    EPackageFile::Unmount(d);
  }
  return 0;
}
