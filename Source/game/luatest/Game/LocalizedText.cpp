// Localised text: the string tables of the current language, the lookup of
// line codes ("/GLZD507TO/") inside a text and the replacement of
// controller-button tokens ("/AButton/") by the names of the bound inputs.
#include "Game/LocalizedText.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

namespace {

const int kMAX_LINECODE = 256;
// The text returned for a code that no table holds.
char s_szUnknownText[4096];
// Lookups made while button tokens are being replaced do not replace tokens
// again, so a string table whose texts name tokens cannot recurse forever.
int s_iReplaceDepth = 0;

// The string at "StringTable.<table>.<code>" of the global entity's script
// object, or null when a step is missing or the value is not a string.
const char* FindStringTableEntry(EScriptVM& vm, EEntity* pGlobal, const char* szTable, const char* szCode) {
  EScriptObject* pObject = pGlobal ? pGlobal->GetScriptObject() : nullptr;
  if (!vm.IsInitialised() || !pObject || pObject->IsDead()) return nullptr;
  char szPath[4096];
  if (sprintf_safe(szPath, (int)sizeof(szPath), "StringTable.%s.%s", szTable, szCode) < 0) return nullptr;
  const char* value = nullptr;
  // The table keeps the string alive after the lookup.
  if (!vm.GetScriptTableValue(pObject, szPath, value)) return nullptr;
  return value;
}

// Replaces len bytes at pos of the 1024-byte text by the replacement; false,
// with the text unchanged, when the result would not fit.
bool ReplaceAt(char* szText, size_t pos, size_t len, const char* szReplacement) {
  const size_t textLen = strlen(szText);
  const size_t repLen = strlen(szReplacement);
  if (textLen - len + repLen >= (size_t)GameApp::kLOCALIZED_TEXT_SIZE) return false;
  memmove(szText + pos + repLen, szText + pos + len, textLen - pos - len + 1);
  memcpy(szText + pos, szReplacement, repLen);
  return true;
}

// The first of the row's tokens (mixed case, else upper case) at or after from.
char* FindToken(char* from, const ButtonTextMapping& row, size_t& tokenLen) {
  if (char* p = strstr(from, row.m_szToken)) {
    tokenLen = strlen(row.m_szToken);
    return p;
  }
  if (char* p = strstr(from, row.m_szUpperToken)) {
    tokenLen = strlen(row.m_szUpperToken);
    return p;
  }
  return nullptr;
}

// The sticks, the pad and the joystick buttons.
bool IsJoystickInput(PHYSICAL_INPUT input) { return input >= kINPUT_LEFTSTICK_HORIZ && input <= kINPUT_JOY_BUTTON0 + 31; }

}  // namespace

int sprintf_safe(char* buffer, int size, const char* format, ...) {
  if (!buffer || size <= 0) return -1;
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, (size_t)size, format, args);
  va_end(args);
  buffer[size - 1] = '\0';
  if (n < 0 || n >= size) return -1;
  return n;
}

bool IsInputFromJoystick(PHYSICAL_INPUT input) { return IsJoystickInput(input) && DI8JoystickPresent(); }

void GameApp::LoadLocalizedTextBank(const char* szGroup) {
  const char* szFolder = m_DebugHooks.m_bNonsenseText ? GetLanguageString(kLANGUAGE_Nonsense) : m_szLanguage;
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  static const char* const kFORMATS[] = {"Localization/%s/%s_StringTable.lub", "Localization/%s/%s_StringTablePC.lub"};
  for (const char* szFormat : kFORMATS) {
    char szPath[512];
    sprintf_safe(szPath, (int)sizeof(szPath), szFormat, szFolder, szGroup ? szGroup : "");
    EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_ReadPaths);
    if (!pFile) {
      // Without the table the PC table is not tried either.
      g_ErrorManager.TraceMessagef(TT_Localization, "Could not open Localization file '%s'", szPath);
      return;
    }
    const int size = pFile->GetFilesize();
    const unsigned used = stack.GetUsedBytes() + 16;  // with room for the alignment
    const unsigned room = stack.GetSize() > used ? stack.GetSize() - used : 0;
    if (size <= 0 || (unsigned)size > room) {
      g_ErrorManager.TraceMessagef(TT_Localization, "Localization file '%s' is empty or too large (%d bytes)", szPath,
                                   size);
      pFile->Close();
      continue;
    }
    char* buffer = reinterpret_cast<char*>(stack.Push((unsigned)size, 4));
    const int got = pFile->Read(buffer, size);
    pFile->Close();
    if (got != size) {
      g_ErrorManager.TraceMessagef(TT_Localization, "Could not read Localization file '%s'", szPath);
      continue;
    }
    m_ScriptVM.RunLuaCommands(buffer, nullptr, nullptr, size);
  }
}

void GameApp::UnloadLocalizedLevelTextBank() { m_ScriptVM.RunLuaCommands("Global.StringTable.Level = {}", nullptr, nullptr, 0); }

char* GameApp::InternalLookupLinecode(const char* szCode) {
  const char* value = FindStringTableEntry(m_ScriptVM, m_pGlobalEntity, "Level", szCode);
  if (!value) value = FindStringTableEntry(m_ScriptVM, m_pGlobalEntity, "Global", szCode);
  if (value) return const_cast<char*>(value);
  // Missing tables, missing entries and entries that are not strings alike.
  g_ErrorManager.TraceMessagef(TT_Localization,
                               "Could not find string table tag '%s' in either level or global string tables", szCode);
  sprintf_safe(s_szUnknownText, (int)sizeof(s_szUnknownText), "Unknown Text String '/%s/'", szCode);
  return s_szUnknownText;
}

char* GameApp::LookupLocalizedString(const char* szText) {
  if (!szText) return nullptr;
  if (!szText[0]) return const_cast<char*>(szText);

  char* out = m_szLocalizedText;
  char* const last = m_szLocalizedText + kLOCALIZED_TEXT_SIZE - 1;
  int iCodes = 0;
  for (const char* p = szText; *p;) {
    const char* close = (*p == '/') ? strchr(p + 1, '/') : nullptr;
    if (!close) {
      if (out >= last) {
        g_ErrorManager.TraceMessagef(TT_Localization, "Text will not fit in dest buffer.\nInputString = %s", szText);
        return const_cast<char*>(szText);
      }
      *out++ = *p++;
      continue;
    }
    const size_t codeLen = (size_t)(close - p - 1);
    if (codeLen > (size_t)kMAX_LINECODE) {
      g_ErrorManager.TraceMessagef(TT_Localization, "Linecode will not fit in the buffer.\nInputString = %s", szText);
      return const_cast<char*>(szText);
    }
    if (codeLen > 0) {
      char szCode[kMAX_LINECODE + 1];
      memcpy(szCode, p + 1, codeLen);
      szCode[codeLen] = '\0';
      for (char* c = szCode; *c; ++c) *c = (char)toupper((unsigned char)*c);
      const char* value = InternalLookupLinecode(szCode);
      const size_t valueLen = strlen(value);
      if (out + valueLen >= last) {
        g_ErrorManager.TraceMessagef(TT_Localization, "Linecode will not fit in dest buffer.\nInputString = %s", szText);
        return const_cast<char*>(szText);
      }
      memcpy(out, value, valueLen);
      out += valueLen;
    }
    ++iCodes;
    p = close + 1;
  }
  *out = '\0';

  if (iCodes == 0) {
    g_ErrorManager.TraceMessagef(TT_Error, "Raw string passed instead of Line Code\nOriginal String '%s'", szText);
    if (m_ScriptVM.IsInitialised()) {
      if (m_Prefs.m_bBreakOnRawString) {
        char szMessage[256];
        sprintf_safe(szMessage, (int)sizeof(szMessage), "Raw string passed instead of Line Code\nOriginal String '%s'",
                     szText);
        m_ScriptVM.HardBreak(szMessage, nullptr);
      } else {
        Lua_DoCallStackDump(m_ScriptVM.GetGlobalState(), 0, 0);
      }
    }
  }

  if (s_iReplaceDepth == 0) ReplaceButtonTokens(m_szLocalizedText);
  return m_szLocalizedText;
}

// A nested lookup writes into m_szLocalizedText, which usually is the text
// being worked on: the text is saved around it and the result copied out.
static void NestedLookup(GameApp& app, char* szText, const char* szCode, char* szResult, int iResultSize) {
  char saved[GameApp::kLOCALIZED_TEXT_SIZE];
  memcpy(saved, szText, sizeof(saved));
  ++s_iReplaceDepth;
  const char* value = app.LookupLocalizedString(szCode);
  --s_iReplaceDepth;
  sprintf_safe(szResult, iResultSize, "%s", value ? value : "");
  memcpy(szText, saved, sizeof(saved));
}

void GameApp::ReplaceButtonTokens(char* szText) {
  if (!szText || !szText[0]) return;
  char replacement[kLOCALIZED_TEXT_SIZE];
  for (const ButtonTextMapping& row : PCButtonTextMapping) {
    if (!row.m_szToken || !row.m_szUpperToken) continue;
    size_t tokenLen = 0;
    char* found = FindToken(szText, row, tokenLen);
    while (found) {
      replacement[0] = '\0';
      if (row.m_iGroup) {
        const bool bLeft = strcmp(row.m_szCode, "Left") == 0;
        const char* szKeys = bLeft ? "/MovementKeys/" : "/FullMouse/";
        sprintf_safe(replacement, (int)sizeof(replacement), "%s", szKeys);
        if (DI8JoystickPresent()) {
          char szTemplate[kLOCALIZED_TEXT_SIZE];
          NestedLookup(*this, szText, "/GLPC082TO/", szTemplate, (int)sizeof(szTemplate));
          if (!szTemplate[0] || strncmp(szTemplate, "/GLPC082TO/", 11) == 0) {
            sprintf_safe(szTemplate, (int)sizeof(szTemplate), "%s", "/FirstKey/ or /SecondKey/");
          }
          const char* first = strstr(szTemplate, "/FirstKey/");
          const char* second = strstr(szTemplate, "/SecondKey/");
          if (first && second) {
            char szPad[kLOCALIZED_TEXT_SIZE];
            NestedLookup(*this, szText, bLeft ? "/GLPC080TO/" : "/GLPC081TO/", szPad, (int)sizeof(szPad));
            EString built;
            for (const char* t = szTemplate; *t;) {
              if (t == first) {
                built += szKeys;
                t += 10;
              } else if (t == second) {
                built += szPad;
                t += 11;
              } else {
                built.Append(t++, 1);
              }
            }
            sprintf_safe(replacement, (int)sizeof(replacement), "%s", *built ? *built : "");
          }
        }
      } else {
        const char* name = nullptr;
        if (!m_DebugHooks.m_bReplaceButtonWithAction) {
          const PHYSICAL_INPUT primary = ZARInput_GetActionBinding(row.m_eAction, kINPUTMAP_PRIMARY);
          const PHYSICAL_INPUT alternate = ZARInput_GetActionBinding(row.m_eAction, kINPUTMAP_ALTERNATE);
          if (m_DebugHooks.m_bShowPrimaryBindingOnly) {
            PHYSICAL_INPUT chosen = kINPUT_NONE;
            if (primary != kINPUT_NONE && !IsInputFromJoystick(primary)) chosen = primary;
            else if (alternate != kINPUT_NONE && !IsInputFromJoystick(alternate)) chosen = alternate;
            else if (primary != kINPUT_NONE) chosen = primary;
            else if (alternate != kINPUT_NONE) chosen = alternate;
            if (chosen != kINPUT_NONE) {
              name = ZARInput_GetInputName(chosen);
              EASSERT(name != NULL);
              sprintf_safe(replacement, (int)sizeof(replacement), "%s", name ? name : "");
            }
          } else {
            const bool bJoystick = DI8JoystickPresent();
            auto counts = [bJoystick](PHYSICAL_INPUT in) {
              return in != kINPUT_NONE && (!IsJoystickInput(in) || bJoystick);
            };
            const char* a = counts(primary) ? ZARInput_GetInputName(primary) : nullptr;
            const char* b = counts(alternate) ? ZARInput_GetInputName(alternate) : nullptr;
            if (counts(primary)) EASSERT(a != NULL);
            if (counts(alternate)) EASSERT(b != NULL);
            if (a && b) sprintf_safe(replacement, (int)sizeof(replacement), "%s or %s", a, b);
            else if (a) sprintf_safe(replacement, (int)sizeof(replacement), "%s", a);
            else if (b) sprintf_safe(replacement, (int)sizeof(replacement), "%s", b);
            name = a ? a : b;
          }
        }
        if (!name) NestedLookup(*this, szText, row.m_szCode, replacement, (int)sizeof(replacement));
      }

      const size_t pos = (size_t)(found - szText);
      size_t resume = pos + strlen(replacement);
      if (!ReplaceAt(szText, pos, tokenLen, replacement)) {
        // The token stays; the text is not cut.
        g_ErrorManager.TraceMessagef(TT_Localization, "Button text will not fit in dest buffer.\nInputString = %s",
                                     szText);
        resume = pos + tokenLen;
      }
      found = FindToken(szText + resume, row, tokenLen);
    }
  }
}
