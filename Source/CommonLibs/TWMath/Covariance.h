// A small eigen solver for real symmetric matrices of size 2, 3 or 4.
//
// The matrix is reduced to tridiagonal form in closed form, then the
// implicit QL iteration with Givens rotations finds the eigenvalues while
// accumulating the eigenvectors, which are finally sorted largest first.
#pragma once

class Eigen {
public:
  // Sizes outside 2..4 are reported and leave a solver that refuses to solve.
  explicit Eigen(int iSize);
  ~Eigen() {}

  Eigen(const Eigen&) = delete;
  Eigen& operator=(const Eigen&) = delete;

  // Before solving: the input element. After: column j is eigenvector j.
  float& Matrix(int iRow, int iCol) { return m_aafMat[iRow][iCol]; }

  // Reduces, iterates and sorts. False when the size is unsupported or the
  // iteration did not converge; the results must not be used then.
  bool DecrSortEigenStuff();

  bool IsValid() const { return m_iSize != 0; }
  int GetSize() const { return m_iSize; }
  float GetEigenvalue(int i) const { return m_afDiag[i]; }
  float GetEigenvector(int iRow, int iCol) const { return m_aafMat[iRow][iCol]; }

  static void Tridiagonal2(float** m, float* diag, float* subd);
  static void Tridiagonal3(float** m, float* diag, float* subd);
  static void Tridiagonal4(float** m, float* diag, float* subd);
  // No general reduction exists: reports and returns false.
  static bool TridiagonalN(int n, float** m, float* diag, float* subd);
  // False when an eigenvalue did not converge within 32 iterations.
  static bool QLAlgorithm(int n, float* diag, float* subd, float** m);
  static void DecreasingSort(int n, float* values, float** m);

private:
  int m_iSize;
  float** m_aafMat;
  float* m_afDiag;
  float* m_afSubd;
  float m_aafMatBuf[4][4];
  float* m_aafMatPtrBuf[4];
  float m_afDiagBuf[4];
  float m_afSubdBuf[4];
};

namespace Math {
float FAbs(float f);
float Sqrt(float f);
}  // namespace Math
