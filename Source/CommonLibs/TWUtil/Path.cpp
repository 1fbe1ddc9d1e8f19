#include "TWUtil/Path.h"

#include <cstring>

#include "TWUtil/TWUnixCompat.h"

void Path::Join(EString& path, const char* name) {
  int n = path.Length();
  const char* text = *path;
  while (n > 0 && (text[n - 1] == '/' || text[n - 1] == '\\')) --n;
  EString joined(text, n);
  joined += "/";
  joined += name ? name : "";
  EString::Swap(path, joined);
}

EString Path::DirName(const char* path) {
  if (!path || !*path) return EString();
  EString fixed(path);
  convertUnixFilename(fixed.GetCharArray().GetData(), path);
  const char* slash = strrchr(*fixed, '/');
  if (!slash) return EString();
  return EString(*fixed, (int)(slash - *fixed));
}

bool Path::ReplaceChar(EString& path, char from, char to) {
  if (!path.Length()) return false;
  for (char* p = path.GetCharArray().GetData(); *p; ++p) {
    if (*p == from) *p = to;
  }
  return true;
}
