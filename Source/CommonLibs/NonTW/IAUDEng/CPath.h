// A 3D path: knots with a segment type (how the sound travels to the next
// knot) and a time stamp (when it passes the knot, as a fraction of the
// path's duration). Segment types: 0 straight, 1 Catmull-Rom spline, 2 stay,
// 3 arc about the vertical with growing azimuth, 4 the same falling.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

struct KnotData {
  IAUDVector position;
  char segmentType;
  float timeStamp;
};

enum CoordID { kCoordX = 0, kCoordY = 1, kCoordZ = 2 };

class CPath : public IAUDContentObject {
 public:
  explicit CPath(IAUDContentBank* bank);
  ~CPath() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  virtual void addKnot(const IAUDVector& position, char type, float timeStamp);
  virtual void emptyKnots();
  virtual float computeCatmullCoord(float u, int32_t p0, int32_t p1, int32_t p2, int32_t p3, int coord);
  virtual void computeLinearInterp(int32_t knot, int32_t next, float u, IAUDVector* out);
  virtual void computeAzimuthDistInterp(int32_t knot, int32_t next, float u, IAUDVector* out, bool growing);
  virtual void GetPathPosition(uint32_t time, uint32_t duration, IAUDVector* out);
  virtual void GetPathPositionVelocity(uint32_t time, uint32_t duration, IAUDVector* position, IAUDVector* velocity);
  virtual void addKnot(const IAUDVector& position, char type);
  virtual void insertKnot(const IAUDVector& position, char type, float timeStamp);
  // Out-of-range indexes change nothing.
  virtual void insertKnotAt(const IAUDVector& position, char type, int32_t index);
  virtual void deleteKnot(int32_t index);
  virtual IAUDVector getKnot(int32_t index);
  virtual char getSegmentType(int32_t index);
  virtual float getTimeStamp(int32_t index);
  virtual int32_t getNbKnots();
  virtual void ComputeVector(IAUDVector* out, uint32_t time, uint32_t duration);
  virtual void computeVectorInSegment(int32_t segment, float u, IAUDVector* out);
  virtual void translateKnot(int32_t index, const IAUDVector& offset);
  virtual void setKnot(int32_t index, const IAUDVector& position);
  virtual void setSegmentType(int32_t index, char type);
  virtual void setTimeStamp(int32_t index, float timeStamp);
  // Modes: 0 by length, 1 uniform, 2 stretched to end at 1, 3 none, 4 end fix-up.
  virtual void updateTimeStamps(int mode);
  virtual void readjustTimeStamps(int32_t a, int32_t b);
  virtual void stretchTimeStamps(float factor);

  void getKnotData(KnotData* out, int32_t index);
  bool isLooping() const { return m_bLooping != 0; }
  void setLooping(bool looping) { m_bLooping = looping ? 1 : 0; }

  static void interpolateAzimuthDistance(float x1, float z1, float x2, float z2, float u, float* outX, float* outZ,
                                         bool growing);
  static void interpolateAzimuthDistanceAltitude(float x1, float z1, float y1, float x2, float z2, float y2, float u,
                                                 float* outX, float* outZ, float* outY, bool growing);
  static float length(float x, float z);
  static float azimuth(float x, float z);
  float pathDistance(int type, int32_t p0, int32_t p1, int32_t p2, int32_t p3);
  float vectDistance(int32_t a, int32_t b);
  float catmullDistance(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int steps);
  float distAzimuthDistance(int32_t a, int32_t b, bool growing, int steps);

 private:
  int32_t ClampIndex(int32_t index);
  void FreeLoadBuffers();

  IAUDVector m_vScratch;
  TCArray<IAUDVector> m_aKnots;
  TCArray<float> m_aTimeStamps;
  TCArray<char> m_aSegmentTypes;
  uint8_t m_bLooping;
  uint8_t* m_pKnotData;
  uint32_t m_dwKnotDataSize;
  uint8_t* m_pSegmentData;
  uint32_t m_dwSegmentDataSize;
  uint8_t* m_pTimeStampData;
  uint32_t m_dwTimeStampDataSize;
};
