// Doubly linked lists of pointer-sized values. Nodes come from blocks of ten
// that each list allocates for itself and frees when it becomes empty.
//
// This header is included by the error manager, so it must not include it.
#pragma once

#include <cstring>
#include <type_traits>

// A list node. A position is a pointer to a node; null is the end.
struct __E_POSITION {
  __E_POSITION* pNext;
  __E_POSITION* pPrev;
  void* data;
};
typedef __E_POSITION* POSITION;

// One block of nodes: the header is followed directly by the node storage.
struct EPlex {
  EPlex* pNext;

  void* data() { return this + 1; }
  // Allocates a block for nMax elements of cbElement bytes and puts it at
  // the front of the chain; null when the heap refuses.
  static EPlex* Create(EPlex*& pHead, unsigned nMax, unsigned cbElement);
  // Frees this block and every block after it.
  void FreeDataChain();
};

// Reports a failed list check (fatal); defined beside the list code.
[[noreturn]] void EListCheckFailed(const char* file, int line, const char* expr);
#define ELIST_CHECK(expr) \
  do { if (!(expr)) EListCheckFailed(__FILE__, __LINE__, #expr); } while (0)

class EListBase {
public:
  typedef int (*CompareFn)(void* a, void* b);

  explicit EListBase(bool = false)
      : m_nCount(0), m_pBlocks(nullptr), m_nBlockSize(10), m_pNodeFree(nullptr), m_pNodeHead(nullptr),
        m_pNodeTail(nullptr) {}
  ~EListBase() { RemoveAll(); }
  EListBase(const EListBase&) = delete;
  EListBase& operator=(const EListBase&) = delete;

  bool IsEmpty() const { return m_nCount == 0; }
  int GetCount() const { return m_nCount; }
  POSITION GetHeadPosition() const { return m_pNodeHead; }
  POSITION GetTailPosition() const { return m_pNodeTail; }

  // The data at pos; pos moves to the next (previous) node.
  void*& GetNext(POSITION& pos) const {
    __E_POSITION* p = pos;
    pos = p->pNext;
    return p->data;
  }
  void*& GetPrev(POSITION& pos) const {
    __E_POSITION* p = pos;
    pos = p->pPrev;
    return p->data;
  }
  void*& GetAt(POSITION pos) const { return pos->data; }
  void*& GetHead() const {
    ELIST_CHECK(m_pNodeHead != nullptr);
    return m_pNodeHead->data;
  }
  void*& GetTail() const {
    ELIST_CHECK(m_pNodeTail != nullptr);
    return m_pNodeTail->data;
  }

  POSITION AddHead(void* data) {
    __E_POSITION* p = NewNode(nullptr, m_pNodeHead);
    p->data = data;
    if (m_pNodeHead)
      m_pNodeHead->pPrev = p;
    else
      m_pNodeTail = p;
    m_pNodeHead = p;
    return p;
  }
  POSITION AddTail(void* data) {
    __E_POSITION* p = NewNode(m_pNodeTail, nullptr);
    p->data = data;
    if (m_pNodeTail)
      m_pNodeTail->pNext = p;
    else
      m_pNodeHead = p;
    m_pNodeTail = p;
    return p;
  }
  void* RemoveHead() {
    ELIST_CHECK(m_pNodeHead != nullptr);
    __E_POSITION* p = m_pNodeHead;
    void* data = p->data;
    m_pNodeHead = p->pNext;
    if (m_pNodeHead)
      m_pNodeHead->pPrev = nullptr;
    else
      m_pNodeTail = nullptr;
    FreeNode(p);
    return data;
  }
  void* RemoveTail() {
    ELIST_CHECK(m_pNodeTail != nullptr);
    __E_POSITION* p = m_pNodeTail;
    void* data = p->data;
    m_pNodeTail = p->pPrev;
    if (m_pNodeTail)
      m_pNodeTail->pNext = nullptr;
    else
      m_pNodeHead = nullptr;
    FreeNode(p);
    return data;
  }
  // A null position inserts at the head.
  POSITION InsertBefore(POSITION pos, void* data);
  void RemoveAt(POSITION pos) {
    if (pos == m_pNodeHead)
      m_pNodeHead = pos->pNext;
    else
      pos->pPrev->pNext = pos->pNext;
    if (pos == m_pNodeTail)
      m_pNodeTail = pos->pPrev;
    else
      pos->pNext->pPrev = pos->pPrev;
    FreeNode(pos);
  }
  // Frees every node block; the list holds no memory afterwards.
  void RemoveAll();

  // Null when index is not below the count.
  POSITION FindIndex(unsigned index) const;
  // The first node after `after` (from the head when null) holding data.
  POSITION Find(void* data, POSITION after = nullptr) const;
  // Bubble passes that exchange neighbours' data while cmp returns 1, until
  // a pass exchanges nothing. Stable; nodes stay where they are.
  void Sort(CompareFn cmp) { SortBy(cmp); }

  int GetNumBlocks() const;

protected:
  template <class F>
  void SortBy(F cmp) {
    bool bSwapped = true;
    while (bSwapped) {
      bSwapped = false;
      for (__E_POSITION* p = m_pNodeHead; p && p->pNext; p = p->pNext) {
        if (cmp(p->data, p->pNext->data) == 1) {
          void* t = p->data;
          p->data = p->pNext->data;
          p->pNext->data = t;
          bSwapped = true;
        }
      }
    }
  }

  __E_POSITION* NewNode(__E_POSITION* pPrev, __E_POSITION* pNext) {
    if (!m_pNodeFree) AddBlock();
    __E_POSITION* p = m_pNodeFree;
    m_pNodeFree = p->pNext;
    p->pPrev = pPrev;
    p->pNext = pNext;
    p->data = nullptr;
    ++m_nCount;
    return p;
  }
  void FreeNode(__E_POSITION* p) {
    p->pNext = m_pNodeFree;
    m_pNodeFree = p;
    if (--m_nCount == 0) RemoveAll();
  }
  void AddBlock();

  int m_nCount;
  EPlex* m_pBlocks;
  int m_nBlockSize;
  __E_POSITION* m_pNodeFree;
  __E_POSITION* m_pNodeHead;
  __E_POSITION* m_pNodeTail;
};

// Typed face of EListBase for pointers and pointer-sized values.
template <class T>
class EList : public EListBase {
  static_assert(sizeof(T) <= sizeof(void*), "list elements are stored in a pointer");
  static_assert(std::is_trivially_copyable<T>::value, "list elements are copied bitwise");

public:
  static void* ToData(T value) {
    void* p = nullptr;
    memcpy(&p, &value, sizeof(T));
    return p;
  }
  static T FromData(void* p) {
    T value;
    memcpy(&value, &p, sizeof(T));
    return value;
  }
  static T& Ref(void*& p) { return *reinterpret_cast<T*>(&p); }

  explicit EList(bool b = false) : EListBase(b) {}

  T& GetNext(POSITION& pos) const { return Ref(EListBase::GetNext(pos)); }
  T& GetPrev(POSITION& pos) const { return Ref(EListBase::GetPrev(pos)); }
  T& GetAt(POSITION pos) const { return Ref(EListBase::GetAt(pos)); }
  T& GetHead() const { return Ref(EListBase::GetHead()); }
  T& GetTail() const { return Ref(EListBase::GetTail()); }
  POSITION AddHead(T value) { return EListBase::AddHead(ToData(value)); }
  POSITION AddTail(T value) { return EListBase::AddTail(ToData(value)); }
  T RemoveHead() { return FromData(EListBase::RemoveHead()); }
  T RemoveTail() { return FromData(EListBase::RemoveTail()); }
  POSITION InsertBefore(POSITION pos, T value) { return EListBase::InsertBefore(pos, ToData(value)); }
  POSITION Find(T value, POSITION after = nullptr) const { return EListBase::Find(ToData(value), after); }
  void Sort(int (*cmp)(T a, T b)) {
    SortBy([cmp](void* a, void* b) { return cmp(FromData(a), FromData(b)); });
  }
};

// A list of pointers that does not own what they point to.
template <bool bOwnsElements, class T>
class ETypedPtrList : public EList<T> {
  static_assert(!bOwnsElements, "owning pointer lists are not used");

public:
  ETypedPtrList() {}
};

enum EListIterStart {
  kLISTITER_Head = 0,
  kLISTITER_Tail = 1,
};

// Walks a list in both directions from its head or its tail.
template <class T>
class EListIter_ {
public:
  explicit EListIter_(EList<T>& list, EListIterStart start = kLISTITER_Head)
      : m_List(list), m_Pos(start == kLISTITER_Head ? list.GetHeadPosition() : list.GetTailPosition()) {}

  explicit operator bool() const { return m_Pos != nullptr; }
  EListIter_& operator++() {
    m_Pos = m_Pos->pNext;
    return *this;
  }
  void operator++(int) { m_Pos = m_Pos->pNext; }
  EListIter_& operator--() {
    m_Pos = m_Pos->pPrev;
    return *this;
  }
  void operator--(int) { m_Pos = m_Pos->pPrev; }
  T& operator*() const { return m_List.GetAt(m_Pos); }
  T operator->() const { return m_List.GetAt(m_Pos); }
  POSITION GetPosition() const { return m_Pos; }

  // Moves on, then removes the node it left.
  void RemoveAndNext() {
    POSITION p = m_Pos;
    m_Pos = p->pNext;
    m_List.RemoveAt(p);
  }
  void RemoveAndPrev() {
    POSITION p = m_Pos;
    m_Pos = p->pPrev;
    m_List.RemoveAt(p);
  }
  POSITION InsertBefore(T value) { return m_List.InsertBefore(m_Pos, value); }

private:
  EList<T>& m_List;
  POSITION m_Pos;
};

template <class T>
class EListIter : public EListIter_<T> {
public:
  explicit EListIter(EList<T>& list, EListIterStart start = kLISTITER_Head) : EListIter_<T>(list, start) {}
};
