// mkapf: writes an ".apf" animation pack for animations stored in a package.
//
//   mkapf <package> <out.apf> <animation name>...
//
// Names are paths inside the package ("anims/walk.jan"). Side files beside
// an animation ("anims/walk.eve", "anims/walk.pba") become its 'evnt' and
// 'blnd' sections.

#include <cstdio>

#include "ApfWriter.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: mkapf <package> <out.apf> <animation name>...\n");
    return 2;
  }
  std::vector<std::string> names(argv + 3, argv + argc);
  std::vector<ApfEntry> entries;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ApfEntriesFromPackage(argv[1], names, entries, error) || !WriteApf(entries, bytes, error)) {
    fprintf(stderr, "mkapf: %s\n", error.c_str());
    return 1;
  }
  FILE* f = fopen(argv[2], "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "mkapf: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%s: %d animations\n", argv[2], (int)entries.size());
  return 0;
}
