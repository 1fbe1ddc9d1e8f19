// Helpers shared by the readers of scene records (scene files, domains,
// meshes, mesh packs).
#pragma once

#include <cstdint>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

// Damaged data: the failed check is reported without stopping and the
// caller fails its load.
inline bool SceneRecordRefuse(const char* szFile, int iLine, const char* szCheck) {
  g_ErrorManager.ErrorMessage(szFile, iLine, szCheck, true);
  return false;
}
#define SCENE_RECORD_REFUSE(check) SceneRecordRefuse(__FILE__, __LINE__, check)

// The four-character constant 'ABCD' as the file stores it (bytes D C B A).
constexpr uint32_t SceneTag(char a, char b, char c, char d) {
  return ((uint32_t)(uint8_t)a << 24) | ((uint32_t)(uint8_t)b << 16) | ((uint32_t)(uint8_t)c << 8) | (uint8_t)d;
}

// The stream's name, or "" when it has none.
inline const char* SceneStreamName(EStream& s) {
  const char* szName = s.GetName();
  return szName ? szName : "";
}

// A reader over bytes it does not own that answers to a name.
class ENamedMemReader : public EMemReader {
public:
  ENamedMemReader(const void* pData, unsigned uSize, const char* szName) : EMemReader(pData, uSize), m_szName(szName) {}
  const char* GetName() override { return m_szName; }

private:
  const char* m_szName;
};
