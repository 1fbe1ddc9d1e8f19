// Growable arrays. All storage logic lives in the untyped EArrayBase, which
// works on raw bytes with the element size passed to every call; EArray adds
// construction, destruction and typed access. Elements are moved bitwise
// whenever the block is reallocated or a range is inserted or removed, so an
// element type must tolerate being relocated with memcpy.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"

class EArrayBase {
public:
  // The count is kept in 27 bits; neither count nor capacity may exceed it.
  static const unsigned kMAX_COUNT = (1u << 27) - 1;

  constexpr explicit EArrayBase(EMemType eType = kMEMTYPE_Misc, bool bPooled = false)
      : m_uTypeAndNum(static_cast<unsigned>(eType) & 31u), m_uPooledAndMax(bPooled ? 1u : 0u), m_pData(nullptr) {}
  ~EArrayBase() { free(m_pData); }

  EArrayBase(const EArrayBase&) = delete;
  EArrayBase& operator=(const EArrayBase&) = delete;

  // Makes room for n more elements; returns the index of the first new one.
  int Add(unsigned sz, int n, bool bExact) {
    unsigned uOld = NumU();
    unsigned uNew = uOld + static_cast<unsigned>(n);
    if (uNew > MaxU()) Grow(sz, uNew, bExact);
    SetNum(uNew);
    return static_cast<int>(uOld);
  }
  // Opens n slots at index (holding stale bytes); returns index.
  int Insert(unsigned sz, int index, int n);
  // Closes n slots at index keeping the order.
  void Remove(unsigned sz, int index, int n) {
    unsigned uNum = NumU();
    char* p = static_cast<char*>(m_pData);
    size_t uTail = size_t(uNum - unsigned(index) - unsigned(n)) * sz;
    if (uTail) memmove(p + size_t(index) * sz, p + size_t(index + n) * sz, uTail);
    SetNum(uNum - unsigned(n));
    MaybeCompact(sz);
  }
  // Removes n slots at index and fills them from the end; order is not kept.
  void RemoveSwap(unsigned sz, int index, int n) {
    unsigned uNum = NumU();
    if (uNum - unsigned(index) - unsigned(n) < unsigned(n)) {
      Remove(sz, index, n);
      return;
    }
    char* p = static_cast<char*>(m_pData);
    memcpy(p + size_t(index) * sz, p + size_t(uNum - unsigned(n)) * sz, size_t(n) * sz);
    SetNum(uNum - unsigned(n));
    MaybeCompact(sz);
  }
  void Compact(unsigned sz) {
    if (NumU() != MaxU()) Realloc(sz, NumU());
  }
  void MaybeCompact(unsigned sz) {
    unsigned uNum = NumU();
    if (uNum == 0 || MaxU() - uNum > 2 * Increment(uNum)) Compact(sz);
  }
  // Frees the block: count and capacity 0. Elements are not destroyed.
  void Empty(unsigned sz);
  // Moves the data into a block of exactly cap elements (none for 0).
  void Realloc(unsigned sz, unsigned cap);

  static unsigned Increment(unsigned n) { return (n * 3) / 8 + 16; }
  static void Swap(EArrayBase& a, EArrayBase& b);

  int Num() const { return static_cast<int>(NumU()); }
  int Max() const { return static_cast<int>(MaxU()); }
  EMemType GetMemType() const { return static_cast<EMemType>(m_uTypeAndNum & 31u); }
  bool IsPooled() const { return (m_uPooledAndMax & 1u) != 0; }

protected:
  void Grow(unsigned sz, unsigned uNew, bool bExact);

  unsigned NumU() const { return m_uTypeAndNum >> 5; }
  unsigned MaxU() const { return m_uPooledAndMax >> 1; }
  void SetNum(unsigned n) { m_uTypeAndNum = (m_uTypeAndNum & 31u) | (n << 5); }
  void SetMax(unsigned n) { m_uPooledAndMax = (m_uPooledAndMax & 1u) | (n << 1); }

  // Word 0: the memory type in bits 0-4, the count in bits 5-31.
  unsigned m_uTypeAndNum;
  // Word 1: the pooled flag in bit 0, the capacity in bits 1-31.
  unsigned m_uPooledAndMax;
  void* m_pData;
};

namespace TWUtil {
template <class T> struct IsByteOrDword
    : std::integral_constant<bool, std::is_same<T, char>::value || std::is_same<T, unsigned char>::value ||
                                       std::is_same<T, unsigned int>::value> {};
template <class T> struct IsByte
    : std::integral_constant<bool, std::is_same<T, char>::value || std::is_same<T, signed char>::value ||
                                       std::is_same<T, unsigned char>::value> {};
}  // namespace TWUtil

template <class T>
class EArray : public EArrayBase {
public:
  constexpr explicit EArray(EMemType eType = kMEMTYPE_Misc, bool bPooled = false) : EArrayBase(eType, bPooled) {}
  EArray(const EArray& other) : EArrayBase(other.GetMemType(), false) { *this = other; }
  ~EArray() { Empty(); }

  EArray& operator=(const EArray& other) {
    if (this == &other) return *this;
    Empty();
    if (TWUtil::IsByte<T>::value) {
      if (other.Num() > 0) {
        EArrayBase::Add(sizeof(T), other.Num(), true);
        memcpy(m_pData, other.m_pData, size_t(other.Num()) * sizeof(T));
      }
    } else {
      for (int i = 0; i < other.Num(); ++i) AddData(other[i]);
    }
    return *this;
  }

  T& operator[](int index) { return static_cast<T*>(m_pData)[index]; }
  const T& operator[](int index) const { return static_cast<const T*>(m_pData)[index]; }
  T* GetData() { return static_cast<T*>(m_pData); }
  const T* GetData() const { return static_cast<const T*>(m_pData); }

  // Appends a copy; returns its index. The value may live in this array.
  int AddData(const T& value) {
    unsigned uWord = m_uTypeAndNum;
    unsigned uNum = uWord >> 5;
    if (uNum < MaxU()) {
      m_uTypeAndNum = uWord + 32;  // count + 1
      new (static_cast<void*>(GetData() + uNum)) T(value);
      return static_cast<int>(uNum);
    }
    return AddDataGrow(value);
  }
  // Inserts a copy at index; returns index. The value may live in this array.
  int InsertData(int index, const T& value) {
    int iSelf = IndexOf(&value);
    EArrayBase::Insert(sizeof(T), index, 1);
    if (iSelf >= index) ++iSelf;
    new (static_cast<void*>(GetData() + index)) T(iSelf >= 0 ? GetData()[iSelf] : value);
    return index;
  }
  __attribute__((noinline)) int AddDataGrow(const T& value) {
    int iSelf = IndexOf(&value);
    int i = EArrayBase::Add(sizeof(T), 1, false);
    new (static_cast<void*>(GetData() + i)) T(iSelf >= 0 ? GetData()[iSelf] : value);
    return i;
  }
  // Appends n default-constructed elements; returns the first index.
  int Add(int n = 1, bool bExact = false) {
    int i = EArrayBase::Add(sizeof(T), n, bExact);
    Construct(i, i + n);
    return i;
  }
  // Inserts n default-constructed elements at index.
  int Insert(int index, int n = 1) {
    EArrayBase::Insert(sizeof(T), index, n);
    Construct(index, index + n);
    return index;
  }
  void Remove(int index, int n = 1) {
    Destroy(index, index + n);
    EArrayBase::Remove(sizeof(T), index, n);
  }
  void RemoveSwap(int index, int n = 1) {
    Destroy(index, index + n);
    EArrayBase::RemoveSwap(sizeof(T), index, n);
  }
  // Sets the count to n, constructing or destroying elements at the end.
  void GrowTo(int n, bool bExact = false) {
    unsigned uNew = static_cast<unsigned>(n);
    if (TWUtil::IsByteOrDword<T>::value) {
      if (bExact || uNew > MaxU()) Realloc(sizeof(T), bExact ? uNew : uNew + Increment(uNew));
      SetNum(uNew);
      return;
    }
    int iNum = Num();
    if (n > iNum) {
      if (bExact || uNew > MaxU()) Realloc(sizeof(T), bExact ? uNew : uNew + Increment(uNew));
      Construct(iNum, n);
      SetNum(uNew);
    } else if (n < iNum) {
      Destroy(n, iNum);
      SetNum(uNew);
      if (bExact) Realloc(sizeof(T), uNew);
    }
  }
  void Reserve(int n) {
    if (static_cast<unsigned>(n) > MaxU()) Realloc(sizeof(T), static_cast<unsigned>(n));
  }
  void Compact() { EArrayBase::Compact(sizeof(T)); }
  void Empty() {
    Destroy(0, Num());
    EArrayBase::Empty(sizeof(T));
  }
  static void Swap(EArray& a, EArray& b) { EArrayBase::Swap(a, b); }

  // Hands the block to the caller and leaves the array empty.
  void ReleaseData(T*& pData, int& iNum, int& iMax) {
    const bool m_bPooled = IsPooled();  // named so that the report reads as the check
    EASSERT(! m_bPooled);
    pData = GetData();
    iNum = Num();
    iMax = Max();
    m_pData = nullptr;
    SetNum(0);
    SetMax(0);
  }

private:
  int IndexOf(const T* p) const {
    const T* pData = GetData();
    if (!pData || p < pData || p >= pData + MaxU()) return -1;
    return static_cast<int>(p - pData);
  }
  void Construct(int from, int to) {
    if (!std::is_trivially_default_constructible<T>::value)
      for (int i = from; i < to; ++i) new (static_cast<void*>(GetData() + i)) T;
  }
  void Destroy(int from, int to) {
    if (!std::is_trivially_destructible<T>::value)
      for (int i = from; i < to; ++i) GetData()[i].~T();
  }
};

// Placement new on an array appends one uninitialised slot at the end:
//   new (array) T(args...);
template <class T>
inline void* operator new(size_t, EArray<T>& array) {
  int i = array.EArrayBase::Add(sizeof(T), 1, false);
  return array.GetData() + i;
}
template <class T>
inline void* operator new(size_t, EArray<T>& array, int* pIndex) {
  int i = array.EArrayBase::Add(sizeof(T), 1, false);
  if (pIndex) *pIndex = i;
  return array.GetData() + i;
}
template <class T>
inline void operator delete(void*, EArray<T>&) {}
template <class T>
inline void operator delete(void*, EArray<T>&, int*) {}

// Index iterator. EArrayIter<const T> walks a const array; remove_cur swaps
// the last element into the current slot and stays there, so the element
// moved in is visited next.
template <class T>
class EArrayIter {
  typedef typename std::remove_const<T>::type Elem;
  typedef typename std::conditional<std::is_const<T>::value, const EArray<Elem>, EArray<Elem>>::type ArrayT;

public:
  explicit EArrayIter(ArrayT& array) : m_Array(array), m_iIndex(0) {}
  explicit operator bool() const { return m_iIndex < m_Array.Num(); }
  EArrayIter& operator++() {
    ++m_iIndex;
    return *this;
  }
  void operator++(int) { ++m_iIndex; }
  T& operator*() const { return m_Array[m_iIndex]; }
  T* operator->() const { return &m_Array[m_iIndex]; }
  int index() const { return m_iIndex; }
  void remove_cur() { m_Array.RemoveSwap(m_iIndex, 1); }

private:
  ArrayT& m_Array;
  int m_iIndex;
};
template <class T> EArrayIter(EArray<T>&) -> EArrayIter<T>;
template <class T> EArrayIter(const EArray<T>&) -> EArrayIter<const T>;

// The same over an array of pointers (EArrayPtrIter<X> walks EArray<X*>):
// * and -> give the pointer itself.
template <class T>
class EArrayPtrIter {
  typedef typename std::remove_const<T>::type Elem;
  typedef typename std::conditional<std::is_const<T>::value, const EArray<Elem*>, EArray<Elem*>>::type ArrayT;

public:
  explicit EArrayPtrIter(ArrayT& array) : m_Array(array), m_iIndex(0) {}
  explicit operator bool() const { return m_iIndex < m_Array.Num(); }
  EArrayPtrIter& operator++() {
    ++m_iIndex;
    return *this;
  }
  void operator++(int) { ++m_iIndex; }
  EArrayPtrIter& operator--() {
    --m_iIndex;
    return *this;
  }
  void operator--(int) { --m_iIndex; }
  Elem* operator*() const { return m_Array[m_iIndex]; }
  Elem* operator->() const { return m_Array[m_iIndex]; }
  int index() const { return m_iIndex; }
  void remove_cur() { m_Array.RemoveSwap(m_iIndex, 1); }

private:
  ArrayT& m_Array;
  int m_iIndex;
};
