#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <cstdio>
#include <string>

#include "FileTestSupport.h"
#include "TWUtil/EFileCache.h"
#include "TWUtil/EFileManager.h"

using filetest::TempDir;

namespace {

// Files named f0 .. fN-1 of sizes 1 .. N in a folder of their own, read
// through a file manager of the test's own.
class FileCacheTest : public ::testing::Test {
protected:
  FileCacheTest() : m_env("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}
  void SetUp() override {
    m_manager = new EFileManager;
    m_manager->AddReadPath("anims", false);
    gFile = m_manager;
  }
  void TearDown() override {
    gFile = &gFile_twutil;
    delete m_manager;
  }
  void MakeFiles(int n) {
    for (int i = 0; i < n; ++i) filetest::WriteText(m_dir / ("anims/" + Name(i)), std::string(i + 1, 'a' + i % 26));
  }
  static std::string Name(int i) { return "f" + std::to_string(i); }
  // Marks a cached file as idle for the given milliseconds.
  static void Idle(EDynamicFileCache& cache, int i, unsigned ms) {
    cache.getCachedFile(Name(i).c_str())->setLastAccess(SDL_GetTicks() - ms);
  }

  TempDir m_dir;
  filetest::ScopedEnv m_env;
  filetest::ScopedChdir m_cwd;
  EFileManager* m_manager = nullptr;
};

TEST_F(FileCacheTest, CachesWholeFilesAndAnswersHonestly) {
  MakeFiles(3);
  EDynamicFileCache cache(kMEMTYPE_BlndAnim, 2, 0);
  EXPECT_TRUE(cache.hasFreeSlots());
  ASSERT_TRUE(cache.cacheFile(Name(0).c_str()));
  ASSERT_TRUE(cache.cacheFile(Name(2).c_str()));
  EXPECT_EQ(2u, cache.count());
  EXPECT_EQ(4u, cache.used());
  EXPECT_FALSE(cache.hasFreeSlots());

  EDynamicCacheFile* f = cache.getCachedFile(Name(2).c_str());
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ(Name(2).c_str(), f->filename());
  EXPECT_EQ(3u, f->filesize());
  EXPECT_EQ(0, memcmp(f->data(), "ccc", 3));

  // Full: refused, nothing kept. Already cached: the same entry stays.
  EXPECT_FALSE(cache.cacheFile(Name(1).c_str()));
  EXPECT_FALSE(cache.isCached(Name(1).c_str()));
  EXPECT_TRUE(cache.cacheFile(Name(2).c_str()));
  EXPECT_EQ(f, cache.getCachedFile(Name(2).c_str()));
  EXPECT_EQ(4u, cache.used());

  // A file that cannot be opened is not cached, so a later try can succeed.
  EXPECT_TRUE(cache.uncacheFile(Name(0).c_str()));
  EXPECT_FALSE(cache.uncacheFile(Name(0).c_str()));
  EXPECT_EQ(3u, cache.used());
  EXPECT_FALSE(cache.cacheFile("missing"));
  EXPECT_EQ(nullptr, cache.getCachedFile("missing"));
  EXPECT_EQ(1u, cache.count());
  filetest::WriteText(m_dir / "anims/missing", "now here");
  EXPECT_TRUE(cache.cacheFile("missing"));
}

TEST_F(FileCacheTest, PurgeEvictsIdleFilesOnly) {
  MakeFiles(12);
  EDynamicFileCache cache(kMEMTYPE_BlndAnim, 32, 0);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(cache.cacheFile(Name(i).c_str()));
  for (int i = 0; i < 10; ++i) Idle(cache, i, 40000 + 1000 * (i * 7 % 10));
  unsigned sizeOfKept = 11 + 12;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(cache.purgeEmptyFiles(30.0f));
  std::string trace = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, trace.find("Purging f3"));
  EXPECT_EQ(2u, cache.count());
  EXPECT_EQ(sizeOfKept, cache.used());
  EXPECT_EQ(nullptr, cache.getCachedFile(Name(0).c_str()));
  EXPECT_NE(nullptr, cache.getCachedFile(Name(11).c_str()));
}

TEST_F(FileCacheTest, PurgeTakesTheOldestHalfWhenMoreThanHalfAreIdle) {
  MakeFiles(7);
  EDynamicFileCache cache(kMEMTYPE_BlndAnim, 8, 0);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(cache.cacheFile(Name(i).c_str()));
  // Idle times 41 s .. 47 s in a shuffled order: f6 is the oldest.
  const int order[7] = {3, 0, 5, 1, 6, 2, 4};
  for (int i = 0; i < 7; ++i) Idle(cache, i, 41000 + 1000 * order[i]);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(cache.purgeEmptyFiles(30.0f));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(3u, cache.count());
  // Evicted: the four idle longest (orders 6, 5, 4, 3: files 4, 2, 6, 0).
  for (int i : {0, 2, 4, 6}) EXPECT_FALSE(cache.isCached(Name(i).c_str())) << i;
  for (int i : {1, 3, 5}) EXPECT_TRUE(cache.isCached(Name(i).c_str())) << i;
}

TEST_F(FileCacheTest, PurgeHalvesTheIdleTimeDownToHalfASecond) {
  MakeFiles(3);
  EDynamicFileCache cache(kMEMTYPE_BlndAnim, 8, 0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(cache.cacheFile(Name(i).c_str()));
  Idle(cache, 1, 2000);  // found at the try with 1.875 s
  testing::internal::CaptureStderr();
  EXPECT_TRUE(cache.purgeEmptyFiles(30.0f));
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(cache.isCached(Name(1).c_str()));

  for (int i : {0, 2}) Idle(cache, i, 400);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(cache.purgeEmptyFiles(30.0f));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                   "Failed to LRU-replace 2 anims that have all been accessed within 0.5s"));
  EXPECT_EQ(2u, cache.count());
}

}  // namespace
