// The self-tests that run inside the program at start-up: the shared failure
// counter and checks, and the core library's own test of its containers.
//
// A check that fails adds one to UnitTest::g_iNumFailures unless it is marked
// noCount (a case known not to hold exactly). A counted failure is traced on
// the warning channel with the check's place in the source; a driver turns
// the count into one pass-or-fail answer.
#pragma once

namespace UnitTest {

extern int g_iNumFailures;

void _TestFailed(bool noCount);
// file and line name the check in the trace of a counted failure.
void _CheckEqual(bool actual, bool expected, bool noCount, const char* file = nullptr, int line = 0);
void _CheckEquali(int actual, int expected, bool noCount, const char* file = nullptr, int line = 0);
// Traces a counted failure of a check on floats.
void _TraceFailedf(double actual, double expected, const char* file, int line);

typedef void (*GroupFn)();
// Sets the counter to 0, runs the groups in order, notes whether the counter
// is still 0, sets it back to 0 and returns that.
bool RunGroups(const GroupFn* pGroups, int iNumGroups);

}  // namespace UnitTest

#define UT_CHECK_EQUAL(actual, expected, noCount) \
  UnitTest::_CheckEqual((actual), (expected), (noCount), __FILE__, __LINE__)
#define UT_CHECK_EQUALI(actual, expected, noCount) \
  UnitTest::_CheckEquali((actual), (expected), (noCount), __FILE__, __LINE__)

// An int that counts the live instances of its class.
class InstanceCounter {
public:
  InstanceCounter() : value(0) { ++sm_nAlive; }
  explicit InstanceCounter(int v) : value(v) { ++sm_nAlive; }
  InstanceCounter(const InstanceCounter& b) : value(b.value) { ++sm_nAlive; }
  InstanceCounter& operator=(const InstanceCounter& b) = default;
  ~InstanceCounter() { --sm_nAlive; }

  static bool IsLessThan(const InstanceCounter& a, const InstanceCounter& b, void* pUser);
  static void ResetCounters() { sm_nAlive = 0; }

  int value;
  static int sm_nAlive;
};

namespace TWUtil {

// Runs the five container groups below in order; true when none counted a
// failure. The counter is 0 again afterwards.
bool UnitTest();

void UnitTest_Heap();
void UnitTest_Array();
void UnitTest_HandleAllocator();
void UnitTest_HashTable();
void UnitTest_DataArray();

}  // namespace TWUtil
