#include "TWMath/Covariance.h"

#include <cmath>
#include <cstring>

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TWUtil/ErrorManager.h"

namespace Math {
float FAbs(float f) { return fabsf(f); }
float Sqrt(float f) { return sqrtf(f); }
}  // namespace Math

Eigen::Eigen(int iSize) : m_iSize(iSize) {
  memset(m_aafMatBuf, 0, sizeof(m_aafMatBuf));
  memset(m_afDiagBuf, 0, sizeof(m_afDiagBuf));
  memset(m_afSubdBuf, 0, sizeof(m_afSubdBuf));
  for (int i = 0; i < 4; i++) m_aafMatPtrBuf[i] = m_aafMatBuf[i];
  m_aafMat = m_aafMatPtrBuf;
  m_afDiag = m_afDiagBuf;
  m_afSubd = m_afSubdBuf;

  bool bValid = true;
  if (!(iSize >= 2)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iSize >= 2", true);
    bValid = false;
  }
  if (!((unsigned)iSize <= 4u)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iSize <= ARRAY_COUNT(m_aafMatPtrBuf)", true);
    bValid = false;
  }
  if (!bValid) m_iSize = 0;
}

bool Eigen::DecrSortEigenStuff() {
  if (m_iSize == 0) return false;
  switch (m_iSize) {
    case 3: Tridiagonal3(m_aafMat, m_afDiag, m_afSubd); break;
    case 4: Tridiagonal4(m_aafMat, m_afDiag, m_afSubd); break;
    case 2: Tridiagonal2(m_aafMat, m_afDiag, m_afSubd); break;
    default:
      if (!TridiagonalN(m_iSize, m_aafMat, m_afDiag, m_afSubd)) return false;
      break;
  }
  bool bConverged = QLAlgorithm(m_iSize, m_afDiag, m_afSubd, m_aafMat);
  DecreasingSort(m_iSize, m_afDiag, m_aafMat);
  return bConverged;
}

void Eigen::Tridiagonal2(float** m, float* diag, float* subd) {
  diag[0] = m[0][0];
  diag[1] = m[1][1];
  subd[0] = m[0][1];
  subd[1] = 0.0f;
  m[0][0] = 1.0f; m[0][1] = 0.0f;
  m[1][0] = 0.0f; m[1][1] = 1.0f;
}

void Eigen::Tridiagonal3(float** m, float* diag, float* subd) {
  float fM00 = m[0][0], fM01 = m[0][1], fM02 = m[0][2];
  float fM11 = m[1][1], fM12 = m[1][2], fM22 = m[2][2];

  diag[0] = fM00;
  subd[2] = 0.0f;
  if (fM02 != 0.0f) {  // a NaN takes this branch too
    float fLength = Math::Sqrt(fM01 * fM01 + fM02 * fM02);
    float fInvLength = 1.0f / fLength;
    fM01 *= fInvLength;
    fM02 *= fInvLength;
    float fQ = 2.0f * fM01 * fM12 + fM02 * (fM22 - fM11);
    diag[1] = fM11 + fM02 * fQ;
    diag[2] = fM22 - fM02 * fQ;
    subd[0] = fLength;
    subd[1] = fM12 - fM01 * fQ;
    m[0][0] = 1.0f; m[0][1] = 0.0f; m[0][2] = 0.0f;
    m[1][0] = 0.0f; m[1][1] = fM01; m[1][2] = fM02;
    m[2][0] = 0.0f; m[2][1] = fM02; m[2][2] = -fM01;
  } else {
    diag[1] = fM11;
    diag[2] = fM22;
    subd[0] = fM01;
    subd[1] = fM12;
    m[0][0] = 1.0f; m[0][1] = 0.0f; m[0][2] = 0.0f;
    m[1][0] = 0.0f; m[1][1] = 1.0f; m[1][2] = 0.0f;
    m[2][0] = 0.0f; m[2][1] = 0.0f; m[2][2] = 1.0f;
  }
}

void Eigen::Tridiagonal4(float** m, float* diag, float* subd) {
  float fM00 = m[0][0], fM01 = m[0][1], fM02 = m[0][2], fM03 = m[0][3];
  float fM11 = m[1][1], fM12 = m[1][2], fM13 = m[1][3];
  float fM22 = m[2][2], fM23 = m[2][3];
  float fM33 = m[3][3];

  diag[0] = fM00;
  subd[3] = 0.0f;
  m[0][0] = 1.0f; m[0][1] = 0.0f; m[0][2] = 0.0f; m[0][3] = 0.0f;
  m[1][0] = 0.0f; m[2][0] = 0.0f; m[3][0] = 0.0f;

  if (fM02 != 0.0f || fM03 != 0.0f) {
    float fLength = Math::Sqrt(fM01 * fM01 + fM02 * fM02 + fM03 * fM03);
    subd[0] = fLength;
    float fInvLength = 1.0f / fLength;
    float fQ11 = fM01 * fInvLength;
    float fQ21 = fM02 * fInvLength;
    float fQ31 = fM03 * fInvLength;

    // S * Q1, S being the lower-right 3x3 block.
    float fK0 = fM11 * fQ11 + fM12 * fQ21 + fM13 * fQ31;
    float fK1 = fM12 * fQ11 + fM22 * fQ21 + fM23 * fQ31;
    float fK2 = fM13 * fQ11 + fM23 * fQ21 + fM33 * fQ31;
    diag[1] = fQ11 * fK0 + fQ21 * fK1 + fQ31 * fK2;

    // Q3 = Q1 x (S * Q1).
    float fQ13 = fQ21 * fK2 - fQ31 * fK1;
    float fQ23 = fQ31 * fK0 - fQ11 * fK2;
    float fQ33 = fQ11 * fK1 - fQ21 * fK0;
    float fQ12, fQ22, fQ32;
    float fLength3 = Math::Sqrt(fQ13 * fQ13 + fQ23 * fQ23 + fQ33 * fQ33);
    if (fLength3 > 0.0f) {
      float fInv3 = 1.0f / fLength3;
      fQ13 *= fInv3;
      fQ23 *= fInv3;
      fQ33 *= fInv3;

      // Q2 = Q3 x Q1.
      fQ12 = fQ23 * fQ31 - fQ33 * fQ21;
      fQ22 = fQ33 * fQ11 - fQ13 * fQ31;
      fQ32 = fQ13 * fQ21 - fQ23 * fQ11;

      float fW0 = fQ12 * fM11 + fQ22 * fM12 + fQ32 * fM13;
      float fW1 = fQ12 * fM12 + fQ22 * fM22 + fQ32 * fM23;
      float fW2 = fQ12 * fM13 + fQ22 * fM23 + fQ32 * fM33;
      subd[1] = fQ11 * fW0 + fQ21 * fW1 + fQ31 * fW2;
      diag[2] = fQ12 * fW0 + fQ22 * fW1 + fQ32 * fW2;
      subd[2] = fQ13 * fW0 + fQ23 * fW1 + fQ33 * fW2;

      float fZ0 = fQ13 * fM11 + fQ23 * fM12 + fQ33 * fM13;
      float fZ1 = fQ13 * fM12 + fQ23 * fM22 + fQ33 * fM23;
      float fZ2 = fQ13 * fM13 + fQ23 * fM23 + fQ33 * fM33;
      diag[3] = fQ13 * fZ0 + fQ23 * fZ1 + fQ33 * fZ2;
    } else {
      // S * Q1 is parallel to Q1: any orthonormal completion serves.
      subd[1] = 0.0f;
      float fR = fQ21 * fQ21 + fQ31 * fQ31;
      if (fR > 0.0f) {
        float fT = fQ11 - 1.0f;
        fQ12 = -fQ21;
        fQ22 = 1.0f + fT * fQ21 * fQ21 / fR;
        fQ32 = fT * fQ21 * fQ31 / fR;
        fQ13 = -fQ31;
        fQ23 = fQ32;
        fQ33 = 1.0f + fT * fQ31 * fQ31 / fR;

        float fW0 = fQ12 * fM11 + fQ22 * fM12 + fQ32 * fM13;
        float fW1 = fQ12 * fM12 + fQ22 * fM22 + fQ32 * fM23;
        float fW2 = fQ12 * fM13 + fQ22 * fM23 + fQ32 * fM33;
        diag[2] = fQ12 * fW0 + fQ22 * fW1 + fQ32 * fW2;
        subd[2] = fQ13 * fW0 + fQ23 * fW1 + fQ33 * fW2;

        float fZ0 = fQ13 * fM11 + fQ23 * fM12 + fQ33 * fM13;
        float fZ1 = fQ13 * fM12 + fQ23 * fM22 + fQ33 * fM23;
        float fZ2 = fQ13 * fM13 + fQ23 * fM23 + fQ33 * fM33;
        diag[3] = fQ13 * fZ0 + fQ23 * fZ1 + fQ33 * fZ2;
      } else {
        fQ12 = 0.0f; fQ22 = 1.0f; fQ32 = 0.0f;
        fQ13 = 0.0f; fQ23 = 0.0f; fQ33 = 1.0f;
        diag[2] = fM22;
        diag[3] = fM33;
        subd[2] = fM23;
      }
    }
    m[1][1] = fQ11; m[1][2] = fQ12; m[1][3] = fQ13;
    m[2][1] = fQ21; m[2][2] = fQ22; m[2][3] = fQ23;
    m[3][1] = fQ31; m[3][2] = fQ32; m[3][3] = fQ33;
  } else {
    diag[1] = fM11;
    subd[0] = fM01;
    m[1][1] = 1.0f;
    m[2][1] = 0.0f;
    m[3][1] = 0.0f;
    if (fM13 != 0.0f) {
      float fLength = Math::Sqrt(fM12 * fM12 + fM13 * fM13);
      float fInvLength = 1.0f / fLength;
      fM12 *= fInvLength;
      fM13 *= fInvLength;
      float fQ = 2.0f * fM12 * fM23 + fM13 * (fM33 - fM22);
      diag[2] = fM22 + fM13 * fQ;
      diag[3] = fM33 - fM13 * fQ;
      subd[1] = fLength;
      subd[2] = fM23 - fM12 * fQ;
      m[1][2] = 0.0f; m[1][3] = 0.0f;
      m[2][2] = fM12; m[2][3] = fM13;
      m[3][2] = fM13; m[3][3] = -fM12;
    } else {
      diag[2] = fM22;
      diag[3] = fM33;
      subd[1] = fM12;
      subd[2] = fM23;
      m[1][2] = 0.0f; m[1][3] = 0.0f;
      m[2][2] = 1.0f; m[2][3] = 0.0f;
      m[3][2] = 0.0f; m[3][3] = 1.0f;
    }
  }
}

bool Eigen::TridiagonalN(int, float**, float*, float*) {
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "false", true);
  return false;
}

bool Eigen::QLAlgorithm(int n, float* diag, float* subd, float** m) {
  const int kMaxIter = 32;
  for (int i0 = 0; i0 < n; i0++) {
    int iIter;
    for (iIter = 0; iIter < kMaxIter; iIter++) {
      int i2;
      for (i2 = i0; i2 <= n - 2; i2++) {
        float fTmp = Math::FAbs(diag[i2]) + Math::FAbs(diag[i2 + 1]);
        // The test is made in extended precision: an off-diagonal element
        // counts as zero only when it vanishes against the wider sum.
        long double ldSum = (long double)fTmp + (long double)Math::FAbs(subd[i2]);
        if (ldSum == (long double)fTmp) break;
      }
      if (i2 == i0) break;

      float fG = (diag[i0 + 1] - diag[i0]) / (2.0f * subd[i0]);
      float fR = Math::Sqrt(fG * fG + 1.0f);
      if (fG < 0.0f)
        fG = diag[i2] - diag[i0] + subd[i0] / (fG - fR);
      else
        fG = diag[i2] - diag[i0] + subd[i0] / (fG + fR);

      float fSin = 1.0f, fCos = 1.0f, fP = 0.0f;
      for (int i3 = i2 - 1; i3 >= i0; i3--) {
        float fF = fSin * subd[i3];
        float fB = fCos * subd[i3];
        if (Math::FAbs(fF) >= Math::FAbs(fG)) {
          fCos = fG / fF;
          fR = Math::Sqrt(fCos * fCos + 1.0f);
          subd[i3 + 1] = fF * fR;
          fSin = 1.0f / fR;
          fCos *= fSin;
        } else {
          fSin = fF / fG;
          fR = Math::Sqrt(fSin * fSin + 1.0f);
          subd[i3 + 1] = fG * fR;
          fCos = 1.0f / fR;
          fSin *= fCos;
        }
        fG = diag[i3 + 1] - fP;
        fR = (diag[i3] - fG) * fSin + 2.0f * fB * fCos;
        fP = fSin * fR;
        diag[i3 + 1] = fG + fP;
        fG = fCos * fR - fB;

        for (int k = 0; k < n; k++) {
          fF = m[k][i3 + 1];
          m[k][i3 + 1] = fSin * m[k][i3] + fCos * fF;
          m[k][i3] = fCos * m[k][i3] - fSin * fF;
        }
      }
      diag[i0] -= fP;
      subd[i0] = fG;
      subd[i2] = 0.0f;
    }
    if (iIter == kMaxIter) return false;
  }
  return true;
}

void Eigen::DecreasingSort(int n, float* values, float** m) {
  for (int i0 = 0; i0 <= n - 2; i0++) {
    int i1 = i0;
    float fMax = values[i1];
    for (int i2 = i0 + 1; i2 < n; i2++) {
      if (values[i2] > fMax) {
        i1 = i2;
        fMax = values[i1];
      }
    }
    if (i1 != i0) {
      values[i1] = values[i0];
      values[i0] = fMax;
      for (int i2 = 0; i2 < n; i2++) {
        float fTmp = m[i2][i0];
        m[i2][i0] = m[i2][i1];
        m[i2][i1] = fTmp;
      }
    }
  }
}

bool EMat3::GetEigenStuff(float values[3], EVec3 vectors[3]) const {
  Eigen eigen(3);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) eigen.Matrix(c, r) = m[3 * r + c];
  if (!eigen.DecrSortEigenStuff()) {
    // Unreduced values mean nothing: give zero variances on the unit axes.
    for (int j = 0; j < 3; j++) {
      values[j] = 0.0f;
      vectors[j] = EVec3(j == 0 ? 1.0f : 0.0f, j == 1 ? 1.0f : 0.0f, j == 2 ? 1.0f : 0.0f);
    }
    return false;
  }
  for (int j = 0; j < 3; j++) {
    values[j] = MAX(0.0f, eigen.GetEigenvalue(j));
    vectors[j] = EVec3(eigen.GetEigenvector(0, j), eigen.GetEigenvector(1, j), eigen.GetEigenvector(2, j));
  }
  return true;
}

// On a matrix of n x n elements held row by row.
static void CovarianceShift(float* m, int n, const float* mean) {
  for (int i = 0; i < n; i++) {
    m[i * n + i] -= mean[i] * mean[i];
    for (int j = i + 1; j < n; j++) {
      float a = m[i * n + j] - mean[i] * mean[j];
      m[i * n + j] = a;
      m[j * n + i] = a;
    }
  }
}

void EMat2::CovarianceTranslateToLocal(const EVec2& mean) {
  float afMean[2] = {mean.x, mean.y};
  CovarianceShift(m, 2, afMean);
}

void EMat3::CovarianceTranslateToLocal(const EVec3& mean) {
  float afMean[3] = {mean.x, mean.y, mean.z};
  CovarianceShift(m, 3, afMean);
}
