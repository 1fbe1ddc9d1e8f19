// Writer of compiled script packs (".lpf"): class entries, each a chunk that
// defines one class constructor, then chunks that are run once. All
// integers little-endian; names carry a 16-bit length that counts the NUL.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"
#include "TWUtil/String.h"

class EScriptPackWriter {
public:
  EScriptPackWriter() : m_bNamedChunks(true) {}
  ~EScriptPackWriter();
  EScriptPackWriter(const EScriptPackWriter&) = delete;
  EScriptPackWriter& operator=(const EScriptPackWriter&) = delete;

  // A class entry: its canonical name and its chunk (precompiled or source).
  void AddClass(const char* szName, const void* pCode, unsigned uSize);
  // A chunk run once after the classes; the name is kept for messages.
  void AddChunk(const char* szName, const void* pCode, unsigned uSize);
  // Without named chunks the pack has no extended header: it starts with the
  // class count and its chunks carry no names.
  void SetNamedChunks(bool bNamed) { m_bNamedChunks = bNamed; }

  // The whole pack; false when a count or a name does not fit the format.
  bool Build(EArray<unsigned char>& out) const;

private:
  struct Entry {
    EString name;
    EArray<unsigned char> code;
  };
  EArray<Entry*> m_Classes;
  EArray<Entry*> m_Chunks;
  bool m_bNamedChunks;
};
