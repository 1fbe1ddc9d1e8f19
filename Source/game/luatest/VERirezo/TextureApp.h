// What the texture code asks of the application and the script host, in one
// place. Every answer has a default for when no application runs.
#pragma once

#include <cstdarg>

#include "Game/GameApp.h"

namespace TextureApp {

inline bool StartUpComplete() { return gGameApp && gGameApp->StartUpComplete(); }
inline bool LevelLoaded() { return gGameApp && gGameApp->LevelLoaded(); }
inline int LevelLoadedState() { return gGameApp ? gGameApp->GetLevelLoadedState() : 0; }
inline const char* FullCurrentLevelName() { return gGameApp ? gGameApp->GetFullCurrentLevelName() : ""; }
inline EGameLanguage Language() { return gGameApp ? gGameApp->GetLanguage() : kLANGUAGE_English; }
inline unsigned ErrorTextureId() { return gGameApp ? gGameApp->m_idErrorTexture : 0; }

inline bool TextureDebug() { return gGameApp && gGameApp->GetPrefs().m_bTextureDebug; }
inline bool DvdEnvironment() { return gGameApp && gGameApp->GetPrefs().m_bDvdEnvironment; }
inline bool ProductionLoading() { return gGameApp && gGameApp->GetPrefs().m_bProductionLoading; }
inline bool CompressBumpmaps() { return gGameApp && gGameApp->m_DebugHooks.CompressBumpmaps; }
inline bool AutoReduceTextures() { return gGameApp && gGameApp->m_DebugHooks.AutoReduceTextures; }
inline bool AutoReduceBreak() { return gGameApp && gGameApp->m_DebugHooks.AutoReduceBreak; }
inline bool MakingPackfiles() { return gGameApp && gGameApp->m_DebugHooks.MakingPackfiles; }
inline bool DebugTextureReduction() { return gGameApp && gGameApp->m_DebugHooks.DebugTextureReduction; }

inline float SimElapsedTimeMS() { return gGameApp ? gGameApp->GetSimElapsedTimeMS() : 0.0f; }
inline float RealElapsedTimeMS() { return gGameApp ? gGameApp->GetRealElapsedTimeMS() : 0.0f; }

// A script hard break: a warning that a script debugger, when one runs, also
// receives.
void HardBreak(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The name of the script that is running, or "Unknown".
const char* CallingScriptName();

}  // namespace TextureApp
