// Feeds the input as script source to the compiler. What compiles is
// written out as a precompiled chunk and loaded back, so that the loader's
// code checks see everything the compiler emits; then it runs under an
// instruction budget and a memory cap.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Lua/ldo.h"
#include "Lua/lobject.h"
#include "Lua/lstate.h"
#include "Lua/lua.h"
#include "Lua/luadebug.h"
#include "Lua/lzio.h"
#include "Lua/tests/ChunkWriter.h"

namespace {

const int kLineEventBudget = 20000;       // line-hook calls: lines, loop turns, calls
const lu_mem kMemoryCap = 32u << 20;      // bytes counted by the interpreter
int g_lineEvents = 0;

int IgnoreError(lua_State*) { return 0; }

void Budget(lua_State* L, lua_Debug*) {
  if (++g_lineEvents > kLineEventBudget || L->nblocks > kMemoryCap) lua_error(L, "budget spent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lua_State* L = lua_open(0);
  if (!L) return 0;
  lua_register(L, LUA_ERRORMESSAGE, IgnoreError);

  ZIO z;
  luaZ_mopen(&z, reinterpret_cast<const char*>(data), size, "=fuzz");
  if (luaD_protectedparser(L, &z, 0) == 0) {
    // The loader must accept every function the compiler produced.
    const Proto* f = clvalue(L->top - 1)->f.l;
    std::string chunk = luachunk::WriteChunk(luachunk::FromProto(f));
    lua_settop(L, 0);
    ZIO zc;
    luaZ_mopen(&zc, chunk.data(), chunk.size(), "=fuzz");
    if (luaD_protectedparser(L, &zc, 1) != 0) {
      fprintf(stderr, "compiled code refused by the loader\n");
      abort();
    }
    g_lineEvents = 0;
    lua_setlinehook(L, Budget);
    lua_call(L, 0, 0);
  }
  lua_close(L);
  return 0;
}
