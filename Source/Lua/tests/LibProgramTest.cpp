// Whole scripts written against the standard libraries: what they print
// shows the libraries working together.
#include <gtest/gtest.h>

#include <string>

#include "LibTestUtil.h"

namespace {

class LibProgramTest : public LibTest {};

TEST_F(LibProgramTest, Tokenizer) {
  EXPECT_EQ(Run(R"LUA(
    function tokenize(src)
      local tokens = {}
      local pos = 1
      local len = strlen(src)
      while pos <= len do
        local s, e = strfind(src, '^%s+', pos)
        if s then
          pos = e + 1
        else
          local kind, text
          s, e, text = strfind(src, '^(%a[%w_]*)', pos)
          if s then kind = 'name' end
          if not s then
            s, e, text = strfind(src, '^(%d+%.?%d*)', pos)
            if s then kind = 'number' end
          end
          if not s then
            s, e, text = strfind(src, '^"([^"]*)"', pos)
            if s then kind = 'string' end
          end
          if not s then
            s, e, text = strfind(src, '^([=~<>]=)', pos)
            if not s then s, e, text = strfind(src, '^(%p)', pos) end
            kind = 'op'
          end
          tinsert(tokens, kind .. ':' .. text)
          pos = e + 1
        end
      end
      return tokens
    end
    local t = tokenize('if x1 >= 10.5 then print("hi there", y) end')
    for i = 1, getn(t) do write(t[i], ' ') end
    write('\n')
    print(getn(t))
  )LUA"),
            "name:if name:x1 op:>= number:10.5 name:then name:print op:( string:hi there op:, "
            "name:y op:) name:end \n12\n");
}

TEST_F(LibProgramTest, WordFrequencies) {
  EXPECT_EQ(Run(R"LUA(
    local text = [[The quick brown fox jumps over the lazy dog.
The dog sleeps; the fox runs!]]
    local counts = {}
    gsub(strlower(text), '(%a+)', function(w) %counts[w] = (%counts[w] or 0) + 1 end)
    local words = {}
    foreach(counts, function(w, n) tinsert(%words, w) end)
    sort(words, function(a, b)
      if %counts[a] ~= %counts[b] then return %counts[a] > %counts[b] end
      return a < b
    end)
    for i = 1, 4 do print(format('%-6s %2d', words[i], counts[words[i]])) end
    print(gsub(text, '%s+', ' ') == nil)
    print((gsub('  trim me  ', '^%s*(.-)%s*$', '%1')) .. '|')
    print(format('%q', 'say "hi"\n'))
  )LUA"),
            "the     4\ndog     2\nfox     2\nbrown   1\nnil\ntrim me|\n\"say \\\"hi\\\"\\\n\"\n");
}

TEST_F(LibProgramTest, NumericCode) {
  EXPECT_EQ(Run(R"LUA(
    -- greatest common divisor, primes, and a small table of trigonometry
    function gcd(a, b) while b ~= 0 do a, b = b, mod(a, b) end return a end
    print(gcd(48, 18), gcd(17, 5))
    local primes = {}
    for n = 2, 50 do
      local isprime = 1
      for d = 2, floor(sqrt(n)) do if mod(n, d) == 0 then isprime = nil end end
      if isprime then tinsert(primes, n) end
    end
    print(getn(primes), primes[getn(primes)])
    for a = 0, 90, 30 do print(format('%3d %6.3f %6.3f', a, sin(a), cos(a))) end
    local sum = 0
    for i = 1, 100 do sum = sum + i * i end
    print(sum, format('%.2e', sum), 2 ^ 16, max(3, 7, 5) - min(3, 7, 5))
    print(format('%d%%', 0.756 * 100), tonumber('1F', 16) + tonumber('10', 2))
  )LUA"),
            "6\t1\n15\t47\n  0  0.000  1.000\n 30  0.500  0.866\n 60  0.866  0.500\n 90  1.000  0.000\n"
            "338350\t3.38e+05\t65536\t4\n75%\t33\n");
}

TEST_F(LibProgramTest, CsvToFileAndBack) {
  char dir[] = "/tmp/libprogXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  lua_pushstring(L, (std::string(dir) + "/table.csv").c_str());
  lua_setglobal(L, "PATH");
  EXPECT_EQ(Run(R"LUA(
    local rows = {{'name', 'score'}, {'ann', 12.5}, {'bob', 7}}
    writeto(PATH)
    for i = 1, getn(rows) do write(rows[i][1], ',', rows[i][2], '\n') end
    writeto()
    readfrom(PATH)
    local total = 0
    local line = read()
    while line do
      local _, _, name, value = strfind(line, '^([^,]*),(.*)$')
      if tonumber(value) then total = total + tonumber(value) end
      line = read()
    end
    readfrom()
    print(total)
    print(remove(PATH) ~= nil)
  )LUA"),
            "19.5\n1\n");
  rmdir(dir);
}

}  // namespace
