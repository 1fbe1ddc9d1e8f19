// The audio runtime's growable array of plain records. Elements are copied
// byte-wise and never constructed or destroyed; the block grows by exactly
// one element when it is full and never shrinks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "TWUtil/ErrorManager.h"

template <class X>
class TCArray {
 public:
  TCArray() : m_pArray(nullptr), m_nCount(0), m_nCapacity(1) {
    m_pArray = static_cast<X*>(malloc(sizeof(X)));
    if (!m_pArray) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_pArray", false);
  }
  ~TCArray() { free(m_pArray); }
  TCArray(const TCArray&) = delete;
  TCArray& operator=(const TCArray&) = delete;

  // Appends a copy of *pElement; returns its index.
  int32_t AddElement(const X* pElement) {
    if (!Grow()) return -1;
    memcpy(static_cast<void*>(&m_pArray[m_nCount]), pElement, sizeof(X));
    return m_nCount++;
  }

  // Inserts a copy of *pElement at nIndex, moving the later elements up;
  // returns the old count. An index outside 0..count changes nothing and
  // returns -1.
  int32_t InsertElement(const X* pElement, int32_t nIndex) {
    if (nIndex < 0 || nIndex > m_nCount || !Grow()) return -1;
    memmove(static_cast<void*>(&m_pArray[nIndex + 1]), &m_pArray[nIndex], sizeof(X) * (size_t)(m_nCount - nIndex));
    memcpy(static_cast<void*>(&m_pArray[nIndex]), pElement, sizeof(X));
    return m_nCount++;
  }

  // Moves the elements after nIndex one place down; the block keeps its
  // size. An index outside the elements changes nothing.
  void RemoveElement(int32_t nIndex) {
    if (nIndex < 0 || nIndex >= m_nCount) return;
    memmove(static_cast<void*>(&m_pArray[nIndex]), &m_pArray[nIndex + 1], sizeof(X) * (size_t)(m_nCount - nIndex - 1));
    --m_nCount;
  }

  void RemoveAllElements() { m_nCount = 0; }
  int32_t GetElementCount() const { return m_nCount; }
  int32_t GetCapacity() const { return m_nCapacity; }
  X* GetElementArray() const { return m_pArray; }
  // The address of element nIndex; null for an index outside the elements.
  X* GetElementMember(int32_t nIndex) const {
    return (nIndex >= 0 && nIndex < m_nCount) ? &m_pArray[nIndex] : nullptr;
  }

 private:
  // False only when the block is full and a larger one could not be had.
  bool Grow() {
    if (m_pArray && m_nCount < m_nCapacity) return true;
    X* pArray = static_cast<X*>(malloc(sizeof(X) * ((size_t)m_nCapacity + 1)));
    if (!pArray) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pArray", false);
      return false;
    }
    memcpy(static_cast<void*>(pArray), m_pArray, sizeof(X) * (size_t)m_nCount);
    free(m_pArray);
    m_pArray = pArray;
    ++m_nCapacity;
    return true;
  }

  X* m_pArray;
  int32_t m_nCount;
  int32_t m_nCapacity;
};
