#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "TWMath/Covariance.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TraceCapture.h"

namespace {

// Solves a symmetric matrix and checks A v = lambda v, orthonormal vectors
// and decreasing eigenvalues.
void CheckSolved(const std::vector<float>& a, int n) {
  Eigen eigen(n);
  for (int r = 0; r < n; r++)
    for (int c = 0; c < n; c++) eigen.Matrix(r, c) = a[r * n + c];
  ASSERT_TRUE(eigen.DecrSortEigenStuff());
  for (int j = 0; j < n; j++) {
    if (j > 0) {
      EXPECT_GE(eigen.GetEigenvalue(j - 1), eigen.GetEigenvalue(j));
    }
    float lambda = eigen.GetEigenvalue(j);
    for (int r = 0; r < n; r++) {
      float av = 0.0f;
      for (int c = 0; c < n; c++) av += a[r * n + c] * eigen.GetEigenvector(c, j);
      EXPECT_NEAR(av, lambda * eigen.GetEigenvector(r, j), 1e-4f) << "n=" << n << " j=" << j << " r=" << r;
    }
    for (int k = 0; k < n; k++) {
      float dot = 0.0f;
      for (int r = 0; r < n; r++) dot += eigen.GetEigenvector(r, j) * eigen.GetEigenvector(r, k);
      EXPECT_NEAR(dot, j == k ? 1.0f : 0.0f, 1e-5f);
    }
  }
}

TEST(Eigen, SolvesSymmetricMatricesOfEachSize) {
  CheckSolved({2, 1, 1, 3}, 2);
  CheckSolved({4, 0, 0, -1}, 2);
  CheckSolved({4, 1, 2, 1, 3, 0.5f, 2, 0.5f, 1}, 3);
  CheckSolved({1, 2, 0, 2, 1, 0, 0, 0, 5}, 3);  // m02 = 0: no Householder step
  // 4x4 with a full first row.
  CheckSolved({5, 1, 2, 0.5f, 1, 4, 1, 0.25f, 2, 1, 3, 1, 0.5f, 0.25f, 1, 2}, 4);
  // First row couples only to row 1; the lower block is reduced in closed form.
  CheckSolved({3, 1, 0, 0, 1, 2, 1, 0.5f, 0, 1, 4, 1, 0, 0.5f, 1, 1}, 4);
  CheckSolved({3, 1, 0, 0, 1, 2, 1, 0, 0, 1, 4, 1, 0, 0, 1, 1}, 4);
  // The lower block maps the first row's direction onto itself.
  CheckSolved({1, 1, 1, 1, 1, 2, 0, 0, 1, 0, 2, 0, 1, 0, 0, 2}, 4);
}

TEST(Eigen, DiagonalMatrixSortsValuesAndPermutesAxes) {
  EMat3 m(1, 0, 0, 0, 3, 0, 0, 0, 2);
  float values[3];
  EVec3 vectors[3];
  ASSERT_TRUE(m.GetEigenStuff(values, vectors));
  EXPECT_EQ(values[0], 3.0f);
  EXPECT_EQ(values[1], 2.0f);
  EXPECT_EQ(values[2], 1.0f);
  EXPECT_EQ(std::fabs(vectors[0].y), 1.0f);
  EXPECT_EQ(std::fabs(vectors[1].z), 1.0f);
  EXPECT_EQ(std::fabs(vectors[2].x), 1.0f);
}

TEST(Eigen, NegativeEigenvalueIsReportedAsZeroAfterSorting) {
  EMat3 m(2, 0, 0, 0, -1, 0, 0, 0, 1);
  float values[3];
  EVec3 vectors[3];
  ASSERT_TRUE(m.GetEigenStuff(values, vectors));
  EXPECT_EQ(values[0], 2.0f);
  EXPECT_EQ(values[1], 1.0f);
  EXPECT_EQ(values[2], 0.0f);
  EXPECT_EQ(std::fabs(vectors[2].y), 1.0f);  // the axis of the raw -1
}

TEST(Eigen, EqualEigenvaluesKeepTheirOrder) {
  float values[3] = {1.0f, 2.0f, 2.0f};
  float rows[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  float* m[3] = {rows[0], rows[1], rows[2]};
  Eigen::DecreasingSort(3, values, m);
  EXPECT_EQ(values[0], 2.0f);
  EXPECT_EQ(values[2], 1.0f);
  // Column 1 (the first 2) moved to the front; column 2 stayed behind it.
  EXPECT_EQ(rows[1][0], 1.0f);
  EXPECT_EQ(rows[2][1], 1.0f);
  EXPECT_EQ(rows[0][2], 1.0f);
}

TEST(Eigen, FailureToConvergeIsReturned) {
  TraceCapture capture;
  float nan = std::nanf("");
  EMat3 m(1, nan, 0, nan, 1, 0, 0, 0, 1);
  float values[3] = {7, 7, 7};
  EVec3 vectors[3];
  EXPECT_FALSE(m.GetEigenStuff(values, vectors));
  for (int j = 0; j < 3; j++) EXPECT_EQ(values[j], 0.0f);
  EXPECT_EQ(vectors[0], EVec3(1, 0, 0));

  Eigen eigen(2);
  eigen.Matrix(0, 0) = 1;
  eigen.Matrix(0, 1) = eigen.Matrix(1, 0) = std::numeric_limits<float>::infinity();
  eigen.Matrix(1, 1) = 1;
  EXPECT_FALSE(eigen.DecrSortEigenStuff());
}

TEST(Eigen, UnsupportedSizesAreReportedAndRefused) {
  struct Case { int size; const char* report; } cases[] = {
      {1, "iSize >= 2"}, {5, "iSize <= ARRAY_COUNT(m_aafMatPtrBuf)"}, {-1, "iSize >= 2"}};
  for (const Case& c : cases) {
    TraceCapture capture;
    Eigen eigen(c.size);
    EXPECT_TRUE(capture.Contains(c.report)) << c.size;
    EXPECT_FALSE(eigen.IsValid());
    EXPECT_FALSE(eigen.DecrSortEigenStuff());
  }
  TraceCapture capture;
  Eigen negative(-1);  // compared unsigned, so this also exceeds the limit
  EXPECT_TRUE(capture.Contains("iSize <= ARRAY_COUNT(m_aafMatPtrBuf)"));
  capture.Clear();
  EXPECT_FALSE(Eigen::TridiagonalN(5, nullptr, nullptr, nullptr));
  EXPECT_TRUE(capture.Contains("false"));
}

TEST(Covariance, TranslateToLocalGivesCovarianceAboutTheMean) {
  const EVec3 points[] = {{1, 2, 3}, {2, 0, 1}, {4, 1, -1}, {0, 3, 2}};
  const int n = 4;
  EMat3 acc(0, 0, 0, 0, 0, 0, 0, 0, 0);
  EVec3 mean;
  for (const EVec3& p : points) {
    acc += OuterProduct(p, p) * (1.0f / n);
    mean += p * (1.0f / n);
  }
  acc.CovarianceTranslateToLocal(mean);
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) {
      float expected = 0.0f;
      for (const EVec3& p : points) expected += (p[r] - mean[r]) * (p[c] - mean[c]) / n;
      EXPECT_NEAR(acc.m[3 * r + c], expected, 1e-5f) << r << "," << c;
    }
  }

  EMat2 m2(5, 2, 2, 3);
  m2.CovarianceTranslateToLocal(EVec2(1, 2));
  EXPECT_EQ(m2.m[0], 4.0f);
  EXPECT_EQ(m2.m[1], 0.0f);
  EXPECT_EQ(m2.m[2], 0.0f);
  EXPECT_EQ(m2.m[3], -1.0f);
}

TEST(Covariance, ZeroMeanCopiesTheUpperTriangleDown) {
  EMat3 m(1, 2, 3, 9, 4, 5, 9, 9, 6);
  m.CovarianceTranslateToLocal(EVec3(0, 0, 0));
  const float expected[9] = {1, 2, 3, 2, 4, 5, 3, 5, 6};
  for (int i = 0; i < 9; i++) EXPECT_EQ(m.m[i], expected[i]) << i;
}

}  // namespace
