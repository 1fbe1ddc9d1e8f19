#include "TWUtil/List.h"

#include <cstdlib>

#include "TWUtil/ErrorManager.h"

void EListCheckFailed(const char* file, int line, const char* expr) {
  g_ErrorManager.ErrorMessage(file, line, expr, false);
  // Only reached when the report came in the middle of another one; the
  // caller cannot go on without its node.
  exit(-1);
}

EPlex* EPlex::Create(EPlex*& pHead, unsigned nMax, unsigned cbElement) {
  EPlex* p = static_cast<EPlex*>(malloc(sizeof(EPlex) + size_t(nMax) * cbElement));
  if (!p) return nullptr;
  p->pNext = pHead;
  pHead = p;
  return p;
}

void EPlex::FreeDataChain() {
  EPlex* p = this;
  while (p) {
    EPlex* pNext = p->pNext;
    free(p);
    p = pNext;
  }
}

void EListBase::AddBlock() {
  EPlex* pBlock = EPlex::Create(m_pBlocks, unsigned(m_nBlockSize), sizeof(__E_POSITION));
  ELIST_CHECK(pBlock != nullptr);
  // Pushed last to first, so the block's first node is taken first.
  __E_POSITION* pNodes = static_cast<__E_POSITION*>(pBlock->data());
  for (int i = m_nBlockSize - 1; i >= 0; --i) {
    pNodes[i].pNext = m_pNodeFree;
    m_pNodeFree = &pNodes[i];
  }
}

void EListBase::RemoveAll() {
  if (m_pBlocks) m_pBlocks->FreeDataChain();
  m_pBlocks = nullptr;
  m_pNodeFree = nullptr;
  m_pNodeHead = nullptr;
  m_pNodeTail = nullptr;
  m_nCount = 0;
}

POSITION EListBase::InsertBefore(POSITION pos, void* data) {
  if (!pos) return AddHead(data);
  __E_POSITION* p = NewNode(pos->pPrev, pos);
  p->data = data;
  if (pos->pPrev)
    pos->pPrev->pNext = p;
  else
    m_pNodeHead = p;
  pos->pPrev = p;
  return p;
}

POSITION EListBase::FindIndex(unsigned index) const {
  if (index >= unsigned(m_nCount)) return nullptr;
  __E_POSITION* p = m_pNodeHead;
  while (index--) p = p->pNext;
  return p;
}

POSITION EListBase::Find(void* data, POSITION after) const {
  for (__E_POSITION* p = after ? after->pNext : m_pNodeHead; p; p = p->pNext)
    if (p->data == data) return p;
  return nullptr;
}

int EListBase::GetNumBlocks() const {
  int n = 0;
  for (EPlex* p = m_pBlocks; p; p = p->pNext) ++n;
  return n;
}
