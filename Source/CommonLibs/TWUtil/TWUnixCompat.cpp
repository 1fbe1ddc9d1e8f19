#include "TWUtil/TWUnixCompat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

static inline unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

int AsciiCaseCompare(const char* a, const char* b) {
  const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
  for (;; ++pa, ++pb) {
    unsigned char ca = AsciiLower(*pa), cb = AsciiLower(*pb);
    if (ca != cb || ca == 0) return (int)ca - (int)cb;
  }
}

// Repairs the last component of path in place. Succeeds when the path exists
// as it is or when its directory holds an entry equal to the component
// ignoring case, whose spelling then replaces the component.
static bool RepairLastComponent(char* path) {
  if (access(path, F_OK) == 0) return true;

  char* slash = strrchr(path, '/');
  char* component = path;
  const char* dirName = ".";
  if (slash) {
    component = slash + 1;
    *slash = '\0';
    dirName = (slash == path) ? "/" : path;
  }
  DIR* dir = opendir(dirName);
  if (slash) *slash = '/';
  if (!dir) return false;

  bool found = false;
  while (struct dirent* entry = readdir(dir)) {
    // ASCII case folding keeps the length, so the spelling fits in place.
    if (AsciiCaseCompare(entry->d_name, component) == 0) {
      memcpy(component, entry->d_name, strlen(component));
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

char* convertUnixFilename(char* destination, const char* source) {
  if (!destination) return destination;
  if (!source) {
    destination[0] = '\0';
    return destination;
  }
  size_t i = 0;
  for (; source[i]; ++i) destination[i] = (source[i] == '\\') ? '/' : source[i];
  destination[i] = '\0';

  if (destination[0] == '\0' || access(destination, F_OK) == 0) return destination;

  char* original = strdup(destination);
  if (!original) return destination;

  for (char* p = strchr(destination + 1, '/'); p; p = strchr(p + 1, '/')) {
    *p = '\0';
    bool repaired = RepairLastComponent(destination);
    *p = '/';
    if (!repaired) {
      free(original);
      return destination;
    }
  }
  if (RepairLastComponent(destination) && strcmp(original, destination) != 0)
    fprintf(stderr, "QUILLOMAR UNIX FILENAME: corrected '%s' to '%s'\n", original, destination);
  free(original);
  return destination;
}
