// Writes the seed corpus of the fuzz harnesses with the system's own
// writers:  fuzz_seeds <corpus folder>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "TWUtil/Array.h"
#include "TWMath/tests/OctreeTestWriter.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EPackageWriter.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ETga.h"
#include "TWUtil/String.h"

namespace {

const unsigned kCREATE = FILE_WRITE | FILE_CREATE | FILE_TRUNCATE;

bool WritePackages(const std::string& dir) {
  EPackageWriter w;
  const char* files[][2] = {
      {"scripts/boot.lua", "print('boot')"},
      {"scripts/a.lua", "a"},
      {"scripts/boot.txt", "text"},
      {"levels/l1/level.plb", "level one"},
      {"levels/l2/level.plb", "level two"},
      {"data/noext", "none"},
  };
  for (const auto& f : files)
    if (!w.AddFile(f[0], f[1], (unsigned)std::string(f[1]).size())) return false;
  EPackageWriter empty;
  return w.Write((dir + "/sample.pkg").c_str()) && empty.Write((dir + "/empty.pkg").c_str());
}

// Operation bytes as the stream harness reads them: kind = op % 10, fixed
// buffers of (op / 10) * 5 + 1 bytes.
bool WriteStream(const std::string& dir) {
  EFileWriter s(EWin32File::Open((dir + "/ops.bin").c_str(), kCREATE), kAUTOCLOSE_Yes);
  if (!s.GetFile()) return false;
  unsigned char op;
  char* text = const_cast<char*>("hello");
  op = 0;
  s << op << text;
  EString abc("abc");
  op = 1;
  s << op << abc;
  EArray<unsigned char> bytes;
  for (unsigned char c = 1; c < 6; ++c) bytes.AddData(c);
  op = 2;
  s << op << bytes;
  char name[16] = "name";
  op = 33;  // 1-byte length, 16-byte buffer
  s << op;
  s.StreamString_1b(name, 16);
  op = 34;
  s << op;
  s.StreamString_2b(name, 16);
  op = 35;
  s << op;
  s.StreamString_4b(name, 16);
  op = 6;  // read as a pooled string
  s << op << text;
  unsigned short u = 0x1234;
  op = 7;
  s << op << u;
  long l = -7;
  float f = 0.5f;
  op = 8;
  s << op << l << f;
  op = 9;
  const int constant = 42;
  s << op << constant;
  return !s.Err();
}

bool WriteTga(const std::string& dir, const char* name, long width, long height, unsigned format) {
  EBitmap bitmap;
  bitmap.Init(width, height, format, nullptr, false);
  for (long i = 0; i < width * height * (bitmap.Depth() / 8); ++i) bitmap.Buffer()[i] = (char)(i * 37);
  EFile* f = EWin32File::Open((dir + "/" + name).c_str(), kCREATE);
  if (!f) return false;
  ETGAFile tga;
  bool ok = tga.WriteImage(f, &bitmap);
  f->Close();
  return ok;
}

// Octree records as the octree harness reads them: one byte of layout and
// flags, then the record.
bool WriteOctree(const std::string& dir, const char* name, unsigned char header, const std::vector<uint8_t>& record) {
  EFileWriter s(EWin32File::Open((dir + "/" + name).c_str(), kCREATE), kAUTOCLOSE_Yes);
  if (!s.GetFile()) return false;
  s << header;
  octreetest::WriteTo(s, record);
  return !s.Err();
}

bool WriteOctrees(const std::string& dir) {
  octreetest::TreeDesc t;
  t.centre = EVec3(1, 2, 3);
  t.half = 16;
  const uint32_t kLeaf = 0x400000;
  t.nodes.resize(2);
  t.nodes[0].push_back(1);
  for (uint32_t o = 1; o < 8; o++) t.nodes[0].push_back(o == 4 ? 0x7FFFFF : (kLeaf | (o - 1)));
  for (uint32_t o = 0; o < 8; o++) t.nodes[1].push_back(kLeaf | (7 + o));
  for (int k = 0; k < 15; k++) t.leaves.push_back({k, k % 3});
  for (int i = 0; i < 20; i++) t.indices.push_back(i * 3);
  return WriteOctree(dir, "current.oct", 1, octreetest::CurrentLayout(t)) &&
         WriteOctree(dir, "current_noleaves.oct", 1, octreetest::CurrentLayout(t, false)) &&
         WriteOctree(dir, "old.oct", 0, octreetest::OldLayout(t)) &&
         WriteOctree(dir, "old_vis.oct", 6, octreetest::OldLayout(t, false));
}

// Script sources touching every statement, the operators, constructors,
// upvalues, varargs and the operand-extension cases.
bool WriteLuaSources(const std::string& dir) {
  std::string wide = "local a1";
  for (int i = 2; i <= 33; ++i) wide += ", a" + std::to_string(i);
  wide += " = 1\nprint(a1)\nlocal t = {";
  for (int i = 0; i < 40; ++i) wide += std::to_string(i) + ",";
  wide += "}\n";
  for (int i = 0; i < 32; ++i) wide += "function f" + std::to_string(i) + "() return %t end\n";
  const std::string sources[][2] = {
      {"statements.lua",
       "local x, y = 1, 2\nif x == nil then y = 1 elseif x ~= y then y = 2 else y = 3 end\n"
       "while x < 10 do x = x + 1; if x > 5 then break end end\nrepeat y = y - 1 until y <= 0\n"
       "for i = 10, 1, -2 do x = x .. i end\nfor k, v in {1, 2; a = 3} do y = k end\n"},
      {"functions.lua",
       "function f(a, ...) return arg.n, a end\nlocal o = {}\nfunction o:m(b) return self, b end\n"
       "function g(x) return function(y) return %x + y end end\nreturn f(o:m(g(1)(2)))\n"},
      {"expressions.lua",
       "a = not (1 and nil or 2) .. -3 ^ 2 * 4 / 5 - 6 + 7\nb = {[a] = 1, c = 2; 3, 4}\n"
       "c = a == b or a >= b and a <= b or a < b or a > b\nd = [[long\n[[nested]]\n]] .. 'e\\065'\n"
       "--[[ block\ncomment ]] e = .5e1\n"},
      {"wide.lua", wide},
  };
  for (const auto& src : sources) {
    FILE* f = fopen((dir + "/" + src[0]).c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(src[1].data(), 1, src[1].size(), f) == src[1].size();
    if (fclose(f) != 0) ok = false;
    if (!ok) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
    return 2;
  }
  std::string root = argv[1];
  for (const char* sub : {"", "/package_fuzzer", "/stream_fuzzer", "/tga_fuzzer", "/octree_fuzzer", "/lua_compile_fuzzer", "/work"})
    mkdir((root + sub).c_str(), 0700);
  bool ok = WritePackages(root + "/package_fuzzer") && WriteStream(root + "/stream_fuzzer") &&
            WriteTga(root + "/tga_fuzzer", "rgba.tga", 3, 2, 0) && WriteTga(root + "/tga_fuzzer", "rgb.tga", 2, 3, 1) &&
            WriteTga(root + "/tga_fuzzer", "argb1555.tga", 2, 2, 3) && WriteOctrees(root + "/octree_fuzzer") &&
            WriteLuaSources(root + "/lua_compile_fuzzer");
  if (!ok) fprintf(stderr, "fuzz_seeds: could not write the corpus in %s\n", root.c_str());
  return ok ? 0 : 1;
}
