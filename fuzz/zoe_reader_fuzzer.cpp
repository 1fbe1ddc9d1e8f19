// Drives the video library's movie file reader over a file and a sequence of
// frame reads, header reads, background steps and controls decoded from the
// input (format in ZoeReaderFuzzSupport.h). Every byte delivered must be the
// file's byte at its offset; the ring and the destinations are allocated to
// their exact sizes so that the sanitizers see any access outside them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "NonTW/Zoet/ZoeMovieIO.h"
#include "ZoeReaderFuzzSupport.h"

namespace {

char s_dir[] = "/tmp/quillomar-zoefuzz-XXXXXX";
std::string s_file;
uint32_t s_writtenSize = 0xFFFFFFFFu;  // the content depends on the size only

void CheckBytes(const uint8_t* got, uint32_t from, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (got[i] != zoereaderfuzz::FileByte(from + i)) {
      fprintf(stderr, "byte at %u delivered wrongly\n", from + i);
      abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!mkdtemp(s_dir)) abort();
  s_file = std::string(s_dir) + "/movie.zoe";
  atexit([] {
    unlink(s_file.c_str());
    rmdir(s_dir);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zoereaderfuzz;
  if (size < kHeaderBytes || size > 64 * 1024) return 0;
  uint8_t flags = data[0];
  uint32_t fileSize = GetLE24(data + 1) % (1u << 20);
  uint32_t claimed = GetLE24(data + 4) % (1u << 21);
  if (!claimed) claimed = fileSize;
  uint32_t wanted = GetLE24(data + 7) % (1u << 20);
  uint32_t trim = data[10] * 1024u;

  if (fileSize != s_writtenSize) {
    std::vector<uint8_t> content(fileSize);
    for (uint32_t i = 0; i < fileSize; ++i) content[i] = FileByte(i);
    FILE* f = fopen(s_file.c_str(), "wb");
    if (!f) abort();
    if (fileSize && fwrite(content.data(), 1, fileSize, f) != fileSize) abort();
    if (fclose(f) != 0) abort();
    s_writtenSize = fileSize;
  }

  MovieIO io;
  int fd = -1;
  if (flags & kFlagDescriptor) {
    fd = open(s_file.c_str(), O_RDONLY);
    if (fd < 0 || ZoetFileOpen(&io, reinterpret_cast<const char*>((intptr_t)fd), OpenFileHandle) != 1) abort();
  } else if (ZoetFileOpen(&io, s_file.c_str(), 0) != 1) {
    abort();
  }
  uint32_t bufferBytes = io.bufferSize(&io, wanted);
  bufferBytes = bufferBytes > trim ? bufferBytes - trim : 1;
  uint8_t* ring = static_cast<uint8_t*>(malloc(bufferBytes));
  io.setInfo(&io, ring, bufferBytes, claimed, (flags & kFlagRate) ? 1u << 30 : 0);

  for (size_t at = kHeaderBytes; at + kStepBytes <= size; at += kStepBytes) {
    uint8_t kind = data[at] % STEP_KINDS;
    uint32_t offset = GetLE24(data + at + 1);
    uint32_t bytes = GetLE24(data + at + 4) % (1u << 20);
    if (offset == kSameOffset) offset = 0xFFFFFFFFu;
    switch (kind) {
      case STEP_FRAME:
      case STEP_HEADER: {
        std::vector<uint8_t> dest(bytes);
        uint32_t from = offset == 0xFFFFFFFFu ? (kind == STEP_FRAME ? io.readPos : io.filePos) : offset;
        uint32_t got = kind == STEP_FRAME ? io.readFrame(&io, 0, offset, dest.data(), bytes)
                                          : io.readHeader(&io, offset, dest.data(), bytes);
        if (got > bytes) abort();
        CheckBytes(dest.data(), from, got);
        break;
      }
      case STEP_IDLE:
        io.idle(&io);
        break;
      case STEP_SUSPEND:
        io.backgroundControl(&io, ZOE_IO_SUSPEND);
        break;
      case STEP_RESUME:
        io.backgroundControl(&io, ZOE_IO_RESUME);
        break;
      case STEP_SUSPEND_AT_ONCE:
        io.backgroundControl(&io, ZOE_IO_SUSPEND | ZOE_IO_AT_ONCE);
        break;
      case STEP_RESUME_AT_ONCE:
        io.backgroundControl(&io, ZOE_IO_RESUME | ZOE_IO_AT_ONCE);
        break;
    }
    if (io.filled > io.ringSize || io.free > io.ringSize) abort();
  }
  io.close(&io);
  if (fd >= 0) close(fd);
  free(ring);
  return 0;
}
