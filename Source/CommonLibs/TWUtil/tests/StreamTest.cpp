#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"
#include "TWUtil/String.h"

using filetest::TempDir;

namespace {

typedef std::vector<unsigned char> Bytes;

// Writes through an EFileWriter on a disk file and returns the bytes.
class StreamTest : public ::testing::Test {
protected:
  template <class F>
  Bytes Written(F write) {
    std::string path = m_dir / "out.bin";
    EFileWriter w(EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE), kAUTOCLOSE_Yes);
    EXPECT_NE(nullptr, w.GetFile());
    write(w);
    EXPECT_FALSE(w.Err());
    w.Close();
    return filetest::ReadBytes(path);
  }

  // A reader over the given bytes in a disk file.
  EFileReader* ReaderOver(const Bytes& bytes) {
    std::string path = m_dir / "in.bin";
    filetest::WriteBytes(path, bytes);
    return new EFileReader(EWin32File::Open(path.c_str(), FILE_READ), kAUTOCLOSE_Yes);
  }

  TempDir m_dir;
};

TEST_F(StreamTest, ScalarsAreLittleEndianAndRoundTrip) {
  unsigned char c = 0xAB;
  unsigned short us = 0x1234;
  int i = -2;
  unsigned int u = 0xDEADBEEF;
  long l = -5;
  float f = 1.0f;
  Bytes b = Written([&](EStream& s) { s << c << us << i << u << l << f; });
  EXPECT_EQ((Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0xFB, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                   0x80, 0x3F}),
            b);

  EFileReader* r = ReaderOver(b);
  unsigned char c2 = 0;
  unsigned short us2 = 0;
  int i2 = 0;
  unsigned int u2 = 0;
  long l2 = 0;
  float f2 = 0;
  *r << c2 << us2 << i2 << u2 << l2 << f2;
  EXPECT_FALSE(r->Err());
  EXPECT_EQ(c, c2);
  EXPECT_EQ(us, us2);
  EXPECT_EQ(i, i2);
  EXPECT_EQ(u, u2);
  EXPECT_EQ(l, l2);
  EXPECT_EQ(f, f2);
  delete r;
}

TEST_F(StreamTest, ConstantsAreWrittenByWritersAndSkippedByReaders) {
  const int kMagic = 0x01020304;
  const unsigned short kShort = 7;
  Bytes b = Written([&](EStream& s) { s << kMagic << kShort; });
  EXPECT_EQ((Bytes{4, 3, 2, 1, 7, 0}), b);
  EMemReader r(b.data(), (unsigned)b.size());
  const int before = 99;
  r << before;
  EXPECT_EQ(99, before);
  EXPECT_EQ(4u, r.GetPos());
}

TEST_F(StreamTest, StringsCarryALengthThatCountsTheNul) {
  EString abc("abc"), empty;
  char* plain = const_cast<char*>("hi");
  char* none = nullptr;
  char* blank = const_cast<char*>("");
  Bytes b = Written([&](EStream& s) { s << abc << empty << plain << none << blank; });
  EXPECT_EQ((Bytes{4, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 0, 3, 0, 0, 0, 'h', 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0}), b);

  EFileReader* r = ReaderOver(b);
  EString abc2("old"), empty2("old");
  char *plain2 = nullptr, *none2 = nullptr, *blank2 = nullptr;
  *r << abc2 << empty2 << plain2 << none2 << blank2;
  EXPECT_FALSE(r->Err());
  EXPECT_STREQ("abc", *abc2);
  EXPECT_EQ(3, abc2.Length());
  EXPECT_EQ(nullptr, *empty2);
  EXPECT_STREQ("hi", plain2);
  EXPECT_EQ(nullptr, none2);
  EXPECT_EQ(nullptr, blank2);
  free(plain2);
  delete r;
}

TEST_F(StreamTest, ALengthOfOneIsSkippedAndReadsAsNull) {
  Bytes b = {1, 0, 0, 0, 'x', 7, 0, 0, 0};
  EMemReader r(b.data(), (unsigned)b.size());
  char* text = reinterpret_cast<char*>(&b);
  r << text;
  EXPECT_EQ(nullptr, text);
  int next = 0;
  r << next;
  EXPECT_EQ(7, next);
  EXPECT_FALSE(r.Err());
}

TEST_F(StreamTest, ByteArraysRoundTrip) {
  EArray<unsigned char> bytes;
  for (int i = 0; i < 5; ++i) bytes.AddData((unsigned char)(i * 3));
  EArray<unsigned char> none;
  Bytes b = Written([&](EStream& s) { s << bytes << none; });
  EXPECT_EQ((Bytes{5, 0, 0, 0, 0, 3, 6, 9, 12, 0, 0, 0, 0}), b);
  EMemReader r(b.data(), (unsigned)b.size());
  EArray<unsigned char> back, back2;
  back2.AddData(1);
  r << back << back2;
  ASSERT_EQ(5, back.Num());
  EXPECT_EQ(5, back.Max());
  EXPECT_EQ(12, back[4]);
  EXPECT_EQ(0, back2.Num());
}

TEST_F(StreamTest, FixedBufferStringsFollowTheirPrefixWidth) {
  char name[16] = "abc";
  Bytes one = Written([&](EStream& s) { s.StreamString_1b(name, sizeof(name)); });
  EXPECT_EQ((Bytes{4, 'a', 'b', 'c', 0}), one);
  Bytes two = Written([&](EStream& s) { s.StreamString_2b(name, sizeof(name)); });
  EXPECT_EQ((Bytes{4, 0, 'a', 'b', 'c', 0}), two);
  Bytes four = Written([&](EStream& s) { s.StreamString_4b(name, sizeof(name)); });
  EXPECT_EQ((Bytes{4, 0, 0, 0, 'a', 'b', 'c', 0}), four);

  char back[16] = "zzzzzzzzzzzzzzz";
  EMemReader r(two.data(), (unsigned)two.size());
  r.StreamString_2b(back, sizeof(back));
  EXPECT_STREQ("abc", back);
  EXPECT_EQ(6u, r.GetPos());
}

TEST_F(StreamTest, FixedBufferReaderSkipsWhatDoesNotFit) {
  // Prefix 16 into a 16-byte buffer: skipped, empty; prefix 15: read.
  Bytes b;
  b.push_back(16);
  for (int i = 0; i < 15; ++i) b.push_back('x');
  b.push_back(0);
  b.push_back(15);
  for (int i = 0; i < 14; ++i) b.push_back('y');
  b.push_back(0);
  EMemReader r(b.data(), (unsigned)b.size());
  char buf[16] = "old";
  r.StreamString_1b(buf, sizeof(buf));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(17u, r.GetPos());
  r.StreamString_1b(buf, sizeof(buf));
  EXPECT_EQ(std::string(14, 'y'), buf);
  EXPECT_FALSE(r.Err());
}

TEST_F(StreamTest, FixedBufferWriterNeverWritesALengthWithoutItsBytes) {
  // A string that exactly fills its buffer is written whole.
  char full[16];
  memset(full, 'f', 15);
  full[15] = '\0';
  Bytes b = Written([&](EStream& s) { s.StreamString_1b(full, sizeof(full)); });
  ASSERT_EQ(17u, b.size());
  EXPECT_EQ(16, b[0]);
  EXPECT_EQ(0, b[16]);

  // A buffer without a terminator is refused: an empty string and the error.
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  std::string path = m_dir / "bad.bin";
  {
    EFileWriter w(EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE), kAUTOCLOSE_Yes);
    w.StreamString_2b(unterminated, sizeof(unterminated));
    EXPECT_TRUE(w.Err());
  }
  EXPECT_EQ((Bytes{0, 0}), filetest::ReadBytes(path));
}

TEST_F(StreamTest, FixedBufferWriterLimitsLength) {
  char buf[300];
  memset(buf, 'a', 254);
  buf[254] = '\0';
  Bytes b = Written([&](EStream& s) { s.StreamString_1b(buf, sizeof(buf)); });
  EXPECT_EQ(255, b[0]);
  EXPECT_EQ(256u, b.size());
  buf[254] = 'a';
  buf[255] = '\0';
  EXPECT_EXIT(Written([&](EStream& s) { s.StreamString_1b(buf, sizeof(buf)); }), testing::ExitedWithCode(255),
              "iLen < 0xff");
}

TEST_F(StreamTest, PooledStringsAreReadOnly) {
  Bytes b = {3, 0, 0, 0, 'o', 'k', 0, 1, 0, 0, 0, 0};
  EMemReader r(b.data(), (unsigned)b.size());
  char* s = r.StreamStringPooled_4b(kMEMTYPE_String);
  EXPECT_STREQ("ok", s);
  free(s);
  EXPECT_EQ(nullptr, r.StreamStringPooled_4b(kMEMTYPE_String));
  EXPECT_EQ(b.size(), r.GetPos());
  EXPECT_EXIT(Written([&](EStream& w) { w.StreamStringPooled_4b(kMEMTYPE_String); }), testing::ExitedWithCode(255),
              "IsReader");
}

// Every string form, given a length prefix far beyond the data: the reader
// flags the error, terminates, and never allocates or reads past the data.
TEST_F(StreamTest, LengthPrefixesAreBoundedByTheDataLeft) {
  const Bytes b = {0xff, 0xff, 0xff, 0x7f, 'a', 'b'};
  {
    EFileReader* r = ReaderOver(b);
    char* text = nullptr;
    *r << text;
    EXPECT_TRUE(r->Err());
    EXPECT_STREQ("ab", text);
    free(text);
    delete r;
  }
  {
    EFileReader* r = ReaderOver(b);
    EString s;
    *r << s;
    EXPECT_TRUE(r->Err());
    EXPECT_STREQ("ab", *s);
    delete r;
  }
  {
    EFileReader* r = ReaderOver(b);
    EArray<unsigned char> a;
    *r << a;
    EXPECT_TRUE(r->Err());
    EXPECT_EQ(2, a.Num());
    delete r;
  }
  {
    EFileReader* r = ReaderOver(b);
    char* s = r->StreamStringPooled_4b(kMEMTYPE_String);
    EXPECT_TRUE(r->Err());
    EXPECT_STREQ("ab", s);
    free(s);
    delete r;
  }
  {
    // Fits the buffer by its prefix, but the data is shorter.
    const Bytes shortData = {20, 'a', 'b'};
    EMemReader r(shortData.data(), (unsigned)shortData.size());
    char buf[64] = "old";
    r.StreamString_1b(buf, sizeof(buf));
    EXPECT_TRUE(r.Err());
    EXPECT_STREQ("", buf);
    EXPECT_EQ(3u, r.GetPos());
  }
}

TEST_F(StreamTest, StringsWithoutTheirNulAreTerminatedAndFlagged) {
  const Bytes b = {3, 0, 0, 0, 'a', 'b', 'c'};
  {
    EMemReader r(b.data(), (unsigned)b.size());
    char* text = nullptr;
    r << text;
    EXPECT_TRUE(r.Err());
    EXPECT_STREQ("abc", text);
    free(text);
  }
  {
    EMemReader r(b.data(), (unsigned)b.size());
    EString s;
    r << s;
    EXPECT_TRUE(r.Err());
    EXPECT_STREQ("abc", *s);
    EXPECT_EQ(3, s.Length());
  }
  {
    EMemReader r(b.data(), (unsigned)b.size());
    char buf[8] = "zzzzzzz";
    r.StreamString_4b(buf, sizeof(buf));
    EXPECT_TRUE(r.Err());
    EXPECT_STREQ("ab", buf);
  }
}

TEST_F(StreamTest, MemoryReaderStopsAtItsEnd) {
  const Bytes b = {1, 2, 3, 4, 5, 6};
  EMemReader r(b.data(), (unsigned)b.size());
  unsigned char out[4] = {9, 9, 9, 9};
  r.Stream(out, 4);
  EXPECT_FALSE(r.Err());
  r.Stream(out, 4);
  EXPECT_EQ((Bytes{5, 6, 3, 4}), Bytes(out, out + 4));
  EXPECT_EQ(6u, r.GetPos());
  EXPECT_TRUE(r.Err());
  EXPECT_EQ(b.data() + 6, r.GetPointer());

  EArray<unsigned char> array;
  array.AddData(0x34);
  array.AddData(0x12);
  EMemReader fromArray(array);
  unsigned short v = 0;
  fromArray << v;
  EXPECT_EQ(0x1234, v);
  EXPECT_EQ(2u, fromArray.GetSize());
}

TEST_F(StreamTest, FileReaderFlagsAValueCutByTheEnd) {
  EFileReader* r = ReaderOver({1, 2, 3, 4, 5, 6});
  unsigned int a = 0, b = 0;
  *r << a;
  EXPECT_FALSE(r->Err());
  *r << b;
  EXPECT_TRUE(r->Err());
  EXPECT_EQ(0x04030201u, a);
  delete r;

  EFileReader none(nullptr, kAUTOCLOSE_Yes);
  none << a;
  EXPECT_TRUE(none.Err());
  EXPECT_EQ(nullptr, none.GetName());
}

TEST_F(StreamTest, NullDataSkipsInBothDirections) {
  Bytes b = Written([&](EStream& s) {
    int one = 1, two = 2;
    s << one;
    s.Stream(nullptr, 3);
    s << two;
  });
  ASSERT_EQ(11u, b.size());
  EXPECT_EQ(2, b[7]);
  EMemReader r(b.data(), (unsigned)b.size());
  r.Stream(nullptr, 7);
  int two = 0;
  r << two;
  EXPECT_EQ(2, two);
}

TEST_F(StreamTest, AutoCloseAndNames) {
  std::string path = m_dir / "named.bin";
  filetest::WriteBytes(path, {1});
  EFileReader r(EWin32File::Open(path.c_str(), FILE_READ), kAUTOCLOSE_No);
  ASSERT_NE(nullptr, r.GetFile());
  EXPECT_STREQ(path.c_str(), r.GetName());
  r.SetAutoClose(true);  // the stream now releases the file (a leak otherwise)
  EXPECT_TRUE(r.IsReader());
  r.SetVersion(7);
  EXPECT_EQ(7u, r.GetVersion());
}

}  // namespace
