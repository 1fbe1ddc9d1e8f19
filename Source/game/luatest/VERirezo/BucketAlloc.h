// One place for engine code to allocate and free its many small records.
// On this platform they are thin layers over the process heap.
#pragma once

// A block of iSize bytes, or null when the heap is exhausted.
void* AllocFromBuckets(int iSize);
// Frees a block of AllocFromBuckets; null is ignored.
void FreeFromBuckets(void* p);
// Hands idle blocks back to the system; there are no pools to trim here.
void FreeUnusedBlocksInBuckets();
