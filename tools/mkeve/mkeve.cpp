// mkeve: converts an event text file into a binary event track with the
// game's own converter. Each record of the text is a channel (0 to 15), a
// frame number and the rest of the line as the event's text:
//
//   0 12 footstep
//   8 0x20 Land now
//
//   mkeve <events.txt> <out.eve>

#include <cstdio>

#include "Event/EEventAnimManager.h"
#include "TWUtil/ErrorManager.h"

namespace {
void MkeveTrace(const char* text) { fprintf(stderr, "%s\n", text); }
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkeve <events.txt> <out.eve>\n");
    return 2;
  }
  g_ErrorManager.SetConsoleCallback(&MkeveTrace);
  g_ErrorManager.SetEnabled(TT_None, true);
  g_ErrorManager.SetEnabled(TT_Warning, true);
  EEventAnimManager* pManager = EEventAnimManager::createEventAnimManager();
  const bool bOk = pManager->CreateBinaryEventFile(argv[1], argv[2]);
  EEventAnimManager::destroyEventAnimManager();
  if (!bOk) {
    fprintf(stderr, "mkeve: could not convert %s\n", argv[1]);
    return 1;
  }
  printf("%s written\n", argv[2]);
  return 0;
}
