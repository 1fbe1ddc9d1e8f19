// Small-block allocation over the process heap.
#include "VERirezo/BucketAlloc.h"

#include <cstdlib>

void* AllocFromBuckets(int iSize) { return malloc(iSize > 0 ? (size_t)iSize : 1u); }

void FreeFromBuckets(void* p) { free(p); }

void FreeUnusedBlocksInBuckets() {}
