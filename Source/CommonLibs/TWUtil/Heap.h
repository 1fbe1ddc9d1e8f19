// Binary heap in an EArray: the least element (by the caller's less-than
// function) sits at index 0 and no child is less than its parent; the
// children of i are 2i + 1 and 2i + 2. Callers may change an element in
// place and then call HeapFixup on its index.
#pragma once

#include "TWUtil/Array.h"
#include "TWUtil/ErrorManager.h"

template <class T>
class EHeap : public EArray<T> {
public:
  typedef bool (*LessThanFn)(const T& a, const T& b, void* pUser);

  explicit EHeap(LessThanFn fnLessThan, EMemType eType = kMEMTYPE_Misc)
      : EArray<T>(eType, false), m_fnLessThan(fnLessThan) {}

  void HeapPush(const T& v) {
    this->AddData(v);
    _ReheapifyUp(0, this->Num() - 1);
  }

  T HeapPop() {
    T top(At(0));
    HeapRemove(0);
    return top;
  }

  void HeapRemove(int i) {
    int last = this->Num() - 1;
    if (i == last) {
      this->Remove(i, 1);
      return;
    }
    this->RemoveSwap(i, 1);
    _ReheapifyUpOrDown(0, i);
  }

  void HeapFixup(int i) { _ReheapifyUpOrDown(0, i); }

  void HeapBuild() {
    int n = this->Num();
    if (n < 2) return;
    for (int i = n / 2 - 1; i >= 0; --i) _ReheapifyDown(i, i);
  }

  // A child less than its parent is a fatal report.
  void HeapVerify() {
    int n = this->Num();
    for (int i = 0; 2 * i + 1 < n; ++i) {
      for (int iChild = 2 * i + 1; iChild <= 2 * i + 2 && iChild < n; ++iChild) {
        if (m_fnLessThan(At(iChild), At(i), this))
          g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "! m_fnLessThan(this->m_Data[iChild], this->m_Data[i], this)",
                                      false);
      }
    }
  }

  LessThanFn m_fnLessThan;

protected:
  T& At(int i) { return this->GetData()[i]; }
  bool Less(const T& a, const T& b) { return m_fnLessThan(a, b, this); }

  int _ReheapifyUp(int top, int i) {
    T lifted(At(i));
    while (i > top) {
      int p = (i - 1) / 2;
      if (Less(At(p), lifted)) break;
      At(i) = At(p);
      i = p;
    }
    At(i) = lifted;
    return i;
  }

  int _ReheapifyDown(int top, int i) {
    int n = this->Num();
    T lifted(At(i));
    for (;;) {
      int l = 2 * i + 1;
      if (l >= n) break;
      int r = l + 1;
      int c = (r < n && Less(At(r), At(l))) ? r : l;
      At(i) = At(c);
      i = c;
    }
    At(i) = lifted;
    return _ReheapifyUp(top, i);
  }

  int _ReheapifyUpOrDown(int top, int i) {
    int j = _ReheapifyUp(top, i);
    if (j == i) j = _ReheapifyDown(top, i);
    return j;
  }
};
