// Owned strings, path splitting and the small string helpers used across the
// code base.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "TWUtil/Array.h"

#ifndef MAX_PATH
#define MAX_PATH 4096
#endif

struct EPrintfTag {};
struct EVprintfTag {};

// A character array whose count includes the terminating zero. An empty
// string holds no buffer and its text pointer is null.
class EString {
public:
  constexpr EString() : m_aChars(kMEMTYPE_String) {}
  EString(const char* szText, int iLength = -1) : m_aChars(kMEMTYPE_String) { Copy(szText, iLength); }
  EString(EPrintfTag, const char* szFormat, ...) __attribute__((format(printf, 3, 4)));
  EString(EVprintfTag, const char* szFormat, va_list args) : m_aChars(kMEMTYPE_String) { Vprintf(szFormat, args); }
  EString(const EString& other) : m_aChars(kMEMTYPE_String) { *this = other; }
  ~EString() {}

  EString& operator=(const EString& other);
  EString& operator=(const char* szText) {
    Copy(szText, -1);
    return *this;
  }
  EString& operator+=(const char* szText) {
    Append(szText, -1);
    return *this;
  }
  EString& operator+=(const EString& other) {
    Append(*other, other.Length());
    return *this;
  }

  // Null or empty text empties the string; a negative length means the whole
  // text; otherwise exactly iLength bytes are taken.
  void Copy(const char* szText, int iLength);
  void Append(const char* szText, int iLength = -1);
  void Printf(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
  void Vprintf(const char* szFormat, va_list args);
  EString Left(int n) const;
  // Frees the buffer.
  void Empty() { m_aChars.Empty(); }

  int Length() const { return m_aChars.Num() ? m_aChars.Num() - 1 : 0; }
  const char* operator*() const { return m_aChars.GetData(); }
  operator const char*() const { return m_aChars.GetData(); }
  EArray<char>& GetCharArray() { return m_aChars; }
  const EArray<char>& GetCharArray() const { return m_aChars; }

  static void Swap(EString& a, EString& b) { EArray<char>::Swap(a.m_aChars, b.m_aChars); }

private:
  EArray<char> m_aChars;
};

// Cuts a copy of a text at every occurrence of one separator character.
// Consecutive separators give empty pieces; at most 16 separators.
class EStringSplit {
public:
  enum { kMAX_SPLITS = 16 };

  EStringSplit(const char* szText, char cSeparator);
  const char* operator[](int iIndex) const;
  int GetNumStrings() const { return m_iSplitCount + 1; }

private:
  char m_szBuffer[MAX_PATH];
  int m_iSplitCount;
  int m_aiOffsets[kMAX_SPLITS];
};

namespace TWUtil {
// Heap copy of a text (null for null), freed with free or StringFreePooled.
char* StringDuplicate(const char* szText, EMemType eType);
char* StringDuplicatePooled(const char* szText, EMemType eType);
void StringFreePooled(char* szText, EMemType eType, bool bUnused = false);
// Copies the source lower-cased, terminator included.
void StrCpyToLower(char* pszDest, const char* pszSource);
void StringToLower(char* szString);
void StringReplaceChar(char* szString, char cFrom, char cTo);
// Splits at the last '/' or '\'. False when there is none or the path has
// 4097 characters or more; the outputs are written only on success.
bool FilenameSeparatePath(const char* szFilename, char* szDirectory, char* szName);
}  // namespace TWUtil

using TWUtil::FilenameSeparatePath;
using TWUtil::StrCpyToLower;
using TWUtil::StringDuplicate;
using TWUtil::StringDuplicatePooled;
using TWUtil::StringFreePooled;
using TWUtil::StringReplaceChar;
using TWUtil::StringToLower;

// Formatting bounded by the array's size; the last character is always the
// terminator. The result is vsnprintf's.
template <size_t N>
inline int vsprintf_s(char (&buffer)[N], const char* szFormat, va_list args) {
  int iResult = vsnprintf(buffer, N, szFormat, args);
  buffer[N - 1] = '\0';
  return iResult;
}
template <size_t N>
inline int sprintf_s(char (&buffer)[N], const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
template <size_t N>
inline int sprintf_s(char (&buffer)[N], const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  int iResult = vsprintf_s(buffer, szFormat, args);
  va_end(args);
  return iResult;
}
// Formats into the caller's array (cut to its size, always terminated) and
// returns it, so that a message can be built inline.
template <size_t N>
inline char* csprintf(char (&buffer)[N], const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
template <size_t N>
inline char* csprintf(char (&buffer)[N], const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  vsprintf_s(buffer, szFormat, args);
  va_end(args);
  return buffer;
}
template <size_t N>
inline void strcpy_s(char (&buffer)[N], const char* szText) {
  if (!szText) szText = "";
  size_t n = strlen(szText);
  if (n > N - 1) n = N - 1;
  memcpy(buffer, szText, n);
  buffer[n] = '\0';
}

// In-place routines kept from the original platform's C library.
char* _strupr(char* szText);
char* _strlwr(char* szText);
char* _strrev(char* szText);
// Decimal only: any other radix is a fatal report.
char* _ltoa(long lValue, char* szBuffer, int iRadix);
