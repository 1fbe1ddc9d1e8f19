#include "TWUtil/String.h"

#include <cctype>
#include <cstdlib>

EString::EString(EPrintfTag, const char* szFormat, ...) : m_aChars(kMEMTYPE_String) {
  va_list args;
  va_start(args, szFormat);
  Vprintf(szFormat, args);
  va_end(args);
}

EString& EString::operator=(const EString& other) {
  if (this != &other) m_aChars = other.m_aChars;
  return *this;
}

void EString::Copy(const char* szText, int iLength) {
  if (!szText || !*szText) {
    m_aChars.Empty();
    return;
  }
  if (iLength < 0) iLength = static_cast<int>(strlen(szText));
  // The text may live in this string's own buffer: build aside, then swap.
  EArray<char> aNew(kMEMTYPE_String);
  aNew.GrowTo(iLength + 1, true);
  memcpy(aNew.GetData(), szText, size_t(iLength));
  aNew[iLength] = '\0';
  EArray<char>::Swap(m_aChars, aNew);
}

void EString::Append(const char* szText, int iLength) {
  if (iLength < 0) iLength = szText ? static_cast<int>(strlen(szText)) : 0;
  if (!szText) iLength = 0;
  // Appending a piece of this string itself: find it again after growing.
  const char* pOld = m_aChars.GetData();
  ptrdiff_t iSelf = -1;
  if (szText && pOld && szText >= pOld && szText < pOld + m_aChars.Max()) iSelf = szText - pOld;

  if (m_aChars.Num() > 0) m_aChars.GrowTo(m_aChars.Num() - 1);
  int iAt = m_aChars.Add(iLength + 1, false);
  char* p = m_aChars.GetData();
  if (iLength > 0) memmove(p + iAt, iSelf >= 0 ? p + iSelf : szText, size_t(iLength));
  p[iAt + iLength] = '\0';
}

void EString::Printf(const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  Vprintf(szFormat, args);
  va_end(args);
}

void EString::Vprintf(const char* szFormat, va_list args) {
  if (m_aChars.Max() < 128) m_aChars.GrowTo(128, false);
  for (;;) {
    int iLimit = m_aChars.Max() - 1;
    va_list copy;
    va_copy(copy, args);
    int iLen = vsnprintf(m_aChars.GetData(), size_t(iLimit), szFormat, copy);
    va_end(copy);
    if (iLen < 0) {
      // The formatter refused (an encoding error): growing would not help.
      m_aChars.GrowTo(1);
      m_aChars[0] = '\0';
      return;
    }
    if (iLen + 1 <= iLimit) {
      m_aChars.GrowTo(iLen + 1);
      return;
    }
    m_aChars.GrowTo(m_aChars.Max() * 3 / 2, false);
  }
}

EString EString::Left(int n) const {
  if (m_aChars.Num() == 0) return EString();
  int iLen = Length();
  if (n > iLen) n = iLen;
  if (n < 0) n = 0;
  EString result;
  result.m_aChars.GrowTo(n + 1, true);
  memcpy(result.m_aChars.GetData(), m_aChars.GetData(), size_t(n));
  result.m_aChars[n] = '\0';
  return result;
}

EStringSplit::EStringSplit(const char* szText, char cSeparator) : m_iSplitCount(0) {
  EASSERT(szText);
  int iLen = static_cast<int>(strlen(szText));
  EASSERT(iLen < MAX_PATH - 1);
  memcpy(m_szBuffer, szText, size_t(iLen) + 1);
  for (int i = 0; i < iLen; ++i) {
    if (m_szBuffer[i] != cSeparator) continue;
    // More pieces than offsets would write past the table.
    EASSERT(m_iSplitCount < kMAX_SPLITS);
    m_szBuffer[i] = '\0';
    m_aiOffsets[m_iSplitCount++] = i + 1;
  }
}

const char* EStringSplit::operator[](int iIndex) const {
  EASSERT(iIndex >= 0);
  EASSERT(iIndex <= m_iSplitCount);
  return iIndex == 0 ? m_szBuffer : m_szBuffer + m_aiOffsets[iIndex - 1];
}

namespace TWUtil {

char* StringDuplicate(const char* szText, EMemType) {
  if (!szText) return nullptr;
  size_t n = strlen(szText) + 1;
  char* pCopy = static_cast<char*>(malloc(n));
  EASSERT(pCopy != nullptr);
  memcpy(pCopy, szText, n);
  return pCopy;
}

char* StringDuplicatePooled(const char* szText, EMemType eType) { return StringDuplicate(szText, eType); }

void StringFreePooled(char* szText, EMemType, bool) { free(szText); }

void StrCpyToLower(char* pszDest, const char* pszSource) {
  EASSERT(pszDest && pszSource);
  while ((*pszDest++ = static_cast<char>(tolower(static_cast<unsigned char>(*pszSource++)))) != '\0') {
  }
}

void StringToLower(char* szString) {
  EASSERT(szString);
  for (; *szString; ++szString) *szString = static_cast<char>(tolower(static_cast<unsigned char>(*szString)));
}

void StringReplaceChar(char* szString, char cFrom, char cTo) {
  if (!szString) return;
  for (; *szString; ++szString)
    if (*szString == cFrom) *szString = cTo;
}

bool FilenameSeparatePath(const char* szFilename, char* szDirectory, char* szName) {
  EASSERT(szFilename);
  size_t uLen = strlen(szFilename);
  if (uLen >= 4097) return false;
  const char* pSep = nullptr;
  for (const char* p = szFilename; *p; ++p)
    if (*p == '/' || *p == '\\') pSep = p;
  if (!pSep) return false;
  if (szDirectory) {
    size_t n = size_t(pSep - szFilename);
    memmove(szDirectory, szFilename, n);
    szDirectory[n] = '\0';
  }
  if (szName) memmove(szName, pSep + 1, uLen - size_t(pSep + 1 - szFilename) + 1);
  return true;
}

}  // namespace TWUtil

char* _strupr(char* szText) {
  for (char* p = szText; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  return szText;
}

char* _strlwr(char* szText) {
  for (char* p = szText; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return szText;
}

char* _strrev(char* szText) {
  size_t n = strlen(szText);
  for (size_t i = 0, j = n; i + 1 < j; ++i) {
    --j;
    char c = szText[i];
    szText[i] = szText[j];
    szText[j] = c;
  }
  return szText;
}

char* _ltoa(long lValue, char* szBuffer, int iRadix) {
  EASSERT(iRadix == 10);
  sprintf(szBuffer, "%ld", lValue);
  return szBuffer;
}
