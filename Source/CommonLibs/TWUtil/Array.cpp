#include "TWUtil/Array.h"

void EArrayBase::Grow(unsigned sz, unsigned uNew, bool bExact) {
  // Checked before the slack is added so that the sum cannot wrap.
  EASSERT(uNew <= kMAX_COUNT);
  Realloc(sz, bExact ? uNew : uNew + Increment(uNew));
}

int EArrayBase::Insert(unsigned sz, int index, int n) {
  unsigned uOld = NumU();
  Add(sz, n, false);
  char* p = static_cast<char*>(m_pData);
  size_t uMove = size_t(uOld - unsigned(index)) * sz;
  if (uMove) memmove(p + size_t(index + n) * sz, p + size_t(index) * sz, uMove);
  return index;
}

void EArrayBase::Empty(unsigned) {
  free(m_pData);
  m_pData = nullptr;
  SetNum(0);
  SetMax(0);
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
  if (NumU() > cap) SetNum(cap);
  SetMax(cap);
}

void EArrayBase::Swap(EArrayBase& a, EArrayBase& b) {
  unsigned uTypeAndNum = a.m_uTypeAndNum, uPooledAndMax = a.m_uPooledAndMax;
  void* pData = a.m_pData;
  a.m_uTypeAndNum = b.m_uTypeAndNum;
  a.m_uPooledAndMax = b.m_uPooledAndMax;
  a.m_pData = b.m_pData;
  b.m_uTypeAndNum = uTypeAndNum;
  b.m_uPooledAndMax = uPooledAndMax;
  b.m_pData = pData;
}
