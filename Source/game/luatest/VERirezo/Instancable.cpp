#include "VERirezo/Instancable.h"

#include "TWMath/Vector.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Mesh.h"

EAnimAffector::~EAnimAffector() { m_pKeys.reset(); }

EInstancable* EAnimAffector::Instantiate() {
  EAnimAffector* pCopy = new EAnimAffector();
  pCopy->m_pSource = this;
  pCopy->m_iMode = m_iMode;
  pCopy->m_iLastFrame = m_iLastFrame;
  pCopy->m_nKeys = m_nKeys;
  pCopy->m_pKeys = m_pKeys;
  return pCopy;
}

bool EAnimAffector::Read(EStream& s) {
  int32_t iMode = 0, iLastFrame = 0, nKeys = 0;
  s << iMode << iLastFrame << nKeys;
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Affector record: %s", "uBytes <= uBytesLeft");
    return false;
  }
  if (iMode < kMODE_Position || iMode > kMODE_Scale) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Affector record: bad mode %d", iMode);
    return false;
  }
  const unsigned uBytes = (unsigned)nKeys * kKEY_BYTES;
  if (nKeys < 0 || nKeys > 0x0FFFFFFF || s.BoundLength(uBytes) != uBytes) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Affector record: %d keys do not fit the data", nKeys);
    return false;
  }
  std::shared_ptr<EAnimAffectorKey[]> pKeys(nKeys ? new EAnimAffectorKey[nKeys] : nullptr);
  for (int i = 0; i < nKeys; ++i) s << pKeys[i].m_iFrame << pKeys[i].x << pKeys[i].y << pKeys[i].z;
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Affector record: %d keys do not fit the data", nKeys);
    return false;
  }
  m_iMode = iMode;
  m_iLastFrame = iLastFrame;
  m_nKeys = nKeys;
  m_pKeys = pKeys;
  return true;
}

bool EAnimAffector::Run(EMesh* pMesh, float dt) {
  if (!(pMesh->GetFlags() & EMesh::kFLAG_FrameAnimRunning)) return true;
  m_fCurrentFrame += dt / 16.666666f;
  if (m_fCurrentFrame > (float)m_iLastFrame) {
    pMesh->SetFlags(pMesh->GetFlags() | EMesh::kFLAG_FrameAnimEnd);
    m_fCurrentFrame = (float)m_iLastFrame;
  }
  // The whole frame; the track's last frame stands for itself even where a
  // float cannot hold it exactly.
  const int f = m_fCurrentFrame >= (float)m_iLastFrame ? m_iLastFrame : (int)m_fCurrentFrame;
  const EAnimAffectorKey* k = m_pKeys.get();
  int i = 0;
  EVec3 v;
  if (m_iLastFrame == f) {
    i = m_nKeys - 1;
  } else {
    while (i < m_nKeys && k[i].m_iFrame <= f) ++i;
  }
  if (i <= 0) return true;
  if (i >= m_nKeys && m_iLastFrame != f) {
    // Past the last key before the track's end: hold the last key.
    const EAnimAffectorKey& last = k[m_nKeys - 1];
    v.Set(last.x, last.y, last.z);
  } else {
    const EAnimAffectorKey& prev = k[i - 1];
    const EAnimAffectorKey& next = k[i];
    if (prev.m_iFrame == f) {
      v.Set(prev.x, prev.y, prev.z);
    } else {
      const float t = (float)(((double)f - prev.m_iFrame) / ((double)next.m_iFrame - prev.m_iFrame));
      v.Set(prev.x + (next.x - prev.x) * t, prev.y + (next.y - prev.y) * t, prev.z + (next.z - prev.z) * t);
    }
  }
  switch (m_iMode) {
    case kMODE_Position: pMesh->SetPosition(v); break;
    case kMODE_Rotation: pMesh->SetRotationRad(EEuler(v)); break;
    case kMODE_Scale: pMesh->SetScale(v); break;
    default: EASSERT(0);
  }
  return true;
}

EAffector* ReadAffectorRecord(EStream& s) {
  int32_t iType = -1;
  s << iType;
  if (s.Err() || iType != 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Affector record: unknown type %d", iType);
    return nullptr;
  }
  EAnimAffector* pAffector = new EAnimAffector();
  if (!pAffector->Read(s)) {
    delete pAffector;
    return nullptr;
  }
  return pAffector;
}
