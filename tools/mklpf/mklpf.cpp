// mklpf: compiles script sources into a compiled script pack (".lpf").
//
//   mklpf [--source] [--run <file.lua>]... <folder> <pack.lpf>
//
// Every ".lua" file below the folder becomes a class entry named by its
// path relative to the folder with "/" turned into "." and the extension
// dropped (tool/Ticker.lua is the class tool.Ticker; the package part is
// lower-cased as the host looks classes up). Classes are written in the
// order of their names. Each --run file becomes a chunk that the host runs
// once after the classes. Sources are compiled to precompiled chunks;
// --source stores them as text instead (the host accepts both).

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "Lua/ldo.h"
#include "Lua/lfunc.h"
#include "Lua/lobject.h"
#include "Lua/lstate.h"
#include "Lua/lua.h"
#include "Lua/lzio.h"
#include "ScriptVM/ScriptPack.h"
#include "ScriptVM/ScriptVM.h"

namespace {
struct Source {
  std::string name;  // class name or chunk name
  std::string path;
};

bool ReadAll(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

void Walk(const std::string& root, const std::string& rel, std::vector<Source>& out) {
  std::string dir = rel.empty() ? root : root + "/" + rel;
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    std::string childRel = rel.empty() ? n : rel + "/" + n;
    std::string full = root + "/" + childRel;
    struct stat st;
    if (stat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      Walk(root, childRel, out);
    } else if (n.size() > 4 && n.compare(n.size() - 4, 4, ".lua") == 0) {
      std::string cls = childRel.substr(0, childRel.size() - 4);
      std::replace(cls.begin(), cls.end(), '/', '.');
      char canonical[4096];
      EScriptVM::MakeClassNameCanonical(cls.c_str(), canonical, (int)sizeof(canonical));
      out.push_back({canonical, full});
    }
  }
  closedir(d);
}

// The error handler of the compiling state: keeps the message.
std::string s_lastError;
int RecordError(lua_State* L) {
  const char* s = lua_tostring(L, 1);
  s_lastError = s ? s : "(no message)";
  return 0;
}

// Compiles text into a precompiled chunk; false with the message on a
// syntax error.
bool Compile(lua_State* L, const std::string& text, const std::string& chunkName, std::string& out) {
  ZIO z;
  std::string name = "@" + chunkName;
  luaZ_mopen(&z, text.data(), text.size(), name.c_str());
  s_lastError.clear();
  if (luaD_protectedparser(L, &z, 0) != 0) return false;
  const Proto* p = clvalue(L->top - 1)->f.l;
  out = luachunk::WriteChunk(luachunk::FromProto(p));
  lua_settop(L, 0);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  bool bSource = false;
  std::vector<std::string> runFiles;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--source") == 0) {
      bSource = true;
    } else if (strcmp(argv[i], "--run") == 0 && i + 1 < argc) {
      runFiles.push_back(argv[++i]);
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      positional.clear();
      break;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 2) {
    fprintf(stderr, "usage: mklpf [--source] [--run <file.lua>]... <folder> <pack.lpf>\n");
    return 2;
  }
  std::string folder = positional[0];
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    fprintf(stderr, "mklpf: '%s' is not a folder\n", folder.c_str());
    return 1;
  }
  std::vector<Source> classes;
  Walk(folder, "", classes);
  std::sort(classes.begin(), classes.end(), [](const Source& a, const Source& b) { return a.name < b.name; });

  lua_State* L = lua_open(0);
  if (!L) {
    fprintf(stderr, "mklpf: could not open the interpreter\n");
    return 1;
  }
  lua_register(L, LUA_ERRORMESSAGE, RecordError);

  EScriptPackWriter writer;
  int failures = 0;
  auto Add = [&](const Source& s, bool bClass) {
    std::string text;
    if (!ReadAll(s.path, text)) {
      fprintf(stderr, "mklpf: cannot read '%s'\n", s.path.c_str());
      ++failures;
      return;
    }
    if (text.empty()) {
      fprintf(stderr, "mklpf: '%s' is empty\n", s.path.c_str());
      ++failures;
      return;
    }
    std::string code = text;
    if (!Compile(L, text, s.path, code)) {
      fprintf(stderr, "mklpf: %s\n", s_lastError.empty() ? ("cannot compile " + s.path).c_str() : s_lastError.c_str());
      ++failures;
      return;
    }
    if (bSource) code = text;
    if (bClass)
      writer.AddClass(s.name.c_str(), code.data(), (unsigned)code.size());
    else
      writer.AddChunk(s.name.c_str(), code.data(), (unsigned)code.size());
  };
  for (const Source& s : classes) Add(s, true);
  for (const std::string& r : runFiles) {
    std::string n = r.substr(r.find_last_of('/') == std::string::npos ? 0 : r.find_last_of('/') + 1);
    Add({n, r}, false);
  }
  lua_close(L);
  if (failures) return 1;

  EArray<unsigned char> bytes;
  if (!writer.Build(bytes)) {
    fprintf(stderr, "mklpf: too many entries or a name too long for the pack format\n");
    return 1;
  }
  FILE* f = fopen(positional[1].c_str(), "wb");
  if (!f || (bytes.Num() && fwrite(bytes.GetData(), 1, (size_t)bytes.Num(), f) != (size_t)bytes.Num())) {
    fprintf(stderr, "mklpf: cannot write '%s'\n", positional[1].c_str());
    if (f) fclose(f);
    return 1;
  }
  fclose(f);
  printf("%s: %d classes, %d chunks\n", positional[1].c_str(), (int)classes.size(), (int)runFiles.size());
  return 0;
}
