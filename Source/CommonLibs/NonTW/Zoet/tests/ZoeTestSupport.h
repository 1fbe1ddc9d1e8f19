// Shared helpers of the video library's tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZoePlatform.h"

namespace zoetest {

// A temporary folder of its own for one test, removed with its files.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/zoet-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "";
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::string cmd = "rm -rf '" + path_ + "'";
      if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
  }
  const std::string& Path() const { return path_; }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The byte at offset i of every test file.
inline uint8_t PatternByte(uint64_t i) { return (uint8_t)((i * 2654435761u) >> 13); }

inline std::vector<uint8_t> PatternBytes(uint32_t size) {
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
  return bytes;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// Polls `done` until it holds or `ms` milliseconds have passed.
template <typename F>
bool WaitUntil(F done, uint32_t ms = 10000) {
  uint32_t start = ZoeTimerRead();
  while (!done()) {
    if (ZoeTimerRead() - start > ms) return false;
    Sleep(1);
  }
  return true;
}

// Runs the body in a forked child (for process-wide settings such as the
// sound system, which cannot be put back); the child's failures fail the test.
template <typename F>
void InChild(F body) {
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    body();
    fflush(stdout);
    fflush(stderr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child reported failures (above)";
}

}  // namespace zoetest
