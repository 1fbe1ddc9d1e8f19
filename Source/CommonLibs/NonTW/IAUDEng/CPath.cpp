#include "NonTW/IAUDEng/CPath.h"

#include <cstdlib>
#include <vector>

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "TWUtil/ByteOrder.h"

namespace {

const float kPathTwoPi = 6.2831855f;
const uint32_t kPathVelocityHalfSpan = 30;

float PathChord(const IAUDVector& a, const IAUDVector& b) {
  float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  return IAUDSquareRoot(dx * dx + dy * dy + dz * dz);
}

// Reads a chunk whole into a fresh buffer in place of *buffer.
void PathLoadBuffer(void* file, const RiffChunk& chunk, uint8_t** buffer, uint32_t* size) {
  free(*buffer);
  *buffer = nullptr;
  *size = 0;
  if (!chunk.dwSize) return;
  uint8_t* data = static_cast<uint8_t*>(malloc(chunk.dwSize));
  if (!data) return;
  if (IAUDFileRead(data, chunk.dwSize, 1, file) != 1) {
    free(data);
    return;
  }
  *buffer = data;
  *size = chunk.dwSize;
}

}  // namespace

CPath::CPath(IAUDContentBank* bank)
    : IAUDContentObject(bank),
      m_vScratch{0, 0, 0},
      m_bLooping(0),
      m_pKnotData(nullptr),
      m_dwKnotDataSize(0),
      m_pSegmentData(nullptr),
      m_dwSegmentDataSize(0),
      m_pTimeStampData(nullptr),
      m_dwTimeStampDataSize(0) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("path"));
}

CPath::~CPath() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutPath(GetResourceIndex());
  FreeLoadBuffers();
}

void CPath::FreeLoadBuffers() {
  free(m_pKnotData);
  free(m_pSegmentData);
  free(m_pTimeStampData);
  m_pKnotData = m_pSegmentData = m_pTimeStampData = nullptr;
  m_dwKnotDataSize = m_dwSegmentDataSize = m_dwTimeStampDataSize = 0;
}

// ---------------------------------------------------------------- knots

int32_t CPath::ClampIndex(int32_t index) {
  int32_t n = m_aKnots.GetElementCount();
  if (index < 0) return 0;
  if (index >= n) return n - 1;
  return index;
}

void CPath::addKnot(const IAUDVector& position, char type, float timeStamp) {
  m_aKnots.AddElement(&position);
  m_aSegmentTypes.AddElement(&type);
  m_aTimeStamps.AddElement(&timeStamp);
}

void CPath::addKnot(const IAUDVector& position, char type) { addKnot(position, type, 0.0f); }

void CPath::emptyKnots() {
  m_aKnots.RemoveAllElements();
  m_aSegmentTypes.RemoveAllElements();
  m_aTimeStamps.RemoveAllElements();
}

void CPath::insertKnotAt(const IAUDVector& position, char type, int32_t index) {
  if (index < 0 || index > m_aKnots.GetElementCount()) return;
  float stamp = 0.0f;
  m_aKnots.InsertElement(&position, index);
  m_aSegmentTypes.InsertElement(&type, index);
  m_aTimeStamps.InsertElement(&stamp, index);
}

void CPath::insertKnot(const IAUDVector& position, char type, float timeStamp) {
  int32_t n = m_aKnots.GetElementCount();
  const float* s = m_aTimeStamps.GetElementArray();
  for (int32_t j = 0; j + 1 < n; ++j) {
    if (s[j] <= timeStamp && timeStamp <= s[j + 1]) {
      m_aKnots.InsertElement(&position, j + 1);
      m_aSegmentTypes.InsertElement(&type, j + 1);
      m_aTimeStamps.InsertElement(&timeStamp, j + 1);
      return;
    }
  }
  addKnot(position, type, timeStamp);
}

void CPath::deleteKnot(int32_t index) {
  if (index < 0 || index >= m_aKnots.GetElementCount()) return;
  m_aKnots.RemoveElement(index);
  m_aSegmentTypes.RemoveElement(index);
  m_aTimeStamps.RemoveElement(index);
}

IAUDVector CPath::getKnot(int32_t index) {
  const IAUDVector* v = m_aKnots.GetElementMember(ClampIndex(index));
  return v ? *v : IAUDVector{0, 0, 0};
}

char CPath::getSegmentType(int32_t index) {
  const char* t = m_aSegmentTypes.GetElementMember(ClampIndex(index));
  return t ? *t : 0;
}

float CPath::getTimeStamp(int32_t index) {
  const float* s = m_aTimeStamps.GetElementMember(ClampIndex(index));
  return s ? *s : 0.0f;
}

int32_t CPath::getNbKnots() { return m_aKnots.GetElementCount(); }

void CPath::getKnotData(KnotData* out, int32_t index) {
  if (!out || m_aKnots.GetElementCount() == 0) return;
  out->position = getKnot(index);
  out->segmentType = getSegmentType(index);
  out->timeStamp = getTimeStamp(index);
}

void CPath::translateKnot(int32_t index, const IAUDVector& offset) {
  IAUDVector* v = m_aKnots.GetElementMember(index);
  if (!v) return;
  v->x += offset.x;
  v->y += offset.y;
  v->z += offset.z;
}

void CPath::setKnot(int32_t index, const IAUDVector& position) {
  if (IAUDVector* v = m_aKnots.GetElementMember(index)) *v = position;
}

void CPath::setSegmentType(int32_t index, char type) {
  if (char* t = m_aSegmentTypes.GetElementMember(ClampIndex(index))) *t = type;
}

void CPath::setTimeStamp(int32_t index, float timeStamp) {
  if (float* s = m_aTimeStamps.GetElementMember(index)) *s = timeStamp;
}

// ---------------------------------------------------------------- evaluation

void CPath::GetPathPosition(uint32_t time, uint32_t duration, IAUDVector* out) {
  ComputeVector(&m_vScratch, time, duration);
  if (out) *out = m_vScratch;
}

void CPath::GetPathPositionVelocity(uint32_t time, uint32_t duration, IAUDVector* position, IAUDVector* velocity) {
  GetPathPosition(time, duration, position);
  if (!velocity) return;
  // Samples 30 ms either side; near the start the earlier one is time 0,
  // near the end of a path that does not loop the later one is its end.
  uint32_t before = time < kPathVelocityHalfSpan ? time : kPathVelocityHalfSpan;
  uint32_t t1 = time - before;
  uint64_t later = (uint64_t)time + kPathVelocityHalfSpan;
  uint32_t t2, after;
  if (later > duration) {
    if (isLooping()) {
      t2 = (uint32_t)(later - duration);
      after = kPathVelocityHalfSpan;
    } else {
      t2 = duration;
      after = duration > time ? duration - time : 0;
    }
  } else {
    t2 = (uint32_t)later;
    after = kPathVelocityHalfSpan;
  }
  float span = (float)before + (float)after;
  IAUDVector p1, p2;
  GetPathPosition(t1, duration, &p1);
  GetPathPosition(t2, duration, &p2);
  if (span == 0.0f) {
    *velocity = IAUDVector{0, 0, 0};
    return;
  }
  velocity->x = (p2.x - p1.x) * 1000.0f / span;
  velocity->y = (p2.y - p1.y) * 1000.0f / span;
  velocity->z = (p2.z - p1.z) * 1000.0f / span;
}

void CPath::ComputeVector(IAUDVector* out, uint32_t time, uint32_t duration) {
  int32_t n = m_aKnots.GetElementCount();
  const IAUDVector* knots = m_aKnots.GetElementArray();
  const float* stamps = m_aTimeStamps.GetElementArray();
  if (n == 0) {
    *out = IAUDVector{0, 0, 0};
    return;
  }
  if (n == 1 || time == 0) {
    *out = knots[0];
    return;
  }
  if (time == duration) {
    *out = knots[n - 1];
    return;
  }
  float d = (float)time / (float)duration;
  int32_t k = n - 1;
  while (k > 0 && stamps[k] > d) --k;
  float end = k + 1 < n ? stamps[k + 1] : 1.0f;
  float u = (d - stamps[k]) / (end - stamps[k]);
  computeVectorInSegment(k, u, out);
}

void CPath::computeVectorInSegment(int32_t i, float u, IAUDVector* out) {
  int32_t n = m_aKnots.GetElementCount();
  if (i < 0 || i >= n) return;
  int32_t next = i + 1 < n ? i + 1 : 0;
  switch (*m_aSegmentTypes.GetElementMember(i)) {
    case 0:
      computeLinearInterp(i, next, u, out);
      break;
    case 1: {
      int32_t p[4];
      if (i > 0 && i < n - 2) {
        p[0] = i - 1, p[1] = i, p[2] = i + 1, p[3] = i + 2;
      } else if (i == n - 1) {
        if (n <= 1) break;
        p[0] = i - 1, p[1] = i, p[2] = 0, p[3] = 1;
      } else if (i == 0) {
        p[0] = 0, p[1] = 0, p[2] = 1, p[3] = n > 2 ? 2 : 1;
      } else {
        p[0] = i - 1, p[1] = i, p[2] = i + 1, p[3] = i + 1;
      }
      out->x = computeCatmullCoord(u, p[0], p[1], p[2], p[3], kCoordX);
      out->y = computeCatmullCoord(u, p[0], p[1], p[2], p[3], kCoordY);
      out->z = computeCatmullCoord(u, p[0], p[1], p[2], p[3], kCoordZ);
      break;
    }
    case 2:
      *out = *m_aKnots.GetElementMember(i);
      break;
    case 3:
    case 4:
      computeAzimuthDistInterp(i, next, u, out, *m_aSegmentTypes.GetElementMember(i) == 3);
      break;
    default:
      break;
  }
}

void CPath::computeLinearInterp(int32_t knot, int32_t next, float u, IAUDVector* out) {
  IAUDVector a = getKnot(knot), b = getKnot(next);
  out->x = (1.0f - u) * a.x + u * b.x;
  out->y = (1.0f - u) * a.y + u * b.y;
  out->z = (1.0f - u) * a.z + u * b.z;
}

float CPath::computeCatmullCoord(float u, int32_t p0, int32_t p1, int32_t p2, int32_t p3, int coord) {
  if (coord < kCoordX || coord > kCoordZ) return 0.0f;
  auto c = [&](int32_t k) {
    IAUDVector v = getKnot(k);
    return coord == kCoordX ? v.x : coord == kCoordY ? v.y : v.z;
  };
  if (u == 0.0f) return c(p1);
  if (u == 1.0f) return c(p2);
  float u2 = u * u;
  float u3 = u * u2;
  float w0 = 2.0f * u2 - u3 - u;
  float w1 = 3.0f * u3 - 5.0f * u2 + 2.0f;
  float w2 = u + 4.0f * u2 - 3.0f * u3;
  float w3 = u3 - u2;
  float sum = w0 * c(p0) + w1 * c(p1) + w2 * c(p2) + w3 * c(p3);
  return 0.5f * sum;
}

void CPath::computeAzimuthDistInterp(int32_t knot, int32_t next, float u, IAUDVector* out, bool growing) {
  IAUDVector a = getKnot(knot), b = getKnot(next);
  interpolateAzimuthDistanceAltitude(a.x, a.z, a.y, b.x, b.z, b.y, u, &out->x, &out->z, &out->y, growing);
}

float CPath::length(float x, float z) { return IAUDSquareRoot(x * x + z * z); }

float CPath::azimuth(float x, float z) {
  float a = IAUDatan2(x, z);
  return a < 0.0f ? a + kPathTwoPi : a;
}

void CPath::interpolateAzimuthDistance(float x1, float z1, float x2, float z2, float u, float* outX, float* outZ,
                                       bool growing) {
  float y = 0.0f;
  interpolateAzimuthDistanceAltitude(x1, z1, 0.0f, x2, z2, 0.0f, u, outX, outZ, &y, growing);
}

void CPath::interpolateAzimuthDistanceAltitude(float x1, float z1, float y1, float x2, float z2, float y2, float u,
                                               float* outX, float* outZ, float* outY, bool growing) {
  if (u == 0.0f) {
    *outX = x1, *outZ = z1, *outY = y1;
    return;
  }
  if (u == 1.0f) {
    *outX = x2, *outZ = z2, *outY = y2;
    return;
  }
  float a1 = azimuth(x1, z1), a2 = azimuth(x2, z2);
  if (growing && a1 > a2) a1 -= kPathTwoPi;
  if (!growing && a2 > a1) a1 += kPathTwoPi;
  float l = length(x2, z2) * u + length(x1, z1) * (1.0f - u);
  float a = (1.0f - u) * a1 + u * a2;
  *outX = IAUDsin(a) * l;
  *outZ = IAUDcos(a) * l;
  *outY = (1.0f - u) * y1 + u * y2;
}

// ---------------------------------------------------------------- time stamps

float CPath::vectDistance(int32_t a, int32_t b) { return PathChord(getKnot(a), getKnot(b)); }

float CPath::catmullDistance(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int steps) {
  float total = 0.0f;
  IAUDVector prev{};
  for (int i = 0; i <= steps; ++i) {
    float u = (float)i / (float)steps;
    IAUDVector v = {computeCatmullCoord(u, p0, p1, p2, p3, kCoordX), computeCatmullCoord(u, p0, p1, p2, p3, kCoordY),
                    computeCatmullCoord(u, p0, p1, p2, p3, kCoordZ)};
    if (i) total += PathChord(prev, v);
    prev = v;
  }
  return total;
}

float CPath::distAzimuthDistance(int32_t a, int32_t b, bool growing, int steps) {
  IAUDVector ka = getKnot(a), kb = getKnot(b);
  float total = 0.0f;
  IAUDVector prev{};
  for (int i = 0; i <= steps; ++i) {
    float u = (float)i / (float)steps;
    IAUDVector v{0, 0, 0};
    interpolateAzimuthDistance(ka.x, ka.z, kb.x, kb.z, u, &v.x, &v.z, growing);
    if (i) total += PathChord(prev, v);
    prev = v;
  }
  return total;
}

float CPath::pathDistance(int type, int32_t p0, int32_t p1, int32_t p2, int32_t p3) {
  p0 = ClampIndex(p0), p1 = ClampIndex(p1), p2 = ClampIndex(p2), p3 = ClampIndex(p3);
  switch (type) {
    case 0:
    case 2: return vectDistance(p1, p2);
    case 1: return catmullDistance(p0, p1, p2, p3, 10);
    case 3:
    case 4: return distAzimuthDistance(p1, p2, type == 3, 10);
    default: return 0.0f;
  }
}

void CPath::updateTimeStamps(int mode) {
  int32_t n = m_aKnots.GetElementCount();
  float* s = m_aTimeStamps.GetElementArray();
  switch (mode) {
    case 0: {
      if (n < 1) return;
      std::vector<float> running((size_t)n, 0.0f);
      float total = 0.0f;
      for (int32_t j = 1; j < n; ++j) {
        total += pathDistance(getSegmentType(j - 1), j - 2, j - 1, j, j + 1);
        running[(size_t)j] = total;
      }
      if (isLooping()) total += pathDistance(getSegmentType(n - 1), n - 2, n - 1, 0, 1);
      s[0] = 0.0f;
      int32_t last = isLooping() ? n - 1 : n - 2;
      for (int32_t j = 1; j <= last; ++j) s[j] = running[(size_t)j] / total;
      if (!isLooping()) s[n - 1] = 1.0f;
      break;
    }
    case 1:
      for (int32_t i = 0; i < n; ++i) s[i] = (float)i / (float)(isLooping() ? n : n - 1);
      break;
    case 2:
      if (n > 0) stretchTimeStamps(1.0f / s[n - 1]);
      break;
    case 4: {
      if (n < 2) return;
      float b = s[n - 2];
      if (b != 1.0f) {
        s[n - 1] = isLooping() ? b / 2.0f + 0.5f : 1.0f;
      } else {
        s[n - 1] = 1.0f;
        s[n - 2] = n > 2 ? s[n - 3] / 2.0f + 0.5f : 0.5f;
      }
      break;
    }
    default:
      break;
  }
}

void CPath::readjustTimeStamps(int32_t a, int32_t b) {
  int32_t n = m_aKnots.GetElementCount();
  if (n < 1) return;
  float* s = m_aTimeStamps.GetElementArray();
  if (b != 0) {
    s[0] = 0.0f;
    for (int32_t i = 1; i < n - 1; ++i) s[i] *= (float)a / (float)b;
  } else {
    for (int32_t i = 0; i < n - 1; ++i) s[i] = 0.0f;
  }
  s[n - 1] = 1.0f;
}

void CPath::stretchTimeStamps(float factor) {
  int32_t n = m_aKnots.GetElementCount();
  if (n < 1) return;
  float* s = m_aTimeStamps.GetElementArray();
  s[0] = 0.0f;
  for (int32_t i = 1; i < n - 1; ++i) s[i] *= factor;
  s[n - 1] = 1.0f;
}

// ---------------------------------------------------------------- archive

void CPath::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  const uint32_t id = chunk.dwChunkId;
  // The common "loop" chunk carries a loop count; only an empty one marks a
  // looping path.
  if (id == IAUDFourCC("loop")) {
    if (chunk.dwSize == 0) m_bLooping = 1;
  } else if (id == IAUDFourCC("knot")) {
    PathLoadBuffer(file, chunk, &m_pKnotData, &m_dwKnotDataSize);
  } else if (id == IAUDFourCC("segt")) {
    PathLoadBuffer(file, chunk, &m_pSegmentData, &m_dwSegmentDataSize);
  } else if (id == IAUDFourCC("tmst")) {
    PathLoadBuffer(file, chunk, &m_pTimeStampData, &m_dwTimeStampDataSize);
  }
}

void CPath::ProcessUnArchivedObject() {
  if (IAUDContentBank* bank = GetContentBank()) {
    if ((int32_t)GetResourceIndex() < 0)
      SetResourceIndex((uint32_t)bank->AddNewPath(this));
    else
      bank->AddPath(this, GetResourceIndex());
  }
  if (!m_pKnotData && !m_pSegmentData && !m_pTimeStampData) return;
  for (uint32_t i = 0; i + 12 <= m_dwKnotDataSize; i += 12) {
    IAUDVector v = {GetLEFloat(m_pKnotData + i), GetLEFloat(m_pKnotData + i + 4), GetLEFloat(m_pKnotData + i + 8)};
    addKnot(v, 1);
  }
  // Types and stamps beyond the knots have no knot to go to.
  int32_t n = getNbKnots();
  for (uint32_t i = 0; i < m_dwSegmentDataSize && (int32_t)i < n; ++i)
    setSegmentType((int32_t)i, (char)m_pSegmentData[i]);
  if (m_pTimeStampData) {
    for (uint32_t i = 0; i + 4 <= m_dwTimeStampDataSize && (int32_t)(i / 4) < n; i += 4)
      setTimeStamp((int32_t)(i / 4), GetLEFloat(m_pTimeStampData + i));
  } else {
    updateTimeStamps(1);
  }
  FreeLoadBuffers();
}

void CPath::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  WriteLongChunk(file, IAUDFourCC("indx"), GetResourceIndex());
  int32_t n = getNbKnots();
  if (n > 0) {
    std::vector<uint8_t> knots(12 * (size_t)n), stamps(4 * (size_t)n), types((size_t)n);
    for (int32_t i = 0; i < n; ++i) {
      IAUDVector v = getKnot(i);
      PutLEFloat(&knots[12 * (size_t)i], v.x);
      PutLEFloat(&knots[12 * (size_t)i + 4], v.y);
      PutLEFloat(&knots[12 * (size_t)i + 8], v.z);
      types[(size_t)i] = (uint8_t)getSegmentType(i);
      PutLEFloat(&stamps[4 * (size_t)i], getTimeStamp(i));
    }
    WriteObjectData(file, IAUDFourCC("knot"), knots.data(), (uint32_t)knots.size());
    WriteObjectData(file, IAUDFourCC("segt"), types.data(), (uint32_t)types.size());
    WriteObjectData(file, IAUDFourCC("tmst"), stamps.data(), (uint32_t)stamps.size());
  }
  if (isLooping()) WriteObjectData(file, IAUDFourCC("loop"), nullptr, 0);
}
