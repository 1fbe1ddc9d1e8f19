// Linear scratch memory. A stack reserves one block up front and hands out
// aligned pieces by moving its top; a mark records the top and puts it back
// when it goes out of scope, releasing everything pushed inside at once.
#pragma once

#include <cstddef>
#include <cstring>
#include <pthread.h>

#include "TWUtil/ErrorManager.h"

class EMemMark;

class EMemStack {
public:
  enum { kMAX_MARKS = 32 };

  // The size is raised to a multiple of 4096 and reserved at once.
  explicit EMemStack(unsigned size);
  // Gives the block back; anything still pushed goes with it.
  ~EMemStack();
  EMemStack(const EMemStack&) = delete;
  EMemStack& operator=(const EMemStack&) = delete;

  // Takes bytes from the top, aligned to align (0: 1 for one byte, 2 for
  // two, else 4). A request that does not fit is a fatal report.
  unsigned char* Push(unsigned bytes, unsigned align = 0) {
    if (align == 0) align = (bytes == 1 || bytes == 2) ? bytes : 4;
    if (align & (align - 1)) BadAlignment(align);
    // Worked in 64 bits so that no request can wrap the top.
    unsigned long long ullOffset = (static_cast<unsigned long long>(m_iUsed) + (align - 1)) & ~static_cast<unsigned long long>(align - 1);
    unsigned long long ullTop = ullOffset + bytes;
    if (!Commit(ullTop)) Exhausted(bytes, align);
    m_iUsed = static_cast<unsigned>(ullTop);
    return m_pBase + ullOffset;
  }
  void PopTo(unsigned used) {
    Commit(used);
    m_iUsed = used;
  }
  unsigned GetUsedBytes() const { return m_iUsed; }
  unsigned GetSize() const { return m_iSize; }
  // Whether the bytes, raised to a multiple of 4096, fit in the reserve.
  // The reserve is itself such a multiple, so the bytes fit exactly when
  // they are not above it.
  bool Commit(unsigned long long bytes) {
    STUBBED("figure this out later");
    return bytes <= m_iSize;
  }
  // Whether p lies inside the part of the block in use.
  bool IsValidPointer(const void* p) const {
    const unsigned char* pc = static_cast<const unsigned char*>(p);
    return pc >= m_pBase && pc < m_pBase + m_iUsed;
  }
  // The newest live mark, or null.
  EMemMark* GetTopMark() const { return m_iNumMarks > 0 ? m_apMarks[m_iNumMarks - 1] : nullptr; }

  unsigned m_iSize;
  unsigned m_iUsed;
  unsigned char* m_pBase;
  EMemMark* m_apMarks[kMAX_MARKS];
  int m_iNumMarks;

private:
  [[noreturn]] void Exhausted(unsigned bytes, unsigned align) const;
  [[noreturn]] void BadAlignment(unsigned align) const;
};

// Appends one value to a stack (4-byte alignment for anything but 1 and 2
// byte values) and returns where it went.
template <class T>
inline T* PushData(EMemStack& stack, const T& value) {
  void* p = stack.Push(sizeof(T));
  memcpy(p, &value, sizeof(T));
  return static_cast<T*>(p);
}

// Scope mark: pops its stack back to where it was when it is destroyed.
class EMemMark {
public:
  explicit EMemMark(EMemStack& stack) : m_Stack(stack), m_iTop(stack.m_iUsed) {
    EASSERT(m_Stack.m_iNumMarks < EMemStack::kMAX_MARKS);
    m_iMarkNum = m_Stack.m_iNumMarks++;
    m_Stack.m_apMarks[m_iMarkNum] = this;
  }
  ~EMemMark() {
    if (m_iMarkNum < 0) return;
    m_Stack.PopTo(m_iTop);
    --m_Stack.m_iNumMarks;
    m_Stack.m_apMarks[m_iMarkNum] = nullptr;
  }
  EMemMark(const EMemMark&) = delete;
  EMemMark& operator=(const EMemMark&) = delete;

  // The mark stops popping at destruction.
  void DisableAutoPop() {
    if (m_iMarkNum < 0) return;
    --m_Stack.m_iNumMarks;
    m_Stack.m_apMarks[m_iMarkNum] = nullptr;
    m_iMarkNum = -2;
  }
  // Detaches every newer mark; with bytes, the stack then ends bytes after
  // this mark, so that region outlives the detached inner scopes.
  void MakeTop(unsigned bytes);

  unsigned GetTop() const { return m_iTop; }

  EMemStack& m_Stack;
  int m_iMarkNum;
  unsigned m_iTop;
};

// An array that grows on the top of a memory stack under its own mark.
// Elements are plain data, neither constructed nor destroyed, and stay
// contiguous only while nothing else is pushed on that stack meanwhile.
template <class T>
class ETempArray {
public:
  explicit ETempArray(EMemStack& stack) : m_Mark(stack), m_uNum(0) {
    m_pData = reinterpret_cast<T*>(stack.Push(0, 4));
  }
  ~ETempArray() {}
  ETempArray(const ETempArray&) = delete;
  ETempArray& operator=(const ETempArray&) = delete;

  unsigned Add(unsigned n) {
    m_Mark.m_Stack.Push(Bytes(n), 1);
    unsigned uFirst = m_uNum;
    m_uNum += n;
    return uFirst;
  }
  unsigned AddData(const T& value) {
    void* p = m_Mark.m_Stack.Push(sizeof(T), 1);
    memcpy(p, &value, sizeof(T));
    return m_uNum++;
  }
  T& operator[](unsigned index) { return m_pData[index]; }
  const T& operator[](unsigned index) const { return m_pData[index]; }
  unsigned Num() const { return m_uNum; }
  T* GetData() { return m_pData; }
  const T* GetData() const { return m_pData; }

  // Moves these elements to the end of dst, an older array on the same
  // stack, and makes dst's end the top of the stack.
  void AppendTo(ETempArray& dst) {
    EASSERT(&dst.m_Mark.m_Stack == &m_Mark.m_Stack);
    EASSERT(dst.m_Mark.m_iMarkNum >= 0 && dst.m_Mark.m_iMarkNum < m_Mark.m_iMarkNum);
    if (m_uNum) memmove(dst.m_pData + dst.m_uNum, m_pData, Bytes(m_uNum));
    dst.m_uNum += m_uNum;
    // dst's data starts at its mark's top rounded up to 4; keep that gap so
    // the stack ends after dst's last element, not short of it.
    unsigned uGap = static_cast<unsigned>(reinterpret_cast<unsigned char*>(dst.m_pData) -
                                          (m_Mark.m_Stack.m_pBase + dst.m_Mark.m_iTop));
    dst.m_Mark.MakeTop(uGap + Bytes(dst.m_uNum));
  }

  class iter {
  public:
    explicit iter(ETempArray& array) : m_Array(array), m_uIndex(0) {}
    explicit operator bool() const { return m_uIndex < m_Array.Num(); }
    iter& operator++() {
      ++m_uIndex;
      return *this;
    }
    void operator++(int) { ++m_uIndex; }
    T& operator*() const { return m_Array[m_uIndex]; }
    unsigned index() const { return m_uIndex; }

  private:
    ETempArray& m_Array;
    unsigned m_uIndex;
  };

  EMemMark m_Mark;

private:
  static unsigned Bytes(unsigned n) {
    unsigned long long ull = static_cast<unsigned long long>(n) * sizeof(T);
    EASSERT(ull <= 0xFFFFFFFFull);
    return static_cast<unsigned>(ull);
  }

  T* m_pData;
  unsigned m_uNum;
};

// The main thread's 7 MB scratch stack.
extern EMemStack g_PrimaryStack;
// Thread key whose per-thread value is that thread's stack.
extern pthread_key_t g_dwThreadLocalStackIndex;

// Creates the thread key (once) and binds the calling thread to the stack.
void BindThreadLocalStack(EMemStack* pStack);
// The calling thread's stack, or g_PrimaryStack when it has none.
EMemStack* GetThreadLocalStack();
