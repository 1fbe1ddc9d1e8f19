// A singly linked list over a fixed number of nodes reserved by init; it
// never touches the heap afterwards. Members are kept newest first.
#pragma once

#include <cstdlib>
#include <type_traits>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"

template <class T>
struct EStaticListNode {
  EStaticListNode* m_pNext;
  T m_Value;
};

template <class T>
class EStaticList {
  static_assert(std::is_trivially_copyable<T>::value, "static-list members are plain values");

public:
  typedef EStaticListNode<T> Node;

  explicit EStaticList(EMemType eType = kMEMTYPE_Misc, unsigned uCapacity = 0)
      : m_pHead(nullptr), m_pNodes(nullptr), m_ppFree(nullptr), m_uCount(0), m_uFree(0), m_uMaxCount(0) {
    init(eType, uCapacity);
  }
  ~EStaticList() {
    ::free(m_pNodes);
    ::free(m_ppFree);
  }
  EStaticList(const EStaticList&) = delete;
  EStaticList& operator=(const EStaticList&) = delete;

  // (Re)allocates the nodes for uCapacity members and empties the list.
  void init(EMemType, unsigned uCapacity) {
    ::free(m_pNodes);
    ::free(m_ppFree);
    m_pNodes = nullptr;
    m_ppFree = nullptr;
    if (uCapacity) {
      m_pNodes = static_cast<Node*>(malloc(sizeof(Node) * size_t(uCapacity)));
      m_ppFree = static_cast<Node**>(malloc(sizeof(Node*) * size_t(uCapacity)));
      EASSERT(m_pNodes && m_ppFree);
    }
    m_uMaxCount = uCapacity;
    purge();
  }
  void purge() {
    m_pHead = nullptr;
    m_uCount = 0;
    m_uFree = m_uMaxCount;
    for (unsigned i = 0; i < m_uMaxCount; ++i) m_ppFree[i] = &m_pNodes[i];
  }
  // Puts value at the head; false when every node is in use.
  bool add(T value) {
    if (m_uFree == 0) return false;
    Node* p = m_ppFree[--m_uFree];
    p->m_Value = value;
    p->m_pNext = m_pHead;
    m_pHead = p;
    ++m_uCount;
    return true;
  }
  // Unlinks the first node holding value.
  bool remove(T value) {
    Node* pPrev = nullptr;
    for (Node* p = m_pHead; p; pPrev = p, p = p->m_pNext) {
      if (!(p->m_Value == value)) continue;
      if (pPrev)
        pPrev->m_pNext = p->m_pNext;
      else
        m_pHead = p->m_pNext;
      m_ppFree[m_uFree++] = p;
      --m_uCount;
      return true;
    }
    return false;
  }

  unsigned count() const { return m_uCount; }
  unsigned free() const { return m_uFree; }
  unsigned maxcount() const { return m_uMaxCount; }
  Node* head() const { return m_pHead; }

private:
  Node* m_pHead;
  Node* m_pNodes;
  Node** m_ppFree;
  unsigned m_uCount;
  unsigned m_uFree;
  unsigned m_uMaxCount;
};

template <class T>
class EStaticListIter {
public:
  typedef EStaticListNode<T> Node;

  explicit EStaticListIter(const EStaticList<T>& list) : m_start(list.head()), m_current(m_start) {}

  bool isDone() const { return m_current == nullptr; }
  T& item() const {
    EASSERT(m_current);
    return m_current->m_Value;
  }
  void next() {
    if (m_current) m_current = m_current->m_pNext;
  }
  void reset() { m_current = m_start; }

private:
  Node* m_start;
  Node* m_current;
};
