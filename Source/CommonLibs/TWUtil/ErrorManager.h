// The one sink for trace lines and failed checks.
#pragma once

#include <cstdarg>

class EString;
template <class T>
class EList;

enum TRACETYPE {
  TT_None = 0,
  TT_General,
  TT_Game,
  TT_Warning,
  TT_Problem,
  TT_Error,
  TT_Localization,
  TT_Physics,
  TT_Anim,
  TT_Render,
  TT_Script,
  TT_Action,
  TT_Camera,
  TT_Sound,
  TT_Mesh,
  TT_Developer1,
  TT_Developer2,
  TT_Developer3,
  TT_Developer4,
  TT_Developer5,
  TT_Store,
  TT_NumTraceTypes
};

class EErrorManager {
public:
  typedef void (*TextCallback)(const char* text);
  typedef void (*ContextCallback)();

  struct FTraceInfo {
    FTraceInfo() : m_szTag(nullptr), m_bEnabled(true) {}
    const char* m_szTag;
    bool m_bEnabled;
  };

  EErrorManager();
  ~EErrorManager();

  void TraceMessagef(TRACETYPE type, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void TraceMessagef(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TraceMessagev(TRACETYPE type, const char* format, va_list args);
  void TraceMessage(const char* text);

  bool IsEnabled(TRACETYPE type) const;
  void SetEnabled(TRACETYPE type, bool enabled);
  const char* GetTag(TRACETYPE type) const;

  // Reports a failed check. A warning traces and returns; anything else is
  // fatal and ends the process with status -1.
  void ErrorMessage(const char* file, int line, const char* message, bool bWarning);
  void ErrorReportFileLine(const char* file, int line, bool bWarning);
  void ErrorMessagef(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void ErrorMessagev(const char* format, va_list args);

  void SetConsoleCallback(TextCallback fn) { m_pConsoleCallback = fn; }
  void SetNonfatalProblemCallback(TextCallback fn) { m_pNonfatalProblemCallback = fn; }
  void AddContextCallback(ContextCallback fn);
  int GetNumContextCallbacks() const;

  static void SetErrorStrings(const char* title, const char* assertFormat, const char* nonAssertFormat);
  static void InhibitDebugString(bool inhibit);
  static void SafeOutputDebugString(const char* text);

  static const char* sm_szFile;
  static int sm_nLine;
  static bool sm_bWarning;
  static const char* sm_szErrorTitle;
  static const char* sm_szAssertMsg;
  static const char* sm_szNonAssertMsg;
  static int sm_iInhibitDebugString;
  // Standard-error output held back while inhibited.
  static EString sm_buf;

private:
  [[noreturn]] void FatalExit(const char* file, int line, const char* message);

  TextCallback m_pConsoleCallback;
  TextCallback m_pNonfatalProblemCallback;
  // Filled by AddContextCallback; nothing runs them. Made by the first.
  EList<ContextCallback>* m_pContextCallbacks;
  bool m_bInError;
  FTraceInfo m_aTraceInfo[TT_NumTraceTypes];
};

extern EErrorManager g_ErrorManager;

// Writes text to standard error unless it is null or empty.
void OutputDebugString(const char* text);

// Build identity, shared by the version line and the fatal report.
extern const unsigned int g_dwBuildVersionMajor;
extern const unsigned int g_dwBuildVersionMinor;

// A check that fails is a fatal report carrying the expression's text.
#define EASSERT(expr) \
  do { if (!(expr)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, #expr, false); } while (0)
// A check that fails is traced and play goes on.
#define EASSERT_WARN(expr) \
  do { if (!(expr)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, #expr, true); } while (0)
// Formatted fatal report.
#define EERRORF(...) \
  do { g_ErrorManager.ErrorReportFileLine(__FILE__, __LINE__, false); \
       g_ErrorManager.ErrorMessagef(__VA_ARGS__); } while (0)

void StubNotice(const char* note, const char* function, const char* file, int line);
// Once per call site: a feature that is only a stub on this platform says so
// on standard error the first time the site runs.
#define STUBBED(note) \
  do { static bool s_bStubShown = false; \
       if (!s_bStubShown) { s_bStubShown = true; StubNotice(note, __FUNCTION__, __FILE__, __LINE__); } \
  } while (0)
