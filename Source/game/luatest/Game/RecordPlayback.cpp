#include "Game/RecordPlayback.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/LocalizedText.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "TWMath/Random.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

namespace {

const char kRECORD_FOLDER[] = "d:\\workresource\\InputRecord\\";
const char kLOG_FILE[] = "RecLog.txt";
const char kNO_LEVEL[] = "NONE";
// Recorded and replayed distances further apart than this are reported.
const float kMISMATCH = 0.1f;

float PlayerDistance() {
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  return pPlayer ? pPlayer->GetPosition().Length() : 0.0f;
}

float CameraDistance() {
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  return pCamera ? pCamera->GetPosition().Length() : 0.0f;
}

void RequestLevel(const char* szLevel) {
  if (gGameApp) gGameApp->RequestNewLevel(szLevel, false);
}

// The text after the last backslash (all of it without one).
const char* BaseName(const char* szPath) {
  const char* p = strrchr(szPath, '\\');
  return p ? p + 1 : szPath;
}

void PutInts(uint8_t*& p, const int32_t* a, int n) {
  for (int i = 0; i < n; ++i, p += 4) PutLE32(p, (uint32_t)a[i]);
}
void GetInts(const uint8_t*& p, int32_t* a, int n) {
  for (int i = 0; i < n; ++i, p += 4) a[i] = (int32_t)GetLE32(p);
}

}  // namespace

ERecordPlayback::ERecordPlayback()
    : m_pFile(nullptr),
      m_pLogFile(nullptr),
      m_iPlaybackCount(0),
      m_bLooping(false),
      m_bRecording(false),
      m_bPlayingBack(false),
      m_bStopRecording(false),
      m_bStopPlayback(false),
      m_bReturnToStartMenu(false) {
  m_szLoopFilename[0] = '\0';
}

ERecordPlayback::~ERecordPlayback() { Close(); }

void ERecordPlayback::Close() {
  if (m_pFile) m_pFile->Close();
  if (m_pLogFile) m_pLogFile->Close();
  m_pFile = nullptr;
  m_pLogFile = nullptr;
}

void ERecordPlayback::EndPlayback() {
  m_bPlayingBack = false;
  m_bStopPlayback = false;
}

void ERecordPlayback::EndRecording() {
  m_bRecording = false;
  m_bStopRecording = false;
}

// File format

void ERecordPlayback::WriteHeader(EStream& s, const char* szLevel, float fSimTime, int32_t iFrameCount) {
  const unsigned n = (unsigned)strlen(szLevel);
  s << n;
  s.Write(szLevel, 1, n);
  s << fSimTime;
  s << iFrameCount;
}

bool ERecordPlayback::ReadHeader(EStream& s, char* szLevel, float& fSimTime, int32_t& iFrameCount) {
  szLevel[0] = '\0';
  unsigned n = 0;
  s << n;
  if (s.Err() || n >= (unsigned)kMAX_NAME) return false;
  s.Read(szLevel, 1, n);
  float fTime = 0.0f;
  int32_t iFrame = 0;
  s << fTime;
  s << iFrame;
  if (s.Err()) {
    szLevel[0] = '\0';
    return false;
  }
  szLevel[n] = '\0';
  fSimTime = fTime;
  iFrameCount = iFrame;
  return true;
}

void ERecordPlayback::WriteFrame(uint8_t* pBytes, const ERecordedFrame& frame) {
  const Input& in = frame.m_Input;
  memset(pBytes, 0, kFRAME_BYTES);
  uint8_t* p = pBytes;
  PutLEFloat(p, frame.m_fFrameTime);
  p += 4;
  const int32_t axes[4] = {in.m_nMoveY, in.m_nLookX, in.m_nLookY, in.m_nMoveX};
  PutInts(p, axes, 4);
  for (const uint8_t* buttons : {in.m_aAnalogButton, in.m_aButtonPressed, in.m_aButtonReleased, in.m_aButtonPrevDown,
                                 in.m_aButtonDown}) {
    memcpy(p, buttons, kBUTTON_NUMBUTTONS);
    p += kBUTTON_NUMBUTTONS;
  }
  PutInts(p, in.m_aPOV, 4);
  PutInts(p, in.m_aPrevPOV, 4);
  PutInts(p, in.m_aPOVChanged, 4);
  *p = in.m_bMouseMoved;
  p = pBytes + 4 + kINPUT_BYTES;  // past the record's three bytes of padding
  PutLEFloat(p, frame.m_fPlayerDistance);
  PutLEFloat(p + 4, frame.m_fCameraDistance);
}

void ERecordPlayback::ReadFrame(const uint8_t* pBytes, ERecordedFrame& frame) {
  Input& in = frame.m_Input;
  const uint8_t* p = pBytes;
  frame.m_fFrameTime = GetLEFloat(p);
  p += 4;
  int32_t axes[4];
  GetInts(p, axes, 4);
  in.m_nMoveY = axes[0];
  in.m_nLookX = axes[1];
  in.m_nLookY = axes[2];
  in.m_nMoveX = axes[3];
  for (uint8_t* buttons : {in.m_aAnalogButton, in.m_aButtonPressed, in.m_aButtonReleased, in.m_aButtonPrevDown,
                           in.m_aButtonDown}) {
    memcpy(buttons, p, kBUTTON_NUMBUTTONS);
    p += kBUTTON_NUMBUTTONS;
  }
  GetInts(p, in.m_aPOV, 4);
  GetInts(p, in.m_aPrevPOV, 4);
  GetInts(p, in.m_aPOVChanged, 4);
  in.m_bMouseMoved = *p;
  p = pBytes + 4 + kINPUT_BYTES;
  frame.m_fPlayerDistance = GetLEFloat(p);
  frame.m_fCameraDistance = GetLEFloat(p + 4);
}

// Starting

void ERecordPlayback::ResetForDeterminism() {
  if (gGameApp) {
    if (EUIMenu* pMenu = gGameApp->GetUIMenu()) {
      pMenu->ResetAllMenuSelection();
      pMenu->GetInGameMenu()->JournalClearAllGoals();
    }
    gGameApp->m_UserInterface.ResetProgrammableButtons();
  }
  g_SimRand.Seed(1234);
  g_ScriptRand.Seed(1234);
  g_RenderRand.Seed(1234);
}

bool ERecordPlayback::StartRecording(const char* szFile, const char* szLevel) {
  if (m_bPlayingBack) EndPlayback();
  Close();
  if (strlen(szLevel) >= (size_t)kMAX_NAME) {
    // Its playback could not read the name back.
    g_ErrorManager.TraceMessagef("Level name too long for an input record: %s", szLevel);
    return false;
  }
  m_pFile = gFile->Open(szFile, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_AsGiven);
  if (!m_pFile) {
    g_ErrorManager.TraceMessagef("Could not create file: %s", szFile);
    return false;
  }
  EFileWriter writer(m_pFile, kAUTOCLOSE_No);
  WriteHeader(writer, szLevel, gGameApp ? (float)gGameApp->GetSimElapsedTime() : 0.0f,
              gGameApp ? gGameApp->m_iFrameCount : 0);
  if (writer.Err()) {
    g_ErrorManager.TraceMessagef("Could not write input record: %s", szFile);
    Close();
    return false;
  }
  m_bRecording = true;
  m_bStopRecording = false;
  ResetForDeterminism();
  return true;
}

void ERecordPlayback::InitRecord(const char* szName, const char* szLevel) {
  char szFile[512];
  if (szLevel) {
    sprintf_safe(szFile, (int)sizeof(szFile), "%s%s_Release.paf", kRECORD_FOLDER, szName ? szName : "");
    RequestLevel(szLevel);
  } else {
    sprintf_safe(szFile, (int)sizeof(szFile), "%s%s_Build_%04i.paf", kRECORD_FOLDER, szName ? szName : "",
                 (int)kBUILD_NUMBER);
  }
  StartRecording(szFile, szLevel ? szLevel : kNO_LEVEL);
}

void ERecordPlayback::AttractModeRecord(const char* szLevel) {
  if (szLevel) {
    char szFile[512];
    sprintf_safe(szFile, (int)sizeof(szFile), "%s%.4s_RlsBuild.paf", kRECORD_FOLDER, BaseName(szLevel));
    StartRecording(szFile, BaseName(szLevel));
  }
  RequestLevel(szLevel);
}

bool ERecordPlayback::OpenPlayback(const char* szFile, bool bApplyTime) {
  char szLevel[kMAX_NAME];
  float fSimTime = 0.0f;
  int32_t iFrameCount = 0;
  EFileReader reader(m_pFile, kAUTOCLOSE_No);
  if (!ReadHeader(reader, szLevel, fSimTime, iFrameCount)) {
    g_ErrorManager.TraceMessagef("Bad input record header: %s", szFile);
    Close();
    return false;
  }
  m_bPlayingBack = true;
  m_bStopPlayback = false;
  if (gGameApp) {
    if (bApplyTime) gGameApp->SetSimElapsedTime(fSimTime);
    gGameApp->m_iFrameCount = iFrameCount;
  }
  if (!bApplyTime) {
    // An ordinary playback goes to its level, and back to the start menu
    // when it ends.
    m_bReturnToStartMenu = strcmp(szLevel, kNO_LEVEL) != 0;
    if (m_bReturnToStartMenu) RequestLevel(szLevel);
  } else {
    m_bReturnToStartMenu = true;
  }
  ResetForDeterminism();
  return true;
}

void ERecordPlayback::InitPlayback(const char* szPath, bool bLoop) {
  if (!szPath) szPath = "";
  m_bLooping = bLoop;
  ++m_iPlaybackCount;
  g_ErrorManager.TraceMessagef("Playback count: %d", m_iPlaybackCount);
  if (szPath != m_szLoopFilename) sprintf_safe(m_szLoopFilename, (int)sizeof(m_szLoopFilename), "%s", szPath);
  if (m_bRecording) EndRecording();
  Close();

  char szFile[512];
  sprintf_safe(szFile, (int)sizeof(szFile), "d:\\%s", szPath);
  m_pFile = gFile->Open(szFile, FILE_READ, kFILELOC_AsGiven);
  if (!m_pFile) {
    sprintf_safe(szFile, (int)sizeof(szFile), "%s%s_Build_%04i.paf", kRECORD_FOLDER, szPath, (int)kBUILD_NUMBER);
    m_pFile = gFile->Open(szFile, FILE_READ, kFILELOC_AsGiven);
  }
  if (!m_pFile) {
    g_ErrorManager.TraceMessagef("Could not open file: %s", szPath);
    return;
  }
  OpenPlayback(szFile, false);
}

void ERecordPlayback::AttractModePlayback(const char* szLevel) {
  if (!szLevel) return;
  ++m_iPlaybackCount;
  if (m_bRecording) EndRecording();
  Close();
  char szFile[512];
  sprintf_safe(szFile, (int)sizeof(szFile), "%s%s_RlsBuild.paf", kRECORD_FOLDER, szLevel);
  m_pFile = gFile->Open(szFile, FILE_READ, kFILELOC_AsGiven);
  if (!m_pFile) {
    g_ErrorManager.TraceMessagef("Could not open file: %s", szFile);
    return;
  }
  // The log of this playback: its mismatch lines.
  m_pLogFile = gFile->Open(kLOG_FILE, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_WritePath);
  if (!OpenPlayback(szFile, true)) return;
  RequestLevel(szLevel);
}

// The save file's base name (after the last '/', up to the first '.').
static void SaveBaseName(const char* szSaveFile, char* szOut, int iSize) {
  const char* base = strrchr(szSaveFile, '/');
  base = base ? base + 1 : szSaveFile;
  const char* dot = strchr(base, '.');
  const int n = dot ? (int)(dot - base) : (int)strlen(base);
  sprintf_safe(szOut, iSize, "%.*s", n, base);
}

static void LoadSavedTables(const char* szSaveFile) {
  ELoadSaveGame* pSaves = gGameApp ? gGameApp->GetSaveLoadInterface() : nullptr;
  if (pSaves) pSaves->AttractModeLoadTable(szSaveFile);
}

void ERecordPlayback::AttractModeRecordUseSaveGame(const char* szSaveFile) {
  if (!szSaveFile) return;
  char szLevel[kMAX_NAME];
  SaveBaseName(szSaveFile, szLevel, (int)sizeof(szLevel));
  AttractModeRecord(szLevel);
  LoadSavedTables(szSaveFile);
}

void ERecordPlayback::AttractModePlaybackUseSavedGame(const char* szSaveFile) {
  if (!szSaveFile) return;
  char szLevel[kMAX_NAME];
  SaveBaseName(szSaveFile, szLevel, (int)sizeof(szLevel));
  AttractModePlayback(szLevel);
  LoadSavedTables(szSaveFile);
}

void ERecordPlayback::OverrideAttractMode() {
  m_bStopPlayback = true;
  if (gGameApp) gGameApp->ReturnToStartMenu();
}

// Frames

void ERecordPlayback::Record(const Input& input, float fFrameTime) {
  if (m_bStopRecording || !m_pFile) {
    Close();
    EndRecording();
    return;
  }
  ERecordedFrame frame;
  frame.m_fFrameTime = fFrameTime;
  frame.m_Input = input;
  frame.m_fPlayerDistance = PlayerDistance();
  frame.m_fCameraDistance = CameraDistance();
  uint8_t bytes[kFRAME_BYTES];
  WriteFrame(bytes, frame);
  if (m_pFile->Write(bytes, (int)sizeof(bytes)) != (int)sizeof(bytes)) {
    g_ErrorManager.TraceMessagef("Could not write input record: %s", m_pFile->GetFilename() ? m_pFile->GetFilename() : "");
    Close();
    EndRecording();
  }
}

void ERecordPlayback::LogMismatch(const char* szFormat, float fDifference) {
  char szLine[128];
  sprintf_safe(szLine, (int)sizeof(szLine), szFormat, fDifference);
  g_ErrorManager.TraceMessagef(TT_Developer5, "%s", szLine);
  if (m_pLogFile) {
    char szLogLine[160];
    const int n = sprintf_safe(szLogLine, (int)sizeof(szLogLine), "%d: %s\n", gGameApp ? gGameApp->m_iFrameCount : 0,
                               szLine);
    if (n > 0) m_pLogFile->Write(szLogLine, n);
  }
}

void ERecordPlayback::Playback(Input* pInput, float* pFrameTime) {
  // A frame that cannot be read whole ends the playback; nothing of it is used.
  uint8_t bytes[kFRAME_BYTES];
  if (!m_pFile || m_pFile->Read(bytes, (int)sizeof(bytes)) != (int)sizeof(bytes)) m_bStopPlayback = true;

  if (m_bStopPlayback) {
    g_ErrorManager.TraceMessagef("Playback stopped");
    Close();
    EndPlayback();
    if (m_bReturnToStartMenu) {
      if (gGameApp) gGameApp->ReturnToStartMenu();
      m_bReturnToStartMenu = false;
    }
    return;
  }

  ERecordedFrame frame;
  ReadFrame(bytes, frame);
  *pFrameTime = frame.m_fFrameTime;
  *pInput = frame.m_Input;
  const float fPlayer = frame.m_fPlayerDistance - PlayerDistance();
  if (std::fabs(fPlayer) > kMISMATCH) LogMismatch("Zol position mismatch: %f", fPlayer);
  const float fCamera = frame.m_fCameraDistance - CameraDistance();
  if (std::fabs(fCamera) > kMISMATCH) LogMismatch("Camera position mismatch: %f", fCamera);
}

void GameApp::LatchRealFrameTime() {
  ERecordPlayback* pRecorder = m_pRecordPlayback;
  if (pRecorder && pRecorder->IsPlayBack()) {
    // A live press of A or Start interrupts the playback.
    if (m_Input.m_aAnalogButton[kBUTTON_A] || m_Input.m_aAnalogButton[kBUTTON_START]) pRecorder->OverrideAttractMode();
    pRecorder->Playback(&m_Input, &m_fRealDeltaTime);
  } else {
    m_fRealDeltaTime = m_Timing.LatchSubTimer("Main") * 0.001f;
    if (pRecorder && pRecorder->IsRecording()) pRecorder->Record(m_Input, m_fRealDeltaTime);
  }
  m_dRealElapsedTime += m_fRealDeltaTime;
}
