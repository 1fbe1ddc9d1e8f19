// mkppf: writes a level pack from the files of its sections.
//
//   mkppf <out.ppf> <textures.tpf|-> <meshes.mpf|-> <scripts.lpf|-> [scene.plb|-] [anims.apf]
//
// "-" writes the empty form of a section; without a scene (or with "-") the
// pack is a common pack. An animation pack given last is copied beside the
// level pack under the same name with the extension "apf".
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PpfWriter.h"

namespace {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
  return (bool)out;
}

bool Section(const char* arg, std::vector<uint8_t> (*empty)(), std::vector<uint8_t>& out) {
  if (std::string(arg) == "-") {
    out = empty();
    return true;
  }
  if (ReadFileBytes(arg, out)) return true;
  fprintf(stderr, "mkppf: cannot read '%s'\n", arg);
  return false;
}

std::vector<uint8_t> NoSection() { return {}; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 7) {
    fprintf(stderr, "usage: mkppf <out.ppf> <textures.tpf|-> <meshes.mpf|-> <scripts.lpf|-> [scene.plb|-] [anims.apf]\n");
    return 2;
  }
  std::vector<uint8_t> textures, meshes, scripts, scene, anims;
  if (!Section(argv[2], EmptyTextureSection, textures) || !Section(argv[3], EmptyMeshSection, meshes) ||
      !Section(argv[4], EmptyScriptSection, scripts) || (argc > 5 && !Section(argv[5], NoSection, scene)))
    return 1;
  const std::string out = argv[1];
  if (!WriteFileBytes(out, MakeLevelPack(textures, meshes, scripts, scene))) {
    fprintf(stderr, "mkppf: cannot write '%s'\n", out.c_str());
    return 1;
  }
  if (argc > 6) {
    if (!ReadFileBytes(argv[6], anims)) {
      fprintf(stderr, "mkppf: cannot read '%s'\n", argv[6]);
      return 1;
    }
    std::string apf = out.size() > 3 ? out.substr(0, out.size() - 3) + "apf" : out + ".apf";
    if (!WriteFileBytes(apf, anims)) {
      fprintf(stderr, "mkppf: cannot write '%s'\n", apf.c_str());
      return 1;
    }
  }
  printf("%s: %zu bytes\n", out.c_str(), 4 + textures.size() + meshes.size() + scripts.size() + scene.size());
  return 0;
}
