// mkpkg: packs a folder into a "ZPKG" package.
//
//   mkpkg <folder> <package>
//
// Every file below the folder is stored under its path relative to the
// folder, lower case. Files directly in the folder cannot be looked up in a
// package and are skipped with a warning.

#include <cstdio>

#include "TWUtil/EPackageWriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkpkg <folder> <package>\n");
    return 2;
  }
  EPackageWriter writer;
  if (!writer.AddFolder(argv[1])) {
    fprintf(stderr, "mkpkg: %s\n", writer.GetError());
    return 1;
  }
  for (int i = 0; i < writer.GetNumSkipped(); ++i)
    fprintf(stderr, "mkpkg: skipping '%s': files must lie in a folder\n", writer.GetSkipped(i));
  if (!writer.Write(argv[2])) {
    fprintf(stderr, "mkpkg: %s\n", writer.GetError());
    return 1;
  }
  printf("%s: %d files\n", argv[2], writer.GetNumFiles());
  return 0;
}
