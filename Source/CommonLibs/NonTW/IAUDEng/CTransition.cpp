#include "NonTW/IAUDEng/CTransition.h"

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "TWUtil/ByteOrder.h"

CTransition::CTransition(IAUDContentBank* bank)
    : IAUDContentObject(bank), m_Transition{0, 5.0f, 5.0f, 0.0f, 0.0f, 0.0f} {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("tran"));
}

CTransition::~CTransition() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutTransition(GetResourceIndex());
}

void CTransition::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId != IAUDFourCC("tnst")) return;
  // A short chunk gives only the words it holds.
  uint32_t words[6];
  uint32_t n = ReadChunkLongs(file, chunk, words, 6);
  float* fields[5] = {&m_Transition.flTotalTime, &m_Transition.flFadeOutTime, &m_Transition.flFadeOutLevel,
                      &m_Transition.flStartDelay, &m_Transition.flStartLevel};
  if (n > 0) m_Transition.dwType = words[0];
  for (uint32_t i = 1; i < n; ++i) {
    uint8_t bytes[4];
    PutLE32(bytes, words[i]);
    *fields[i - 1] = GetLEFloat(bytes);
  }
}

void CTransition::ProcessUnArchivedObject() {
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return;
  if ((int32_t)GetResourceIndex() < 0)
    SetResourceIndex((uint32_t)bank->AddNewTransition(this));
  else
    bank->AddTransition(this, GetResourceIndex());
}

void CTransition::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t bytes[24];
  PutLE32(bytes, m_Transition.dwType);
  PutLEFloat(bytes + 4, m_Transition.flTotalTime);
  PutLEFloat(bytes + 8, m_Transition.flFadeOutTime);
  PutLEFloat(bytes + 12, m_Transition.flFadeOutLevel);
  PutLEFloat(bytes + 16, m_Transition.flStartDelay);
  PutLEFloat(bytes + 20, m_Transition.flStartLevel);
  WriteObjectData(file, IAUDFourCC("tnst"), bytes, 24);
}
