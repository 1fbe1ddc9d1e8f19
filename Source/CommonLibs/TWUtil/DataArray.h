// Named pools of records addressed by 32-bit data ids.
//
// A data id holds a serial number (0x8000..0xFFFF) in its high half and the
// slot index in its low half, so a stale id (its record deleted, the slot
// perhaps reused) names nothing. Records move bitwise when the pool grows:
// keep ids, not pointers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"

typedef uint32_t EDataId;

// Base of every pooled record. The pool owns m_id (0 while the slot is free);
// constructors of derived records must neither set nor read it.
struct EDataElement {
  EDataId m_id;
};

enum {
  kDATAARRAY_GROWABLE = 0x1,  // the pool doubles when full
};

// Helpers shared by every pool instance, kept out of the template.
namespace DataArrayDetail {
// Fatal report naming the pool.
[[noreturn]] void OutOfMemory(const char* fmt, const char* name, const char* file, int line);
void TraceResizeRefused(int count, const char* name, int highest);
// First gap of the Shell sort for n ids.
int FirstSortGap(int n);
}  // namespace DataArrayDetail

template <class T>
class EDataArray {
public:
  // Slot indices are 16 bits wide, so a pool never hands out more slots.
  static const int kMAX_SLOTS = 0x10000;
  static const int kFIRST_SERIAL = 0x8000;
  static const int kLAST_SERIAL = 0xFFFF;

  typedef bool (*DataCompareFn)(T* a, T* b);

  EDataArray(const char* name, int iAllocCount, unsigned flags, EMemType memType)
      : m_iCurAllocCount(iAllocCount), m_iNumUsed(0), m_iHighestUsed(-1), m_pData(nullptr),
        m_iInitialAllocCount(iAllocCount), m_iFirstFree(0), m_iNextSerial(kFIRST_SERIAL),
        m_eMemType(memType), m_uFlags(flags), m_iPeakAllocCount(iAllocCount) {
    // A longer name is cut (copied by hand: strncpy warns about the cut).
    size_t len = 0;
    for (; name && name[len] && len < sizeof(m_szName) - 1; ++len) m_szName[len] = name[len];
    m_szName[len] = '\0';
    EASSERT(iAllocCount > 0);
    m_pData = static_cast<T*>(malloc(sizeof(T) * (size_t)iAllocCount));
    EASSERT(m_pData);
    for (int i = 0; i < iAllocCount; ++i) m_pData[i].m_id = 0;
  }

  ~EDataArray() {
    for (int i = 0; i <= m_iHighestUsed; ++i) {
      if (m_pData[i].m_id) Destroy(&m_pData[i]);
    }
    free(m_pData);
  }

  EDataArray(const EDataArray&) = delete;
  EDataArray& operator=(const EDataArray&) = delete;

  static EDataId buildDataId(unsigned serial, unsigned index) { return (EDataId)((serial << 16) | (index & 0xFFFF)); }
  static int GetIndexFromDataId(EDataId id) { return (int)(id & 0xFFFF); }

  // Constructs a record in the lowest free slot and returns its id; 0 when
  // the pool is full and may not grow.
  EDataId ElementNew() {
    if (m_iNumUsed >= m_iCurAllocCount && (m_uFlags & kDATAARRAY_GROWABLE) && m_iCurAllocCount < kMAX_SLOTS) {
      int newCount = m_iCurAllocCount * 2;
      if (newCount > kMAX_SLOTS) newCount = kMAX_SLOTS;
      T* pNew = static_cast<T*>(calloc((size_t)newCount, sizeof(T)));
      if (!pNew)
        DataArrayDetail::OutOfMemory("Out of memory returned in attempting to expand data array: %s\n", m_szName,
                                     __FILE__, __LINE__);
      memcpy(static_cast<void*>(pNew), static_cast<const void*>(m_pData), sizeof(T) * (size_t)m_iCurAllocCount);
      free(m_pData);
      m_pData = pNew;
      m_iCurAllocCount = newCount;
      if (newCount > m_iPeakAllocCount) m_iPeakAllocCount = newCount;
    }
    int limit = m_iCurAllocCount < kMAX_SLOTS ? m_iCurAllocCount : kMAX_SLOTS;
    int slot = m_iFirstFree;
    while (slot < limit && m_pData[slot].m_id != 0) ++slot;
    if (slot >= limit) return 0;

    new (static_cast<void*>(&m_pData[slot])) T();
    EDataId id = buildDataId((unsigned)m_iNextSerial, (unsigned)slot);
    m_pData[slot].m_id = id;
    m_iNextSerial = m_iNextSerial >= kLAST_SERIAL ? kFIRST_SERIAL : m_iNextSerial + 1;
    ++m_iNumUsed;
    m_iFirstFree = slot + 1;
    if (slot > m_iHighestUsed) m_iHighestUsed = slot;
    return id;
  }

  // The live record this id names, or null. Ids without a serial (id 0
  // included) and stale ids give null, also when the pool has since shrunk
  // below the id's slot. An index the pool never had is a fatal report.
  T* ElementTryToGet(EDataId id) const {
    unsigned iIndex = id & 0xFFFF;
    if (__builtin_expect(iIndex >= (unsigned)m_iCurAllocCount, 0)) return OutOfRange(id);
    T* p = &m_pData[iIndex];
    // Stored ids always carry a serial, so only id 0 could match a free slot.
    return (p->m_id == id && id != 0) ? p : nullptr;
  }
  T* ElementGet(EDataId id) const { return ElementTryToGet(id); }

  static bool ElementIsUsed(const T* pElement) { return pElement->m_id != 0; }

  void ElementDelete(T* pElement) {
    EASSERT(pElement->m_id);
    int slot = GetIndexFromDataId(pElement->m_id);
    Destroy(pElement);
    if (slot < m_iFirstFree) m_iFirstFree = slot;
    if (slot == m_iHighestUsed) {
      while (m_iHighestUsed >= 0 && m_pData[m_iHighestUsed].m_id == 0) --m_iHighestUsed;
    }
    --m_iNumUsed;
  }

  void ElementDeleteByID(EDataId id) {
    if (T* p = ElementTryToGet(id)) ElementDelete(p);
  }

  // Destroys every record. The serials keep running, so no id handed out
  // before can name a record made afterwards.
  void DeleteAll() {
    for (int i = 0; i <= m_iHighestUsed; ++i) {
      if (m_pData[i].m_id) Destroy(&m_pData[i]);
    }
    m_iHighestUsed = -1;
    m_iNumUsed = 0;
    m_iFirstFree = 0;
  }

  // Changes the capacity when no live slot lies at or beyond it. A count
  // below 1 asks for the smallest capacity that keeps every live record.
  bool Resize(int iCount, bool bForce) {
    if (iCount == m_iCurAllocCount || (!(m_uFlags & kDATAARRAY_GROWABLE) && !bForce)) return true;
    m_iHighestUsed = -1;
    for (int i = 0; i < m_iCurAllocCount; ++i)
      if (m_pData[i].m_id) m_iHighestUsed = i;
    if (iCount < 1) iCount = m_iHighestUsed >= 0 ? m_iHighestUsed + 1 : 1;
    if (m_iHighestUsed >= iCount) {
      DataArrayDetail::TraceResizeRefused(iCount, m_szName, m_iHighestUsed);
      return false;
    }
    T* pNew = static_cast<T*>(malloc(sizeof(T) * (size_t)iCount));
    if (!pNew)
      DataArrayDetail::OutOfMemory("Out of memory returned in attempting to restore data array: %s\n", m_szName,
                                   __FILE__, __LINE__);
    int keep = m_iHighestUsed + 1;
    if (keep > 0) memcpy(static_cast<void*>(pNew), static_cast<const void*>(m_pData), sizeof(T) * (size_t)keep);
    for (int i = keep; i < iCount; ++i) pNew[i].m_id = 0;
    free(m_pData);
    m_pData = pNew;
    m_iCurAllocCount = iCount;
    if (iCount > m_iPeakAllocCount) m_iPeakAllocCount = iCount;
    if (m_iFirstFree > iCount) m_iFirstFree = iCount;
    return true;
  }

  bool RestoreSize(bool bForce) { return Resize(m_iInitialAllocCount, bForce); }

  // Sorts ids in place by their records; cmp (a, b) is true when a belongs
  // after b. Shell's method with gaps 1, 4, 13, 40, ...
  void SortIndexArray(EDataId* pidIndexArray, int n, DataCompareFn pfnDataCompare) const {
    EASSERT(pidIndexArray && pfnDataCompare);
    for (int gap = DataArrayDetail::FirstSortGap(n); gap > 0; gap /= 3) {
      for (int i = gap; i < n; ++i) {
        EDataId taken = pidIndexArray[i];
        T* pTaken = ElementGet(taken);
        int j = i;
        while (j >= gap && pfnDataCompare(ElementGet(pidIndexArray[j - gap]), pTaken)) {
          pidIndexArray[j] = pidIndexArray[j - gap];
          j -= gap;
        }
        pidIndexArray[j] = taken;
      }
    }
  }

  // Gathers the ids of the live records into *ppidList, grown with malloc
  // to GetAllocCount() ids when *piCapacity is short, and sorts them as
  // SortIndexArray does; returns their count.
  int GatherSortedIds(EDataId** ppidList, int* piCapacity, DataCompareFn pfnDataCompare) const {
    EASSERT(ppidList && piCapacity);
    if (!*ppidList || *piCapacity < m_iCurAllocCount) {
      free(*ppidList);
      *ppidList = static_cast<EDataId*>(malloc(sizeof(EDataId) * (size_t)(m_iCurAllocCount > 0 ? m_iCurAllocCount : 1)));
      EASSERT(*ppidList);
      *piCapacity = m_iCurAllocCount;
    }
    int count = 0;
    for (int i = 0; i <= m_iHighestUsed; ++i)
      if ((*this)[i].m_id) (*ppidList)[count++] = (*this)[i].m_id;
    SortIndexArray(*ppidList, count, pfnDataCompare);
    return count;
  }

  const char* GetName() const { return m_szName; }
  int GetNumUsed() const { return m_iNumUsed; }
  int GetHighestUsed() const { return m_iHighestUsed; }
  int GetAllocCount() const { return m_iCurAllocCount; }
  int GetInitialAllocCount() const { return m_iInitialAllocCount; }
  unsigned GetFlags() const { return m_uFlags; }
  EMemType GetMemType() const { return m_eMemType; }
  int GetNextSerial() const { return m_iNextSerial; }

  // Slot walk: for i in 0..GetHighestUsed(), a record whose m_id is not 0 is live.
  T& operator[](int i) { return m_pData[i]; }
  const T& operator[](int i) const { return m_pData[i]; }

  char m_szName[12];
  int m_iCurAllocCount;
  int m_iNumUsed;
  int m_iHighestUsed;
  T* m_pData;
  int m_iInitialAllocCount;
  int m_iFirstFree;
  int m_iNextSerial;
  EMemType m_eMemType;
  unsigned m_uFlags;

private:
  __attribute__((noinline)) T* OutOfRange(EDataId id) const {
    if (!(id & 0x80000000u)) return nullptr;
    int iIndex = GetIndexFromDataId(id);
    if (iIndex >= m_iPeakAllocCount) EASSERT(iIndex >= 0 && iIndex < m_iCurAllocCount);
    return nullptr;
  }

  // Frees a slot. The id is cleared again after the destructor because the
  // compiler may drop a store into an object whose lifetime then ends.
  static void Destroy(T* p) {
    EDataId* pId = &p->m_id;
    *pId = 0;
    p->~T();
    *pId = 0;
  }

  // Largest capacity the pool ever had: ids with a slot below it may be
  // stale, ids beyond it never came from this pool.
  int m_iPeakAllocCount;
};
