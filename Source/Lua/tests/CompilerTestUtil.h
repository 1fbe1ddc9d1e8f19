// Fixture for compiler and program tests: a fresh interpreter state whose
// error handler keeps the last message, a test-only "print" that collects
// its output, and a compiler entry that stops before running the chunk.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "ldo.h"
#include "lfunc.h"
#include "lobject.h"
#include "lopcodes.h"
#include "lstate.h"
#include "lua.h"
#include "lzio.h"

class LuaFixture : public ::testing::Test {
 protected:
  lua_State* L = nullptr;
  static std::string lastError;
  static std::string output;

  static int ErrorMessage(lua_State* L) {
    const char* s = lua_tostring(L, 1);
    lastError = s ? s : "(no message)";
    return 0;
  }

  // print(...): arguments as strings, separated by tabs, one line per call
  static int Print(lua_State* L) {
    int n = lua_gettop(L);
    for (int i = 1; i <= n; i++) {
      if (i > 1) output += "\t";
      if (lua_isnil(L, i)) {
        output += "nil";
      } else {
        const char* s = lua_tostring(L, i);
        output += s ? s : lua_typename(L, lua_type(L, i));
      }
    }
    output += "\n";
    return 0;
  }

  void SetUp() override {
    lastError.clear();
    output.clear();
    L = lua_open(0);
    ASSERT_NE(L, nullptr);
    lua_register(L, LUA_ERRORMESSAGE, ErrorMessage);
    lua_register(L, "print", Print);
  }

  void TearDown() override {
    if (L) lua_close(L);
  }

  // Compiles without running; the closure stays on the stack so the
  // prototype lives until the next collection. Null on a syntax error.
  Proto* Compile(const std::string& source) {
    lastError.clear();
    lua_settop(L, 0);
    ZIO z;
    luaZ_mopen(&z, source.data(), source.size(), source.c_str());
    if (luaD_protectedparser(L, &z, 0) != 0) return nullptr;
    return clvalue(L->top - 1)->f.l;
  }

  static std::vector<std::string> Disassemble(const Proto* f) {
    return luachunk::DisassembleLines(f);
  }

  // Runs a chunk; on failure the status and the message are returned in
  // the output so that a mismatch shows them.
  std::string Run(const std::string& source) {
    output.clear();
    lastError.clear();
    int status = lua_dobuffer(L, source.data(), source.size(), "=test");
    if (status != 0) output += "status " + std::to_string(status) + ": " + lastError + "\n";
    lua_settop(L, 0);
    return output;
  }
};

inline std::string LuaFixture::lastError;
inline std::string LuaFixture::output;
