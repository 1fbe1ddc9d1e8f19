#include "ErrorManager.h"

#include "TWUtil/List.h"
#include "TWUtil/String.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

const unsigned int g_dwBuildVersionMajor = 602;
const unsigned int g_dwBuildVersionMinor = 0;

EErrorManager g_ErrorManager;

const char* EErrorManager::sm_szFile = nullptr;
int EErrorManager::sm_nLine = -1;
bool EErrorManager::sm_bWarning = false;
const char* EErrorManager::sm_szErrorTitle = nullptr;
const char* EErrorManager::sm_szAssertMsg = nullptr;
const char* EErrorManager::sm_szNonAssertMsg = nullptr;
int EErrorManager::sm_iInhibitDebugString = 0;
EString EErrorManager::sm_buf;

namespace {

// Trace lines come from the audio and debug-server threads as well as the
// main thread; one line is formatted and written as a whole. Recursive,
// because a callback may trace again.
std::recursive_mutex& TraceLock() {
  static std::recursive_mutex s_lock;
  return s_lock;
}

const char* const s_aTags[TT_NumTraceTypes] = {
  nullptr,    // TT_None
  nullptr,    // TT_General
  "Game",     // TT_Game
  "WARN",     // TT_Warning
  "WARN",     // TT_Problem
  "ERROR",    // TT_Error
  "LOC WARN", // TT_Localization
  "Phys",     // TT_Physics
  "Anim",     // TT_Anim
  "Rend",     // TT_Render
  "VM  ",     // TT_Script
  "Actn",     // TT_Action
  "Camera",   // TT_Camera
  "Sound",    // TT_Sound
  "Mesh",     // TT_Mesh
  "Dev1",     // TT_Developer1
  "Dev2",     // TT_Developer2
  "Dev3",     // TT_Developer3
  "Dev4",     // TT_Developer4
  "Dev5",     // TT_Developer5
  "Store",    // TT_Store
};

}  // namespace

void OutputDebugString(const char* text) {
  if (!text || !*text) return;
  fputs(text, stderr);
}

void StubNotice(const char* note, const char* function, const char* file, int line) {
  fprintf(stderr, "STUBBED: %s at %s (%s:%d)\n", note, function, file, line);
}

EErrorManager::EErrorManager()
    : m_pConsoleCallback(nullptr),
      m_pNonfatalProblemCallback(nullptr),
      m_pContextCallbacks(nullptr),
      m_bInError(false) {
  for (int i = 0; i < TT_NumTraceTypes; ++i) m_aTraceInfo[i].m_szTag = s_aTags[i];
}

EErrorManager::~EErrorManager() {
  delete m_pContextCallbacks;
  m_pContextCallbacks = nullptr;
}

void EErrorManager::AddContextCallback(ContextCallback fn) {
  if (!m_pContextCallbacks) m_pContextCallbacks = new EList<ContextCallback>();
  m_pContextCallbacks->AddTail(fn);
}

int EErrorManager::GetNumContextCallbacks() const { return m_pContextCallbacks ? m_pContextCallbacks->GetCount() : 0; }

bool EErrorManager::IsEnabled(TRACETYPE type) const {
  if (type < 0 || type >= TT_NumTraceTypes) return false;
  return m_aTraceInfo[type].m_bEnabled;
}

void EErrorManager::SetEnabled(TRACETYPE type, bool enabled) {
  if (type < 0 || type >= TT_NumTraceTypes) return;
  m_aTraceInfo[type].m_bEnabled = enabled;
}

const char* EErrorManager::GetTag(TRACETYPE type) const {
  if (type < 0 || type >= TT_NumTraceTypes) return nullptr;
  return m_aTraceInfo[type].m_szTag;
}

void EErrorManager::TraceMessagef(TRACETYPE type, const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceMessagev(type, format, args);
  va_end(args);
}

void EErrorManager::TraceMessagef(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceMessagev(TT_None, format, args);
  va_end(args);
}

void EErrorManager::TraceMessagev(TRACETYPE type, const char* format, va_list args) {
  if (!IsEnabled(type)) return;
  std::lock_guard<std::recursive_mutex> guard(TraceLock());

  char buf[1024];
  int prefix = 0;
  const char* tag = m_aTraceInfo[type].m_szTag;
  if (tag) {
    prefix = snprintf(buf, sizeof(buf), "%s: ", tag);
    if (prefix < 0) prefix = 0;
    if (prefix > 1023) prefix = 1023;
  }
  vsnprintf(buf + prefix, sizeof(buf) - 1 - prefix, format, args);
  buf[1023] = '\0';

  size_t len = strlen(buf);
  if (len > 0 && buf[len - 1] == '\n') buf[--len] = '\0';
  if (len > 0 && buf[len - 1] == '\r') buf[--len] = '\0';

  if (type == TT_Problem && m_pNonfatalProblemCallback) m_pNonfatalProblemCallback(buf);
  TraceMessage(buf);
}

void EErrorManager::TraceMessage(const char* text) {
  std::lock_guard<std::recursive_mutex> guard(TraceLock());
  if (m_pConsoleCallback) {
    m_pConsoleCallback(text);
    return;
  }
  SafeOutputDebugString(text);
  SafeOutputDebugString("\n");
}

void EErrorManager::InhibitDebugString(bool inhibit) {
  std::lock_guard<std::recursive_mutex> guard(TraceLock());
  if (inhibit) {
    ++sm_iInhibitDebugString;
    return;
  }
  --sm_iInhibitDebugString;
  if (sm_buf.Length() > 0) fputs(*sm_buf, stderr);
  sm_buf.Empty();
}

void EErrorManager::SafeOutputDebugString(const char* text) {
  std::lock_guard<std::recursive_mutex> guard(TraceLock());
  if (sm_iInhibitDebugString > 0) {
    if (text) sm_buf += text;
    return;
  }
  OutputDebugString(text);
}

void EErrorManager::SetErrorStrings(const char* title, const char* assertFormat,
                                    const char* nonAssertFormat) {
  sm_szErrorTitle = title;
  sm_szAssertMsg = assertFormat;
  sm_szNonAssertMsg = nonAssertFormat;
}

void EErrorManager::ErrorMessage(const char* file, int line, const char* message, bool bWarning) {
  if (m_bInError) {
    TraceMessagef(TT_None, "Encountered error during error handling!\n");
    return;
  }
  m_bInError = true;
  TraceMessagef(bWarning ? TT_Warning : TT_Error, "Assert in %s, line %i\n", file ? file : "(null)", line);
  TraceMessagef(TT_None, "%s", message ? message : "");
  m_bInError = false;
  if (bWarning) return;
  FatalExit(file, line, message);
}

void EErrorManager::FatalExit(const char* file, int line, const char* message) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof(cwd))) cwd[0] = '\0';

  // Bounded: a long message or working directory is cut, never overflowed.
  char text[1024];
  text[0] = '\0';
  if (file) {
    if (sm_szAssertMsg) snprintf(text, sizeof(text), sm_szAssertMsg, file, line, message ? message : "");
  } else if (sm_szNonAssertMsg) {
    snprintf(text, sizeof(text), sm_szNonAssertMsg, message ? message : "", cwd, 'P',
             g_dwBuildVersionMajor, g_dwBuildVersionMinor);
  }
  text[sizeof(text) - 1] = '\0';
  fprintf(stderr, "\n%s:\n  %s\n\n", sm_szErrorTitle ? sm_szErrorTitle : "", text);
  fflush(stderr);
  exit(-1);
}

void EErrorManager::ErrorReportFileLine(const char* file, int line, bool bWarning) {
  if (m_bInError) {
    TraceMessagef(TT_None, "Encountered error during error handling!\n");
    return;
  }
  sm_szFile = file;
  sm_nLine = line;
  sm_bWarning = bWarning;
}

void EErrorManager::ErrorMessagef(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ErrorMessagev(format, args);
  va_end(args);
}

void EErrorManager::ErrorMessagev(const char* format, va_list args) {
  char buf[1024];
  vsnprintf(buf, sizeof(buf), format, args);
  buf[1023] = '\0';
  ErrorMessage(sm_szFile, sm_nLine, buf, sm_bWarning);
}
