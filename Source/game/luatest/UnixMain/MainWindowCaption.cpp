// The window captions, kept in the library so that the renderer can reach
// them; `main` sets them before the renderer starts.
#include "UnixMain/UnixMain.h"

const char* g_mainWindowCaption = "Quillomar";
const char* g_mainWindowCaptionSmall = "quillomar";
