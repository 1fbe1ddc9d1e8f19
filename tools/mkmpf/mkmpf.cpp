// mkmpf: packs single-mesh scene files into a mesh pack (".mpf").
//
//   mkmpf OUTPUT.mpf NAME CATEGORY FILE [NAME CATEGORY FILE ...]
//
// NAME is the mesh's file name as the game asks for it, CATEGORY its data
// category (0 to 4) and FILE the scene file holding it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PlbWriter.h"

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0) {
    fprintf(stderr, "usage: mkmpf OUTPUT.mpf NAME CATEGORY FILE [NAME CATEGORY FILE ...]\n");
    return 2;
  }
  std::vector<MpfEntry> entries;
  for (int i = 2; i < argc; i += 3) {
    MpfEntry e;
    e.name = argv[i];
    char* end = nullptr;
    const long category = strtol(argv[i + 1], &end, 10);
    if (!*argv[i + 1] || *end || category < 0 || category > 4) {
      fprintf(stderr, "mkmpf: category '%s' is not 0 to 4\n", argv[i + 1]);
      return 2;
    }
    e.category = (uint16_t)category;
    std::ifstream in(argv[i + 2], std::ios::binary);
    if (!in) {
      fprintf(stderr, "mkmpf: cannot read '%s'\n", argv[i + 2]);
      return 1;
    }
    e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (e.name.size() + 1 >= 4096 || entries.size() >= 0xFFFF) {
      fprintf(stderr, "mkmpf: '%s' does not fit a pack\n", e.name.c_str());
      return 1;
    }
    entries.push_back(e);
  }
  std::vector<uint8_t> bytes;
  WriteMpf(bytes, entries);
  if (!SaveBytes(argv[1], bytes)) {
    fprintf(stderr, "mkmpf: cannot write '%s'\n", argv[1]);
    return 1;
  }
  printf("%s: %zu meshes\n", argv[1], entries.size());
  return 0;
}
