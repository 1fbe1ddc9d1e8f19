// The sound manager's life cycle: OpenAL and the runtime, the pools, wave
// and sound banks with the rules that tie banks to levels, the group cache,
// the per-frame work and the debug dump.
#include "TWSound/IAUDSoundManager/IAUDSoundManager.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "NonTW/Zoet/ZoeSound.h"
#include "TWUtil/String.h"
#include "UnixMain/UnixMain.h"

EIAUDSoundManager* sg_pIAUDSoundManager = nullptr;
IAUDInterface* sg_pIAUD = nullptr;
IAUDRenderInterface* sg_pIAUDRender = nullptr;
void* sg_aGroupHandles[kNUM_SOUNDCATEGORIES];
uint32_t sg_soundFrame = 0;
int32_t iaudReturn = 0;
const int sg_nSoundSources = 64;

const char* const sg_aszCategoryGroupNames[kNUM_SOUNDCATEGORIES] = {
    "Music", "EmoBag", "Menu", "Oatmeal", "Voice", "FX", "AmbFX", "Footsteps", "GIOFX", "Cutscene", "Bubble", "ALL"};

const SSampleBankName QUILLOMAR_SAMPLE_BANK_NAMES[kNUM_SAMPLE_BANK_NAMES] = {
    {"CommonFX.isb", 0},          {"CommonMusic.isb", 1},     {"BVFX.isb", 2},
    {"CAFX.isb", 3},              {"SAFX.isb", 4},            {"ASvoice.isb", 5},
    {"LLvoice.isb", 6},           {"MMvoice.isb", 7},         {"THvoice.isb", 8},
    {"CommonVoice.isb", 9},       {"BBFX.isb", 10},           {"LOFX.isb", 11},
    {"NIFX.isb", 12},             {"LLFX.isb", 13},           {"MIFX.isb", 14},
    {"BBMusic.isb", 15},          {"LLMusic.isb", 16},        {"BBVoice.isb", 17},
    {"BVVOICE.isb", 18},          {"CAVOICE.isb", 19},        {"CASAVoice.isb", 20},
    {"CAREVoice.isb", 21},        {"CAMAVoice.isb", 22},      {"CALIVoice.isb", 23},
    {"CAKCVoice.isb", 24},        {"CAJAVoice.isb", 25},      {"CAGPVoice.isb", 26},
    {"CABUVoice.isb", 27},        {"CABHVoice.isb", 28},      {"LOVoice.isb", 29},
    {"MIVoice.isb", 30},          {"NIVoice.isb", 31},        {"SAVoice.isb", 32},
    {"CAMusic.isb", 33},          {"LOMusic.isb", 34},        {"MIMusic.isb", 35},
    {"SAMusic.isb", 36},          {"NIMusic.isb", 37},        {"BVMusic.isb", 38},
    {"MMMusic.isb", 39},          {"WWMusic.isb", 40},        {"THMusic.isb", 41},
    {"ASMusic.isb", 42},          {"ASFX.isb", 43},           {"CABHFX.isb", 44},
    {"CABH_NightFX.isb", 45},     {"CA_NightMusic.isb", 46},  {"ASLBFX.isb", 47},
    {"ASGRFX.isb", 48},           {"ASUPFX.isb", 49},         {"ASCOFX.isb", 50},
    {"CAREFX.isb", 51},           {"CALIFX.isb", 52},         {"WWFX.isb", 53},
    {"BBA1FX.isb", 54},           {"BBLTFX.isb", 55},         {"BBA2FX.isb", 56},
    {"CommonFXMem.isb", 57},      {"THFX.isb", 58},           {"CAJAMusic.isb", 59},
    {"BBFXMem.isb", 60},          {"LLFXMem.isb", 61},        {"CAFXMem.isb", 62},
    {"MMFX.isb", 63},             {"MCMusic.isb", 64},        {"LOFXMem.isb", 65},
    {"MCVoice.isb", 66},          {"WWVoice.isb", 67},        {"MCFX.isb", 68},
    {"CAJAFX.isb", 69},           {"CASAFX.isb", 70},         {"CAGPFX.isb", 71},
    {"BVMAFX.isb", 72},           {"MMDMFX.isb", 73},         {"LOCBFX.isb", 74},
    {"CAMAFX.isb", 75},           {"MCBBFX.isb", 76},         {"NIFXMem.isb", 77},
    {"SAFXMem.isb", 78},          {"MIFXMem.isb", 79},        {"MMFXMem.isb", 80},
    {"ASFXMem.isb", 81},          {"BVWCFX.isb", 82},         {"BVWDFX.isb", 83},
    {"BVWEFX.isb", 84},           {"BVWTFX.isb", 85},         {"THCWFX.isb", 86},
    {"ASRUFX.isb", 87},           {"CALI_NightFX.isb", 88},   {"CABUFX.isb", 89},
    {"CAKCFX.isb", 90},           {"CABHMusic.isb", 91},      {"CAMA_NightFX.isb", 92},
    {"CommonMentalFX.isb", 93},   {"CommonMenFXMem.isb", 94}, {"ASCOVoice.isb", 95},
    {"ASGRVoice.isb", 96},        {"ASLBVoice.isb", 97},      {"ASUPVoice.isb", 98},
    {"CARE_NightFX.isb", 99},     {"CAGPFX_Night.isb", 100},  {"STFX.isb", 101},
};

namespace SoundManagerLife {

const size_t kBANK_NAME_CHARS = 299;
const size_t kLEVEL_TEXT_CHARS = 199;

// Lower case with '\' turned into '/', at most 299 characters.
void NormaliseBankName(const char* szName, char* szOut) {
  size_t i = 0;
  for (; szName && szName[i] && i < kBANK_NAME_CHARS; ++i) {
    char c = (char)tolower((unsigned char)szName[i]);
    szOut[i] = c == '\\' ? '/' : c;
  }
  szOut[i] = '\0';
}

// A lower-case copy of at most 199 characters; null counts as empty.
void LowerCopy(const char* szText, char* szOut) {
  size_t i = 0;
  for (; szText && szText[i] && i < kLEVEL_TEXT_CHARS; ++i) szOut[i] = (char)tolower((unsigned char)szText[i]);
  szOut[i] = '\0';
}

// The text after the last '/', else after the last '\', else the whole.
const char* FilePart(const char* szName) {
  const char* p = strrchr(szName, '/');
  if (!p) p = strrchr(szName, '\\');
  return p ? p + 1 : szName;
}

bool BeginsWith(const char* szText, const char* szPrefix) { return strncmp(szText, szPrefix, strlen(szPrefix)) == 0; }

// Copies every name of a zero-separated OpenAL device list.
void AddDeviceList(const char* szList, EArray<char*>& aOut) {
  for (const char* p = szList; *p; p += strlen(p) + 1) aOut.AddData(StringDuplicate(p, kMEMTYPE_String));
}

}  // namespace SoundManagerLife

using namespace SoundManagerLife;

// ---- Pool records ------------------------------------------------------------------------------

EWaveBank::~EWaveBank() { free(m_szName); }

ESoundBank::~ESoundBank() {
  if (sg_pIAUD && m_hContentBank && sg_pIAUD->UnloadContentBank(m_hContentBank) != kIAUD_OK)
    g_ErrorManager.TraceMessagef(TT_Sound, "WARNING! Couldn't unload IAUD Content Bank '%s' in ~ESoundBank()\n",
                                 m_szName ? m_szName : "");
  free(m_szName);
}

void* ESoundBank::ConvertNameToIAUDContentHandle(const char* szName) const {
  void* hContent = nullptr;
  if (!sg_pIAUD || sg_pIAUD->GetContentHandle(&hContent, szName, m_hContentBank) != kIAUD_OK) return nullptr;
  return hContent;
}

ESoundCue::~ESoundCue() {
  free(m_szRPCName);
  free(m_szName);
}

// ---- Construction and destruction --------------------------------------------------------------

EIAUDSoundManager::EIAUDSoundManager(bool bEnable, bool bHardwareAccel)
    : m_pChannelArray(nullptr), m_dwDefault2DSource(0), m_dwSecond2DSource(0), m_bEAXSupported(false),
      m_bEAXEnabled(false), m_bHardwareAccelEnabled(true), m_bPreloadVoiceEnabled(false), m_fMasterVolume(1.0f),
      m_fInteractiveMusicLevel(0.0f), m_aDeviceStrings(kMEMTYPE_String), m_pALCDevice(nullptr),
      m_pALCContext(nullptr) {
  for (const SSampleBankName*& p : m_apSampleBankSlots) p = nullptr;
  for (void*& p : m_apChannelPlayers) p = nullptr;
  if (!bEnable) return;

  InitOpenAL();
  EASSERT(!sg_pIAUDSoundManager);
  sg_pIAUDSoundManager = this;
  m_bHardwareAccelEnabled = bHardwareAccel;
  // A manager that reached no runtime stays inactive (and closed).
  if (!OpenIAUD(bHardwareAccel)) return;

  m_pWaveBankArray = new EDataArray<EWaveBank>("Wave Banks", 128, 0, kMEMTYPE_Misc);
  m_pSoundBankArray = new EDataArray<ESoundBank>("Sound Banks", 64, 0, kMEMTYPE_Misc);
  m_pSoundCueArray = new EDataArray<ESoundCue>("Sound Cues", 1024, 0, kMEMTYPE_Misc);
  m_pSoundSourceArray = new EDataArray<ESoundSource>("Sound Sources", sg_nSoundSources, 0, kMEMTYPE_Misc);
  m_dwDefault2DSource = m_pSoundSourceArray->ElementNew();
  m_pSoundSourceArray->ElementGet(m_dwDefault2DSource)->Set2d();
  m_dwSecond2DSource = m_pSoundSourceArray->ElementNew();
  m_pSoundSourceArray->ElementGet(m_dwSecond2DSource)->Set2d();
  sg_soundFrame = 0;
  m_bActive = true;
}

EIAUDSoundManager::~EIAUDSoundManager() {
  if (m_bActive) {
    StopAll();
    delete m_pSoundCueArray;
    m_pSoundCueArray = nullptr;
    delete m_pSoundBankArray;
    m_pSoundBankArray = nullptr;
    delete m_pWaveBankArray;
    m_pWaveBankArray = nullptr;
    delete m_pSoundSourceArray;
    m_pSoundSourceArray = nullptr;
    delete m_pChannelArray;
    m_pChannelArray = nullptr;
    for (int i = 0; i < kMAX_CHANNELS; ++i) {
      if (m_apChannelPlayers[i] && sg_pIAUD) sg_pIAUD->DestroyAudioPlayer(m_apChannelPlayers[i]);
      m_apChannelPlayers[i] = nullptr;
    }
    CloseIAUD();
    m_bActive = false;
  }
  for (int i = 0; i < m_aDeviceStrings.Num(); ++i) free(m_aDeviceStrings[i]);
  m_aDeviceStrings.Empty();
  if (sg_pIAUDSoundManager == this) sg_pIAUDSoundManager = nullptr;
}

// ---- OpenAL and the runtime --------------------------------------------------------------------

void* EIAUDSoundManager::CreateOpenALDevice(bool bHardwareAccel) {
  (void)bHardwareAccel;
  return alcOpenDevice(nullptr);
}

bool EIAUDSoundManager::InitOpenAL() {
  const int nBefore = m_aDeviceStrings.Num();
  if (const ALCchar* szList = alcGetString(nullptr, ALC_DEVICE_SPECIFIER)) {
    AddDeviceList(szList, m_aDeviceStrings);
  } else if (const ALCchar* szDefault = alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER)) {
    m_aDeviceStrings.AddData(StringDuplicate(szDefault, kMEMTYPE_String));
  }
  if (m_aDeviceStrings.Num() == nBefore) {
    if (ALCdevice* pDevice = alcOpenDevice(nullptr)) {
      if (ALCcontext* pContext = alcCreateContext(pDevice, nullptr)) {
        alcMakeContextCurrent(pContext);
        alcProcessContext(pContext);
        if (const ALCchar* szName = alcGetString(pDevice, ALC_DEVICE_SPECIFIER))
          m_aDeviceStrings.AddData(StringDuplicate(szName, kMEMTYPE_String));
        alcSuspendContext(pContext);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(pContext);
      }
      alcCloseDevice(pDevice);
    }
  }
  for (int i = 0; i < m_aDeviceStrings.Num(); ++i)
    g_ErrorManager.TraceMessagef(TT_None, "Found OpenAL device: '%s'", m_aDeviceStrings[i]);
  return true;
}

bool EIAUDSoundManager::OpenIAUD(bool bHardwareAccel) {
  m_pALCDevice = CreateOpenALDevice(bHardwareAccel);
  if (!m_pALCDevice) PCStartupFailure(102);
  ALCdevice* pDevice = static_cast<ALCdevice*>(m_pALCDevice);
  ALCcontext* pContext = alcCreateContext(pDevice, nullptr);
  m_pALCContext = pContext;
  const ALCchar* szName = alcGetString(pDevice, ALC_DEVICE_SPECIFIER);
  g_ErrorManager.TraceMessagef(TT_None, "Opened OpenAL Device: '%s'", szName ? szName : "");
  if (pContext) {
    alcMakeContextCurrent(pContext);
    alcProcessContext(pContext);
  }
  m_bEAXSupported = false;
  m_bEAXEnabled = false;

  // Whatever fails from here on closes what was opened: the manager stays
  // inactive rather than active without a runtime or channels.
  auto fail = [this]() {
    CloseIAUD();
    sg_pIAUDSoundManager = nullptr;
    return false;
  };
  sg_pIAUDRender = RetrieveIAUDRenderInterface(m_pALCContext, 256);
  if (!sg_pIAUDRender) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Couldn't allocate Low Level IAUD Sound renderer.");
    return fail();
  }
  sg_pIAUD = RetrieveIAUDInterface(sg_pIAUDRender);
  if (!sg_pIAUD) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Couldn't allocate IAUD Interface.");
    return fail();
  }
  sg_pIAUD->SetDistanceFactor(0.002f);
  for (const SSampleBankName*& p : m_apSampleBankSlots) p = nullptr;

  int32_t nVoices = 0;
  if (sg_pIAUD->GetAvailableVoiceCount(&nVoices) != kIAUD_OK) nVoices = 0;
  if (nVoices <= 0) return fail();
  if (nVoices > kMAX_CHANNELS) nVoices = kMAX_CHANNELS;
  m_pChannelArray = new EDataArray<EChannel>("IAUD Channels", nVoices, 0, kMEMTYPE_Misc);
  for (int i = 0; i < nVoices; ++i) {
    EChannel channel;
    channel.Startup();
    m_apChannelPlayers[i] = channel.m_pIAUDAudioPlayer;
    channel.m_pIAUDAudioPlayer = nullptr;  // the slot keeps it
  }
  ZoetAudioStartup();
  for (void*& h : sg_aGroupHandles) h = nullptr;
  return true;
}

void EIAUDSoundManager::CloseIAUD() {
  if (sg_pIAUD) {
    sg_pIAUD->ReleaseAllResources();
    sg_pIAUD->ReleaseInterface();
    sg_pIAUD = nullptr;
  }
  if (sg_pIAUDRender) {
    sg_pIAUDRender->ReleaseInterface();
    sg_pIAUDRender = nullptr;
  }
  for (const SSampleBankName*& p : m_apSampleBankSlots) p = nullptr;
  if (m_pALCContext) {
    alcSuspendContext(static_cast<ALCcontext*>(m_pALCContext));
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(static_cast<ALCcontext*>(m_pALCContext));
    m_pALCContext = nullptr;
  }
  if (m_pALCDevice) {
    alcCloseDevice(static_cast<ALCdevice*>(m_pALCDevice));
    m_pALCDevice = nullptr;
  }
}

// ---- Sample banks ------------------------------------------------------------------------------

const SSampleBankName* EIAUDSoundManager::iaudFindSampleBank(const char* szName) {
  EASSERT(szName);
  if (!szName) return nullptr;
  const char* szFile = FilePart(szName);
  for (const SSampleBankName& row : QUILLOMAR_SAMPLE_BANK_NAMES) {
    if (strcasecmp(row.szFileName, szFile) == 0) return &row;
  }
  return nullptr;
}

int32_t EIAUDSoundManager::iaudLoadSampleBank(const char* szName, bool bStreamed, int32_t iPacketSize, bool bPreload) {
  const SSampleBankName* pRow = iaudFindSampleBank(szName);
  if (!pRow) return -1;
  const uint32_t uSlot = pRow->uSlot;
  if (m_apSampleBankSlots[uSlot]) return (int32_t)uSlot;
  if (bStreamed)
    iaudReturn = sg_pIAUD->LoadStreamingSampleBank(uSlot, szName, (uint32_t)iPacketSize, bPreload ? 1 : 0);
  else
    iaudReturn = sg_pIAUD->LoadSampleBank(uSlot, szName, false);
  if (iaudReturn != kIAUD_OK) {
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: IAUD Sample Bank '%s' failed to load into slot %u (%d)",
                                 (int)sg_soundFrame, szName, uSlot, (int)iaudReturn);
    return -1;
  }
  g_ErrorManager.TraceMessagef(TT_Sound, "IAUD Sample Bank '%s' loaded into slot %d", szName, (int)uSlot);
  m_apSampleBankSlots[uSlot] = pRow;
  return (int32_t)uSlot;
}

void EIAUDSoundManager::iaudUnloadSampleBank(int32_t iSlot) {
  if (iSlot < 0 || iSlot >= kNUM_SAMPLE_BANK_SLOTS) return;
  if (!m_apSampleBankSlots[iSlot]) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Tried to unload nonexistent IAUD Sound bank at slotIndex %d", (int)iSlot);
    return;
  }
  if (!sg_pIAUD || sg_pIAUD->UnloadSampleBank((uint32_t)iSlot) != kIAUD_OK) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Problem unloading IAUD sound bank at slotIndex %d", (int)iSlot);
    return;
  }
  m_apSampleBankSlots[iSlot] = nullptr;
}

uint32_t EIAUDSoundManager::FindWaveBank(const char* szName) const {
  for (int i = 0; i <= m_pWaveBankArray->GetHighestUsed(); ++i) {
    const EWaveBank& bank = (*m_pWaveBankArray)[i];
    if (bank.m_id && strcmp(bank.m_szName, szName) == 0) return bank.m_id;
  }
  return 0;
}

uint32_t EIAUDSoundManager::AddWaveBank(const char* szName, int32_t iSlot, bool bStreamed, bool bPermanent) {
  const uint32_t uId = m_pWaveBankArray->ElementNew();
  if (!uId) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Exceeded max number of registered wave banks\n");
    iaudUnloadSampleBank(iSlot);
    return 0;
  }
  EWaveBank* pBank = m_pWaveBankArray->ElementGet(uId);
  pBank->m_iSlot = iSlot;
  pBank->m_szName = StringDuplicate(szName, kMEMTYPE_String);
  pBank->m_bStreamed = bStreamed;
  pBank->m_bPermanent = bPermanent;
  g_ErrorManager.TraceMessagef(TT_Sound, bStreamed ? "Registered streaming wavebank '%s'\n" : "Registered memory wavebank '%s'\n",
                               szName);
  return uId;
}

uint32_t EIAUDSoundManager::RegisterStreamedWaveBank(const char* szFile, uint32_t uPacketSize, bool bPermanent) {
  if (!m_bActive || !szFile) return 0;
  char szName[kBANK_NAME_CHARS + 1];
  NormaliseBankName(szFile, szName);
  if (const uint32_t uId = FindWaveBank(szName)) return uId;
  const bool bPreload = m_bPreloadVoiceEnabled && strstr(szName, "voice");
  const int32_t iSlot = iaudLoadSampleBank(szName, true, (int32_t)uPacketSize, bPreload);
  if (iSlot < 0) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Couldn't load IAUD Sample Bank '%s'\n", szName);
    return 0;
  }
  return AddWaveBank(szName, iSlot, true, bPermanent);
}

uint32_t EIAUDSoundManager::RegisterMemoryWaveBank(const char* szFile, bool bPermanent) {
  if (!m_bActive || !szFile) return 0;
  char szName[kBANK_NAME_CHARS + 1];
  NormaliseBankName(szFile, szName);
  if (const uint32_t uId = FindWaveBank(szName)) return uId;
  const int32_t iSlot = iaudLoadSampleBank(szName, false, 150, false);
  if (iSlot < 0) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Couldn't load in-memory IAUD sample bank '%s'", szName);
    return 0;
  }
  return AddWaveBank(szName, iSlot, false, bPermanent);
}

void EIAUDSoundManager::UnregisterWaveBank(uint32_t uWaveBank) {
  if (!m_bActive || !uWaveBank) return;
  m_pWaveBankArray->ElementDeleteByID(uWaveBank);
}

// ---- Sound banks -------------------------------------------------------------------------------

ESoundBank* EIAUDSoundManager::GetSoundBank(uint32_t uId) {
  return m_pSoundBankArray && uId ? m_pSoundBankArray->ElementTryToGet(uId) : nullptr;
}

uint32_t EIAUDSoundManager::LoadSoundBank(const char* szFile, bool bPermanent) {
  if (!m_bActive || !szFile) return 0;
  char szName[kBANK_NAME_CHARS + 1];
  NormaliseBankName(szFile, szName);
  for (int i = 0; i <= m_pSoundBankArray->GetHighestUsed(); ++i) {
    ESoundBank& bank = (*m_pSoundBankArray)[i];
    if (bank.m_id && strcmp(bank.m_szName, szName) == 0) return bank.m_id;
  }
  void* hBank = nullptr;
  if (sg_pIAUD->LoadContentBank(&hBank, szFile) != kIAUD_OK || !hBank) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Couldn't load IAUD Content Bank '%s'\n", szFile);
    return 0;
  }
  const uint32_t uId = m_pSoundBankArray->ElementNew();
  if (!uId) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Exceeded max number of registered sound banks\n");
    sg_pIAUD->UnloadContentBank(hBank);
    return 0;
  }
  ESoundBank* pBank = m_pSoundBankArray->ElementGet(uId);
  pBank->m_hContentBank = hBank;
  pBank->m_szName = StringDuplicate(szName, kMEMTYPE_String);
  pBank->m_bPermanent = bPermanent;
  pBank->m_bMusic = strstr(szName, "music") != nullptr;
  g_ErrorManager.TraceMessagef(TT_Sound, "Registered sound bank '%s'\n", szName);
  iaudCacheGroupHandles();
  return uId;
}

// Live channels of the cue stop at once and go back to the pool, so that no
// channel is left pointing at a deleted cue.
void EIAUDSoundManager::StopChannelsOfCue(const ESoundCue* pCue) {
  if (!m_pChannelArray) return;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    EChannel& channel = (*m_pChannelArray)[i];
    if (channel.m_id && channel.m_pSoundCue == pCue) DeleteChannelNow(channel);
  }
  for (int i = 0; i <= ELoopingSound::s_aLoopingSounds.GetHighestUsed(); ++i) {
    ELoopingSound& loop = ELoopingSound::s_aLoopingSounds[i];
    if (loop.m_id && loop.m_pCue == pCue) ELoopingSound::s_aLoopingSounds.ElementDelete(&loop);
  }
}

void EIAUDSoundManager::DeleteCuesOfBank(uint32_t uBank) {
  for (int i = 0; i <= m_pSoundCueArray->GetHighestUsed(); ++i) {
    ESoundCue& cue = (*m_pSoundCueArray)[i];
    if (!cue.m_id || cue.m_uBank != uBank) continue;
    StopChannelsOfCue(&cue);
    m_pSoundCueArray->ElementDelete(&cue);
  }
}

void EIAUDSoundManager::DeleteSoundBank(uint32_t uSoundBank) {
  if (!m_bActive || !uSoundBank) return;
  DeleteCuesOfBank(uSoundBank);
  m_pSoundBankArray->ElementDeleteByID(uSoundBank);
  iaudCacheGroupHandles();
}

// ---- Banks and levels --------------------------------------------------------------------------

bool EIAUDSoundManager::BankBelongsToLevel(const char* szBank, const char* szLevel, const char* szVariant) {
  if (!m_bActive) return false;
  if (!szLevel) return true;
  char bank[kLEVEL_TEXT_CHARS + 1], level[kLEVEL_TEXT_CHARS + 1], variant[kLEVEL_TEXT_CHARS + 1];
  LowerCopy(szBank, bank);
  LowerCopy(szLevel, level);
  LowerCopy(szVariant, variant);
  const size_t uLevel = strlen(level);
  char prefix[3] = {0};
  for (size_t i = 0; i < 2 && i < uLevel; ++i) prefix[i] = level[i];
  if (!BeginsWith(bank, prefix)) return false;

  if (strncmp(bank, level, 4) == 0 && (strstr(bank, "voice") || strstr(bank, "common"))) return true;
  if (BeginsWith(bank, level)) return (strstr(level, variant) != nullptr) == (strstr(bank, variant) != nullptr);
  char combined[kLEVEL_TEXT_CHARS + 8];
  snprintf(combined, sizeof(combined), "%s%s", prefix, variant);
  if (BeginsWith(bank, combined) && strstr(level, variant)) return true;
  static const char* const s_aszKinds[] = {"fx", "music", "voice"};
  for (const char* szKind : s_aszKinds) {
    snprintf(combined, sizeof(combined), "%s%s", prefix, szKind);
    if (BeginsWith(bank, combined)) return true;
  }
  return false;
}

void EIAUDSoundManager::PurgeBanks(const char* szLevel, const char* szVariant, bool bPurgeAll) {
  if (!m_bActive) return;
  StopAll();
  char prefix[3] = {0};
  if (szLevel) {
    for (int i = 0; i < 2 && szLevel[i]; ++i) prefix[i] = (char)tolower((unsigned char)szLevel[i]);
  }
  for (int i = 0; i <= m_pSoundBankArray->GetHighestUsed(); ++i) {
    ESoundBank& bank = (*m_pSoundBankArray)[i];
    if (!bank.m_id) continue;
    const char* szFile = FilePart(bank.m_szName);
    const bool bPurge = bPurgeAll || (!bank.m_bPermanent && (!szLevel || strncmp(szFile, prefix, 2) != 0));
    if (!bPurge) continue;
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: Purging soundbank %s\n", (int)sg_soundFrame, bank.m_szName);
    DeleteCuesOfBank(bank.m_id);
    m_pSoundBankArray->ElementDelete(&bank);
  }
  for (int i = 0; i <= m_pWaveBankArray->GetHighestUsed(); ++i) {
    EWaveBank& bank = (*m_pWaveBankArray)[i];
    if (!bank.m_id) continue;
    const bool bKeep =
        !bPurgeAll && (bank.m_bPermanent || (szLevel && BankBelongsToLevel(FilePart(bank.m_szName), szLevel, szVariant)));
    if (bKeep) continue;
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: Purging wavebank %s\n", (int)sg_soundFrame, bank.m_szName);
    iaudUnloadSampleBank(bank.m_iSlot);
    m_pWaveBankArray->ElementDelete(&bank);
  }
  ELoopingSound::PurgeList();
}

// ---- Groups ------------------------------------------------------------------------------------

void EIAUDSoundManager::iaudCacheGroupHandles() {
  for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) {
    void* hGroup = nullptr;
    sg_aGroupHandles[i] =
        sg_pIAUD && sg_pIAUD->GetGroupHandle(&hGroup, sg_aszCategoryGroupNames[i]) == kIAUD_OK ? hGroup : nullptr;
  }
  g_ErrorManager.TraceMessagef(TT_Sound, "iaudCacheGroupHandles():");
  for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i)
    g_ErrorManager.TraceMessagef(TT_Sound, "   %s: %s", sg_aszCategoryGroupNames[i],
                                 sg_aGroupHandles[i] ? "Found" : "Not Found");
}

void* EIAUDSoundManager::iaudGetGroupHandle(SOUNDCATEGORY eCategory) {
  if ((int)eCategory >= (int)kNUM_SOUNDCATEGORIES)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "eCategory < kNUM_SOUNDCATEGORIES", false);
  return (unsigned)eCategory < (unsigned)kNUM_SOUNDCATEGORIES ? sg_aGroupHandles[eCategory] : nullptr;
}

bool EIAUDSoundManager::iaudGetCategoryFromGroupHandle(void* hGroup, uint32_t& uCategory) {
  for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) {
    if (sg_aGroupHandles[i] == hGroup) {
      uCategory = (uint32_t)i;
      return true;
    }
  }
  return false;
}

// ---- Frames ------------------------------------------------------------------------------------

void EIAUDSoundManager::DoWork(float fSeconds) {
  if (!m_bActive) return;
  for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) {
    if (m_fTimeLeft[i] <= 0.0f) continue;
    float t = fSeconds / m_fTimeLeft[i];
    if (t > 1.0f) t = 1.0f;
    m_fCurrentLevel[i] += (m_fDesiredLevel[i] - m_fCurrentLevel[i]) * t;
    m_fTimeLeft[i] -= fSeconds;
    if (m_fTimeLeft[i] < 0.0f) m_fTimeLeft[i] = 0.0f;
    SetCategoryVolume((SOUNDCATEGORY)i, m_fCurrentLevel[i]);
  }
  if (m_pChannelArray) {
    for (int i = 0; i < m_pChannelArray->GetAllocCount(); ++i) {
      EChannel& channel = (*m_pChannelArray)[i];
      if (channel.m_id && !channel.Update(m_vListenerPos)) m_pChannelArray->ElementDelete(&channel);
    }
  }
  for (int i = 0; i <= m_pSoundSourceArray->GetHighestUsed(); ++i) {
    ESoundSource& source = (*m_pSoundSourceArray)[i];
    if (source.m_id) source.Update();
  }
  ELoopingSound::UpdateLoops();
  if (sg_pIAUD) sg_pIAUD->UpdateStreamingSampleBanks();
  ++sg_soundFrame;
}

void EIAUDSoundManager::DebugDumpSounds(bool bUnused) {
  (void)bUnused;
  if (!m_bActive || !m_pChannelArray) return;
  int nPlaying = 0;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    const EChannel& channel = (*m_pChannelArray)[i];
    if (!channel.m_id) continue;
    ++nPlaying;
    const ESoundCue* pCue = channel.m_pSoundCue;
    g_ErrorManager.TraceMessagef(TT_None, "Channel %03d: %08x '%s' (%s) %s refs: %d", i, channel.m_id,
                                 pCue && pCue->m_szName ? pCue->m_szName : "", channel.Is2d() ? "2d" : "3d",
                                 channel.IsPaused() ? "PAUSED" : "PLAYING", pCue ? (int)pCue->m_iRefCount : 0);
  }
  int32_t nVoices = 0;
  if (sg_pIAUD) sg_pIAUD->GetAvailableVoiceCount(&nVoices);
  g_ErrorManager.TraceMessagef(TT_None, "Number of sounds playing: %d", nPlaying);
  g_ErrorManager.TraceMessagef(TT_None, "Number of HW voices available: %d", (int)nVoices);
}
