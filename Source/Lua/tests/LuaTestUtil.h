// Shared fixture of the interpreter tests: a fresh state whose error
// handler records messages instead of printing them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ldo.h"
#include "lfunc.h"
#include "lobject.h"
#include "lstate.h"
#include "lua.h"
#include "lzio.h"

class LuaTest : public ::testing::Test {
protected:
  void SetUp() override {
    L = lua_open(0);
    ASSERT_NE(L, nullptr);
    s_pMessages = &m_messages;
    lua_register(L, "_ERRORMESSAGE", RecordMessage);
  }
  void TearDown() override {
    if (L) lua_close(L);
    s_pMessages = nullptr;
    lua_setgccallback(nullptr);
    lua_setgcthreadcallback(nullptr);
  }

  int Run(const char* code) { return lua_dostring(L, code); }
  int RunChunk(const std::string& bytes, const char* name = "=chunk") {
    return lua_dobuffer(L, bytes.data(), bytes.size(), name);
  }
  float Num(const char* global) {
    lua_getglobal(L, global);
    float n = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return n;
  }
  std::string Str(const char* global) {
    lua_getglobal(L, global);
    const char* s = lua_tostring(L, -1);
    std::string r = s ? s : "(null)";
    lua_pop(L, 1);
    return r;
  }
  int Type(const char* global) {
    lua_getglobal(L, global);
    int t = lua_type(L, -1);
    lua_pop(L, 1);
    return t;
  }
  std::string LastMessage() const { return m_messages.empty() ? "" : m_messages.back(); }
  // Compiles source and returns its main prototype (kept alive in a global).
  const Proto* Compile(const char* code) {
    ZIO z;
    luaZ_mopen(&z, code, strlen(code), code);
    if (luaD_protectedparser(L, &z, 0) != 0) return nullptr;
    const Proto* p = clvalue(L->top - 1)->f.l;
    lua_setglobal(L, "__compiled");
    return p;
  }

  lua_State* L = nullptr;
  std::vector<std::string> m_messages;

private:
  static int RecordMessage(lua_State* L) {
    const char* s = lua_tostring(L, 1);
    if (s_pMessages) s_pMessages->push_back(s ? s : "(no message)");
    return 0;
  }
  static inline std::vector<std::string>* s_pMessages = nullptr;
};
