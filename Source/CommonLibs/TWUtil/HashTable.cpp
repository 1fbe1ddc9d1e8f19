#include "TWUtil/HashTable.h"

#include <cstdlib>

#include "TWUtil/String.h"

namespace {
const unsigned kPrimeLadder[] = {17, 43, 101, 251, 601, 1201, 2503, 5003, 10007, 20011, 40009, 80021};
const int kNumPrimes = sizeof(kPrimeLadder) / sizeof(kPrimeLadder[0]);
}  // namespace

EHashBase::_TableEntry::~_TableEntry() { StringFreePooled(m_szKey, kMEMTYPE_String); }

EHashBase::EHashBase(EMemType eType) : m_Entries(eType), m_piBuckets(nullptr), m_uNumBuckets(0) { Rehash(0); }

EHashBase::~EHashBase() {
  m_Entries.DeleteAll();
  free(m_piBuckets);
}

void* EHashBase::Set(const char* szKey, void* pValue) {
  int h = Lookup(szKey);
  if (h != kNoEntry) {
    _TableEntry* e = m_Entries.Get((uint32_t)h);
    void* pOld = e->m_pValue;
    e->m_pValue = pValue;
    return pOld;
  }
  uint32_t hNew;
  _TableEntry* e = new (m_Entries, hNew) _TableEntry;
  e->m_szKey = StringDuplicatePooled(szKey, kMEMTYPE_String);
  e->m_pValue = pValue;
  e->m_uHash = HashKey(szKey);
  unsigned b = e->m_uHash % m_uNumBuckets;
  e->m_iNext = m_piBuckets[b];
  m_piBuckets[b] = (int)hNew;
  if ((uint64_t)m_Entries.Num() > (uint64_t)(m_uNumBuckets * 1.25)) Rehash(0);
  return nullptr;
}

void* EHashBase::Remove(const char* szKey, void* pDefault) {
  unsigned uHash = HashKey(szKey);
  int* pLink = &m_piBuckets[uHash % m_uNumBuckets];
  while (*pLink != kNoEntry) {
    _TableEntry* e = m_Entries.Get((uint32_t)*pLink);
    if (e->m_uHash == uHash && strcmp(e->m_szKey, szKey) == 0) {
      uint32_t h = (uint32_t)*pLink;
      void* pValue = e->m_pValue;
      *pLink = e->m_iNext;
      m_Entries.Delete(h);
      return pValue;
    }
    pLink = &e->m_iNext;
  }
  return pDefault;
}

void* EHashBase::RemoveFromBucket(unsigned b, int h) {
  int* pLink = &m_piBuckets[b];
  while (*pLink != kNoEntry && *pLink != h) pLink = &m_Entries.Get((uint32_t)*pLink)->m_iNext;
  int* phCur = *pLink == kNoEntry ? nullptr : pLink;
  if (!phCur) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "*phCur != NULL_ALLOCATOR_HANDLE", false);
    return nullptr;
  }
  _TableEntry* e = m_Entries.Get((uint32_t)h);
  void* pValue = e->m_pValue;
  *phCur = e->m_iNext;
  m_Entries.Delete((uint32_t)h);
  return pValue;
}

void EHashBase::RemoveAll() {
  m_Entries.DeleteAll();
  for (unsigned i = 0; i < m_uNumBuckets; ++i) m_piBuckets[i] = kNoEntry;
}

void EHashBase::Rehash(unsigned n) {
  if (n == 0) {
    unsigned count = m_Entries.Num();
    n = kPrimeLadder[kNumPrimes - 1];
    for (int i = 0; i < kNumPrimes; ++i) {
      if (kPrimeLadder[i] > count) {
        n = kPrimeLadder[i];
        break;
      }
    }
  }
  if (n == m_uNumBuckets) return;
  int* piNew = static_cast<int*>(malloc(sizeof(int) * n));
  EASSERT(piNew);
  for (unsigned i = 0; i < n; ++i) piNew[i] = kNoEntry;
  for (unsigned b = 0; b < m_uNumBuckets; ++b) {
    int h = m_piBuckets[b];
    while (h != kNoEntry) {
      _TableEntry* e = m_Entries.Get((uint32_t)h);
      int next = e->m_iNext;
      unsigned nb = e->m_uHash % n;
      e->m_iNext = piNew[nb];
      piNew[nb] = h;
      h = next;
    }
  }
  free(m_piBuckets);
  m_piBuckets = piNew;
  m_uNumBuckets = n;
}

void EHashIterBase::Next() {
  if (m_iState == kNotStarted) {
    m_uBucket = 0;
    m_hCur = m_Table.GetNumBuckets() ? m_Table.GetBucketHead(0) : EHashBase::kNoEntry;
  } else if (m_iState == kOnEntry) {
    m_hCur = m_Table.Entry(m_hCur).m_iNext;
    if (m_hCur == EHashBase::kNoEntry) {
      ++m_uBucket;
      if (m_uBucket < m_Table.GetNumBuckets()) m_hCur = m_Table.GetBucketHead(m_uBucket);
    }
  } else {
    EASSERT(false);
    return;
  }
  while (m_hCur == EHashBase::kNoEntry) {
    if (m_uBucket + 1 >= m_Table.GetNumBuckets()) {
      m_uBucket = m_Table.GetNumBuckets();
      m_iState = kFinished;
      return;
    }
    ++m_uBucket;
    m_hCur = m_Table.GetBucketHead(m_uBucket);
  }
  m_iState = kOnEntry;
}

void* EHashIterBase::RemoveCurrent() {
  int h = m_hCur;
  unsigned b = m_uBucket;
  Next();
  return m_Table.RemoveFromBucket(b, h);
}
