// Small helpers for file paths held in strings.
#pragma once

#include "TWUtil/String.h"

class Path {
public:
  // Removes every trailing '\\' or '/' from path, then appends "/" and name.
  static void Join(EString& path, const char* name);
  // The path repaired for this file system (see convertUnixFilename) and cut
  // before its last '/'; empty when it has none.
  static EString DirName(const char* path);
  // Replaces every occurrence of one character by another; false for an
  // empty path.
  static bool ReplaceChar(EString& path, char from, char to);
};
