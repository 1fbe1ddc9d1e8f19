#include "NonTW/IAUDEng/CRPController.h"

#include <vector>

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "TWUtil/ByteOrder.h"

CRPController::CRPController(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("rpc "));
  RestoreDefaultData();
}

CRPController::~CRPController() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutRPController(GetResourceIndex());
}

void CRPController::RestoreDefaultData() {
  for (uint32_t id = 0; id < kNumParameters; ++id) {
    Parameter& p = m_aParameters[id];
    p.dwActive = 0;
    p.flRangeMin = 0.0f;
    p.flRangeMax = id == kPitch ? 2.0f : 1.0f;
    p.flDefault = id == kPitch ? 0.5f : 1.0f;
    p.aCurve.RemoveAllElements();
    FPOINT a = {0.0f, p.flDefault}, b = {1.0f, p.flDefault};
    p.aCurve.AddElement(&a);
    p.aCurve.AddElement(&b);
  }
}

uint32_t CRPController::GetActive(uint32_t id) const { return id < kNumParameters ? m_aParameters[id].dwActive : 0; }

float CRPController::GetParameterValue(uint32_t id, float input) const {
  if (id >= kNumParameters) return 1.0f;
  const Parameter& p = m_aParameters[id];
  return GraphToParamValue(id, p.dwActive ? GetParamValue(id, input) : p.flDefault);
}

float CRPController::GetParamValue(uint32_t id, float x) const {
  if (id >= kNumParameters) return 1.0f;
  const TCArray<FPOINT>& curve = m_aParameters[id].aCurve;
  const FPOINT* pts = curve.GetElementArray();
  for (int32_t k = 0; k + 1 < curve.GetElementCount(); ++k) {
    if (x >= pts[k].x && x <= pts[k + 1].x) {
      // Neighbours with the same x enclose only that x: the earlier value.
      if (pts[k + 1].x == pts[k].x) return pts[k].y;
      return pts[k].y + (pts[k + 1].y - pts[k].y) * ((x - pts[k].x) / (pts[k + 1].x - pts[k].x));
    }
  }
  return 1.0f;
}

float CRPController::GraphToParamValue(uint32_t id, float v) const {
  if (id != kPitch) return v;
  return v * m_aParameters[kPitch].flRangeMax + (v == 0.0f ? 0.01f : 0.0f);
}

float CRPController::GetDefaultValue(uint32_t id) const { return id < kNumParameters ? m_aParameters[id].flDefault : 0.0f; }

void CRPController::GetRange(uint32_t id, float* pMin, float* pMax) const {
  if (id >= kNumParameters) return;
  if (pMin) *pMin = m_aParameters[id].flRangeMin;
  if (pMax) *pMax = m_aParameters[id].flRangeMax;
}

void CRPController::SetCurve(uint32_t id, const FPOINT* points, int32_t count) {
  if (id >= kNumParameters) return;
  Parameter& p = m_aParameters[id];
  p.aCurve.RemoveAllElements();
  for (int32_t i = 0; i < count; ++i) p.aCurve.AddElement(&points[i]);
  p.dwActive = 1;
}

void CRPController::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId != IAUDFourCC("rpcd")) return;
  RestoreDefaultData();
  std::vector<uint8_t> data(chunk.dwSize);
  if (chunk.dwSize && IAUDFileRead(data.data(), chunk.dwSize, 1, file) != 1) return;
  size_t pos = 0, size = data.size();
  if (size < 4) return;
  uint32_t records = GetLE32(&data[0]);
  pos = 4;
  std::vector<FPOINT> points;
  for (uint32_t r = 0; r < records && size - pos >= 8; ++r) {
    uint32_t id = GetLE32(&data[pos]);
    uint32_t count = GetLE32(&data[pos + 4]);
    pos += 8;
    // A record cannot hold more points than the chunk has left.
    if (count > (size - pos) / 8) break;
    points.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      points[i].x = GetLEFloat(&data[pos + 8 * (size_t)i]);
      points[i].y = GetLEFloat(&data[pos + 8 * (size_t)i + 4]);
    }
    pos += 8 * (size_t)count;
    // Ids past the last parameter have nowhere to go and are skipped.
    if (id < kNumParameters) SetCurve(id, points.data(), (int32_t)count);
  }
}

void CRPController::ProcessUnArchivedObject() {
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return;
  if ((int32_t)GetResourceIndex() < 0)
    SetResourceIndex((uint32_t)bank->AddNewRPController(this));
  else
    bank->AddRPController(this, GetResourceIndex());
}

void CRPController::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  std::vector<uint8_t> data(4);
  uint32_t active = 0;
  for (uint32_t id = 0; id < kNumParameters; ++id) {
    const Parameter& p = m_aParameters[id];
    if (!p.dwActive) continue;
    ++active;
    size_t at = data.size();
    int32_t n = p.aCurve.GetElementCount();
    data.resize(at + 8 + 8 * (size_t)n);
    PutLE32(&data[at], id);
    PutLE32(&data[at + 4], (uint32_t)n);
    for (int32_t i = 0; i < n; ++i) {
      PutLEFloat(&data[at + 8 + 8 * (size_t)i], p.aCurve.GetElementArray()[i].x);
      PutLEFloat(&data[at + 12 + 8 * (size_t)i], p.aCurve.GetElementArray()[i].y);
    }
  }
  PutLE32(&data[0], active);
  WriteObjectData(file, IAUDFourCC("rpcd"), data.data(), (uint32_t)data.size());
}
