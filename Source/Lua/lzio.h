// Buffered input streams over memory blocks, strings and files.
#pragma once

#include <stddef.h>
#include <stdio.h>

#define EOZ (-1)  // end of stream

#define ZBSIZE 256  // buffer size of a file stream

typedef struct zio ZIO;

struct zio {
  size_t n;                    // bytes still unread in the buffer
  const unsigned char* p;      // current position in the buffer
  int (*filbuf)(ZIO* z);       // refill: returns the next byte or EOZ
  void* u;                     // user word (the file)
  const char* name;            // chunk name
  unsigned char buffer[ZBSIZE];
};

#define zgetc(z) ((z)->n > 0 ? ((z)->n--, (int)*((z)->p++)) : (z)->filbuf(z))
#define zname(z) ((z)->name)

ZIO* luaZ_Fopen(ZIO* z, FILE* f, const char* name);
ZIO* luaZ_sopen(ZIO* z, const char* s, const char* name);
ZIO* luaZ_mopen(ZIO* z, const char* b, size_t size, const char* name);
// Copies n bytes; returns the number still missing (0 when complete).
size_t luaZ_read(ZIO* z, void* b, size_t n);
