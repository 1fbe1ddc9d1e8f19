#include "ApfWriter.h"

#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/EPackageFile.h"

namespace {

void ApfPut16(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[2];
  PutLE16(b, (uint16_t)v);
  out.insert(out.end(), b, b + 2);
}
void ApfPut32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}
void ApfPutString(std::vector<uint8_t>& out, const std::string& s) {
  ApfPut16(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

bool ApfEntryBytes(const ApfEntry& e, std::vector<uint8_t>& out, std::string& error) {
  const std::vector<uint8_t>& j = e.jan;
  if (j.size() < 8 || GetLE32(j.data()) != 0x504A4158) {
    error = e.name + ": not an animation file";
    return false;
  }
  const uint32_t version = GetLE32(j.data() + 4);
  const size_t headerSize = version == 201 ? 18 : version == 200 ? 80 : 0;
  if (!headerSize || j.size() < headerSize + 4) {
    error = e.name + ": unsupported or short animation file";
    return false;
  }
  const uint32_t mode = (version == 201 ? GetLE16(j.data() + 8) : GetLE32(j.data() + 76)) & 3;
  size_t p = headerSize;
  const uint32_t nameLen = GetLE32(j.data() + p);
  p += 4;
  if (nameLen == 0 || nameLen > j.size() - p || j[p + nameLen - 1] != 0) {
    error = e.name + ": bad root joint name";
    return false;
  }
  const std::string root(reinterpret_cast<const char*>(j.data() + p));
  p += nameLen;

  ApfPut32(out, 0x41535442);
  ApfPutString(out, e.name);
  ApfPut32(out, e.offset);
  ApfPut32(out, e.size);
  ApfPutString(out, root);
  out.insert(out.end(), j.begin(), j.begin() + headerSize);
  if (mode == 1 || mode == 2) {
    if (version != 201) {
      error = e.name + ": a translating animation must be version 201";
      return false;
    }
    // The root's first position channel.
    if (j.size() - p < 2) {
      error = e.name + ": short joint record";
      return false;
    }
    uint32_t channels = GetLE16(j.data() + p);
    p += 2;
    bool found = false;
    for (uint32_t c = 0; c < channels && !found; ++c) {
      if (j.size() - p < 4) break;
      const uint32_t kind = GetLE16(j.data() + p), keys = GetLE16(j.data() + p + 2);
      const size_t keySize = kind == 1 ? 18 : kind == 3 ? 8 : 14;
      if (kind > 3 || (j.size() - p - 4) / keySize < keys) break;
      if (kind == 0) {
        out.insert(out.end(), j.begin() + p, j.begin() + p + 4 + keys * keySize);
        found = true;
      }
      p += 4 + keys * keySize;
    }
    if (!found) {
      error = e.name + ": a translating animation without root position keys";
      return false;
    }
  }
  if (e.hasEvent) {
    ApfPut32(out, 0x65766E74);
    ApfPut32(out, (uint32_t)e.event.size());
    out.insert(out.end(), e.event.begin(), e.event.end());
  }
  if (e.hasBlend) {
    ApfPut32(out, 0x626C6E64);
    ApfPut32(out, (uint32_t)e.blend.size());
    out.insert(out.end(), e.blend.begin(), e.blend.end());
  }
  ApfPut32(out, 0x656E645F);
  return true;
}

bool ApfReadEntry(EPackageFile::Directory* d, const std::string& name, uint32_t* offset, uint32_t* size,
                  std::vector<uint8_t>& bytes) {
  EPackageFile::FileEntry* f = EPackageFile::FindFileEntry(d, name.c_str());
  if (!f) return false;
  bytes.resize(f->size);
  if (f->size && EPackageFile::ReadSync(d, f, 0, bytes.data(), f->size) != (int)f->size) return false;
  if (offset) *offset = f->dataOffset;
  if (size) *size = f->size;
  return true;
}

}  // namespace

bool WriteApf(const std::vector<ApfEntry>& entries, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  ApfPut32(out, 0x4150414B);
  ApfPut32(out, (uint32_t)entries.size());
  for (const ApfEntry& e : entries) {
    if (!ApfEntryBytes(e, out, error)) return false;
  }
  return true;
}

bool ApfEntriesFromPackage(const char* packagePath, const std::vector<std::string>& names,
                           std::vector<ApfEntry>& entries, std::string& error) {
  EPackageFile::Directory* d = EPackageFile::Mount(packagePath);
  if (!d) {
    error = std::string("cannot open package ") + packagePath;
    return false;
  }
  bool ok = true;
  for (const std::string& name : names) {
    ApfEntry e;
    e.name = name;
    if (!ApfReadEntry(d, name, &e.offset, &e.size, e.jan)) {
      error = name + ": not in the package";
      ok = false;
      break;
    }
    if (name.size() > 2) {
      const std::string stem = name.substr(0, name.size() - 3);
      e.hasEvent = ApfReadEntry(d, stem + "eve", nullptr, nullptr, e.event);
      e.hasBlend = ApfReadEntry(d, stem + "pba", nullptr, nullptr, e.blend);
    }
    entries.push_back(e);
  }
  EPackageFile::Unmount(d);
  return ok;
}
