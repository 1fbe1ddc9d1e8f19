#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "FileTestSupport.h"
#include "TWUtil/EPackageFile.h"
#include "TWUtil/EPackageWriter.h"

using filetest::TempDir;

namespace {


uint32_t GetLE32(const std::vector<unsigned char>& b, size_t at) {
  return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}
void PutLE32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (unsigned char)(v >> (8 * i));
}
void PutLE16(std::vector<unsigned char>& b, size_t at, unsigned v) {
  b[at] = (unsigned char)v;
  b[at + 1] = (unsigned char)(v >> 8);
}

class PackageTest : public ::testing::Test {
protected:
  void TearDown() override {
    for (EPackageFile::Directory* d : m_mounted) EPackageFile::Unmount(d);
    for (auto& a : g_EPackageFileAccessor) {
      a.m_d = nullptr;
      a.m_f = nullptr;
    }
  }

  // Writes a package of the given files; path -> contents.
  std::string Build(const char* name, const std::vector<std::pair<std::string, std::string>>& files) {
    EPackageWriter w;
    for (const auto& f : files) EXPECT_TRUE(w.AddFile(f.first.c_str(), f.second.data(), (unsigned)f.second.size())) << w.GetError();
    std::string path = m_dir / name;
    EXPECT_TRUE(w.Write(path.c_str())) << w.GetError();
    return path;
  }

  EPackageFile::Directory* Mount(const std::string& path) {
    EPackageFile::Directory* d = EPackageFile::Mount(path.c_str());
    if (d) m_mounted.push_back(d);
    return d;
  }
  void Unmount(EPackageFile::Directory* d) {
    for (size_t i = 0; i < m_mounted.size(); ++i)
      if (m_mounted[i] == d) m_mounted.erase(m_mounted.begin() + i);
    EPackageFile::Unmount(d);
  }

  std::string ReadEntry(EPackageFile::Directory* d, const char* name) {
    EPackageFile::FileEntry* f = EPackageFile::FindFileEntry(d, name);
    if (!f) return "<missing>";
    std::string out(f->size, '\0');
    int got = EPackageFile::ReadSync(d, f, 0, &out[0], f->size);
    out.resize(got > 0 ? got : 0);
    return out;
  }

  TempDir m_dir;
  std::vector<EPackageFile::Directory*> m_mounted;
};

const std::vector<std::pair<std::string, std::string>> kSampleFiles = {
    {"Scripts\\Boot.lua", "print('boot')"},
    {"scripts/boot.txt", "boot text"},
    {"scripts/a.lua", "a"},
    {"levels/l1/foo.plb", "level one"},
    {"levels/l1/noext", "no extension"},
    {"levels/l2/foo.plb", "level two"},
    {"data/ten.bin", "0123456789"},
};

TEST_F(PackageTest, LookupsIgnoreCaseAcceptBackslashesAndNeedExactParts) {
  EPackageFile::Directory* d = Mount(Build("a.pkg", kSampleFiles));
  ASSERT_NE(nullptr, d);

  EPackageFile::FileEntry* boot = EPackageFile::FindFileEntry(d, "Scripts\\Boot.LUA");
  ASSERT_NE(nullptr, boot);
  EXPECT_STREQ("boot", EPackageFile::GetNameOfFile(d, boot));
  EXPECT_STREQ("lua", EPackageFile::GetExtensionOfFile(d, boot));
  EXPECT_EQ("print('boot')", ReadEntry(d, "scripts/boot.lua"));
  // Entries that differ only in extension are both found.
  EXPECT_EQ("boot text", ReadEntry(d, "SCRIPTS/BOOT.TXT"));
  EXPECT_EQ("level one", ReadEntry(d, "levels/l1/foo.plb"));
  EXPECT_EQ("level two", ReadEntry(d, "levels\\L2\\foo.plb"));
  EXPECT_EQ("no extension", ReadEntry(d, "levels/l1/noext"));

  const char* missing[] = {
      "boot.lua",           // top level: no directory part
      "scripts/boot",       // no extension, but the entry has one
      "levels/l1/noext.x",  // extension, but the entry has none
      "script/boot.lua",    // directory is a prefix of one in the package
      "scriptsx/boot.lua",  // directory extends one in the package
      "levels/boot.lua",    // directory without files of its own
      "scripts/zzz.lua",
      "",
  };
  for (const char* name : missing) EXPECT_EQ(nullptr, EPackageFile::FindFileEntry(d, name)) << name;
}

TEST_F(PackageTest, ManyDirectoriesAndFilesAreAllFound) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int dir = 0; dir < 120; ++dir) {
    for (int f = 0; f < 5; ++f) {
      char name[64];
      snprintf(name, sizeof(name), "d%d/sub%d/f%02d.%s", dir % 7, dir, f * 7 % 5, f % 2 ? "a" : "bb");
      files.push_back({name, name});
    }
  }
  EPackageFile::Directory* d = Mount(Build("many.pkg", files));
  ASSERT_NE(nullptr, d);
  EXPECT_EQ(files.size(), d->hdr.fileCount);
  for (const auto& f : files) EXPECT_EQ(f.second, ReadEntry(d, f.first.c_str()));
}

TEST_F(PackageTest, ListingWalksOneDirectoryInOrder) {
  EPackageFile::Directory* d = Mount(Build("a.pkg", kSampleFiles));
  ASSERT_NE(nullptr, d);
  std::vector<std::string> names;
  for (EPackageFile::FileEntry* f = EPackageFile::FindFirstFileInSubdir(d, "Scripts\\"); f;
       f = EPackageFile::FindNextFileInSameSubdir(d, f)) {
    names.push_back(std::string(EPackageFile::GetNameOfFile(d, f)) + "." + EPackageFile::GetExtensionOfFile(d, f));
  }
  EXPECT_EQ((std::vector<std::string>{"a.lua", "boot.lua", "boot.txt"}), names);
  // Without a trailing separator the path names its parent, here the top.
  EXPECT_EQ(nullptr, EPackageFile::FindFirstFileInSubdir(d, "scripts"));
  EXPECT_NE(nullptr, EPackageFile::FindFirstFileInSubdir(d, "scripts/anything"));
  EXPECT_EQ(nullptr, EPackageFile::FindNextFileInSameSubdir(d, nullptr));
}

TEST_F(PackageTest, NamesWithBytesAbove127AreFound) {
  EPackageFile::Directory* d = Mount(Build("u.pkg", {{"z/a.txt", "z"}, {"\xc3\xa9t\xc3\xa9/\xc3\xa0.txt", "accent"}}));
  ASSERT_NE(nullptr, d);
  EXPECT_EQ("accent", ReadEntry(d, "\xc3\xa9t\xc3\xa9/\xc3\xa0.txt"));
  EXPECT_EQ("z", ReadEntry(d, "Z/A.TXT"));
}

TEST_F(PackageTest, AccessorReadsSeeksAndSizes) {
  EPackageFile::Directory* d = Mount(Build("a.pkg", kSampleFiles));
  ASSERT_NE(nullptr, d);
  EFile* f = EPackageFile::OpenFile(d, EPackageFile::FindFileEntry(d, "data/ten.bin"));
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(nullptr, f->GetFilename());
  EXPECT_EQ(10, f->GetFilesize());
  EXPECT_EQ(8, f->Seek(8, SEEKTYPE_Begin));
  char buf[8] = {};
  EXPECT_EQ(2, f->Read(buf, 4));
  EXPECT_EQ(0, memcmp(buf, "89", 2));
  EXPECT_EQ(0, f->Read(buf, 4));
  EXPECT_EQ(3, f->Seek(-7, SEEKTYPE_Current));
  EXPECT_EQ(1, f->Read(buf, 3u, 1u));
  EXPECT_EQ(0, memcmp(buf, "345", 3));
  EXPECT_EQ(50, f->Seek(50, SEEKTYPE_Begin));  // beyond the end is accepted
  EXPECT_EQ(0, f->Read(buf, 1));
  EXPECT_EQ(0, f->GetFiletime());
  EXPECT_FALSE(f->SetWriteFiletime(1));
  f->Close();
}

TEST_F(PackageTest, FifthSimultaneousOpenIsRefusedUntilOneCloses) {
  EPackageFile::Directory* d = Mount(Build("a.pkg", kSampleFiles));
  ASSERT_NE(nullptr, d);
  EPackageFile::FileEntry* e = EPackageFile::FindFileEntry(d, "data/ten.bin");
  EFile* open[4];
  for (EFile*& f : open) {
    f = EPackageFile::OpenFile(d, e);
    ASSERT_NE(nullptr, f);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, EPackageFile::OpenFile(d, e));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Too many package files open"));
  open[2]->Close();
  EFile* again = EPackageFile::OpenFile(d, e);
  EXPECT_EQ(open[2], again);
  for (EFile* f : open) f->Close();
}

TEST_F(PackageTest, AccessorMisuseIsFatal) {
  EPackageFile::Directory* d = Mount(Build("a.pkg", kSampleFiles));
  ASSERT_NE(nullptr, d);
  EPackageFile::FileEntry* e = EPackageFile::FindFileEntry(d, "data/ten.bin");
  EXPECT_EXIT(EPackageFile::OpenFile(d, e)->Seek(0, SEEKTYPE_End), testing::ExitedWithCode(255), "");
  EXPECT_EXIT(EPackageFile::OpenFile(d, e)->Write("x", 1), testing::ExitedWithCode(255), "");
  EXPECT_EXIT(g_EPackageFileAccessor[0].Read(nullptr, 1), testing::ExitedWithCode(255), "m_d");
}

TEST_F(PackageTest, FirstMountIsTheMasterPackage) {
  std::string a = Build("a.pkg", kSampleFiles);
  std::string b = Build("b.pkg", {{"x/y.z", "other"}});
  EPackageFile::Directory* da = Mount(a);
  EPackageFile::Directory* db = Mount(b);
  ASSERT_TRUE(da && db);
  EXPECT_STREQ(a.c_str(), EPackageFile::GetMasterPackageFileName());

  unsigned offset = 0, size = 0;
  EXPECT_EQ(nullptr, EPackageFile::GetDirectAccessDetailsForFile(db, EPackageFile::FindFileEntry(db, "x/y.z"), &offset, &size));
  EXPECT_EQ(0, EPackageFile::GetAsyncHandle(db));
  EPackageFile::FileEntry* ten = EPackageFile::FindFileEntry(nullptr, "data/ten.bin");  // null: the master
  ASSERT_NE(nullptr, ten);
  EXPECT_STREQ(a.c_str(), EPackageFile::GetDirectAccessDetailsForFile(da, ten, &offset, &size));
  EXPECT_EQ(10u, size);
  int fd = EPackageFile::GetAsyncHandle(nullptr);
  ASSERT_GT(fd, 0);
  char buf[10];
  ASSERT_EQ(10, pread(fd, buf, 10, offset));
  EXPECT_EQ(0, memcmp(buf, "0123456789", 10));

  Unmount(da);
  EXPECT_EQ(nullptr, EPackageFile::GetMasterPackageFileName());
  EXPECT_EQ(nullptr, EPackageFile::FindFileEntry(nullptr, "x/y.z"));
  EXPECT_EQ(0, EPackageFile::GetAsyncHandle(nullptr));
}

TEST_F(PackageTest, CompressedEntryIsFatalToRead) {
  std::string path = Build("c.pkg", {{"d/f.bin", "abc"}});
  std::vector<unsigned char> bytes = filetest::ReadBytes(path);
  bytes[512] = 1;  // cmpCode of entry 0
  filetest::WriteBytes(path, bytes);
  EPackageFile::Directory* d = Mount(path);
  ASSERT_NE(nullptr, d);
  char buf[4];
  EXPECT_EXIT(EPackageFile::ReadSync(d, EPackageFile::FindFileEntry(d, "d/f.bin"), 0, buf, 3),
              testing::ExitedWithCode(255), "cmpCode == 0");
}

// Damages a valid package in one way and expects Mount to refuse it.
struct Damage {
  const char* what;
  void (*apply)(std::vector<unsigned char>& b);
};

const Damage kDamages[] = {
    {"shorter than a header", [](std::vector<unsigned char>& b) { b.resize(511); }},
    {"other magic", [](std::vector<unsigned char>& b) { b[0] = 'X'; }},
    {"version 2", [](std::vector<unsigned char>& b) { PutLE32(b, 4, 2); }},
    {"directory above 1 MiB", [](std::vector<unsigned char>& b) { PutLE32(b, 8, 0x100001); }},
    {"directory smaller than its entries", [](std::vector<unsigned char>& b) { PutLE32(b, 12, GetLE32(b, 8) / 16); }},
    {"entry count that overflows 32 bits", [](std::vector<unsigned char>& b) { PutLE32(b, 12, 0x10000000u - 32 + 1); }},
    {"trie beyond the directory", [](std::vector<unsigned char>& b) { PutLE32(b, 16, GetLE32(b, 8) + 1); }},
    {"directory beyond the end of the file", [](std::vector<unsigned char>& b) { b.resize(GetLE32(b, 8) - 1); }},
    {"name offset beyond the directory", [](std::vector<unsigned char>& b) { PutLE32(b, 512 + 4, 0x7fffffff); }},
    {"extension offset beyond the directory",
     [](std::vector<unsigned char>& b) { PutLE32(b, 28, GetLE32(b, 8) - 10); b[512 + 1] = 255; }},
    {"file data beyond the end", [](std::vector<unsigned char>& b) { PutLE32(b, 512 + 12, 0x100000); }},
    {"data offset that wraps", [](std::vector<unsigned char>& b) { PutLE32(b, 512 + 8, 0xfffffff0u); }},
    {"trie child outside the directory", [](std::vector<unsigned char>& b) { PutLE16(b, GetLE32(b, 16) + 2, 0xffff); }},
    {"trie loop", [](std::vector<unsigned char>& b) { PutLE16(b, GetLE32(b, 16) + 12 + 6, 1); }},
    {"trie range beyond the entries", [](std::vector<unsigned char>& b) {
       size_t at = GetLE32(b, 16);
       for (size_t n = at; n + 12 <= GetLE32(b, 8); n += 12) PutLE16(b, n + 10, 500);
     }},
};

TEST_F(PackageTest, DamagedPackagesAreRefused) {
  std::string good = Build("good.pkg", kSampleFiles);
  const std::vector<unsigned char> original = filetest::ReadBytes(good);
  {
    EPackageFile::Directory* d = Mount(good);
    ASSERT_NE(nullptr, d) << "the undamaged package mounts";
    Unmount(d);
  }
  for (const Damage& damage : kDamages) {
    std::vector<unsigned char> bytes = original;
    damage.apply(bytes);
    std::string path = m_dir / "bad.pkg";
    filetest::WriteBytes(path, bytes);
    testing::internal::CaptureStderr();
    EPackageFile::Directory* d = Mount(path);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(nullptr, d) << damage.what;
  }
  EXPECT_EQ(nullptr, Mount(m_dir / "missing.pkg"));
  EXPECT_EQ(nullptr, EPackageFile::GetMasterPackageFileName());
}

TEST_F(PackageTest, WriterLaysOutTheDirectoryBlock) {
  std::string path = Build("layout.pkg", {{"b/y.txt", "YY"}, {"a/x.lua", "X"}, {"a/x", ""}, {"b/a.txt", "A"}});
  std::vector<unsigned char> b = filetest::ReadBytes(path);
  ASSERT_GE(b.size(), 512u);
  EXPECT_EQ(0, memcmp(b.data(), "ZPKG", 4));
  EXPECT_EQ(1u, GetLE32(b, 4));
  uint32_t dirSize = GetLE32(b, 8);
  EXPECT_EQ(4u, GetLE32(b, 12));
  uint32_t names = GetLE32(b, 24), exts = GetLE32(b, 28);
  ASSERT_LE(dirSize, b.size());
  // Entries sorted by directory, name, extension; data follows the
  // directory block in entry order.
  const char* expected[][3] = {{"x", "", ""}, {"x", "lua", "X"}, {"a", "txt", "A"}, {"y", "txt", "YY"}};
  uint16_t dirIndex[4];
  for (int i = 0; i < 4; ++i) {
    size_t at = 512 + 16 * i;
    EXPECT_EQ(0, b[at]);
    EXPECT_STREQ(expected[i][0], (const char*)&b[names + GetLE32(b, at + 4)]);
    EXPECT_STREQ(expected[i][1], (const char*)&b[exts + b[at + 1]]);
    dirIndex[i] = (uint16_t)(b[at + 2] | (b[at + 3] << 8));
    uint32_t off = GetLE32(b, at + 8), size = GetLE32(b, at + 12);
    EXPECT_GE(off, dirSize);
    EXPECT_EQ(std::string(expected[i][2]), std::string((const char*)&b[off], size));
  }
  EXPECT_EQ(dirIndex[0], dirIndex[1]);
  EXPECT_NE(dirIndex[1], dirIndex[2]);
  EXPECT_EQ(dirIndex[2], dirIndex[3]);
}

TEST_F(PackageTest, WriterRefusesWhatCannotBeLookedUp) {
  EPackageWriter w;
  EXPECT_FALSE(w.AddFile("top.txt", "x", 1));
  EXPECT_TRUE(w.AddFile("Dir/File.TXT", "x", 1));
  EXPECT_FALSE(w.AddFile("dir\\file.txt", "y", 1)) << "the same entry twice";
  EXPECT_NE(std::string::npos, std::string(w.GetError()).find("twice"));
}

TEST_F(PackageTest, WriterPacksAFolderTree) {
  filetest::WriteText(m_dir / "src/README", "skipped");
  filetest::WriteText(m_dir / "src/Scripts/Boot.lua", "boot");
  filetest::WriteText(m_dir / "src/Levels/A/b.plb", "deep");
  filetest::WriteText(m_dir / "src/Levels/empty.bin", "");
  EPackageWriter w;
  ASSERT_TRUE(w.AddFolder((m_dir / "src/").c_str())) << w.GetError();
  EXPECT_EQ(3, w.GetNumFiles());
  ASSERT_EQ(1, w.GetNumSkipped());
  EXPECT_STREQ("README", w.GetSkipped(0));
  std::string path = m_dir / "src.pkg";
  ASSERT_TRUE(w.Write(path.c_str())) << w.GetError();
  EPackageFile::Directory* d = Mount(path);
  ASSERT_NE(nullptr, d);
  EXPECT_EQ("boot", ReadEntry(d, "scripts/boot.lua"));
  EXPECT_EQ("deep", ReadEntry(d, "Levels/A/B.plb"));
  EXPECT_EQ("", ReadEntry(d, "levels/empty.bin"));
}

TEST_F(PackageTest, EmptyPackageMountsAndFindsNothing) {
  EPackageFile::Directory* d = Mount(Build("empty.pkg", {}));
  ASSERT_NE(nullptr, d);
  EXPECT_EQ(nullptr, EPackageFile::FindFileEntry(d, "a/b.c"));
  EXPECT_EQ(nullptr, EPackageFile::FindFirstFileInSubdir(d, "a/"));
}

}  // namespace
