// The window captions and the window state, kept in the library so that the
// renderer and the input layer can reach them; `main` sets the captions
// before the renderer starts.
#include "UnixMain/UnixMain.h"

const char* g_mainWindowCaption = "Quillomar";
const char* g_mainWindowCaptionSmall = "quillomar";

// The input readers ask before they poll; on this platform the game window
// always counts as active.
bool PCMainIsGameWindowActive() { return true; }
