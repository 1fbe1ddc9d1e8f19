// Comparisons shared by the groups of the math self-test (MathUnitTest*.cpp).
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"
#include "TWUtil/UnitTest.h"

namespace TWMath {
namespace UnitTestDetail {

// In double precision: below magnitude 1 the difference must be under
// 0.00004 * scale, otherwise the ratio must be within 0.00004 * scale of 1.
void CompareFloat(double a, double b, bool noCount, float scale, const char* file, int line);
// Component by component, so one vector can count up to its size in failures.
void CompareVec(const EVec2& a, const EVec2& b, bool noCount, float scale, const char* file, int line);
void CompareVec(const EVec3& a, const EVec3& b, bool noCount, float scale, const char* file, int line);
void CompareVec(const EVec4& a, const EVec4& b, bool noCount, float scale, const char* file, int line);
void CompareVec(const EQuat& a, const EQuat& b, bool noCount, float scale, const char* file, int line);
void CompareMat(const EMat4& a, const EMat4& b, bool noCount, const char* file, int line);
// Maximum corners first, then minimum corners.
void CompareBox(const EBox3& a, const EBox3& b, bool noCount, const char* file, int line);
// The angles after NormalizeAngle; the axes too unless the angle is 0, and
// those always count.
void CompareAxisAngle(const EVec4& a, const EVec4& b, bool noCount, const char* file, int line);

}  // namespace UnitTestDetail
}  // namespace TWMath

#define UT_CHECK_FLOAT(a, b, noCount) \
  TWMath::UnitTestDetail::CompareFloat((a), (b), (noCount), 1.0f, __FILE__, __LINE__)
#define UT_CHECK_FLOAT_SCALED(a, b, noCount, scale) \
  TWMath::UnitTestDetail::CompareFloat((a), (b), (noCount), (scale), __FILE__, __LINE__)
#define UT_CHECK_VEC(a, b, noCount) TWMath::UnitTestDetail::CompareVec((a), (b), (noCount), 1.0f, __FILE__, __LINE__)
#define UT_CHECK_VEC_SCALED(a, b, noCount, scale) \
  TWMath::UnitTestDetail::CompareVec((a), (b), (noCount), (scale), __FILE__, __LINE__)
#define UT_CHECK_MAT(a, b, noCount) TWMath::UnitTestDetail::CompareMat((a), (b), (noCount), __FILE__, __LINE__)
#define UT_CHECK_BOX(a, b, noCount) TWMath::UnitTestDetail::CompareBox((a), (b), (noCount), __FILE__, __LINE__)
#define UT_CHECK_AXIS_ANGLE(a, b, noCount) \
  TWMath::UnitTestDetail::CompareAxisAngle((a), (b), (noCount), __FILE__, __LINE__)
