// Feeds arbitrary bytes to the script chunk loader and runs whatever loads,
// with a budget of traced instructions so that loops and recursion end.

#include <cstddef>
#include <cstdint>

#include "lua.h"
#include "lundump.h"

namespace {

int g_budget;

void CountLines(lua_State* L, lua_Debug*) {
  if (--g_budget < 0) lua_error(L, "budget exhausted");
}

int Quiet(lua_State*) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || data[0] != ID_CHUNK) return 0;
  lua_State* L = lua_open(0);
  if (L == nullptr) return 0;
  lua_register(L, LUA_ERRORMESSAGE, Quiet);
  lua_setlinehook(L, CountLines);
  g_budget = 3000;
  lua_dobuffer(L, reinterpret_cast<const char*>(data), size, "=fuzz");
  lua_close(L);
  return 0;
}
