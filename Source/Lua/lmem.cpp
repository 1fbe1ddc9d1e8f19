// The interpreter's single allocator.
#include "lmem.h"

#include <stdlib.h>

#include "ldo.h"
#include "lobject.h"
#include "lstate.h"

void* luaM_realloc_sized(lua_State* L, void* block, size_t newsize, size_t) {
  if (newsize == 0) {
    free(block);
    return NULL;
  }
  if (newsize >= MEM_BLOCKTOOBIG) {
    if (L == NULL) return NULL;
    lua_error(L, "memory allocation error: block too big");
  }
  void* b = realloc(block, newsize);
  if (b == NULL && L != NULL) luaD_breakrun(L, LUA_ERRMEM);
  return b;
}

void* luaM_vector(lua_State* L, void* block, size_t n, size_t elemsize) {
  if (n != 0 && elemsize > (MEM_BLOCKTOOBIG - 1) / n) {
    if (L == NULL) return NULL;
    lua_error(L, "memory allocation error: block too big");
  }
  return luaM_realloc_sized(L, block, n * elemsize, MEM_UNKNOWNSIZE);
}

void* luaM_growaux_sized(lua_State* L, void* block, size_t nelems, int inc, size_t elemsize,
                         const char* errormsg, size_t limit, size_t oldsize) {
  size_t newn = nelems + (size_t)inc;
  if (limit < (size_t)inc || nelems >= limit - (size_t)inc) lua_error(L, errormsg);
  if ((nelems ^ newn) <= nelems || (nelems > 0 && newn < MINPOWER2)) return block;
  (void)oldsize;
  return luaM_vector(L, block, luaO_power2((lu_mem)newn), elemsize);
}
