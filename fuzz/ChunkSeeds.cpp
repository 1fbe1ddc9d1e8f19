// Writes the seed corpus of the chunk harness: compiled programs written
// out by the test chunk writer.   chunk_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ChunkWriter.h"
#include "ldo.h"
#include "lstate.h"
#include "lua.h"
#include "lzio.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: chunk_seeds <corpus folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  // The corpus root may not exist yet: other seed writers run at the same
  // time, so make every level of the path here.
  for (size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1))
    mkdir(dir.substr(0, at).c_str(), 0700);
  mkdir(dir.c_str(), 0700);
  const char* programs[] = {
    "x = 1 + 2 * 3",
    "function f(n) if n < 2 then return n end return f(n - 1) + f(n - 2) end x = f(8)",
    "local t = {1, 2, 3; a = 'b'} for k, v in t do t[k] = v end",
    "local s = '' for i = 1, 20 do s = s .. i end",
    "function v(...) return arg.n end local u = 3 function c() return %u end x = v(c())",
    "x = 0 while x < 5 do x = x + 1 if x == 3 then break end end repeat x = x - 1 until x < 0",
    "local a, b = 1 x = (a and b) or (not a) x = a < 2 and 'lt' or a .. ''",
  };
  lua_State* L = lua_open(0);
  int n = 0;
  for (const char* program : programs) {
    ZIO z;
    luaZ_mopen(&z, program, strlen(program), program);
    if (luaD_protectedparser(L, &z, 0) != 0) {
      lua_close(L);
      return 1;
    }
    std::string chunk = luachunk::WriteChunk(luachunk::FromProto(clvalue(L->top - 1)->f.l));
    lua_pop(L, 1);
    std::string path = dir + "/seed" + std::to_string(n++) + ".luc";
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      lua_close(L);
      return 1;
    }
    fwrite(chunk.data(), 1, chunk.size(), f);
    fclose(f);
  }
  lua_close(L);
  return 0;
}
