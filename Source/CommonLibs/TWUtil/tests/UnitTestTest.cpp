#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TWUtil/Array.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/UnitTest.h"
#include "TWUtil/UnitTestArray.h"

namespace {

std::vector<std::string>& Lines() {
  static std::vector<std::string> s_lines;
  return s_lines;
}
void Collect(const char* text) { Lines().push_back(text ? text : ""); }

class CoreSelfTest : public ::testing::Test {
protected:
  void SetUp() override {
    Lines().clear();
    g_ErrorManager.SetConsoleCallback(Collect);
  }
  void TearDown() override { g_ErrorManager.SetConsoleCallback(nullptr); }

  static int CountLines(const std::string& text) {
    int n = 0;
    for (const std::string& s : Lines())
      if (s.find(text) != std::string::npos) ++n;
    return n;
  }
};

// An array that gives back its spare room after every append, so that its
// capacity always equals its count.
template <class T>
class TightArray : public EArray<T> {
public:
  int AddData(const T& v) {
    int i = EArray<T>::AddData(v);
    this->Compact();
    return i;
  }
};

void ArrayGroupOnTightArray() { TWUtil::UnitTest_ArrayOf<TightArray>(); }

TEST_F(CoreSelfTest, PassesRepeatedlyAndLeavesTheCounterAtZero) {
  for (int run = 0; run < 2; ++run) {
    UnitTest::g_iNumFailures = 7;
    EXPECT_TRUE(TWUtil::UnitTest()) << "run " << run;
    EXPECT_EQ(0, UnitTest::g_iNumFailures);
    EXPECT_EQ(0, InstanceCounter::sm_nAlive);
  }
  EXPECT_EQ(0, CountLines("Unit test check failed"));
}

TEST_F(CoreSelfTest, ArrayWithoutSpareRoomFailsTheSelfTestAndTracesTheCheck) {
  const UnitTest::GroupFn groups[] = {TWUtil::UnitTest_Heap, ArrayGroupOnTightArray, TWUtil::UnitTest_HandleAllocator,
                                      TWUtil::UnitTest_HashTable, TWUtil::UnitTest_DataArray};
  EXPECT_FALSE(UnitTest::RunGroups(groups, 5));
  EXPECT_EQ(0, UnitTest::g_iNumFailures);
  // The capacity checks after the first append and after the filling append.
  EXPECT_EQ(2, CountLines("Unit test check failed at"));
  EXPECT_EQ(2, CountLines("UnitTestArray.h"));
  EXPECT_EQ(2, CountLines("false, expected true"));
}

TEST_F(CoreSelfTest, ArrayGroupCountsEveryFailedCheckAndCarriesOn) {
  UnitTest::g_iNumFailures = 0;
  TWUtil::UnitTest_ArrayOf<TightArray>();
  const int failures = UnitTest::g_iNumFailures;
  UnitTest::g_iNumFailures = 0;
  // Two capacity checks fail; the grow sequences after them still run and pass.
  EXPECT_EQ(2, failures);
  EXPECT_EQ(0, InstanceCounter::sm_nAlive);
}

TEST_F(CoreSelfTest, ChecksCountAndTraceOnlyWithoutNoCount) {
  struct Case {
    bool equal;
    bool noCount;
    int counted;
    int traced;
  };
  const Case cases[] = {{true, false, 0, 0}, {true, true, 0, 0}, {false, true, 0, 0}, {false, false, 1, 1}};
  for (const Case& c : cases) {
    Lines().clear();
    UnitTest::g_iNumFailures = 0;
    UnitTest::_CheckEqual(true, c.equal, c.noCount, "a.cpp", 12);
    EXPECT_EQ(c.counted, UnitTest::g_iNumFailures);
    EXPECT_EQ(c.traced, CountLines("a.cpp, line 12: true, expected false"));
    UnitTest::g_iNumFailures = 0;
    UnitTest::_CheckEquali(5, c.equal ? 5 : 6, c.noCount, "b.cpp", 34);
    EXPECT_EQ(c.counted, UnitTest::g_iNumFailures);
    EXPECT_EQ(c.traced, CountLines("b.cpp, line 34: 5, expected 6"));
  }
  UnitTest::g_iNumFailures = 0;
}

int s_groupRuns = 0;
void FailingGroup() {
  ++s_groupRuns;
  UnitTest::_TestFailed(false);
}
void SilentGroup() {
  ++s_groupRuns;
  UnitTest::_TestFailed(true);
}

TEST_F(CoreSelfTest, DriverRunsEveryGroupAndResetsTheCounter) {
  s_groupRuns = 0;
  UnitTest::g_iNumFailures = 3;
  const UnitTest::GroupFn silent[] = {SilentGroup, SilentGroup};
  EXPECT_TRUE(UnitTest::RunGroups(silent, 2));
  const UnitTest::GroupFn failing[] = {FailingGroup, SilentGroup, SilentGroup};
  EXPECT_FALSE(UnitTest::RunGroups(failing, 3));
  EXPECT_EQ(5, s_groupRuns);
  EXPECT_EQ(0, UnitTest::g_iNumFailures);
}

}  // namespace
