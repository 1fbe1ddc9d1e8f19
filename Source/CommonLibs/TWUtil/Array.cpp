#include "TWUtil/Array.h"

void EArrayBase::Grow(unsigned sz, unsigned uNew, bool bExact) {
  // Checked before the slack is added so that the sum cannot wrap.
  EASSERT(uNew <= kMAX_COUNT);
  Realloc(sz, bExact ? uNew : uNew + Increment(uNew));
}

int EArrayBase::Insert(unsigned sz, int index, int n) {
  unsigned uOld = m_iNum;
  Add(sz, n, false);
  char* p = static_cast<char*>(m_pData);
  size_t uMove = size_t(uOld - unsigned(index)) * sz;
  if (uMove) memmove(p + size_t(index + n) * sz, p + size_t(index) * sz, uMove);
  return index;
}

void EArrayBase::Empty(unsigned) {
  free(m_pData);
  m_pData = nullptr;
  m_iNum = 0;
  m_iMax = 0;
}

void EArrayBase::Realloc(unsigned sz, unsigned cap) {
  EASSERT(cap <= kMAX_COUNT);
  if (cap == 0) {
    free(m_pData);
    m_pData = nullptr;
  } else {
    // realloc keeps the first min(old, new) bytes, which covers every
    // element that survives the cut below.
    void* pNewData = realloc(m_pData, size_t(cap) * sz);
    EASSERT(pNewData != nullptr);
    m_pData = pNewData;
  }
  if (m_iNum > cap) m_iNum = cap;
  m_iMax = cap;
}

void EArrayBase::Swap(EArrayBase& a, EArrayBase& b) {
  unsigned uType = a.m_eMemType, uNum = a.m_iNum, uPooled = a.m_bPooled, uMax = a.m_iMax;
  void* pData = a.m_pData;
  a.m_eMemType = b.m_eMemType;
  a.m_iNum = b.m_iNum;
  a.m_bPooled = b.m_bPooled;
  a.m_iMax = b.m_iMax;
  a.m_pData = b.m_pData;
  b.m_eMemType = uType;
  b.m_iNum = uNum;
  b.m_bPooled = uPooled;
  b.m_iMax = uMax;
  b.m_pData = pData;
}
