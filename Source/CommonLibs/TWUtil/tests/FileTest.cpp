#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <utime.h>
#include <vector>

#include "FileTestSupport.h"
#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EGameFile.h"
#include "TWUtil/ELogFile.h"
#include "TWUtil/String.h"

using filetest::TempDir;

namespace {

const int64_t kUNIX_EPOCH_AS_FILETIME = 116444736000000000LL;

class DiskFileTest : public ::testing::Test {
protected:
  TempDir m_dir;
};

TEST_F(DiskFileTest, ElementReadCountsWholeElementsAndErrorsAsNone) {
  std::string path = m_dir / "ten.bin";
  filetest::WriteText(path, "0123456789");
  EFile* f = EWin32File::Open(path.c_str(), FILE_READ);
  ASSERT_NE(nullptr, f);
  char buf[12];
  EXPECT_EQ(2, f->Read(buf, 4u, 3u));
  EXPECT_EQ(0, f->Read(buf, 4u, 3u));
  EXPECT_EQ(0, f->Read(buf, 0u, 3u));
  f->Close();

  // A read on a write-only descriptor fails (-1): no elements, not billions.
  EFile* w = EWin32File::Open(path.c_str(), FILE_WRITE);
  ASSERT_NE(nullptr, w);
  EXPECT_EQ(-1, w->Read(buf, 4));
  EXPECT_EQ(0, w->Read(buf, 4u, 3u));
  EXPECT_EQ(2, w->Write("abcdefgh", 4u, 2u));
  w->Close();
  EXPECT_EQ((std::vector<unsigned char>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', '8', '9'}), filetest::ReadBytes(path));
}

TEST_F(DiskFileTest, SizeLeavesThePositionAndReadAndAllocTakesAll) {
  std::string path = m_dir / "five.bin";
  filetest::WriteText(path, "hello");
  EFile* f = EWin32File::Open(path.c_str(), FILE_READ);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(2, f->Seek(2, SEEKTYPE_Begin));
  EXPECT_EQ(5, f->GetFilesize());
  EXPECT_EQ(2, f->Seek(0, SEEKTYPE_Current));
  f->Seek(0, SEEKTYPE_Begin);
  EArray<unsigned char> all;
  EXPECT_EQ(5, f->ReadAndAlloc(all));
  EXPECT_EQ(5, all.Num());
  EXPECT_EQ(5, all.Max());
  EXPECT_EQ('o', all[4]);
  f->Seek(0, SEEKTYPE_Begin);
  void* block = nullptr;
  EXPECT_EQ(5, f->ReadAndAlloc(&block));
  EXPECT_EQ(0, memcmp(block, "hello", 5));
  free(block);
  f->Close();

  std::string empty = m_dir / "empty.bin";
  filetest::WriteText(empty, "");
  EFile* e = EWin32File::Open(empty.c_str(), FILE_READ);
  ASSERT_NE(nullptr, e);
  void* untouched = &block;
  EXPECT_EQ(0, e->ReadAndAlloc(&untouched));
  EXPECT_EQ(&block, untouched);
  e->Close();
}

TEST_F(DiskFileTest, CreateMakesMissingDirectoriesWithPrivateModes) {
  std::string path = m_dir / "one/two/file.txt";
  EFile* f = EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE);
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ(path.c_str(), f->GetFilename());
  EXPECT_EQ(3, f->Write("abc", 3));
  f->Close();
  EXPECT_EQ(0700u, filetest::Mode(m_dir / "one"));
  EXPECT_EQ(0700u, filetest::Mode(m_dir / "one/two"));
  EXPECT_EQ(0600u, filetest::Mode(path));

  // Write alone appends nothing by itself and creates nothing.
  EXPECT_EQ(nullptr, EWin32File::Open((m_dir / "one/missing.txt").c_str(), FILE_WRITE));
  EXPECT_FALSE(filetest::PathExists(m_dir / "one/missing.txt"));
}

TEST_F(DiskFileTest, OpenFailuresAreQuietExceptForRealErrors) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, EWin32File::Open((m_dir / "missing.txt").c_str(), FILE_READ));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());

  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, EWin32File::Open((m_dir / "x").c_str(), FILE_CREATE));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Must pass read or write"));

  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, EWin32File::Open(m_dir.path().c_str(), FILE_WRITE));  // a directory: EISDIR
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Failed to open"));
}

TEST_F(DiskFileTest, FileTimesCountHundredNanosecondsSince1601) {
  std::string path = m_dir / "t.bin";
  filetest::WriteText(path, "t");
  struct utimbuf epoch = {0, 0};
  ASSERT_EQ(0, utime(path.c_str(), &epoch));
  EFile* f = EWin32File::Open(path.c_str(), FILE_READ | FILE_WRITE);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(kUNIX_EPOCH_AS_FILETIME, f->GetFiletime());

  const int64_t later = kUNIX_EPOCH_AS_FILETIME + 1234567890LL * 10000000LL;
  EXPECT_TRUE(f->SetWriteFiletime(later));
  EXPECT_EQ(later, f->GetFiletime());
  f->Close();
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(1234567890, st.st_mtime);
}

TEST_F(DiskFileTest, ExistsDeleteAndDirectoryListing) {
  filetest::WriteText(m_dir / "list/a.txt", "a");
  filetest::WriteText(m_dir / "list/B.TXT", "b");
  filetest::WriteText(m_dir / "list/c.lua", "c");
  filetest::WriteText(m_dir / "list/noext", "n");
  filetest::MakeDirs(m_dir / "list/dir.txt");

  EArray<EString> all, txt;
  EWin32File::GetDirectory((m_dir / "list").c_str(), "*", all);
  EWin32File::GetDirectory((m_dir / "list").c_str(), "*.txt", txt);
  std::vector<std::string> allNames, txtNames;
  for (int i = 0; i < all.Num(); ++i) allNames.push_back(*all[i]);
  for (int i = 0; i < txt.Num(); ++i) txtNames.push_back(*txt[i]);
  std::sort(allNames.begin(), allNames.end());
  std::sort(txtNames.begin(), txtNames.end());
  EXPECT_EQ((std::vector<std::string>{"B.TXT", "a.txt", "c.lua", "noext"}), allNames);
  EXPECT_EQ((std::vector<std::string>{"B.TXT", "a.txt"}), txtNames);

  EXPECT_TRUE(EWin32File::Exists((m_dir / "list/c.lua").c_str()));
  EXPECT_TRUE(EWin32File::Delete((m_dir / "list/c.lua").c_str()));
  EXPECT_FALSE(EWin32File::Exists((m_dir / "list/c.lua").c_str()));
  EXPECT_FALSE(EWin32File::Delete((m_dir / "list/c.lua").c_str()));
  EArray<EString> none;
  EWin32File::GetDirectory((m_dir / "nothere").c_str(), "*", none);
  EXPECT_EQ(0, none.Num());
}

TEST(AltMemFileTest, ReadsAndSeeksInsideItsBuffer) {
  char data[] = "abcdef";
  EFile* f = EAltMemFile::Open(data, 6, kMEMFILE_Borrow);
  char buf[8] = {};
  EXPECT_EQ(4, f->Read(buf, 4));
  EXPECT_EQ(2, f->Read(buf, 4));
  EXPECT_EQ(0, f->Read(buf, 4));
  EXPECT_EQ(6, f->Seek(6, SEEKTYPE_Begin));
  EXPECT_EQ(-1, f->Seek(7, SEEKTYPE_Begin));
  EXPECT_EQ(-1, f->Seek(-7, SEEKTYPE_Current));
  EXPECT_EQ(6, f->Seek(0, SEEKTYPE_Current));
  EXPECT_EQ(6, f->Seek(0, SEEKTYPE_End));
  EXPECT_EQ(4, f->Seek(-2, SEEKTYPE_End));
  EXPECT_EQ(-1, f->Seek(0, (ESeekType)3));
  EXPECT_EQ(0, f->Write("x", 1));
  EXPECT_EQ(6, f->GetFilesize());
  EXPECT_EQ(0, f->GetFiletime());
  EXPECT_FALSE(f->SetWriteFiletime(1));
  f->Close();

  // An owned buffer is freed with the file (checked by the leak checker).
  void* owned = malloc(16);
  EAltMemFile::Open(owned, 16, kMEMFILE_Own)->Close();
}

struct LineCase {
  const char* data;
  int capacity;
  std::vector<std::pair<std::string, int>> reads;  // text, bytes consumed
};

TEST(MemFileTest, ReadsTextLines) {
  const LineCase cases[] = {
      {"ab\r\ncd", 10, {{"ab", 4}, {"cd", 2}, {"", 0}}},
      {"abcdef\n", 3, {{"ab", 2}, {"cd", 2}, {"ef", 3}, {"", 0}}},
      {"a\n\nb", 10, {{"a", 2}, {"", 1}, {"b", 1}}},
      {"x\r\r\ry", 2, {{"x", 4}, {"y", 1}}},
  };
  for (const LineCase& c : cases) {
    EMemFile f;
    ASSERT_TRUE(f.Open(const_cast<char*>(c.data), (unsigned)strlen(c.data), false, false));
    for (const auto& expect : c.reads) {
      char buf[64];
      EXPECT_EQ(expect.second, f.ReadString(buf, c.capacity)) << c.data;
      EXPECT_EQ(expect.first, buf) << c.data;
    }
  }
  // A NUL in the data is never consumed.
  char withNul[] = {'a', '\0', 'b'};
  EMemFile f;
  f.Open(withNul, 3, false, false);
  char buf[8];
  EXPECT_EQ(1, f.ReadString(buf, 8));
  EXPECT_EQ(0, f.ReadString(buf, 8));
  EXPECT_EQ(0, f.ReadString(buf, 8));
}

TEST(MemFileTest, BinaryReads) {
  unsigned char data[] = {0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB, 0x07, 3, 0, 'h', 'i', 0};
  EMemFile f;
  ASSERT_TRUE(f.Open(data, sizeof(data), true, false));
  EXPECT_FALSE(f.Open(data, sizeof(data), true, false));
  char line[8];
  EXPECT_EQ(0, f.ReadString(line, 8));
  uint32_t u = 0;
  uint16_t w = 0;
  uint8_t b = 0;
  EXPECT_EQ(4, f.ReadUInt32(&u));
  EXPECT_EQ(2, f.ReadWord(&w));
  EXPECT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(0x12345678u, u);
  EXPECT_EQ(0xABCD, w);
  EXPECT_EQ(7, b);
  char* text = nullptr;
  EXPECT_EQ(3, f.ReadAndMallocShortString(&text));
  EXPECT_STREQ("hi", text);
  free(text);
  EXPECT_EQ(0, f.ReadUInt32(&u));
  f.Close();
  EXPECT_EQ(0, f.Read(&u, 4, 1));
  // Reopening works once closed; an owned buffer is freed by Close.
  EXPECT_TRUE(f.Open(malloc(4), 4, true, true));
  f.Close();

  // A short string length past the end reads what is there.
  unsigned char cut[] = {9, 0, 'a'};
  EMemFile g;
  g.Open(cut, 3, true, false);
  EXPECT_EQ(1, g.ReadAndMallocShortString(&text));
  EXPECT_EQ('a', text[0]);
  free(text);
}

// Game files and the log go through gFile; each test gets its own manager.
class ManagedFileTest : public ::testing::Test {
protected:
  ManagedFileTest() : m_env("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}
  void SetUp() override {
    m_manager = new EFileManager;
    m_manager->AddReadPath("WorkResource", false);
    m_manager->SetWritePath("WorkResource");
    filetest::MakeDirs(m_dir / "WorkResource");
    gFile = m_manager;
  }
  void TearDown() override {
    gFile = &gFile_twutil;
    delete m_manager;
  }
  TempDir m_dir;
  filetest::ScopedEnv m_env;
  filetest::ScopedChdir m_cwd;
  EFileManager* m_manager = nullptr;
};

TEST_F(ManagedFileTest, GameFileReadsThroughTheReadPaths) {
  filetest::WriteBytes(m_dir / "WorkResource/data/v.bin", {0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 9});
  EGameFile f;
  EXPECT_FALSE(f.Open("data/missing.bin", false));
  ASSERT_TRUE(f.Open("Data\\V.bin", false));
  EXPECT_EQ(9, f.GetFilesize());
  uint32_t u = 0;
  int32_t l = 0;
  EXPECT_EQ(1, f.ReadUInt32(&u));
  EXPECT_EQ(1, f.ReadLong(&l));
  EXPECT_EQ(0x01020304u, u);
  EXPECT_EQ(-1, l);
  EXPECT_EQ(0, f.ReadDword(&u));
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EXIT(f.GetFilesize(), testing::ExitedWithCode(255), "m_bOpen");
}

TEST_F(ManagedFileTest, LogIsCreatedAndAppendedTo) {
  ELogFile log;
  EXPECT_FALSE(log.WriteToLog("early"));
  ASSERT_TRUE(log.OpenLog("ignored.txt"));
  EXPECT_STREQ("Quillomar.log", log.GetLogName());
  EXPECT_TRUE(filetest::PathExists(m_dir / "WorkResource/Quillomar.log"));
  EXPECT_TRUE(log.WriteToLog("one\n"));
  ASSERT_TRUE(log.OpenLog("again"));  // reopening keeps the file
  EXPECT_TRUE(log.WriteToLog("two"));
  log.CloseLog();
  EXPECT_FALSE(log.IsLogOpen());
  EXPECT_FALSE(log.WriteToLog("late"));
  std::vector<unsigned char> text = filetest::ReadBytes(m_dir / "WorkResource/Quillomar.log");
  EXPECT_EQ("one\ntwo", std::string(text.begin(), text.end()));
}

}  // namespace
