// The language of the error texts and the numbered start-up failure, kept in
// the library so that start-up and the sound layer can reach them.
#include <SDL/SDL.h>
#include <cstdio>
#include <unistd.h>

#include "TWUtil/ErrorManager.h"
#include "UnixMain/UnixMain.h"

EGameLanguage g_PCGameLanguage = kLANGUAGE_English;

static char szErrorTitleBuf[4096];
static char szAssertMsgBuf[4096];
static char szNonAssertMsgBuf[4096];

#define QUILLOMAR_SUPPORT_ADDRESS "https://quillomar.example.org/support"

void SetPCLanguage(EGameLanguage language) {
  g_PCGameLanguage = language;
  STUBBED("write me?");
  // The texts are English whatever the language; only the number of a
  // start-up failure follows the language.
  snprintf(szErrorTitleBuf, sizeof(szErrorTitleBuf), "%s", "Encountered Error");
  snprintf(szAssertMsgBuf, sizeof(szAssertMsgBuf), "%s",
           "Quillomar has encountered an error\n\n%s, line %d\n%s\n\n Please contact technical support at "
           QUILLOMAR_SUPPORT_ADDRESS ".");
  snprintf(szNonAssertMsgBuf, sizeof(szNonAssertMsgBuf), "%s",
           "Quillomar has encountered an error - %s\n\nPlease contact technical support at "
           QUILLOMAR_SUPPORT_ADDRESS ".");
  EErrorManager::SetErrorStrings(szErrorTitleBuf, szAssertMsgBuf, szNonAssertMsgBuf);
}

void PCStartupFailure(unsigned int code) {
  if (g_PCGameLanguage == kLANGUAGE_French) code += 100;
  else if (g_PCGameLanguage == kLANGUAGE_German) code += 200;
  fprintf(stderr, "\n\n\nQuillomar Fatal Error #%u\n\n\nAborting.\n\n", code);
  fflush(stderr);
  SDL_Quit();
  _exit(1);
}
