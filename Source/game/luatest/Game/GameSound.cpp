// Sound start-up: the sound manager made from the audio settings, the bank
// files of "WorkResource\Sounds", the banks that belong to a level, and the
// cues that engine code plays by id.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "TWSound/IAUDSoundManager/IAUDSoundManager.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

namespace GameSoundDetail {

// The cues engine code plays, in the order of m_auStartupSoundCues.
const char* const s_aszStartupCues[GameApp::kNUM_STARTUP_SOUND_CUES] = {
    "DoubleJumpBubble",
    "Dirt_jump_2",
    "TubeSlide",
    "PsiBlastCharge",
    "PsiBlast",
    "psi_blast_fire_fullycharged",
    "psi_blast_collide",
    "thought_balloon_appear",
    "thought_balloon_climb",
    "TBBounce",
    "TBBounce",
    "thought_balloon_pop",
    "WorkResource\\Sounds\\FX\\inventory_loop.sgt",
    "MenuBubbleHum",
    "PsiBubbleHum",
    "PsiBubbleRoll",
    "tb_chuteopen01",
    "Ledge_Grab",
    "CantileverSwing",
    "Ledge_Grab",
    "LadderMount",
    "Ledge_Grab",
    "ledge_climb",
    "TightropeJump",
    "TK_HoldingLoop",
    "TK_Grab",
    "TK_Throw",
    "flower_off",
    "Janitor'sSacredHall",
    "Menu_Toggle_Bubble",
    "zol_melee_swipe",
    "ZTarget_On",
    "ZTarget_Off",
    "ZTarget_Switch",
    "MenuLetterToggle",
    "Negative",
    "JournalMapZoomIn",
    "JournalMapZoomOut",
    "JournalMapScroll",
    "Popup",
};

// Entry 35 ("MenuLetterToggle", index 34) is looked up right after entry 31.
const int s_aiStartupCueOrder[GameApp::kNUM_STARTUP_SOUND_CUES] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
    20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 34, 31, 32, 33, 35, 36, 37, 38, 39};

const int kMIN_PACKET_SIZE = 25;
const int kMAX_PACKET_SIZE = 1000;

std::string LowerCase(const char* szText) {
  std::string s(szText ? szText : "");
  for (char& c : s) c = (char)tolower((unsigned char)c);
  return s;
}

int ClampPacketSize(int iValue) {
  return iValue < kMIN_PACKET_SIZE ? kMIN_PACKET_SIZE : (iValue > kMAX_PACKET_SIZE ? kMAX_PACKET_SIZE : iValue);
}

}  // namespace GameSoundDetail

using namespace GameSoundDetail;

void GameApp::InitSound(void* pData) {
  (void)pData;
  char szPath[EFileManager::kMAX_PATH];
  snprintf(szPath, sizeof(szPath), "%s%sAudioSettings.ini", gFile ? gFile->GetUserDataDir() : "", "/");
  if (FILE* pFile = fopen(szPath, "r")) {
    m_SoundSettings.ReadSettingsFromFile(pFile);
    fclose(pFile);
  }
  bool bHardwareAccel = true;
  m_SoundSettings.GetSettingValue(ESoundSettings::s_szHardwareAccel, bHardwareAccel);
  if (!m_Prefs.m_bHardwareAudio) bHardwareAccel = false;

  EIAUDSoundManager* pManager = new EIAUDSoundManager(m_Prefs.m_bSound, bHardwareAccel);
  m_pSoundManager = pManager;

  bool bPreload = true;
  m_SoundSettings.GetSettingValue(ESoundSettings::s_szPreloadVoice, bPreload);
  pManager->SetPreloadVoiceEnabled(bPreload);

  float fValue = 0.0f;
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szMasterVolume, fValue)) pManager->SetMasterVolume(fValue, 0);
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szFXVolume, fValue)) pManager->SetFXVolume(fValue, 0);
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szMusicVolume, fValue)) pManager->SetMusicVolume(fValue, 0);
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szVoiceVolume, fValue)) pManager->SetVoiceVolume(fValue, 0);
  bool bValue = false;
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szShowSubtitles, bValue)) m_DebugHooks.Subtitles = bValue;
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szUseEAX, bValue)) pManager->SetEAXEnabled(bValue);
}

void GameApp::InitSoundFiles(void* pData) {
  (void)pData;
  if (gFile) {
    gFile->GetDirectory(m_aWaveBankFiles, ".\\WorkResource\\Sounds", "*.isb", kFILELOC_AsGiven);
    gFile->GetDirectory(m_aSoundBankFiles, ".\\WorkResource\\Sounds", "*.icb", kFILELOC_AsGiven);
  }
  LoadSoundData(m_Prefs.m_bManageSounds ? "common" : nullptr, true, false);
  for (int i : s_aiStartupCueOrder)
    m_auStartupSoundCues[i] = m_pSoundManager ? m_pSoundManager->GetSoundCue(s_aszStartupCues[i]) : 0;
}

void GameApp::LoadSoundData(const char* szLevel, bool bLoad, bool bBySubstring) {
  if (!m_pSoundManager) return;
  int iPacketSize = 0, iMusicPacketSize = 0;
  m_SoundSettings.GetSettingValue(ESoundSettings::s_szPacketSize, iPacketSize);
  m_SoundSettings.GetSettingValue(ESoundSettings::s_szMusicPacketSize, iMusicPacketSize);
  iPacketSize = ClampPacketSize(iPacketSize);
  iMusicPacketSize = ClampPacketSize(iMusicPacketSize);

  const std::string level = LowerCase(szLevel);
  const char* szVariant = szLevel && level.compare(0, 6, "common") == 0 ? "men" : "_night";

  for (int i = 0; i < m_aWaveBankFiles.Num(); ++i) {
    const char* szName = *m_aWaveBankFiles[i];
    const std::string name = LowerCase(szName);
    const bool bBelongs = (bBySubstring && szLevel && name.find(szLevel) != std::string::npos) ||
                          (!bBySubstring && m_pSoundManager->BankBelongsToLevel(name.c_str(), szLevel, szVariant));
    if (!bBelongs) continue;
    g_ErrorManager.TraceMessagef(TT_Sound, "Loading wavebank %s", szName);
    EString fullFilename(EPrintfTag(), "WorkResource\\Sounds\\%s\\%s", GetLanguageString(), szName);
    if (!gFile || !gFile->Exists(*fullFilename, kFILELOC_ReadPaths)) {
      fullFilename = EString(EPrintfTag(), "WorkResource\\Sounds\\%s", szName);
      if (!gFile || !gFile->Exists(*fullFilename, kFILELOC_ReadPaths)) {
        g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "gFile.Exists(*fullFilename, kLocRead)", false);
        continue;
      }
    }
    const int iSize = name.find("music") != std::string::npos ? iMusicPacketSize : iPacketSize;
    if (name.find("mem") != std::string::npos)
      m_pSoundManager->RegisterMemoryWaveBank(*fullFilename, bLoad);
    else
      m_pSoundManager->RegisterStreamedWaveBank(*fullFilename, (uint32_t)iSize, bLoad);
  }

  const size_t uPrefix = level.size() < 2 ? level.size() : 2;
  for (int i = 0; i < m_aSoundBankFiles.Num(); ++i) {
    const char* szName = *m_aSoundBankFiles[i];
    if (szLevel && LowerCase(szName).compare(0, uPrefix, szLevel, uPrefix) != 0) continue;
    char szPath[300];
    snprintf(szPath, sizeof(szPath), "WorkResource\\Sounds\\%s", szName);
    m_pSoundManager->LoadSoundBank(szPath, bLoad);
  }
}

void GameApp::ShutdownSound() {
  delete m_pSoundManager;
  m_pSoundManager = nullptr;
}
