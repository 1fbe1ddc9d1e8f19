// Start-up of the application: the preferences file.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EGameFile.h"
#include "TWUtil/ErrorManager.h"

EPrefs::EPrefs()
    : m_bSound(true),
      m_bDebugServer(true),
      m_bMainMenu(true),
      m_bInGameMenu(false),
      m_bDemoBuild(false),
      m_bOxmBuild(false),
      m_bStartLog(false),
      m_bScriptDebug(false),
      m_bTextureDebug(false),
      m_bAnimDebug(false),
      m_bRenderingCutscene(false),
      m_bWaitForConnect(false),
      m_bManageSounds(true),
      m_bGameplayLogging(true),
      m_bBreakOnRawString(false),
      m_bDvdEnvironment(false),
      m_bProductionLoading(true),
      m_bDebugSoundStreams(false),
      m_bSSE(false),
      m_bHardwareAudio(false) {}

EGameLanguage GetDefaultGameLanguage() {
  STUBBED("check LANG envr var");
  return kLANGUAGE_English;
}

namespace {

const int kMAX_PREFS_LINE = 300;

enum EPrefKind {
  kPREF_Switch,       // a bool of EPrefs
  kPREF_DebugSwitch,  // a bool of the debug switches
  kPREF_DebugScreen,  // selects a debug screen when true
  kPREF_CacheShaders,
  kPREF_Trace,        // a trace channel on or off
  kPREF_Language,
  kPREF_PrependResourceDir,
};

struct EPrefKey {
  const char* key;
  bool exact;  // compared with case
  EPrefKind kind;
  bool EPrefs::*prefsSwitch;
  bool EDebugHooks::*debugSwitch;
  int value;  // debug screen or trace channel
};

#define PREF(key, member) {key, false, kPREF_Switch, &EPrefs::member, nullptr, 0}
#define DEBUG_SWITCH(key, member) {key, false, kPREF_DebugSwitch, nullptr, &EDebugHooks::member, 0}
#define DEBUG_SCREEN(key, page) {key, false, kPREF_DebugScreen, nullptr, nullptr, page}
#define TRACE(key, channel) {key, false, kPREF_Trace, nullptr, nullptr, channel}

// In lookup order.
const EPrefKey kPREF_KEYS[] = {
    PREF("sound", m_bSound),
    PREF("debug_server", m_bDebugServer),
    PREF("main_menu", m_bMainMenu),
    PREF("ingame_menu", m_bInGameMenu),
    PREF("demo_build", m_bDemoBuild),
    PREF("start_log", m_bStartLog),
    PREF("wait_for_connect", m_bWaitForConnect),
    PREF("manage_sounds", m_bManageSounds),
    PREF("dvd_environment", m_bDvdEnvironment),
    PREF("production_loading", m_bProductionLoading),
    PREF("oxm_build", m_bOxmBuild),
    DEBUG_SWITCH("simple_debug_combo", SimpleDebugCombo),
    DEBUG_SWITCH("dead_lso_break", DeadLSOBreak),
    DEBUG_SWITCH("rumble_pack", Rumble),
    DEBUG_SWITCH("compress_bumpmaps", CompressBumpmaps),
    DEBUG_SWITCH("auto_reduce_textures", AutoReduceTextures),
    DEBUG_SWITCH("auto_reduce_break", AutoReduceBreak),
    DEBUG_SWITCH("showtargets", ShowTargets),
    DEBUG_SWITCH("buildtext", ShowBuildText),
    DEBUG_SWITCH("attractmode", AttractMode),
    DEBUG_SWITCH("no_hud", NoHUD),
    DEBUG_SWITCH("print_memdump", PrintMemDump),
    PREF("break_on_rawstring", m_bBreakOnRawString),
    PREF("debug_sound_streams", m_bDebugSoundStreams),
    DEBUG_SCREEN("showperformanceinfo", 1),
    DEBUG_SCREEN("showmemoryinfo", 3),
    DEBUG_SCREEN("showmemoryinfodeltas", 4),
    DEBUG_SCREEN("showplayerinfo", 7),
    DEBUG_SCREEN("showcamerainfo", 8),
    {"cacheshaders", false, kPREF_CacheShaders, nullptr, nullptr, 0},
    PREF("rendering_cutscene", m_bRenderingCutscene),
    DEBUG_SWITCH("subtitles", Subtitles),
    DEBUG_SWITCH("first_half_demo", FirstHalfDemo),
    TRACE("TT_Localization", TT_Localization),
    TRACE("TT_Physics", TT_Physics),
    TRACE("TT_Anim", TT_Anim),
    TRACE("TT_Render", TT_Render),
    TRACE("TT_Script", TT_Script),
    TRACE("TT_Action", TT_Action),
    TRACE("TT_Camera", TT_Camera),
    TRACE("TT_Sound", TT_Sound),
    TRACE("TT_Mesh", TT_Mesh),
    TRACE("TT_Developer1", TT_Developer1),
    TRACE("TT_Developer2", TT_Developer2),
    TRACE("TT_Developer3", TT_Developer3),
    TRACE("TT_Developer4", TT_Developer4),
    TRACE("TT_Developer5", TT_Developer5),
    PREF("script_debug", m_bScriptDebug),
    PREF("texture_debug", m_bTextureDebug),
    PREF("anim_debug", m_bAnimDebug),
    {"language", true, kPREF_Language, nullptr, nullptr, 0},
    {"prepend_resource_dir", true, kPREF_PrependResourceDir, nullptr, nullptr, 0},
    {"mesh_debug", true, kPREF_Trace, nullptr, nullptr, TT_Mesh},
};

#undef PREF
#undef DEBUG_SWITCH
#undef DEBUG_SCREEN
#undef TRACE

// One line of the file. Each key acts on its own setting only.
void ApplyPrefsLine(EPrefs& prefs, const char* line, EGameLanguage& language) {
  if (!isalpha((unsigned char)line[0])) return;

  // A key without a value gets an empty value, never the previous line's.
  char key[kMAX_PREFS_LINE + 1] = "";
  char value[kMAX_PREFS_LINE + 1] = "";
  sscanf(line, "%300s %300s", key, value);
  bool bValue = value[0] != '0';

  const EPrefKey* found = nullptr;
  for (const EPrefKey& k : kPREF_KEYS) {
    if (k.exact ? !strcmp(key, k.key) : !strcasecmp(key, k.key)) {
      found = &k;
      break;
    }
  }
  if (!found) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unknown ini file command: '%s'", line);
    return;
  }

  switch (found->kind) {
    case kPREF_Switch: prefs.*(found->prefsSwitch) = bValue; break;
    case kPREF_DebugSwitch:
      if (gGameApp) gGameApp->m_DebugHooks.*(found->debugSwitch) = bValue;
      break;
    case kPREF_DebugScreen:
      if (bValue && gGameApp) gGameApp->m_DebugHooks.DebugDisplay = found->value;
      break;
    case kPREF_CacheShaders: g_bCacheShaders = bValue; break;
    case kPREF_Trace: g_ErrorManager.SetEnabled((TRACETYPE)found->value, bValue); break;
    case kPREF_Language:
      if (!strcasecmp(value, "french")) language = kLANGUAGE_French;
      else if (!strcasecmp(value, "german")) language = kLANGUAGE_German;
      else if (!strcasecmp(value, "english") || !strcasecmp(value, "nonsense")) language = kLANGUAGE_English;
      break;
    case kPREF_PrependResourceDir: {
      if (!value[0]) break;
      char dir[kMAX_PREFS_LINE + 8];
      snprintf(dir, sizeof(dir), "D:/%s", value);
      if (gFile->Exists(dir, kFILELOC_AsGiven)) gFile->AddReadPath(dir, true);
      break;
    }
  }
}

}  // namespace

void EPrefs::ReadPrefs() {
  EGameLanguage language = GetDefaultGameLanguage();

  EGameFile file;
  if (file.Open("../quillomar.ini", false)) {
    int size = file.GetFilesize();
    char* buffer = size > 0 ? static_cast<char*>(malloc((size_t)size)) : nullptr;
    int got = buffer ? file.Read(buffer, 1, size) : 0;
    file.Close();
    EMemFile mem;
    // An unreadable file counts as an empty one: the language and the
    // packed-data probe below still apply.
    if (buffer && got > 0 && mem.Open(buffer, (unsigned)got, false, true)) {
      char line[kMAX_PREFS_LINE + 1];
      while (mem.GetPos() < mem.GetSize()) {
        if (mem.ReadString(line, (int)sizeof(line)) == 0) {
          // A zero byte ends no line; step over it.
          uint8_t skipped;
          mem.ReadByte(&skipped);
          continue;
        }
        ApplyPrefsLine(*this, line, language);
      }
      mem.Close();
    } else {
      free(buffer);
    }
  }

  if (gGameApp) gGameApp->SetLanguage(language);

  if (!m_bDvdEnvironment) {
    // Without the loose level files the data must come packed.
    EFile* probe = gFile->Open("Levels/CAKC.plb", FILE_READ, kFILELOC_Default);
    if (!probe) m_bDvdEnvironment = true;
    else probe->Close();
  }
}
