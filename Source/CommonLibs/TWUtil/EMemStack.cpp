#include "TWUtil/EMemStack.h"

#include <cstdlib>

EMemStack g_PrimaryStack(0x700000);
pthread_key_t g_dwThreadLocalStackIndex;

namespace {
pthread_once_t s_KeyOnce = PTHREAD_ONCE_INIT;
void CreateKey() { pthread_key_create(&g_dwThreadLocalStackIndex, nullptr); }
}  // namespace

EMemStack::EMemStack(unsigned size) : m_iUsed(0), m_pBase(nullptr), m_iNumMarks(0) {
  unsigned long long ullSize = (static_cast<unsigned long long>(size) + 4095) & ~4095ull;
  EASSERT(ullSize <= 0xFFFFF000ull);
  m_iSize = static_cast<unsigned>(ullSize);
  m_pBase = static_cast<unsigned char*>(malloc(m_iSize ? m_iSize : 1));
  EASSERT(m_pBase != 0);
  for (int i = 0; i < kMAX_MARKS; ++i) m_apMarks[i] = nullptr;
}

EMemStack::~EMemStack() {
  free(m_pBase);
  m_pBase = nullptr;
  m_iSize = m_iUsed = 0;
}

void EMemStack::Exhausted(unsigned bytes, unsigned align) const {
  g_ErrorManager.ErrorReportFileLine(__FILE__, __LINE__, false);
  g_ErrorManager.ErrorMessagef("Memory stack exhausted: %u bytes (alignment %u) asked with %u of %u bytes in use",
                               bytes, align, m_iUsed, m_iSize);
  // Only reached when the report came in the middle of another one; the
  // caller would write through the missing block.
  exit(-1);
}

void EMemStack::BadAlignment(unsigned align) const {
  g_ErrorManager.ErrorReportFileLine(__FILE__, __LINE__, false);
  g_ErrorManager.ErrorMessagef("(align & (align - 1)) == 0: memory stack alignment %u is not a power of two", align);
  exit(-1);
}

void EMemMark::MakeTop(unsigned bytes) {
  for (int i = m_Stack.m_iNumMarks - 1; i > m_iMarkNum; --i)
    if (m_Stack.m_apMarks[i]) m_Stack.m_apMarks[i]->DisableAutoPop();
  if (bytes) m_Stack.PopTo(m_iTop + bytes);
}

void BindThreadLocalStack(EMemStack* pStack) {
  pthread_once(&s_KeyOnce, CreateKey);
  pthread_setspecific(g_dwThreadLocalStackIndex, pStack);
}

EMemStack* GetThreadLocalStack() {
  pthread_once(&s_KeyOnce, CreateKey);
  EMemStack* pStack = static_cast<EMemStack*>(pthread_getspecific(g_dwThreadLocalStackIndex));
  return pStack ? pStack : &g_PrimaryStack;
}
