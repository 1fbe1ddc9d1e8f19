#include "TWUtil/UnitTest.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/HandleAllocator.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/Heap.h"
#include "TWUtil/UnitTestArray.h"

// --- Checks and driver ---------------------------------------------------------

namespace UnitTest {

int g_iNumFailures = 0;

void _TestFailed(bool noCount) {
  if (!noCount) ++g_iNumFailures;
}

static void TraceFailed(const char* file, int line, const char* what) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Unit test check failed at %s, line %d: %s\n", file ? file : "?", line,
                               what);
}

void _CheckEqual(bool actual, bool expected, bool noCount, const char* file, int line) {
  if (actual == expected) return;
  if (!noCount) TraceFailed(file, line, actual ? "true, expected false" : "false, expected true");
  _TestFailed(noCount);
}

void _CheckEquali(int actual, int expected, bool noCount, const char* file, int line) {
  if (actual == expected) return;
  if (!noCount) {
    char what[64];
    snprintf(what, sizeof(what), "%d, expected %d", actual, expected);
    TraceFailed(file, line, what);
  }
  _TestFailed(noCount);
}

void _TraceFailedf(double actual, double expected, const char* file, int line) {
  char what[96];
  snprintf(what, sizeof(what), "%.9g, expected %.9g", actual, expected);
  TraceFailed(file, line, what);
}

bool RunGroups(const GroupFn* pGroups, int iNumGroups) {
  g_iNumFailures = 0;
  for (int i = 0; i < iNumGroups; ++i) pGroups[i]();
  bool bPassed = g_iNumFailures == 0;
  g_iNumFailures = 0;
  return bPassed;
}

}  // namespace UnitTest

// --- Test records ----------------------------------------------------------------

int InstanceCounter::sm_nAlive = 0;

bool InstanceCounter::IsLessThan(const InstanceCounter& a, const InstanceCounter& b, void*) {
  return a.value < b.value;
}

namespace {

// A record of a handle allocator with 16-bit tags.
class DummyClass {
public:
  explicit DummyClass(int v) : value((uint16_t)v) { ++sm_nAlive; }
  ~DummyClass() { --sm_nAlive; }

  uint16_t value;
  uint16_t m_AllocTag;  // owned by the allocator
  static int sm_nAlive;
};
int DummyClass::sm_nAlive = 0;

class TestElement : public EDataElement {
public:
  TestElement() : a(0), b(1) { ++sm_iExisting; }
  ~TestElement() { --sm_iExisting; }

  int a, b;
  static int sm_iExisting;
};
int TestElement::sm_iExisting = 0;

typedef EHandleAllocator<DummyClass, uint16_t, uint32_t> DummyAllocator;

void CheckHandleCounts(const DummyAllocator& alloc, int iLive) {
  UT_CHECK_EQUALI((int)alloc.Num(), iLive, false);
  UT_CHECK_EQUALI(DummyClass::sm_nAlive, iLive, false);
}

// Pops everything, checking that no value is less than the one before it.
void PopAllInOrder(EHeap<InstanceCounter>& heap) {
  int iPrev = 0;
  while (heap.Num() > 0) {
    int v = heap.HeapPop().value;
    UT_CHECK_EQUAL(v < iPrev, false, false);
    iPrev = v;
  }
}

}  // namespace

// --- Groups ------------------------------------------------------------------------

namespace TWUtil {

void UnitTest_Heap() {
  EHeap<InstanceCounter> heap(InstanceCounter::IsLessThan);

  for (int i = 0; i < 500; ++i) heap.HeapPush(InstanceCounter(rand()));
  heap.HeapVerify();
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 500, false);

  for (int i = 0; i < 100; ++i) heap.HeapRemove(rand() % heap.Num());
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 400, false);
  heap.HeapVerify();
  PopAllInOrder(heap);

  for (int i = 0; i < 500; ++i) heap.AddData(InstanceCounter(rand()));
  heap.HeapBuild();
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 500, false);
  heap.HeapVerify();
  PopAllInOrder(heap);
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 0, false);

  for (int i = 0; i < 500; ++i) heap.AddData(InstanceCounter(rand()));
  heap.HeapBuild();
  for (int i = 0; i < 10000; ++i) {
    int iIndex = rand() % heap.Num();
    heap[iIndex].value = rand();
    heap.HeapFixup(iIndex);
    heap.HeapVerify();
  }
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 500, false);
  PopAllInOrder(heap);
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 0, false);
}

void UnitTest_Array() { UnitTest_ArrayOf<EArray>(); }

void UnitTest_HandleAllocator() {
  DummyAllocator alloc;
  uint32_t aHandles[10];
  int iLive = 0;

  for (int i = 0; i < 10; ++i) {
    DummyClass* p = new (alloc, aHandles[i]) DummyClass(i);
    ++iLive;
    UT_CHECK_EQUAL(alloc.IsValid(aHandles[i]), true, false);
    UT_CHECK_EQUAL(alloc.Get(aHandles[i]) == p, true, false);
  }
  CheckHandleCounts(alloc, iLive);

  for (int i = 0; i < 10; i += 3) {
    DummyClass* p = alloc.Get(aHandles[i]);
    alloc.Delete(aHandles[i]);
    --iLive;
    UT_CHECK_EQUAL(alloc.IsValid(aHandles[i]), false, false);
    UT_CHECK_EQUALI((int)alloc.ToHandle(p), -1, false);
  }
  CheckHandleCounts(alloc, iLive);

  for (EHandleAllocatorIter<DummyClass> it(alloc); it; ++it) UT_CHECK_EQUAL(alloc.IsValid(it.handle()), true, false);
  CheckHandleCounts(alloc, iLive);

  for (EHandleAllocatorIter<DummyClass> it(alloc); it;) {
    if (!alloc.IsValid(it.handle())) {
      UnitTest::_CheckEqual(false, true, false, __FILE__, __LINE__);
      break;
    }
    it.delete_cur();
    --iLive;
  }
  CheckHandleCounts(alloc, iLive);
}

void UnitTest_HashTable() {
  EHashTable<InstanceCounter*> table;
  char szKey[32];

  for (int i = 0; i < 90; ++i) {
    snprintf(szKey, sizeof(szKey), "counter%d", i);
    UT_CHECK_EQUAL(table.Set(szKey, new InstanceCounter(i)) == nullptr, true, false);
  }
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 90, false);
  UT_CHECK_EQUALI((int)table.GetNumEntries(), InstanceCounter::sm_nAlive, false);
  UT_CHECK_EQUAL(table.GetNumEntries() < 2 * table.GetNumBuckets(), true, false);
  UT_CHECK_EQUAL(table.GetNumBuckets() < 5 * table.GetNumEntries(), true, false);

  InstanceCounter* pOld = table.Set("counter5", new InstanceCounter(10005));
  UT_CHECK_EQUALI(pOld ? pOld->value : -1, 5, false);
  delete pOld;
  InstanceCounter* pRemoved = table.Remove("counter5");
  UT_CHECK_EQUALI(pRemoved ? pRemoved->value : -1, 10005, false);
  delete pRemoved;
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 89, false);
  UT_CHECK_EQUALI((int)table.GetNumEntries(), InstanceCounter::sm_nAlive, false);

  InstanceCounter* pFound = table.Find("counter6");
  UT_CHECK_EQUALI(pFound ? pFound->value : -1, 6, false);
  pFound = nullptr;
  UT_CHECK_EQUAL(table.Contains("counter6", &pFound), true, false);
  UT_CHECK_EQUALI(pFound ? pFound->value : -1, 6, false);
  UT_CHECK_EQUAL(table.Find("counterNonexistent") == nullptr, true, false);
  InstanceCounter* const pUntouched = reinterpret_cast<InstanceCounter*>(&szKey);
  pFound = pUntouched;
  UT_CHECK_EQUAL(table.Contains("counterNonexistent", &pFound), false, false);
  UT_CHECK_EQUAL(pFound == pUntouched, true, false);

  {
    EHashIter<InstanceCounter*> it(table);
    UT_CHECK_EQUAL((bool)it, true, false);
    InstanceCounter* pCur = it ? it.remove_cur() : nullptr;
    UT_CHECK_EQUAL(pCur != nullptr, true, false);
    delete pCur;
    UT_CHECK_EQUALI((int)table.GetNumEntries(), InstanceCounter::sm_nAlive, false);
  }

  for (EHashIter<InstanceCounter*> it(table); it; ++it) delete *it;
  table.RemoveAll();
  InstanceCounter::ResetCounters();
}

void UnitTest_DataArray() {
  {
    EDataArray<TestElement> pool("test", 1, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
    EDataId aIds[10];
    for (int i = 0; i < 10; ++i) aIds[i] = pool.ElementNew();
    UT_CHECK_EQUALI(TestElement::sm_iExisting, 10, false);
    UT_CHECK_EQUAL(pool.ElementTryToGet(2) == nullptr, true, false);
    for (int i = 0; i < 10; ++i) {
      TestElement* p = pool.ElementTryToGet(aIds[i]);
      UT_CHECK_EQUAL(p != nullptr && p->m_id == aIds[i], true, false);
    }

    pool.ElementDeleteByID(aIds[5]);
    UT_CHECK_EQUAL(pool.ElementTryToGet(aIds[5]) == nullptr, true, false);
    UT_CHECK_EQUALI(TestElement::sm_iExisting, 9, false);

    UT_CHECK_EQUAL(pool.Resize(0, false), true, false);
    UT_CHECK_EQUALI(pool.GetAllocCount(), 10, false);
    UT_CHECK_EQUALI(pool.GetHighestUsed(), 9, false);
    UT_CHECK_EQUAL(pool.Resize(3, false), false, false);
    UT_CHECK_EQUAL(pool.Resize(60, false), true, false);
  }
  UT_CHECK_EQUALI(TestElement::sm_iExisting, 0, false);
}

bool UnitTest() {
  static const ::UnitTest::GroupFn s_aGroups[] = {UnitTest_Heap, UnitTest_Array, UnitTest_HandleAllocator,
                                                  UnitTest_HashTable, UnitTest_DataArray};
  return ::UnitTest::RunGroups(s_aGroups, (int)(sizeof(s_aGroups) / sizeof(s_aGroups[0])));
}

}  // namespace TWUtil
