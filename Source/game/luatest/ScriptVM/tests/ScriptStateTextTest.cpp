#include <gtest/gtest.h>

#include <string>

#include "ScriptVM/ScriptStateText.h"
#include "TWUtil/String.h"

namespace {

std::string Escape(const std::string& s, const char* sep) {
  EString out;
  ScriptStateText_AppendEscaped(out, s.c_str(), sep);
  return std::string(*out ? *out : "", out.Length());
}

std::string Unescape(const std::string& s, const char* sep) {
  EString out;
  ScriptStateText_AppendUnescaped(out, s.data(), (int)s.size(), sep);
  return std::string(*out ? *out : "", out.Length());
}

TEST(ScriptStateText, EscapesOnlyTheSeparatorLineBreaksAndTheEscapeByte) {
  struct Case {
    std::string in;
    const char* sep;
    std::string escaped;
  } cases[] = {
      {"plain text, with 0.5 and [3]", "|", "plain text, with 0.5 and [3]"},
      {"", "|", ""},
      {"a|b", "|", std::string("a\x01") + "sb"},
      {"line\nnext\r", "|", std::string("line\x01") + "nnext\x01r"},
      {std::string("x\x01y"), "|", std::string("x\x01") + "ey"},
      {"a::b:c", "::", std::string("a\x01") + "sb:c"},
      {"a|b", "", "a|b"},
      {"a|b", nullptr, "a|b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Escape(c.in, c.sep), c.escaped);
    EXPECT_EQ(Unescape(c.escaped, c.sep), c.in);
  }
}

TEST(ScriptStateText, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int i = 1; i < 256; ++i) all += (char)i;
  all += "||\n\n\x01\x01";
  std::string escaped = Escape(all, "|");
  EXPECT_EQ(escaped.find('|'), std::string::npos);
  EXPECT_EQ(escaped.find('\n'), std::string::npos);
  EXPECT_EQ(escaped.find('\r'), std::string::npos);
  EXPECT_EQ(Unescape(escaped, "|"), all);
}

TEST(ScriptStateText, UnknownOrCutEscapesAreKeptAsTheyStand) {
  EXPECT_EQ(Unescape(std::string("a\x01zq"), "|"), std::string("a\x01zq"));
  EXPECT_EQ(Unescape(std::string("end\x01"), "|"), std::string("end\x01"));
  // Only the given length is read.
  EXPECT_EQ(Unescape(std::string("ab\x01sIGNORED"), "|").substr(0, 2), "ab");
  EString out;
  ScriptStateText_AppendUnescaped(out, "abc|def", 3, "|");
  EXPECT_STREQ(*out, "abc");
}

}  // namespace
