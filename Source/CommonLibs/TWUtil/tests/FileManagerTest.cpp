#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EPackageWriter.h"
#include "TWUtil/TWUnixCompat.h"

using filetest::TempDir;

namespace {

std::string Repair(const char* name) {
  std::vector<char> buf(strlen(name) + 1);
  convertUnixFilename(buf.data(), name);
  return buf.data();
}

std::string Contents(EFile* f) {
  if (!f) return "<null>";
  std::string s(f->GetFilesize(), '\0');
  int got = f->Read(&s[0], (int)s.size());
  s.resize(got > 0 ? got : 0);
  f->Close();
  return s;
}

class FileManagerTest : public ::testing::Test {
protected:
  FileManagerTest() : m_env("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}

  // The program's set-up: WorkResource and TestResource, the write path and
  // the package in front.
  void SetUpLikeTheGame() {
    filetest::WriteText(m_dir / "WorkResource/scripts/boot.lua", "disk boot");
    filetest::WriteText(m_dir / "WorkResource/scripts/only_disk.lua", "disk only");
    filetest::WriteText(m_dir / "TestResource/scripts/test.lua", "test resource");
    EPackageWriter w;
    w.AddFile("scripts/boot.lua", "package boot", 12);
    w.AddFile("scripts/only_package.lua", "package only", 12);
    w.AddFile("scripts/notes.txt", "txt", 3);
    ASSERT_TRUE(w.Write("QuillomarData2.pkg")) << w.GetError();
    m_fm.AddReadPath("WorkResource", false);
    m_fm.AddReadPath("TestResource", false);
    m_fm.SetWritePath("WorkResource");
    m_fm.AddFilePackage("QuillomarData2.pkg");
    ASSERT_EQ(3, m_fm.GetNumReadPaths());
  }

  TempDir m_dir;
  filetest::ScopedEnv m_env;
  filetest::ScopedChdir m_cwd;
  EFileManager m_fm;
};

TEST_F(FileManagerTest, CaseRepairFindsTheFileAndReportsOnce) {
  filetest::WriteText(m_dir / "Levels/Foo.plb", "x");
  testing::internal::CaptureStderr();
  EXPECT_EQ("Levels/Foo.plb", Repair("levels\\foo.PLB"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ("QUILLOMAR UNIX FILENAME: corrected 'levels/foo.PLB' to 'Levels/Foo.plb'\n", err);

  // Exact names and names that cannot be repaired print nothing; a missing
  // last part keeps the folders repaired so far.
  testing::internal::CaptureStderr();
  EXPECT_EQ("Levels/Foo.plb", Repair("Levels/Foo.plb"));
  EXPECT_EQ("Levels/new.plb", Repair("LEVELS\\new.plb"));
  EXPECT_EQ("nothere/Foo.plb", Repair("nothere/Foo.plb"));
  EXPECT_EQ("", Repair(""));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());

  // Absolute paths repair below the root.
  testing::internal::CaptureStderr();
  EXPECT_EQ(m_dir / "Levels/Foo.plb", Repair((m_dir / "LEVELS/FOO.PLB").c_str()));
  testing::internal::GetCapturedStderr();
}

TEST_F(FileManagerTest, PackageIsSearchedBeforeTheFolders) {
  SetUpLikeTheGame();
  EPackageFile::Directory* package = nullptr;
  EPackageFile::FileEntry* entry = nullptr;
  EXPECT_STREQ("Scripts/Boot.LUA", m_fm.GetFullPath("Scripts\\Boot.LUA", kFILELOC_ReadPaths, &package, &entry));
  EXPECT_NE(nullptr, package);
  EXPECT_NE(nullptr, entry);
  EXPECT_EQ("package boot", Contents(m_fm.Open("Scripts\\Boot.LUA", FILE_READ, kFILELOC_Default)));
  EXPECT_STREQ("WorkResource/scripts/boot.lua", m_fm.GetFullPath("scripts/boot.lua", kFILELOC_ReadDirs));
  EXPECT_EQ("disk boot", Contents(m_fm.Open("scripts/boot.lua", FILE_READ, kFILELOC_ReadDirs)));
  // Without out pointers a package hit names a file inside the package.
  EXPECT_STREQ("QuillomarData2.pkg/scripts/only_package.lua",
               m_fm.GetFullPath("scripts/only_package.lua", kFILELOC_ReadPaths));
  EXPECT_TRUE(m_fm.Exists("scripts/only_package.lua", kFILELOC_ReadPaths));
  EXPECT_FALSE(m_fm.Exists("scripts/only_package.lua", kFILELOC_ReadDirs));
  EXPECT_FALSE(m_fm.Exists("scripts/only_disk.lua", kFILELOC_Packages));
  EXPECT_EQ("disk only", Contents(m_fm.Open("scripts/only_disk.lua", FILE_READ, kFILELOC_Default)));
  EXPECT_EQ("test resource", Contents(m_fm.Open("WorkResource\\scripts\\test.lua", FILE_READ, kFILELOC_Default)));
  EXPECT_EQ(nullptr, m_fm.Open("scripts/none.lua", FILE_READ, kFILELOC_Default));
  EXPECT_EQ(nullptr, m_fm.Open(nullptr, FILE_READ, kFILELOC_Default));
}

// Reads from folders only: the first folder wins over the second, names in
// another case are repaired, and a file only in the second folder is found.
TEST_F(FileManagerTest, ReadsFromFoldersTakeTheFirstFolderThatHoldsTheFile) {
  filetest::WriteText(m_dir / "WorkResource/Shaders/a.vsh", "first a");
  filetest::WriteText(m_dir / "TestResource/Shaders/a.vsh", "second a");
  filetest::WriteText(m_dir / "TestResource/Shaders/b.vsh", "second b");
  m_fm.AddReadPath("WorkResource", false);
  m_fm.AddReadPath("TestResource", false);
  struct Case {
    const char* name;
    EFileLoc location;
    const char* expected;
  } cases[] = {
      {"Workresource\\Shaders\\a.vsh", kFILELOC_Default, "first a"},
      {"Shaders/a.vsh", kFILELOC_ReadDirs, "first a"},
      {"shaders\\A.VSH", kFILELOC_ReadPaths, "first a"},
      {"Shaders\\b.vsh", kFILELOC_Default, "second b"},
      {"Shaders\\c.vsh", kFILELOC_Default, "<null>"},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    EFile* f = m_fm.Open(c.name, FILE_READ, c.location);
    if (f && !strcmp(c.name, "Shaders/a.vsh")) {
      EXPECT_STREQ("WorkResource/Shaders/a.vsh", f->GetFilename());
    }
    EXPECT_EQ(c.expected, Contents(f)) << c.name;
  }
  testing::internal::GetCapturedStderr();
}

TEST_F(FileManagerTest, WritesGoToTheWriteDirectory) {
  SetUpLikeTheGame();
  EFile* f = m_fm.Open("scripts/boot.lua", FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_Default);
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ("WorkResource/scripts/boot.lua", f->GetFilename());
  f->Write("new", 3);
  f->Close();
  EXPECT_EQ("new", Contents(m_fm.Open("scripts/boot.lua", FILE_READ, kFILELOC_ReadDirs)));

  EXPECT_TRUE(m_fm.Delete("scripts/only_disk.lua", kFILELOC_WritePath));
  EXPECT_FALSE(m_fm.Exists("scripts/only_disk.lua", kFILELOC_WritePath));
  EXPECT_FALSE(m_fm.Delete("scripts/only_package.lua", kFILELOC_ReadPaths));
  EXPECT_FALSE(m_fm.Delete("scripts/none.lua", kFILELOC_ReadPaths));
}

TEST_F(FileManagerTest, NamesAreNormalised) {
  struct Case {
    const char* name;
    EFileLoc location;
    const char* expected;
  } cases[] = {
      {"workresource\\Levels\\a.plb", kFILELOC_AsGiven, "Levels/a.plb"},
      {"WorkResource", kFILELOC_AsGiven, "WorkResource"},
      {"dir/sub/", kFILELOC_AsGiven, "dir/sub"},
      {"C:\\games\\x.txt", kFILELOC_WritePath, "C:/games/x.txt"},
      {"C:\\games\\x.txt", kFILELOC_ReadPaths, "C:/games/x.txt"},
      {"a.txt", kFILELOC_WritePath, "XboxDrive\\Z/a.txt"},
      {"a.txt", kFILELOC_RootD, "XboxDrive\\D/a.txt"},
      {"a.txt", kFILELOC_RootT, "XboxDrive\\T/a.txt"},
      {"a.txt", kFILELOC_RootZ, "XboxDrive\\Z/a.txt"},
  };
  for (const Case& c : cases) {
    const char* got = m_fm.GetFullPath(c.name, c.location);
    EXPECT_STREQ(c.expected, got) << c.name << " at " << c.location;
  }
  testing::internal::CaptureStderr();
  EXPECT_STREQ("XboxDrive\\Z/a.txt", m_fm.GetFullPath("a.txt", kFILELOC_Default));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Bad parameter to GetFullPath(a.txt)"));
  EXPECT_EXIT(m_fm.GetFullPath("a.txt", (EFileLoc)10), testing::ExitedWithCode(255), "false");
}

TEST_F(FileManagerTest, UserDataDirectoryComesFromTheEnvironment) {
  EXPECT_EQ(m_dir / "xdg/Quillomar", m_fm.GetUserDataDir());
  EXPECT_EQ(0700u, filetest::Mode(m_dir / "xdg/Quillomar"));
  std::string inside = m_dir / "xdg/Quillomar/Profiles/p.ini";
  EXPECT_STREQ(inside.c_str(), m_fm.GetFullPath("Profiles/p.ini", kFILELOC_UserData));
  EXPECT_STREQ(inside.c_str(), m_fm.GetFullPath(inside.c_str(), kFILELOC_UserData));
  {
    filetest::ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    filetest::ScopedEnv home("HOME", (m_dir / "home").c_str());
    EFileManager fm;
    EXPECT_EQ(m_dir / "home/.local/share/Quillomar", fm.GetUserDataDir());
    EXPECT_EQ(0700u, filetest::Mode(m_dir / "home/.local/share/Quillomar"));
  }
  {
    filetest::ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    filetest::ScopedEnv noHome("HOME", nullptr);
    EFileManager fm;
    EXPECT_STREQ("./", fm.GetUserDataDir());
  }
}

TEST_F(FileManagerTest, NamesTooLongAreRefusedNotCut) {
  std::string longName(5000, 'n');
  testing::internal::CaptureStderr();
  for (int loc = kFILELOC_WritePath; loc <= kFILELOC_AsGiven; ++loc)
    EXPECT_EQ(nullptr, m_fm.GetFullPath(longName.c_str(), (EFileLoc)loc)) << loc;
  std::string almost(4090, 'a');  // fits alone, not behind the write path
  EXPECT_NE(nullptr, m_fm.GetFullPath(almost.c_str(), kFILELOC_AsGiven));
  EXPECT_EQ(nullptr, m_fm.Open(almost.c_str(), FILE_WRITE | FILE_CREATE, kFILELOC_WritePath));
  EXPECT_EQ(nullptr, m_fm.GetUniqueFilename(almost.c_str(), "bmp", kFILELOC_WritePath));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Filename overflow"));
}

TEST_F(FileManagerTest, UniqueFilenamesCountFromOne) {
  m_fm.SetWritePath("out");
  EXPECT_STREQ("Dask_SS_1.bmp", m_fm.GetUniqueFilename("Dask_SS", "bmp", kFILELOC_WritePath));
  filetest::WriteText(m_dir / "out/Dask_SS_1.bmp", "");
  filetest::WriteText(m_dir / "out/Dask_SS_2.bmp", "");
  EXPECT_STREQ("Dask_SS_3.bmp", m_fm.GetUniqueFilename("Dask_SS", "bmp", kFILELOC_WritePath));
}

std::vector<std::string> Sorted(const EArray<EString>& a) {
  std::vector<std::string> v;
  for (int i = 0; i < a.Num(); ++i) v.push_back(*a[i]);
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(FileManagerTest, DirectoryListingsCoverPackagesAndFolders) {
  SetUpLikeTheGame();
  EArray<EString> all, lua, dirsOnly;
  m_fm.GetDirectory(all, "Scripts", nullptr, kFILELOC_ReadPaths);
  m_fm.GetDirectory(lua, "scripts", "*.LUA", kFILELOC_ReadPaths);
  m_fm.GetDirectory(dirsOnly, "scripts", "*", kFILELOC_ReadDirs);
  EXPECT_EQ((std::vector<std::string>{"boot.lua", "boot.lua", "notes.txt", "only_disk.lua", "only_package.lua", "test.lua"}),
            Sorted(all));
  EXPECT_EQ((std::vector<std::string>{"boot.lua", "boot.lua", "only_disk.lua", "only_package.lua", "test.lua"}),
            Sorted(lua));
  EXPECT_EQ((std::vector<std::string>{"boot.lua", "only_disk.lua", "test.lua"}), Sorted(dirsOnly));

  EArray<EString> written, missing;
  m_fm.GetDirectory(written, "scripts", "*", kFILELOC_WritePath);
  m_fm.GetDirectory(missing, "nothere", "*", kFILELOC_ReadPaths);
  EXPECT_EQ((std::vector<std::string>{"boot.lua", "only_disk.lua"}), Sorted(written));
  EXPECT_EQ(0, missing.Num());
}

TEST_F(FileManagerTest, MissingPackageIsTracedAndSkipped) {
  testing::internal::CaptureStderr();
  m_fm.AddFilePackage("nothere.pkg");
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Couldn't open package file nothere.pkg"));
  EXPECT_EQ(0, m_fm.GetNumReadPaths());
  filetest::WriteText(m_dir / "plain.txt", "p");
  // With no read paths a default open takes the name as given.
  EXPECT_EQ("p", Contents(m_fm.Open("plain.txt", FILE_READ, kFILELOC_Default)));
}

}  // namespace
