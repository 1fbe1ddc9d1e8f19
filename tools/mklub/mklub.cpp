// mklub: compiles one script source into a precompiled chunk, the form in
// which the game's string tables ("<group>_StringTable.lub") are shipped.
//
//   mklub <source.lua> <chunk.lub>
//
// The source is compiled with the interpreter's own compiler and written
// with the interpreter tests' chunk writer.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ChunkWriter.h"
#include "Lua/ldo.h"
#include "Lua/lfunc.h"
#include "Lua/lobject.h"
#include "Lua/lstate.h"
#include "Lua/lua.h"
#include "Lua/lzio.h"

namespace {
std::string s_lastError;
int RecordError(lua_State* L) {
  const char* s = lua_tostring(L, 1);
  s_lastError = s ? s : "(no message)";
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mklub <source.lua> <chunk.lub>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    fprintf(stderr, "mklub: cannot read '%s'\n", argv[1]);
    return 1;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();

  lua_State* L = lua_open(0);
  if (!L) {
    fprintf(stderr, "mklub: could not open the interpreter\n");
    return 1;
  }
  lua_register(L, LUA_ERRORMESSAGE, RecordError);
  ZIO z;
  std::string name = std::string("@") + argv[1];
  luaZ_mopen(&z, text.data(), text.size(), name.c_str());
  if (luaD_protectedparser(L, &z, 0) != 0) {
    fprintf(stderr, "mklub: %s\n", s_lastError.empty() ? "cannot compile the source" : s_lastError.c_str());
    lua_close(L);
    return 1;
  }
  const std::string chunk = luachunk::WriteChunk(luachunk::FromProto(clvalue(L->top - 1)->f.l));
  lua_close(L);

  FILE* f = fopen(argv[2], "wb");
  if (!f || fwrite(chunk.data(), 1, chunk.size(), f) != chunk.size()) {
    fprintf(stderr, "mklub: cannot write '%s'\n", argv[2]);
    if (f) fclose(f);
    return 1;
  }
  if (fclose(f) != 0) {
    fprintf(stderr, "mklub: cannot write '%s'\n", argv[2]);
    return 1;
  }
  return 0;
}
