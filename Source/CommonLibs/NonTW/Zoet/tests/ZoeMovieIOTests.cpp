#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "ZoeMovieIO.h"
#include "ZoeTestSupport.h"

namespace {

const uint32_t kBlock = 128 * 1024;
const uint32_t kNoOffset = 0xFFFFFFFFu;

// A reader over a pattern file of its own, with its ring set up.
class ZoeMovieReader : public ::testing::Test {
 protected:
  zoetest::TempDir dir_;
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> buffer_;
  MovieIO io_;

  void Open(uint32_t fileSize, uint32_t wanted = 300000, uint32_t claimedSize = 0, uint32_t rate = 0) {
    bytes_ = zoetest::PatternBytes(fileSize);
    ASSERT_TRUE(zoetest::WriteFile(dir_.File("movie.zoe"), bytes_));
    ASSERT_EQ(ZoetFileOpen(&io_, dir_.File("movie.zoe").c_str(), 0), 1);
    buffer_.resize(io_.bufferSize(&io_, wanted));
    EXPECT_EQ(io_.setInfo(&io_, buffer_.data(), (uint32_t)buffer_.size(), claimedSize ? claimedSize : fileSize, rate),
              0);
  }
  void TearDown() override {
    if (io_.close) io_.close(&io_);
  }
  // Reads through readFrame and checks every byte against the file.
  uint32_t ReadAndCheck(uint32_t offset, uint32_t size) {
    uint32_t from = offset == kNoOffset ? io_.readPos : offset;
    std::vector<uint8_t> out(size);
    uint32_t got = io_.readFrame(&io_, 0, offset, out.data(), size);
    for (uint32_t i = 0; i < got; ++i) {
      if (out[i] != bytes_[from + i]) {
        ADD_FAILURE() << "byte " << from + i << " differs";
        break;
      }
    }
    return got;
  }
  bool RingHoldsFileBytes() {
    uint32_t n = io_.filled;
    uint8_t* p = io_.readPtr;
    for (uint32_t i = 0; i < n; ++i) {
      if (*p != bytes_[io_.readPos + i]) return false;
      if (++p == io_.ringEnd) p = io_.ringStart;
    }
    return true;
  }
};

TEST_F(ZoeMovieReader, BufferSizes) {
  Open(1000);
  struct {
    uint32_t wanted, size;
  } cases[] = {{0, 266240}, {100000, 266240}, {262144, 266240}, {262145, 397312}, {300000, 397312},
               {1048576, 1052672}};
  for (auto c : cases) EXPECT_EQ(io_.bufferSize(&io_, c.wanted), c.size) << c.wanted;
}

TEST_F(ZoeMovieReader, SetInfoAlignsTheRingInsideTheBuffer) {
  Open(1000);
  std::vector<uint8_t> raw(266240 + 64);
  for (uint32_t shift : {0u, 1u, 33u}) {
    uint32_t size = 266240;
    io_.setInfo(&io_, raw.data() + shift, size, 1000, 0);
    EXPECT_EQ((uintptr_t)io_.ringStart % 4096, 0u);
    EXPECT_EQ(io_.ringSize, 2 * kBlock);
    EXPECT_EQ(io_.free, 2 * kBlock);
    EXPECT_EQ(io_.readPtr, io_.ringStart);
    EXPECT_EQ(io_.writePtr, io_.ringStart);
    EXPECT_LE(io_.ringEnd, raw.data() + shift + size);
  }
  // A buffer of exactly two blocks has room for one after the alignment
  // (unless it happens to be aligned already).
  io_.setInfo(&io_, raw.data() + 1, 2 * kBlock, 1000, 0);
  EXPECT_EQ(io_.ringSize, kBlock);
  EXPECT_LE(io_.ringEnd, raw.data() + 1 + 2 * kBlock);
}

TEST_F(ZoeMovieReader, FillsInWholeBlocksAndDeliversAcrossTheWrap) {
  const uint32_t size = 3 * kBlock + 1000;
  Open(size);
  ASSERT_EQ(io_.ringSize, 3 * kBlock);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock) << i;
  EXPECT_EQ(io_.idle(&io_), 0);  // ring full
  EXPECT_EQ(io_.targetFill, io_.filled);
  EXPECT_EQ(io_.filled, 3 * kBlock);
  EXPECT_EQ(io_.peakFill, 3 * kBlock);
  EXPECT_TRUE(RingHoldsFileBytes());

  EXPECT_EQ(ReadAndCheck(0, 200000), 200000u);
  EXPECT_EQ(io_.idle(&io_), 1000);  // the tail, into the first block again
  EXPECT_EQ(io_.idle(&io_), 0);
  EXPECT_EQ(io_.targetFill, io_.filled);
  EXPECT_EQ(io_.bytesRead, size);
  uint32_t rest = size - 200000;
  EXPECT_EQ(ReadAndCheck(kNoOffset, rest), rest);
  EXPECT_EQ(io_.readPos, size);
  EXPECT_EQ(io_.filled, 0u);
  EXPECT_EQ(io_.free, io_.ringSize);
  EXPECT_EQ(io_.bytesRead, size);  // nothing read twice
  EXPECT_EQ(io_.readError, 0u);
}

TEST_F(ZoeMovieReader, SkipsForwardInsideTheRingAndSeeksBehindIt) {
  Open(3 * kBlock + 1000);
  io_.idle(&io_);
  io_.idle(&io_);
  EXPECT_EQ(ReadAndCheck(0, 1000), 1000u);
  // Ahead, inside the ring: no file read.
  EXPECT_EQ(ReadAndCheck(5000, 100), 100u);
  EXPECT_EQ(io_.bytesRead, 2 * kBlock);
  EXPECT_EQ(io_.filled, 2 * kBlock - 5100);
  EXPECT_EQ(io_.free, io_.ringSize - io_.filled);
  EXPECT_TRUE(RingHoldsFileBytes());
  // Behind: the file is sought and the ring emptied.
  EXPECT_EQ(ReadAndCheck(500, 700), 700u);
  EXPECT_EQ(io_.filled, 0u);
  EXPECT_EQ(io_.free, io_.ringSize);
  EXPECT_EQ(io_.readPos, 1200u);
  EXPECT_EQ(io_.filePos, 1200u);
  EXPECT_EQ(io_.readPtr, io_.ringStart);
  // Beyond what was read: sought as well.
  EXPECT_EQ(ReadAndCheck(3 * kBlock, 10), 10u);
  EXPECT_EQ(io_.filePos, 3 * kBlock + 10);
}

TEST_F(ZoeMovieReader, BlocksStayOnTheFileGridAfterADirectRead) {
  Open(5 * kBlock);
  EXPECT_EQ(ReadAndCheck(0, 100050), 100050u);  // empty ring: straight from the file
  EXPECT_EQ(io_.filled, 0u);
  EXPECT_EQ(io_.idle(&io_), 31022);  // up to the 128 KB boundary
  EXPECT_EQ(io_.filePos, kBlock);
  EXPECT_TRUE(RingHoldsFileBytes());
  EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock);
  EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock);
  EXPECT_EQ(io_.idle(&io_), 0);  // 31022 + 2 blocks leave less than a block free
  EXPECT_TRUE(RingHoldsFileBytes());
  // Some bytes from the ring, the rest from the file.
  EXPECT_EQ(ReadAndCheck(kNoOffset, 400000), 400000u);
  EXPECT_EQ(io_.readPos, 500050u);
  EXPECT_EQ(io_.idle(&io_), (int32_t)(4 * kBlock - 500050));
  EXPECT_EQ(ReadAndCheck(kNoOffset, 5 * kBlock - 500050), 5 * kBlock - 500050);
  EXPECT_EQ(io_.readError, 0u);
}

TEST_F(ZoeMovieReader, BackgroundControlHoldsReadingOff) {
  Open(3 * kBlock);
  EXPECT_EQ(io_.backgroundControl(&io_, ZOE_IO_SUSPEND), 1u);
  EXPECT_EQ(io_.idle(&io_), 0);
  EXPECT_EQ(io_.idle(&io_), 0);
  EXPECT_EQ(io_.bytesRead, 0u);
  EXPECT_EQ(io_.backgroundControl(&io_, ZOE_IO_RESUME), 0u);
  EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock);
  EXPECT_EQ(io_.backgroundControl(&io_, ZOE_IO_SUSPEND | ZOE_IO_AT_ONCE), 1u);
  EXPECT_EQ(io_.backgroundControl(&io_, ZOE_IO_RESUME | ZOE_IO_AT_ONCE), 0u);
  EXPECT_EQ(io_.bytesRead, 2 * kBlock);  // resuming at once read a block
  EXPECT_TRUE(RingHoldsFileBytes());
}

TEST_F(ZoeMovieReader, AShortReadIsFinal) {
  Open(1000, 300000, 5000);  // the header claims more than the file holds
  EXPECT_EQ(io_.idle(&io_), 1000);
  EXPECT_EQ(io_.readError, 1u);
  uint8_t out[100];
  EXPECT_EQ(io_.readFrame(&io_, 0, 0, out, 100), 0u);
  EXPECT_EQ(io_.idle(&io_), 0);
  EXPECT_EQ(io_.readHeader(&io_, 0, out, 10), 0u);
  EXPECT_EQ(ZoetIOBackgroundCheck(&io_.readNode, 5), 0);
}

TEST_F(ZoeMovieReader, ADirectReadPastTheEndIsShort) {
  Open(1000);
  std::vector<uint8_t> out(2000);
  EXPECT_EQ(io_.readFrame(&io_, 0, 0, out.data(), 2000), 1000u);
  EXPECT_EQ(io_.readError, 1u);
  EXPECT_EQ(memcmp(out.data(), bytes_.data(), 1000), 0);
}

TEST_F(ZoeMovieReader, HeaderReadsAtOffsetsAndWhereTheLastEnded) {
  Open(3000);
  uint8_t out[100];
  EXPECT_EQ(io_.readHeader(&io_, 10, out, 20), 20u);
  EXPECT_EQ(memcmp(out, &bytes_[10], 20), 0);
  EXPECT_EQ(io_.readHeader(&io_, kNoOffset, out, 5), 5u);
  EXPECT_EQ(memcmp(out, &bytes_[30], 5), 0);
  EXPECT_EQ(io_.filePos, 35u);
  EXPECT_EQ(io_.readPos, 35u);
  EXPECT_EQ(io_.targetFill, 3000u - 35u);
  EXPECT_EQ(ReadAndCheck(kNoOffset, 65), 65u);
  EXPECT_EQ(io_.readHeader(&io_, 2990, out, 20), 10u);  // short
  EXPECT_EQ(io_.readError, 1u);
}

TEST_F(ZoeMovieReader, AHeaderReadEmptiesTheRing) {
  Open(3 * kBlock);
  io_.idle(&io_);
  uint8_t out[44];
  EXPECT_EQ(io_.readHeader(&io_, 0, out, 44), 44u);
  EXPECT_EQ(io_.filled, 0u);
  EXPECT_EQ(io_.free, io_.ringSize);
  // The next frame read goes on from the header's end, not from stale ring data.
  EXPECT_EQ(ReadAndCheck(kNoOffset, 1000), 1000u);
  EXPECT_EQ(io_.readPos, 1044u);
  EXPECT_EQ(io_.idle(&io_), (int32_t)(kBlock - 1044));
  EXPECT_EQ(ReadAndCheck(kNoOffset, 200000), 200000u);
}

TEST(ZoeFileOpen, MissingFilesAndCallerDescriptors) {
  zoetest::TempDir dir;
  MovieIO io;
  EXPECT_EQ(ZoetFileOpen(&io, dir.File("none.zoe").c_str(), 0), 0);
  std::vector<uint8_t> bytes = zoetest::PatternBytes(5000);
  ASSERT_TRUE(zoetest::WriteFile(dir.File("inner.zoe"), bytes));
  int fd = open(dir.File("inner.zoe").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(lseek(fd, 1000, SEEK_SET), 1000);
  ASSERT_EQ(ZoetFileOpen(&io, reinterpret_cast<const char*>((intptr_t)fd), OpenFileHandle), 1);
  EXPECT_EQ(io.notOwned, 1u);
  EXPECT_EQ(io.base, 1000u);
  uint8_t out[44];
  // Offsets count from where the movie starts inside the file.
  EXPECT_EQ(io.readHeader(&io, 0, out, 44), 44u);
  EXPECT_EQ(memcmp(out, &bytes[1000], 44), 0);
  std::vector<uint8_t> ring(io.bufferSize(&io, 0));
  io.setInfo(&io, ring.data(), (uint32_t)ring.size(), 4000, 0);
  EXPECT_EQ(io.readFrame(&io, 0, 100, out, 44), 44u);
  EXPECT_EQ(memcmp(out, &bytes[1100], 44), 0);
  EXPECT_EQ(io.idle(&io), (int32_t)(4000 - 144));
  EXPECT_EQ(io.readFrame(&io, 0, kNoOffset, out, 44), 44u);
  EXPECT_EQ(memcmp(out, &bytes[1144], 44), 0);
  io.close(&io);
  EXPECT_NE(fcntl(fd, F_GETFD), -1);  // still the caller's
  close(fd);
}

TEST(ZoeReaderCheck, PrioritiesFollowTheFill) {
  struct Case {
    uint32_t filled, target, readError, suspended, lastPass, pass;
    int32_t want;
  } cases[] = {
      {0, 0, 0, 0, 0, 1, (int32_t)0x80000000u},  // 100 %: never ran
      {0, 1000, 0, 0, 0, 1, -1},                 // empty
      {499, 999, 0, 0, 0, 1, -1 - 50 + 0},       // exactly 50 %: see below
      {100, 999, 0, 0, 0, 1, -11},
      {489, 999, 0, 0, 0, 1, -50},
      {900, 999, 0, 0, 7, 7, 0},                  // ran in this pass
      {900, 999, 0, 0, 7, 8, (int32_t)(0u - 7u - 0x80000000u)},
      {0, 1000, 1, 0, 0, 1, 0},                   // read error
      {0, 1000, 0, 1, 0, 1, 0},                   // suspended: nothing to ask for
  };
  cases[2].want = (int32_t)0x80000000u;  // (499 + 1) * 100 / 1000 = 50
  for (const Case& c : cases) {
    MovieIO io;
    memset(&io, 0, sizeof(io));
    io.filled = c.filled;
    io.targetFill = c.target;
    io.readError = c.readError;
    io.suspended = c.suspended;
    io.lastPass = c.lastPass;
    EXPECT_EQ(ZoetIOBackgroundCheck(&io.readNode, c.pass), c.want) << c.filled << "/" << c.target;
  }
}

TEST_F(ZoeMovieReader, SimulatedRateSleepsInsteadOfSpinning) {
  Open(kBlock, 300000, 0, 10 * kBlock);  // a block takes 100 ms
  timespec cpu0, cpu1;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
  uint32_t start = ZoeTimerRead();
  EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock);
  uint32_t took = ZoeTimerRead() - start;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
  EXPECT_GE(took, 99u);
  EXPECT_LE(io_.simulationDebt, 0);
  double cpuMs = (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
  EXPECT_LT(cpuMs, 50.0);
  EXPECT_GE(io_.readTime, 99u);
  EXPECT_EQ(io_.readTime, io_.idleTime);
}

TEST_F(ZoeMovieReader, IdleGivesWayWhenTheBackgroundReadCannotBeHeldOff) {
  Open(3 * kBlock);
  CallbackHandler* h = ZOECB_allocate_handler(60);  // not started
  ASSERT_NE(h, nullptr);
  ZoetIOAttachBackground(&io_, h);
  EXPECT_EQ(ZOECB_registered_count(h), 1u);
  struct Hold {
    ZoeHandle lock, taken = CreateEvent(), release = CreateEvent(), thread;
    static uint32_t Run(void* p) {
      Hold* s = static_cast<Hold*>(p);
      WaitForSingleObject(s->lock, ZOE_INFINITE);
      SetEvent(s->taken);
      WaitForSingleObject(s->release, ZOE_INFINITE);
      ReleaseMutex(s->lock);
      return 0;
    }
  } hold;
  hold.lock = io_.readNode.lock;
  uint32_t id;
  hold.thread = CreateThread(nullptr, 0, &Hold::Run, &hold, 0, &id);
  ResumeThread(hold.thread);
  ASSERT_EQ(WaitForSingleObject(hold.taken, 10000), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(io_.idle(&io_), -1);
  SetEvent(hold.release);
  WaitForSingleObject(hold.thread, ZOE_INFINITE);
  EXPECT_EQ(io_.idle(&io_), (int32_t)kBlock);
  CloseHandle(hold.thread);
  CloseHandle(hold.taken);
  CloseHandle(hold.release);
  EXPECT_EQ(ZoetIODetachBackground(&io_, 1), 1);  // the handler went with its last node
}

TEST_F(ZoeMovieReader, TheWorkerFeedsASlowConsumerTheWholeFile) {
  const uint32_t size = 4 * 1024 * 1024 + 777;
  Open(size, 300000);
  CallbackHandler* h = ZOECB_allocate_handler(60);
  ASSERT_NE(h, nullptr);
  ZoetIOAttachBackground(&io_, h);
  ZOECB_resume_handler(h);
  // The worker fills the ring on its own.
  ASSERT_TRUE(zoetest::WaitUntil([&] { return __atomic_load_n(&io_.filled, __ATOMIC_ACQUIRE) == io_.ringSize; }));
  EXPECT_NE(__atomic_load_n(&io_.lastPass, __ATOMIC_RELAXED), 0u);
  std::vector<uint8_t> out(size);
  uint32_t got = 0;
  uint32_t piece = 40000;
  while (got < size) {
    uint32_t n = size - got < piece ? size - got : piece;
    uint32_t delivered = io_.readFrame(&io_, 0, kNoOffset, out.data() + got, n);
    ASSERT_EQ(delivered, n);
    got += n;
    Sleep(1);  // a consumer slower than the disk
  }
  EXPECT_EQ(memcmp(out.data(), bytes_.data(), size), 0);
  EXPECT_EQ(io_.readError, 0u);

  // Jumps back and forth while the worker keeps filling.
  uint32_t seed = 12345;
  for (int i = 0; i < 60; ++i) {
    seed = seed * 1103515245u + 12345u;
    uint32_t offset = (seed >> 8) % (size - 300000);
    uint32_t n = 1 + (seed >> 3) % 300000;
    if (i % 3 == 2) {  // on from where the last read ended
      offset = kNoOffset;
      n = n < size - io_.readPos ? n : size - io_.readPos;
    }
    ASSERT_EQ(ReadAndCheck(offset, n), n);
    if (i % 5 == 0) Sleep(2);
  }
  EXPECT_EQ(io_.readError, 0u);
  EXPECT_EQ(ZoetIODetachBackground(&io_, 1), 1);
}

TEST_F(ZoeMovieReader, TheWorkerLeavesASuspendedReaderAlone) {
  Open(3 * kBlock);
  CallbackHandler* h = ZOECB_allocate_handler(60);
  ASSERT_NE(h, nullptr);
  ZoetIOAttachBackground(&io_, h);
  io_.backgroundControl(&io_, ZOE_IO_SUSPEND | ZOE_IO_AT_ONCE);
  ZOECB_resume_handler(h);
  // An empty ring that may not be filled: each pass ends at once instead of
  // asking the reader again and again.
  uint32_t first = __atomic_load_n(&h->pass, __ATOMIC_RELAXED);
  ASSERT_TRUE(zoetest::WaitUntil([&] { return __atomic_load_n(&h->pass, __ATOMIC_RELAXED) >= first + 3; }));
  ZOECB_suspend_handler(h);
  EXPECT_EQ(io_.bytesRead, 0u);
  ZOECB_resume_handler(h);
  io_.backgroundControl(&io_, ZOE_IO_RESUME);
  ASSERT_TRUE(zoetest::WaitUntil([&] { return __atomic_load_n(&io_.filled, __ATOMIC_ACQUIRE) == 3 * kBlock; }));
  EXPECT_EQ(ZoetIODetachBackground(&io_, 1), 1);
}

}  // namespace
