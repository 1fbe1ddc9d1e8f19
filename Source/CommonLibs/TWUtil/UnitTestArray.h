// The array group of the core self-test, written for any array template
// with EArray's interface (TWUtil::UnitTest_Array runs it on EArray).
#pragma once

#include "TWUtil/UnitTest.h"

namespace TWUtil {

namespace UnitTestDetail {

// Insert, remove and the count and capacity rules of GrowTo, on an array of
// 0 to 9 made with the given element constructor.
template <class ArrayT, class MakeFn, class ValueFn>
void ArrayGrowSequence(ArrayT& a, MakeFn make, ValueFn value) {
  for (int i = 0; i < 10; ++i) a.AddData(make(i));
  a.InsertData(5, make(100));
  UT_CHECK_EQUALI(value(a[4]), 4, false);
  UT_CHECK_EQUALI(value(a[5]), 100, false);
  UT_CHECK_EQUALI(value(a[6]), 5, false);
  a.Remove(5, 2);
  UT_CHECK_EQUALI(value(a[4]), 4, false);
  UT_CHECK_EQUALI(value(a[5]), 6, false);

  const int c = a.Max();
  a.GrowTo(7);
  UT_CHECK_EQUALI(a.Num(), 7, false);
  UT_CHECK_EQUALI(a.Max(), c, false);
  a.GrowTo(0);
  UT_CHECK_EQUALI(a.Num(), 0, false);
  UT_CHECK_EQUALI(a.Max(), c, false);
  a.GrowTo(c - 1);
  UT_CHECK_EQUALI(a.Num(), c - 1, false);
  UT_CHECK_EQUALI(a.Max(), c, false);
  a.GrowTo(c + 1);
  UT_CHECK_EQUALI(a.Num(), c + 1, false);
  UT_CHECK_EQUAL(a.Max() > c + 1, true, false);

  const int m = a.Max();
  a.GrowTo(m + 1, true);
  UT_CHECK_EQUALI(a.Num(), m + 1, false);
  UT_CHECK_EQUALI(a.Max(), m + 1, false);
  a.GrowTo(0, true);
  UT_CHECK_EQUALI(a.Num(), 0, false);
  UT_CHECK_EQUALI(a.Max(), 0, false);
  a.GrowTo(3);
  a.Empty();
  UT_CHECK_EQUALI(a.Num(), 0, false);
  UT_CHECK_EQUALI(a.Max(), 0, false);
}

inline InstanceCounter MakeCounter(int i) { return InstanceCounter(i); }
inline int CounterValue(const InstanceCounter& c) { return c.value; }
inline unsigned MakeUnsigned(int i) { return (unsigned)i; }
inline int UnsignedValue(unsigned u) { return (int)u; }

}  // namespace UnitTestDetail

template <template <class> class ArrayT>
void UnitTest_ArrayOf() {
  using namespace UnitTestDetail;
  {
    // Growth leaves room: an append that fills the block is followed by one
    // that grows it beyond the count.
    ArrayT<InstanceCounter> a;
    a.AddData(InstanceCounter(0));
    UT_CHECK_EQUALI(a.Num(), 1, false);
    UT_CHECK_EQUAL(a.Max() > 1, true, false);
    while (a.Num() < a.Max()) a.AddData(InstanceCounter(a.Num()));
    a.AddData(InstanceCounter(a.Num()));
    UT_CHECK_EQUAL(a.Num() < a.Max(), true, false);
  }
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 0, false);
  {
    ArrayT<unsigned int> a;
    ArrayGrowSequence(a, MakeUnsigned, UnsignedValue);
  }
  {
    ArrayT<InstanceCounter> a;
    ArrayGrowSequence(a, MakeCounter, CounterValue);
  }
  UT_CHECK_EQUALI(InstanceCounter::sm_nAlive, 0, false);
}

}  // namespace TWUtil
