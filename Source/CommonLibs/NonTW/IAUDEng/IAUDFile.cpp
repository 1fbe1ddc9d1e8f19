#include "NonTW/IAUDEng/IAUDFile.h"

#include <cstdio>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/TWUnixCompat.h"

namespace {
const size_t kIAUDFileNameMax = 1031;
const size_t kIAUDFileBatch = 256;
}  // namespace

void* IAUDFileOpen(const uint16_t* name) {
  if (!name) return nullptr;
  char narrow[kIAUDFileNameMax + 1];
  size_t n = 0;
  while (n < kIAUDFileNameMax && name[n]) {
    narrow[n] = (char)(uint8_t)(name[n] & 0xFF);
    ++n;
  }
  narrow[n] = 0;
  convertUnixFilename(narrow, narrow);
  return fopen(narrow, "rb");
}

void IAUDFileClose(void* file) {
  if (file) fclose(static_cast<FILE*>(file));
}

uint32_t IAUDFileTell(void* file) { return (uint32_t)ftell(static_cast<FILE*>(file)); }

bool IAUDFileSeek(void* file, uint32_t offset) { return fseek(static_cast<FILE*>(file), (long)offset, SEEK_SET) == 0; }

size_t IAUDFileRead(void* buffer, size_t itemSize, size_t count, void* file) {
  return fread(buffer, itemSize, count, static_cast<FILE*>(file));
}

size_t IAUDFileReadShorts(uint16_t* buffer, size_t count, void* file) {
  size_t n = fread(buffer, 2, count, static_cast<FILE*>(file));
  for (size_t i = 0; i < n; ++i) buffer[i] = GetLE16(reinterpret_cast<const uint8_t*>(&buffer[i]));
  return n;
}

size_t IAUDFileReadLongs(uint32_t* buffer, size_t count, void* file) {
  size_t n = fread(buffer, 4, count, static_cast<FILE*>(file));
  for (size_t i = 0; i < n; ++i) buffer[i] = GetLE32(reinterpret_cast<const uint8_t*>(&buffer[i]));
  return n;
}

size_t IAUDFileReadFloats(float* buffer, size_t count, void* file) {
  size_t n = fread(buffer, 4, count, static_cast<FILE*>(file));
  for (size_t i = 0; i < n; ++i) buffer[i] = GetLEFloat(reinterpret_cast<const uint8_t*>(&buffer[i]));
  return n;
}

size_t IAUDFileWrite(const void* buffer, size_t itemSize, size_t count, void* file) {
  return fwrite(buffer, itemSize, count, static_cast<FILE*>(file));
}

namespace {
// Writes count values little-endian in batches; put stores one value of
// Size bytes. Returns the values written.
template <size_t Size, class T, class Put>
size_t IAUDFileWriteLE(const T* buffer, size_t count, void* file, Put put) {
  uint8_t bytes[kIAUDFileBatch * Size];
  size_t done = 0;
  while (done < count) {
    size_t n = count - done < kIAUDFileBatch ? count - done : kIAUDFileBatch;
    for (size_t i = 0; i < n; ++i) put(bytes + Size * i, buffer[done + i]);
    size_t w = fwrite(bytes, Size, n, static_cast<FILE*>(file));
    done += w;
    if (w != n) break;
  }
  return done;
}
}  // namespace

size_t IAUDFileWriteShorts(const uint16_t* buffer, size_t count, void* file) {
  return IAUDFileWriteLE<2>(buffer, count, file, [](uint8_t* p, uint16_t v) { PutLE16(p, v); });
}

size_t IAUDFileWriteLongs(const uint32_t* buffer, size_t count, void* file) {
  return IAUDFileWriteLE<4>(buffer, count, file, [](uint8_t* p, uint32_t v) { PutLE32(p, v); });
}

size_t IAUDFileWriteFloats(const float* buffer, size_t count, void* file) {
  return IAUDFileWriteLE<4>(buffer, count, file, [](uint8_t* p, float v) { PutLEFloat(p, v); });
}

uint64_t IAUDFileLength(void* file) {
  FILE* f = static_cast<FILE*>(file);
  long pos = ftell(f);
  if (pos < 0 || fseek(f, 0, SEEK_END) != 0) return 0;
  long end = ftell(f);
  fseek(f, pos, SEEK_SET);
  return end < 0 ? 0 : (uint64_t)end;
}
