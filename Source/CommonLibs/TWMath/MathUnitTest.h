// The math library's self-test, run once at start-up. Each group adds its
// failed checks to UnitTest::g_iNumFailures (TWUtil/UnitTest.h).
#pragma once

class EMat4;

namespace TWMath {

// Runs UnitTest_Misc, UnitTest_Mat4, UnitTest_Distance,
// UnitTest_TestIntersection and UnitTest_FindIntersection in this order;
// true when none counted a failure. The counter is 0 again afterwards.
bool UnitTest();

void UnitTest_Mat4();
void UnitTest_Misc();
void UnitTest_Distance();
void UnitTest_TestIntersection();
void UnitTest_FindIntersection();

// The matrix group with the vectorised products it compares against the
// plain one passed in (UnitTest_Mat4 passes the library's own).
typedef EMat4 (*Mul2ArgFn)(const EMat4& A, const EMat4& B);
typedef void (*Mul3ArgFn)(EMat4& out, const EMat4& A, const EMat4& B);
void UnitTest_Mat4With(Mul2ArgFn pfnMul2, Mul3ArgFn pfnMul3);

}  // namespace TWMath
