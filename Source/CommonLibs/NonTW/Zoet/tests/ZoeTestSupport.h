// Shared helpers of the video library's tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

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

}  // namespace zoetest
