#include "ScriptVM/ScriptStateText.h"

#include <cstring>

#include "TWUtil/String.h"

void ScriptStateText_AppendEscaped(EString& out, const char* szText, const char* szSeparator) {
  if (!szText) return;
  size_t uSepLen = szSeparator ? strlen(szSeparator) : 0;
  const char* pRun = szText;  // start of the bytes not yet appended
  const char* p = szText;
  while (*p) {
    char cCode = 0;
    size_t uSkip = 1;
    if (uSepLen && strncmp(p, szSeparator, uSepLen) == 0) {
      cCode = 's';
      uSkip = uSepLen;
    } else if (*p == '\n') {
      cCode = 'n';
    } else if (*p == '\r') {
      cCode = 'r';
    } else if (*p == (char)kSTATE_TEXT_ESCAPE) {
      cCode = 'e';
    }
    if (!cCode) {
      ++p;
      continue;
    }
    if (p > pRun) out.Append(pRun, (int)(p - pRun));
    const char escape[2] = {(char)kSTATE_TEXT_ESCAPE, cCode};
    out.Append(escape, 2);
    p += uSkip;
    pRun = p;
  }
  if (p > pRun) out.Append(pRun, (int)(p - pRun));
}

void ScriptStateText_AppendUnescaped(EString& out, const char* szText, int iLength, const char* szSeparator) {
  if (!szText || iLength <= 0) return;
  const char* pEnd = szText + iLength;
  const char* pRun = szText;
  const char* p = szText;
  while (p < pEnd) {
    if (*p != (char)kSTATE_TEXT_ESCAPE || p + 1 >= pEnd) {
      ++p;
      continue;
    }
    const char* szReplace = nullptr;
    int iReplaceLen = 1;
    switch (p[1]) {
      case 's':
        szReplace = szSeparator ? szSeparator : "";
        iReplaceLen = (int)strlen(szReplace);
        break;
      case 'n': szReplace = "\n"; break;
      case 'r': szReplace = "\r"; break;
      case 'e': {
        static const char kEscape[2] = {(char)kSTATE_TEXT_ESCAPE, 0};
        szReplace = kEscape;
        break;
      }
      default: break;
    }
    if (!szReplace) {
      ++p;
      continue;
    }
    if (p > pRun) out.Append(pRun, (int)(p - pRun));
    if (iReplaceLen) out.Append(szReplace, iReplaceLen);
    p += 2;
    pRun = p;
  }
  if (p > pRun) out.Append(pRun, (int)(pEnd - pRun));
}
