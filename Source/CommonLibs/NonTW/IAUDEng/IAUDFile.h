// File access of the audio runtime on standard I/O streams. The stream is
// passed as an untyped handle; numbers are little-endian in the file.
#pragma once

#include <cstddef>
#include <cstdint>

// Narrows the name to its low bytes (at most 1031 characters), repairs it for
// the disk and opens it for binary reading; the stream or null.
void* IAUDFileOpen(const uint16_t* name);
void IAUDFileClose(void* file);
uint32_t IAUDFileTell(void* file);
// Seeks to offset from the start; false when the stream refuses.
bool IAUDFileSeek(void* file, uint32_t offset);
// The number of whole items read or written.
size_t IAUDFileRead(void* buffer, size_t itemSize, size_t count, void* file);
size_t IAUDFileReadShorts(uint16_t* buffer, size_t count, void* file);
size_t IAUDFileReadLongs(uint32_t* buffer, size_t count, void* file);
size_t IAUDFileReadFloats(float* buffer, size_t count, void* file);
size_t IAUDFileWrite(const void* buffer, size_t itemSize, size_t count, void* file);
size_t IAUDFileWriteShorts(const uint16_t* buffer, size_t count, void* file);
size_t IAUDFileWriteLongs(const uint32_t* buffer, size_t count, void* file);
size_t IAUDFileWriteFloats(const float* buffer, size_t count, void* file);
// The stream's length in bytes; the position is kept.
uint64_t IAUDFileLength(void* file);
