// Fixtures of the audio runtime's tests: RIFF files made with mkriff in a
// temporary folder of the test's own, banks loaded from them, and objects
// written back to bytes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace iaudtest {

using filetest::TempDir;

// Writes description to <dir>/<name>.txt and makes <dir>/<name>.riff with
// mkriff; the path of the RIFF file, or "" when mkriff failed.
inline std::string MakeRiff(const TempDir& dir, const std::string& name, const std::string& description) {
  std::string txt = dir / (name + ".txt"), riff = dir / (name + ".riff");
  std::ofstream(txt) << description;
  std::string cmd = std::string("\"") + QUILLOMAR_MKRIFF + "\" \"" + txt + "\" \"" + riff + "\" > /dev/null";
  return system(cmd.c_str()) == 0 ? riff : std::string();
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Reads the file's first chunk as the bank's own tree (any form type).
inline IAUDContentBank* LoadBank(const std::string& path) {
  IAUDContentBank* bank = new IAUDContentBank();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bank;
  RiffChunk root;
  if (IAUDContentObject::DescendFile(f, &root, nullptr) && root.dwChunkId == IAUDFourCC("RIFF"))
    bank->UnArchiveObject(f, root);
  fclose(f);
  return bank;
}

// The bytes ArchiveObject writes for the object.
inline std::vector<uint8_t> Archive(IAUDContentObject* object) {
  FILE* f = tmpfile();
  if (!f) return {};
  object->ArchiveObject(f);
  long size = ftell(f);
  std::vector<uint8_t> bytes(size > 0 ? (size_t)size : 0);
  fseek(f, 0, SEEK_SET);
  if (!bytes.empty() && fread(bytes.data(), bytes.size(), 1, f) != 1) bytes.clear();
  fclose(f);
  return bytes;
}

// Writes the bank to <dir>/<name> and loads it again.
inline IAUDContentBank* SaveAndReload(IAUDContentBank* bank, const TempDir& dir, const std::string& name) {
  std::vector<uint8_t> bytes = Archive(bank);
  std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
  return LoadBank(dir / name);
}

// A 16-bit string from ASCII text.
inline std::u16string U16(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }
inline const uint16_t* W(const std::u16string& s) { return reinterpret_cast<const uint16_t*>(s.c_str()); }
inline std::string Narrow(const uint16_t* s) {
  std::string out;
  while (s && *s) out += (char)*s++;
  return out;
}

// The children of an object as their titles, in sibling order.
inline std::vector<std::string> ChildTitles(IAUDContentObject* parent) {
  std::vector<std::string> out;
  for (IAUDContentObject* c = parent->GetChild(); c; c = c->GetAfter()) out.push_back(Narrow(c->GetTitle()));
  return out;
}

}  // namespace iaudtest
