// Shared by the save harnesses and their seed writer.
#pragma once

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace fuzzsupport {

inline bool WriteText(const std::string& path, const char* text) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) return false;
  fputs(text, f);
  return fclose(f) == 0;
}

// Writes the script classes the saves' objects are made of into
// <folder>/scripts.
inline bool WriteSaveClasses(const std::string& folder) {
  std::string scripts = folder + "/scripts";
  mkdir(scripts.c_str(), 0700);
  return WriteText(scripts + "/Base.lua",
                   "function Base()\n"
                   "  local o = CreateObject(nil)\n"
                   "  o.setState = function(self, s) APISetState(self, s) end\n"
                   "  o.SetState = o.setState\n"
                   "  return o\n"
                   "end\n") &&
         WriteText(scripts + "/Holder.lua", "function Holder() return CreateObject(\"Base\") end\n");
}

}  // namespace fuzzsupport
