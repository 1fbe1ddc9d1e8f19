// The interpreter's single allocator.
#pragma once

#include "llimits.h"

// Requests this large or larger are refused.
#define MEM_BLOCKTOOBIG 0xFFFFFFFDu
// Old size when the caller does not know it.
#define MEM_UNKNOWNSIZE ((size_t)-1)

void* luaM_realloc_sized(lua_State* L, void* block, size_t newsize, size_t oldsize);
void* luaM_growaux_sized(lua_State* L, void* block, size_t nelems, int inc, size_t elemsize,
                         const char* errormsg, size_t limit, size_t oldsize);

#define luaM_free(L, b) luaM_realloc_sized(L, (b), 0, MEM_UNKNOWNSIZE)
#define luaM_malloc(L, t) luaM_realloc_sized(L, NULL, (t), 0)
#define luaM_new(L, t) ((t*)luaM_malloc(L, sizeof(t)))
#define luaM_newvector(L, n, t) ((t*)luaM_vector(L, NULL, (size_t)(n), sizeof(t)))

#define luaM_growvector(L, v, nelems, inc, t, e, l) \
  ((v) = (t*)luaM_growaux_sized(L, v, nelems, inc, sizeof(t), e, l, MEM_UNKNOWNSIZE))

#define luaM_reallocvector(L, v, n, t) ((v) = (t*)luaM_vector(L, v, (size_t)(n), sizeof(t)))

// Reallocates a vector of n elements, refusing sizes whose product overflows.
void* luaM_vector(lua_State* L, void* block, size_t n, size_t elemsize);
