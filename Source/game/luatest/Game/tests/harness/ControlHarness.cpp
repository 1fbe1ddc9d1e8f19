#include "ControlHarness.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Entity/PlayerEntity.h"
#include "Game/Camera.h"
#include "Lua/lua.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/Random.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace {

int64_t s_HarnessNow = 0;
int64_t HarnessClock() { return s_HarnessNow; }

ControlHarness* s_pHarness = nullptr;
void HarnessTrace(const char* szText) {
  if (s_pHarness) s_pHarness->m_Traces.push_back(szText ? szText : "");
}

// The script class of the bench's objects and the log they write to.
const char kHarnessScript[] =
    "function HarnessLogger()\n"
    "  local o = CreateObject(nil)\n"
    "  o.setState = function(self, s) APISetState(self, s) end\n"
    "  return o\n"
    "end\n"
    "gHarnessLog = {}\n"
    "function HarnessArgs(a)\n"
    "  local s = ''\n"
    "  local i = 1\n"
    "  while i <= a.n do\n"
    "    if i > 1 then s = s .. ',' end\n"
    "    s = s .. tostring(a[i])\n"
    "    i = i + 1\n"
    "  end\n"
    "  return s\n"
    "end\n"
    "function HarnessLog(s) tinsert(gHarnessLog, s) end\n";

void HarnessWriteFile(const std::string& path, const void* pData, size_t size) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  if (size) fwrite(pData, 1, size, f);
  fclose(f);
}

void HarnessPut32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}

// A blend animation of one channel: magic, version, channel count, then the
// channel's name (length with its terminator first) and its samples.
std::vector<uint8_t> HarnessBlinkBytes() {
  std::vector<uint8_t> out = {0x41, 0x42, 0x50, 0x45};
  HarnessPut32(out, 100);
  HarnessPut32(out, 1);
  const char szName[] = "Blink";
  out.push_back((uint8_t)sizeof(szName));
  out.insert(out.end(), szName, szName + sizeof(szName));
  HarnessPut32(out, 30);
  out.insert(out.end(), 30, (uint8_t)255);
  return out;
}

}  // namespace

// ---- Sound ----

uint32_t HarnessSoundManager::GetSoundCue(const char* szName) {
  const std::string name = szName ? szName : "";
  m_Calls.push_back("cue " + name);
  for (size_t i = 0; i < m_CueNames.size(); ++i) {
    if (m_CueNames[i] == name) return (uint32_t)i + 1;
  }
  m_CueNames.push_back(name);
  return (uint32_t)m_CueNames.size();
}

int HarnessSoundManager::PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bFlag) {
  m_Calls.push_back("play " + std::to_string(uiCue) + " " + std::to_string(uiSource) + (bFlag ? " 1" : " 0"));
  m_Playing.push_back(uiCue);
  return (int)uiCue;
}

bool HarnessSoundManager::SoundCueIsPlaying(uint32_t uiCue) {
  for (uint32_t c : m_Playing) {
    if (c == uiCue) return true;
  }
  return false;
}

void HarnessSoundManager::StopSoundsOnSource(uint32_t uiSource) {
  m_Calls.push_back("stopsource " + std::to_string(uiSource));
}

void HarnessSoundManager::StopAll() {
  m_Calls.push_back("stopall");
  m_Playing.clear();
}

// ---- Application ----

HarnessApp::HarnessApp() { BuildDomainTree(); }

void HarnessApp::UpdateInput(Input* pInput, Input* pDebugInput) {
  if (pInput) *pInput = m_NextInput;
  if (pDebugInput) pDebugInput->Clear();
}

// ---- Stub mode ----

HarnessMode::HarnessMode(GameApp* pApp, CONTROL_HANDLER_TYPE eType, const char* szName)
    : EControlHandler(pApp), m_eOwnType(eType), m_szOwnName(szName) {
  m_eType = eType;
  m_pszName = szName;
}

bool HarnessMode::Activate(void* pData) {
  ++m_nActivated;
  m_pLastData = pData;
  EControlHandler::Activate(pData);
  if (!m_bActivateResult) m_bActivated = false;
  return m_bActivateResult;
}

bool HarnessMode::Deactivate() {
  ++m_nDeactivated;
  return EControlHandler::Deactivate();
}

void HarnessMode::HandleControls_Internal(Input& in) {
  ++m_nHandled;
  m_LastInput = in;
  if (m_eSwitchTo != kCONTROL_NONE) {
    const CONTROL_HANDLER_TYPE eTo = m_eSwitchTo;
    m_eSwitchTo = kCONTROL_NONE;
    m_pGameApp->SetControlHandler(eTo, nullptr);
  }
}

void HarnessMode::PostHandleControls_Internal(Input& in) {
  ++m_nPostHandled;
  m_LastInput = in;
}

// ---- The bench ----

ControlHarness::ControlHarness() {
  char tmpl[] = "/tmp/quillomar-controls-XXXXXX";
  if (mkdtemp(tmpl)) m_Folder = tmpl;
  s_pHarness = this;
  g_ErrorManager.SetConsoleCallback(HarnessTrace);
  m_pPrevApp = gGameApp;
  gGameApp = &m_App;
  EControlHandler::StaticInit();
  EControlHandler::PauseControls(false, false);

  // Files: a private file manager reading the bench's folder.
  m_App.m_pSoundManager = &m_Sound;
  m_pPrevFiles = gFile;
  m_pFiles = new EFileManager();
  m_pFiles->AddReadPath(m_Folder.c_str(), true);
  gFile = m_pFiles;
  const std::string script = m_Folder + "/scripts/HarnessLogger.lua";
  HarnessWriteFile(script, kHarnessScript, sizeof(kHarnessScript) - 1);
  const std::vector<uint8_t> blink = HarnessBlinkBytes();
  HarnessWriteFile(m_Folder + "/" + EControlHandler::kBlinkAnim, blink.data(), blink.size());

  // Clocks: frames take their real time from the bench's clock.
  s_HarnessNow = 5000000000LL;
  Profile_SetClock(HarnessClock);
  m_App.m_Timing.StartSubTimer("Main", 2);
  m_App.m_fSimDeltaTime = 0.016f;
  m_App.m_fRealDeltaTime = 0.016f;
  m_App.m_dSimElapsedTime = 10.0;
  m_App.m_dRealElapsedTime = 10.0;
  m_SavedRenderRand = g_RenderRand;

  // Scripts and the player.
  m_App.GetScriptVM()->Initialise();
  Run(nullptr, "function Log(s) HarnessLog(s) end");
  m_pPlayerScript = m_App.GetScriptVM()->CreateScriptObject("HarnessLogger", "Ruzi", nullptr, "self.stats = {}", false,
                                                            true, false, false);
  m_pGlobalScript = m_App.GetScriptVM()->CreateScriptObject("HarnessLogger", "Global", nullptr,
                                                            "self.levelScript = {levelType = 'Normal'}", false, true,
                                                            false, false);
  m_pPlayer = EPlayerEntity::Create(m_App.m_pMainDomain, "Ruzi");
  m_App.m_pPlayer = m_pPlayer;
  if (m_pPlayer) {
    m_pPlayer->SetScriptObject(m_pPlayerScript);
    if (m_pPlayer->GetPhysics()) m_pPlayer->GetPhysics()->SetGravityDir(EVec3(0.0f, 1.0f, 0.0f));
  }
  m_App.m_pGlobalEntity = EMeshEntity::Create(m_App.m_pMainDomain, "Global");
  if (m_App.m_pGlobalEntity) m_App.m_pGlobalEntity->SetScriptObject(m_pGlobalScript);

  // The render camera.
  m_pCamera = new ECamera();
  m_App.m_aCameraChannels[0].m_pCamera = m_pCamera;
  m_App.SetRenderCamera(m_pCamera);
  PoseCamera(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, -1.0f));
}

ControlHarness::~ControlHarness() {
  if (m_App.m_pControlHandler) m_App.m_pControlHandler->Deactivate();
  m_App.m_pControlHandler = nullptr;
  m_App.m_pUIControlHandler = nullptr;
  for (auto it = m_Replaced.rbegin(); it != m_Replaced.rend(); ++it) m_App.m_aControlHandlers[it->first] = it->second;
  for (HarnessMode* pStub : m_Stubs) delete pStub;
  if (!m_bRealModes) {
    for (EControlHandler*& pHandler : m_App.m_aControlHandlers) pHandler = nullptr;
  }

  if (m_pPlayer) {
    // Releasing the mesh deletes it (an entity's own empty mesh).
    if (m_pPlayer->GetMesh()) m_pPlayer->SetMesh(nullptr, false);
    m_pPlayer->SetScriptObject(nullptr);
  }
  if (m_App.m_pGlobalEntity) m_App.m_pGlobalEntity->SetScriptObject(nullptr);
  if (EBlendAnimManager::Get()) EBlendAnimManager::destroyBlendAnimManager();
  m_App.GetScriptVM()->Shutdown();

  m_App.m_aCameraChannels[0].m_pCamera = nullptr;
  m_App.SetRenderCamera(nullptr);
  delete m_pCamera;
  m_App.m_pSoundManager = nullptr;

  EControlHandler::StaticInit();
  EControlHandler::PauseControls(false, false);
  g_RenderRand = m_SavedRenderRand;
  Profile_SetClock(nullptr);
  gFile = m_pPrevFiles;
  delete m_pFiles;
  gGameApp = m_pPrevApp;
  g_ErrorManager.SetConsoleCallback(nullptr);
  s_pHarness = nullptr;
  if (!m_Folder.empty() && system(("rm -rf '" + m_Folder + "'").c_str()) != 0) m_Traces.push_back("rm failed");
}

int ControlHarness::CountTraces(const std::string& text) const {
  int n = 0;
  for (const std::string& s : m_Traces) n += s.find(text) != std::string::npos;
  return n;
}

// ---- Time ----

void ControlHarness::SetSimTime(double dElapsed, float fStep) {
  m_App.m_dSimElapsedTime = dElapsed;
  m_App.m_fSimDeltaTime = fStep;
}

void ControlHarness::SetRealTime(double dElapsed, float fStep) {
  m_App.m_dRealElapsedTime = dElapsed;
  m_App.m_fRealDeltaTime = fStep;
}

void ControlHarness::Frame(const Input& in, float fSimStep, double fRealMs) {
  m_App.m_NextInput = in;
  const float fSpeed = m_App.m_DebugHooks.m_fRelativeGameSpeed;
  if (fSimStep > 0.0f)
    m_App.m_DebugHooks.m_fOneTick = fSimStep;
  else
    m_App.m_DebugHooks.m_fRelativeGameSpeed = 0.0f;
  s_HarnessNow += (int64_t)(fRealMs * 1000.0);
  m_App.InitFrame();
  m_App.RenderFrame();
  m_App.EndFrame();
  m_App.m_DebugHooks.m_fRelativeGameSpeed = fSpeed;
}

// ---- Player ----

void ControlHarness::SetAction(int iAction) { m_pPlayer->SetCurrentAction(iAction); }

void ControlHarness::SetStateBit(int iState, bool bOn) {
  if (bOn)
    m_pPlayer->SetPhysicsStateFlag(iState);
  else
    m_pPlayer->UnsetPhysicsStateFlag(iState);
}

void ControlHarness::SetVelocity(const EVec3& v) { m_pPlayer->SetVelocity(v); }

void ControlHarness::SetGravityDir(const EVec3& v) { m_pPlayer->GetPhysics()->SetGravityDir(v); }

EMesh* ControlHarness::GiveMesh() {
  if (!m_pPlayer->GetMesh()) m_pPlayer->SetMesh(THE_EMPTY_MESH, true);
  EMesh* pMesh = m_pPlayer->GetMesh();
  if (!EBlendAnimManager::Get()) EBlendAnimManager::createBlendAnimManager();
  if (!pMesh->GetBlendAnimController()) pMesh->CreateBlendAnimController();
  return pMesh;
}

namespace {

// Calls f with each blend-animation instance of the name on the mesh.
template <class F>
void HarnessEachBlendAnim(EPlayerEntity* pPlayer, const char* szName, F f) {
  EMesh* pMesh = pPlayer->GetMesh();
  EBlendAnimController* pController = pMesh ? pMesh->GetBlendAnimController() : nullptr;
  const char* szFull = gFile->GetFullPath(szName, kFILELOC_AsGiven);
  if (!pController || !szFull) return;
  for (EStaticListIter<EBlendAnim*> it(pController->GetList()); !it.isDone(); it.next()) {
    EBlendAnimShared* pShared = it.item()->m_pShared;
    if (pShared && pShared->getCacheRef() && pShared->getCacheRef()->filename() &&
        strcasecmp(pShared->getCacheRef()->filename(), szFull) == 0)
      f(it.item());
  }
}

}  // namespace

int ControlHarness::BlendAnimCount(const char* szName) const {
  int n = 0;
  HarnessEachBlendAnim(m_pPlayer, szName, [&](EBlendAnim*) { ++n; });
  return n;
}

EBlendAnim* ControlHarness::FindBlendAnim(const char* szName) const {
  EBlendAnim* pFound = nullptr;
  HarnessEachBlendAnim(m_pPlayer, szName, [&](EBlendAnim* pAnim) {
    if (!pFound) pFound = pAnim;
  });
  return pFound;
}

// ---- Scripts ----

bool ControlHarness::Run(EScriptObject* pObject, const std::string& code) {
  return m_App.GetScriptVM()->RunLuaCommands(code.c_str(), pObject, nullptr, 0);
}

void ControlHarness::Listen(EScriptObject* pObject, const char* szName) {
  // A handler gets its first argument, the sender, then the others.
  Run(pObject, std::string("self.on") + szName + " = function(self, a, sender, ...) tinsert(arg, 1, a) HarnessLog('" +
                   szName + "(' .. HarnessArgs(arg) .. ') from ' .. tostring(sender)) end");
}

void ControlHarness::Answer(EScriptObject* pObject, const char* szMethod, const char* szValue) {
  Run(pObject, std::string("self.") + szMethod + " = function(self, ...) HarnessLog('call " + szMethod +
                   "(' .. HarnessArgs(arg) .. ')') return " + szValue + " end");
}

std::vector<std::string> ControlHarness::TakeLog() {
  std::vector<std::string> out;
  lua_State* L = m_App.GetScriptVM()->GetGlobalState();
  lua_getglobal(L, "gHarnessLog");
  if (lua_istable(L, -1)) {
    for (int i = 1;; ++i) {
      lua_rawgeti(L, -1, i);
      if (!lua_isstring(L, -1)) {
        lua_pop(L, 1);
        break;
      }
      out.push_back(lua_tostring(L, -1));
      lua_pop(L, 1);
    }
  }
  lua_pop(L, 1);
  Run(nullptr, "gHarnessLog = {}");
  return out;
}

std::vector<std::string> ControlHarness::Queued(EScriptObject* pObject) const {
  std::vector<std::string> out;
  EList<EScriptMessage*>& queue = pObject->GetMessageQueue();
  for (EListIter_<EScriptMessage*> it(queue); it; ++it) {
    EScriptMessage* pMessage = *it;
    std::string line = std::string(pMessage->GetName()) + "(" + pMessage->GetLetters();
    const char* szLetters = pMessage->GetLetters();
    if (szLetters[0] != '+') {
      for (int i = 0; szLetters[i] && i < EScriptMessage::kINLINE_ARGS; ++i) {
        if (szLetters[i] == 'i') line += ":" + std::to_string(pMessage->m_aArgs[i].i);
      }
    }
    out.push_back(line + ")");
  }
  return out;
}

void ControlHarness::Turn() {
  lua_State* L = m_App.GetScriptVM()->GetGlobalState();
  m_pPlayerScript->ProcessMessages(L);
  m_pGlobalScript->ProcessMessages(L);
}

void ControlHarness::SetLevelType(const char* szType) {
  if (szType)
    Run(m_pGlobalScript, std::string("self.levelScript = {levelType = '") + szType + "'}");
  else
    Run(m_pGlobalScript, "self.levelScript = {}");
}

void ControlHarness::DropGlobalScript() {
  if (m_App.m_pGlobalEntity) m_App.m_pGlobalEntity->SetScriptObject(nullptr);
}

// ---- Cameras ----

void ControlHarness::PoseCamera(const EVec3& vPosition, const EVec3& vForward, const EVec3& vUp) {
  const EVec3 forward = vForward.SafeGetNormal();
  const EVec3 right = forward.Cross(vUp).SafeGetNormal();
  const EVec3 up = right.Cross(forward);
  m_pCamera->SetPosition(vPosition);
  m_pCamera->SetRotation(right, up, forward);
  m_pCamera->UpdateMatrices();
}

// ---- Modes ----

void ControlHarness::InitRealModes() {
  if (m_bRealModes) return;
  m_App.InitControlHandlers();
  m_bRealModes = true;
}

HarnessMode* ControlHarness::InstallStub(CONTROL_HANDLER_TYPE eType, const char* szName) {
  HarnessMode* pStub = new HarnessMode(&m_App, eType, szName);
  m_Stubs.push_back(pStub);
  m_Replaced.push_back(std::make_pair((int)eType, m_App.m_aControlHandlers[eType]));
  m_App.m_aControlHandlers[eType] = pStub;
  return pStub;
}
