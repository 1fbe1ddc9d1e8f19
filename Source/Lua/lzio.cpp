// Buffered input streams.
#include "lzio.h"

#include <string.h>

static int zmfilbuf(ZIO*) { return EOZ; }

ZIO* luaZ_mopen(ZIO* z, const char* b, size_t size, const char* name) {
  if (b == NULL) return NULL;
  z->n = size;
  z->p = (const unsigned char*)b;
  z->filbuf = zmfilbuf;
  z->u = NULL;
  z->name = name;
  return z;
}

ZIO* luaZ_sopen(ZIO* z, const char* s, const char* name) {
  if (s == NULL) return NULL;
  return luaZ_mopen(z, s, strlen(s), name);
}

static int zffilbuf(ZIO* z) {
  FILE* f = (FILE*)z->u;
  if (feof(f)) return EOZ;
  size_t n = fread(z->buffer, 1, ZBSIZE, f);
  if (n == 0) return EOZ;
  z->n = n - 1;
  z->p = z->buffer;
  return (int)*(z->p++);
}

ZIO* luaZ_Fopen(ZIO* z, FILE* f, const char* name) {
  if (f == NULL) return NULL;
  z->n = 0;
  z->p = z->buffer;
  z->filbuf = zffilbuf;
  z->u = f;
  z->name = name;
  return z;
}

size_t luaZ_read(ZIO* z, void* b, size_t n) {
  unsigned char* out = (unsigned char*)b;
  while (n) {
    if (z->n == 0) {
      if (z->filbuf(z) == EOZ) return n;
      // put the byte just fetched back
      ++z->n;
      --z->p;
    }
    size_t m = (n <= z->n) ? n : z->n;
    memcpy(out, z->p, m);
    z->n -= m;
    z->p += m;
    out += m;
    n -= m;
  }
  return 0;
}
