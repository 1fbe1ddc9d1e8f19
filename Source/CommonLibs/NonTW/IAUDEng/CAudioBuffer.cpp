#include "NonTW/IAUDEng/CAudioBuffer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "TWUtil/ByteOrder.h"

CAudioBuffer::CAudioBuffer(IAUDSampleBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("bfob"));
  memset(&m_SoundData, 0, sizeof(m_SoundData));
  m_Distance = {64.0f, 2048.0f, -30.0f, 1};
  m_Cone = {360, 360, 0, 0, 3};
}

CAudioBuffer::~CAudioBuffer() {
  if (IAUDSampleBank* bank = GetBufferBank()) bank->NullOutBuffer(this);
  free(m_pSampleData);
}

IAUDSampleBank* CAudioBuffer::GetBufferBank() const {
  IAUDBankObject* bank = GetBank();
  if (!bank || bank->GetObjectType() != IAUDFourCC("isbf")) return nullptr;
  return static_cast<IAUDSampleBank*>(bank);
}

void CAudioBuffer::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  const uint32_t id = chunk.dwChunkId;
  IAUDFileSeek(file, chunk.dwDataPosition);
  uint8_t b[36];
  if (id == IAUDFourCC("sddt") && chunk.dwSize >= 36) {
    if (IAUDFileRead(b, 36, 1, file) != 1) return;
    for (int i = 0; i < 8; ++i) m_SoundData.dwValues[i] = GetLE32(b + 4 * i);
    m_SoundData.wValues[0] = GetLE16(b + 32);
    m_SoundData.wValues[1] = GetLE16(b + 34);
  } else if (id == IAUDFourCC("data")) {
    free(m_pSampleData);
    m_pSampleData = nullptr;
    m_dwDataPosition = chunk.dwDataPosition;
    m_SoundData.dwValues[6] = chunk.dwSize;
    if (!chunk.dwSize) return;
    m_pSampleData = static_cast<uint8_t*>(malloc(chunk.dwSize));
    if (m_pSampleData && IAUDFileRead(m_pSampleData, 1, chunk.dwSize, file) != chunk.dwSize) {
      free(m_pSampleData);
      m_pSampleData = nullptr;
    }
  } else if (id == IAUDFourCC("sdst") && chunk.dwSize >= 16) {
    if (IAUDFileRead(b, 16, 1, file) != 1) return;
    m_Distance = {GetLEFloat(b), GetLEFloat(b + 4), GetLEFloat(b + 8), GetLE32(b + 12)};
  } else if (id == IAUDFourCC("cone") && chunk.dwSize >= 20) {
    if (IAUDFileRead(b, 20, 1, file) != 1) return;
    m_Cone = {(int32_t)GetLE32(b), (int32_t)GetLE32(b + 4), (int32_t)GetLE32(b + 8), (int32_t)GetLE32(b + 12),
              GetLE32(b + 16)};
  } else if (id == IAUDFourCC("dist") && chunk.dwSize >= 16) {
    // The older record: minimum, attenuation, rolloff. Without a rolloff the
    // maximum stays at the minimum.
    if (IAUDFileRead(b, 16, 1, file) != 1) return;
    float minimum = GetLEFloat(b), attenuation = GetLEFloat(b + 4), rolloff = GetLEFloat(b + 8);
    m_Distance.fMinDistance = minimum;
    m_Distance.fAttenuation = attenuation;
    m_Distance.ulFlags = GetLE32(b + 12);
    float maximum = minimum;
    if (rolloff != 0.0f) maximum = (std::pow(10.0f, attenuation / -20.0f) * minimum - minimum) / rolloff;
    if (!(maximum >= minimum)) maximum = minimum;
    m_Distance.fMaxDistance = maximum;
  }
}

void CAudioBuffer::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t b[20];
  PutLEFloat(b, m_Distance.fMinDistance);
  PutLEFloat(b + 4, m_Distance.fMaxDistance);
  PutLEFloat(b + 8, m_Distance.fAttenuation);
  PutLE32(b + 12, m_Distance.ulFlags);
  WriteObjectData(file, IAUDFourCC("sdst"), b, 16);
  PutLE32(b, (uint32_t)m_Cone.lInsideAngle);
  PutLE32(b + 4, (uint32_t)m_Cone.lOutsideAngle);
  PutLE32(b + 8, (uint32_t)m_Cone.lOutsideVolume);
  PutLE32(b + 12, (uint32_t)m_Cone.lOutsideVolumeHF);
  PutLE32(b + 16, m_Cone.ulFlags);
  WriteObjectData(file, IAUDFourCC("cone"), b, 20);
}

void CAudioBuffer::CheckDistanceData(IAUDSoundDistance* d) {
  if (!d) return;
  float rolloff = 1.0f;
  if (d->fMaxDistance != d->fMinDistance)
    rolloff = (std::pow(10.0f, d->fAttenuation / -20.0f) * d->fMinDistance - d->fMinDistance) /
              (d->fMaxDistance - d->fMinDistance);
  if (rolloff >= 10.0f && d->fMinDistance != 0.0f)
    d->fAttenuation = -20.0f * std::log10(10.0f * (d->fMaxDistance - d->fMinDistance) / d->fMinDistance + 1.0f);
}

void CAudioBuffer::ProcessUnArchivedObject() {
  if (IAUDSampleBank* bank = GetBufferBank()) {
    if (GetResourceIndex() & 0x80000000u) {
      SetResourceIndex((uint32_t)bank->AddNewAudioBuffer(this));
    } else {
      bank->AddAudioBuffer(this, GetResourceIndex());
      CheckDistanceData(&m_Distance);
    }
  }
  if (m_pSampleData) {
    CreateBufferSample();
    free(m_pSampleData);
    m_pSampleData = nullptr;
  }
}

int32_t CAudioBuffer::CreateBufferSample() {
  IAUDFileObject* project = IAUDResourceManager::m_pFileObject;
  if (!project) return -1;
  IAUDContentObject* made = project->CreateNewContentObject(IAUDFourCC("samp"), GetParent());
  if (!made) return -1;
  CSample* sample = static_cast<CSample*>(made);
  if (sample->GetResourceIndex() != GetResourceIndex()) {
    if (IAUDSampleBank* bank = sample->GetSampleBank()) bank->NullOutSample(sample);
    sample->SetResourceIndex(GetResourceIndex());
  }
  sample->UpdateFromAudioBuffer(&m_SoundData, m_pSampleData, m_dwDataPosition, GetTitle(), GetResourceIndex());
  return (int32_t)(sample->GetResourceIndex() | 0xFFFF0000u);
}
