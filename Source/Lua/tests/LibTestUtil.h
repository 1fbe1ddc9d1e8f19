// Fixture of the standard-library tests: a state with all five libraries
// opened in the host's order, an error handler that keeps the messages, and
// runners that capture what the real "print" writes.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

class LibTest : public ::testing::Test {
 protected:
  lua_State* L = nullptr;

  void SetUp() override {
    s_messages.clear();
    L = lua_open(0);
    ASSERT_NE(L, nullptr);
    lua_baselibopen(L);
    lua_iolibopen(L);
    lua_strlibopen(L);
    lua_mathlibopen(L);
    lua_dblibopen(L);
    lua_register(L, LUA_ERRORMESSAGE, RecordMessage);
  }

  void TearDown() override {
    if (L) lua_close(L);
  }

  // Runs a chunk and returns what it printed; a failure adds its status and
  // the last error message.
  std::string Run(const std::string& code) {
    s_messages.clear();
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    int status = lua_dobuffer(L, code.data(), code.size(), "=test");
    fflush(stdout);
    std::string out = ::testing::internal::GetCapturedStdout();
    if (status != 0) out += "status " + std::to_string(status) + ": " + LastMessage() + "\n";
    lua_settop(L, 0);
    return out;
  }

  // Runs a chunk that must fail and returns the error message it raised.
  std::string Error(const std::string& code) {
    s_messages.clear();
    int status = lua_dobuffer(L, code.data(), code.size(), "=test");
    lua_settop(L, 0);
    if (status == 0) return "(no error)";
    return LastMessage();
  }

  // The results of "return <expr>" as text, separated by commas; nil shows
  // as nil and other non-strings as their type names.
  std::string Eval(const std::string& expr) {
    std::string code = "return " + expr;
    s_messages.clear();
    int top = lua_gettop(L);
    int status = lua_dobuffer(L, code.data(), code.size(), "=eval");
    if (status != 0) return "error: " + LastMessage();
    std::string r;
    for (int i = top + 1; i <= lua_gettop(L); i++) {
      if (i > top + 1) r += ",";
      int t = lua_type(L, i);
      if (t == LUA_TSTRING || t == LUA_TNUMBER) {
        lua_pushvalue(L, i);
        r += std::string(lua_tostring(L, -1), lua_strlen(L, -1));
        lua_pop(L, 1);
      } else {
        r += lua_typename(L, t);
      }
    }
    lua_settop(L, top);
    return r;
  }

  static std::string LastMessage() { return s_messages.empty() ? "" : s_messages.back(); }

  static inline std::vector<std::string> s_messages;

 private:
  static int RecordMessage(lua_State* L) {
    const char* s = lua_tostring(L, 1);
    s_messages.push_back(s ? s : "(no message)");
    return 0;
  }
};
