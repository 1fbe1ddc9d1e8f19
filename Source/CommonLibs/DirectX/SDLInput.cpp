// The input layer on SDL 1.2. Devices are polled once a frame; each physical
// input keeps held / pressed-this-frame / released-this-frame bits, and the
// binding maps turn inputs into game actions in the Input record.
#include "DirectX/SDLInput.h"

#include <SDL/SDL.h>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "Game/SaveLoadGame.h"
#include "TWUtil/ErrorManager.h"
#include "UnixMain/UnixMain.h"

namespace {

enum {
  kSTATE_HELD = 1,
  kSTATE_PRESSED = 2,
  kSTATE_RELEASED = 4,
};

// An axis deflection beyond this announces itself to the rebinding callback.
const int kAXIS_ANNOUNCE = 750;

uint8_t s_aInputState[kINPUT_NUMINPUTS];
// Inputs a reader reported during the current update.
uint8_t s_aPolled[kINPUT_NUMINPUTS];
PHYSICAL_INPUT s_aBindings[kINPUTMAP_NUMMAPS][kACTION_NUMACTIONS];

const char* s_aInputNames[kINPUT_NUMINPUTS];
const char* s_aVirtualKeyNames[256];
char s_aNumberedNames[10 + 32][16];  // "/F1/".."/F10/", "/Joy1/".."/Joy32/"
int s_aScanToKey[kINPUT_NUMKEYS];

const char* s_aGameActionNames[kACTION_NUMACTIONS];
const char* s_aGameActionStringCodes[kACTION_NUMACTIONS];
char s_aGameActionCodeBuf[kACTION_NUMACTIONS][16];

const char* const kACTION_NAMES[kACTION_NUMACTIONS] = {
    "MoveForward", "MoveBackward", "MoveLeft",      "MoveRight",     "Jump",        "Attack",  "Use",
    "Cancel",      "LockOn/Float", "PsiPower1",     "PsiPower2",     "PsiPower3",   "InventoryMenu",
    "PsiPowersMenu", "FirstPerson", "Journal",      "Stats",         "LookUp",      "LookDown", "LookLeft",
    "LookRight"};

SDL_Joystick* s_pJoystick = nullptr;
bool s_bXbox360Pad = false;
const EJoystickDevice* s_pJoystickDevice = nullptr;  // stands in for SDL's joystick
const EMouseDevice* s_pMouseDevice = nullptr;        // stands in for SDL's mouse

float s_fDeadzone = 0.15f;
float s_fMouseSensitivity = 0.5f;
float s_fMouseDx = 0.0f;
float s_fMouseDy = 0.0f;
bool s_bMouseMoved = false;

ZARInputCallback s_pCallback = nullptr;
void* s_pCallbackUser = nullptr;

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void ClearEdges() {
  for (int i = 0; i < kINPUT_NUMINPUTS; ++i) s_aInputState[i] &= (uint8_t)~(kSTATE_PRESSED | kSTATE_RELEASED);
}

// Hands one transition to the rebinding callback and drops the callback
// unless it asks to stay.
void CallCallback(PHYSICAL_INPUT input, bool pressed) {
  ZARInputCallback cb = s_pCallback;
  if (!cb) return;
  bool keep = cb(input, pressed, s_pCallbackUser);
  if (!keep && s_pCallback == cb) {
    s_pCallback = nullptr;
    s_pCallbackUser = nullptr;
  }
}

void ReportInput(int input, bool down) {
  s_aPolled[input] = 1;
  uint8_t& state = s_aInputState[input];
  if (down) {
    if (state & kSTATE_HELD) return;
    state |= kSTATE_HELD | kSTATE_PRESSED;
    if (s_pCallback) {
      CallCallback((PHYSICAL_INPUT)input, true);
      // The press went to the callback; the game must not see it.
      ClearEdges();
    }
  } else {
    if (!(state & kSTATE_HELD)) return;
    state = kSTATE_RELEASED;
    CallCallback((PHYSICAL_INPUT)input, false);
  }
}

bool IsBoundAnywhere(int input) {
  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m)
    for (int a = 0; a < kACTION_NUMACTIONS; ++a)
      if (s_aBindings[m][a] == input) return true;
  return false;
}

void ReadKeyboard() {
  if (!PCMainIsGameWindowActive()) return;
  int numKeys = 0;
  const Uint8* keys = SDL_GetKeyState(&numKeys);
  auto isDown = [&](int input) {
    int sym = s_aScanToKey[input];
    return sym > 0 && sym < numKeys && keys[sym] != 0;
  };
  if (s_pCallback) {
    for (int i = 0; i < kINPUT_NUMKEYS; ++i) ReportInput(i, isDown(i));
    return;
  }
  for (int i = 1; i < kINPUT_NUMKEYS; ++i)
    if (IsBoundAnywhere(i)) ReportInput(i, isDown(i));
  ReportInput(kINPUT_KEY_ENTER, isDown(kINPUT_KEY_ENTER));
  ReportInput(kINPUT_KEY_SPACE, isDown(kINPUT_KEY_SPACE));
  ReportInput(kINPUT_KEY_ESCAPE, isDown(kINPUT_KEY_ESCAPE));
}

HRESULT ReadMouse(DIJOYSTATE* state) {
  s_bMouseMoved = false;
  memset(state, 0, sizeof(*state));
  s_fMouseDx = s_fMouseDy = 0.0f;
  if (!PCMainIsGameWindowActive()) return E_FAIL;
  int dx = 0, dy = 0;
  const unsigned buttons = s_pMouseDevice ? s_pMouseDevice->GetRelativeState(&dx, &dy)
                                         : (unsigned)SDL_GetRelativeMouseState(&dx, &dy);
  ReportInput(kINPUT_MOUSE_LEFT, (buttons & 1) != 0);
  ReportInput(kINPUT_MOUSE_RIGHT, (buttons & 4) != 0);
  ReportInput(kINPUT_MOUSE_MIDDLE, (buttons & 2) != 0);
  ReportInput(kINPUT_MOUSE_BUTTON6, (buttons & 32) != 0);
  ReportInput(kINPUT_MOUSE_BUTTON7, (buttons & 64) != 0);
  if (dx == 0 && dy == 0) return S_OK;
  s_bMouseMoved = true;
  float scale = (4.0f - 0.25f) * s_fMouseSensitivity + 0.25f;
  s_fMouseDx = (float)dx * scale;
  s_fMouseDy = (float)dy * scale;
  state->lZ = (int32_t)((float)dx * 50.0f * scale);
  state->lRz = (int32_t)((float)dy * 50.0f * scale);
  return S_OK;
}

// SDL's joystick 0 behind the device interface.
int SdlNumAxes() { return SDL_JoystickNumAxes(s_pJoystick); }
int SdlGetAxis(int i) { return SDL_JoystickGetAxis(s_pJoystick, i); }
int SdlNumButtons() { return SDL_JoystickNumButtons(s_pJoystick); }
int SdlGetButton(int i) { return SDL_JoystickGetButton(s_pJoystick, i); }
int SdlNumHats() { return SDL_JoystickNumHats(s_pJoystick); }
int SdlGetHat(int i) { return SDL_JoystickGetHat(s_pJoystick, i); }
void SdlUpdate() { SDL_JoystickUpdate(); }
const EJoystickDevice kSDL_JOYSTICK = {SdlNumAxes, SdlGetAxis, SdlNumButtons, SdlGetButton,
                                       SdlNumHats, SdlGetHat,  SdlUpdate};

// Pads whose triggers rest at -32768 and use only half of their range.
bool IsXbox360PadName(const char* name) {
  return name && (!strcmp(name, "Microsoft X-Box 360 pad") || !strcmp(name, "Generic X-Box pad") ||
                  !strcmp(name, "Mad Catz Wired Xbox 360 Controller"));
}

const EJoystickDevice* CurrentJoystick() {
  if (s_pJoystickDevice) return s_pJoystickDevice;
  return s_pJoystick ? &kSDL_JOYSTICK : nullptr;
}

int32_t ConvertAxis(int raw, bool halfRange) {
  int v = raw;
  if (halfRange) v = (v + 32768) / 2;
  if (v < -32768) v = -32768;
  if (v > 32767) v = 32767;
  return v < 0 ? (int32_t)((v * 1000) / 32768) : (int32_t)((v * 1000) / 32767);
}

uint32_t HatToPOV(int hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
  }
}

HRESULT ReadJoystick(DIJOYSTATE* state) {
  memset(state, 0, sizeof(*state));
  if (!PCMainIsGameWindowActive()) return E_FAIL;
  for (int h = 0; h < 4; ++h) state->rgdwPOV[h] = 0xFFFFFFFFu;
  const EJoystickDevice* dev = CurrentJoystick();
  if (!dev) return S_OK;
  dev->Update();

  int32_t* axes[8] = {&state->lX,  &state->lY,  &state->lZ,           &state->lRx,
                      &state->lRy, &state->lRz, &state->rglSlider[0], &state->rglSlider[1]};
  int numAxes = dev->NumAxes();
  if (numAxes > 8) numAxes = 8;
  for (int a = 0; a < numAxes; ++a) {
    bool halfRange = s_bXbox360Pad && (a == 2 || a == 5);
    *axes[a] = ConvertAxis(dev->GetAxis(a), halfRange);
  }

  int numButtons = dev->NumButtons();
  if (numButtons > 32) numButtons = 32;
  for (int b = 0; b < numButtons; ++b) state->rgbButtons[b] = dev->GetButton(b) ? 0x80 : 0;
  for (int b = 0; b < 32; ++b) ReportInput(kINPUT_JOY_BUTTON0 + b, state->rgbButtons[b] != 0);

  int numHats = dev->NumHats();
  if (numHats > 4) numHats = 4;
  for (int h = 0; h < numHats; ++h) state->rgdwPOV[h] = HatToPOV(dev->GetHat(h));

  bool up = false, down = false, left = false, right = false;
  int32_t pov = (int32_t)state->rgdwPOV[0];
  switch (pov) {
    case -1: break;
    case 0: up = true; break;
    case 4500: up = right = true; break;
    case 9000: right = true; break;
    case 13500: right = down = true; break;
    case 18000: down = true; break;
    case 22500: down = left = true; break;
    case 27000: left = true; break;
    case 31500: left = up = true; break;
    default: g_ErrorManager.TraceMessagef("Unknown POV hat state: %d", pov); break;
  }
  ReportInput(kINPUT_DPAD_UP, up);
  ReportInput(kINPUT_DPAD_DOWN, down);
  ReportInput(kINPUT_DPAD_LEFT, left);
  ReportInput(kINPUT_DPAD_RIGHT, right);

  const int32_t announce[6] = {state->lZ, state->lRx, state->lRy, state->lRz, state->rglSlider[0],
                               state->rglSlider[1]};
  for (int i = 0; i < 6; ++i) {
    if (s_pCallback && (announce[i] > kAXIS_ANNOUNCE || announce[i] < -kAXIS_ANNOUNCE))
      CallCallback((PHYSICAL_INPUT)(kINPUT_JOY_Z + i), true);
  }
  return S_OK;
}

// An input that no reader reported this update (its key was unbound, the
// window lost focus, the device went away) is let go, so it cannot stay held.
void ReleaseUnpolled() {
  for (int i = 0; i < kINPUT_NUMINPUTS; ++i)
    if (!s_aPolled[i] && (s_aInputState[i] & kSTATE_HELD)) ReportInput(i, false);
}

int32_t JoystickAxisOfInput(const DIJOYSTATE& js, PHYSICAL_INPUT input) {
  switch (input) {
    case kINPUT_JOY_Z: return js.lZ;
    case kINPUT_JOY_ROTX: return js.lRx;
    case kINPUT_JOY_ROTY: return js.lRy;
    case kINPUT_JOY_ROTZ: return js.lRz;
    case kINPUT_JOY_SLIDER0: return js.rglSlider[0];
    case kINPUT_JOY_SLIDER1: return js.rglSlider[1];
    default: return 0;
  }
}

bool IsAxisInput(int input) { return input >= kINPUT_JOY_Z && input <= kINPUT_JOY_SLIDER1; }

int32_t BoundAxisValue(const DIJOYSTATE& js, GAME_ACTION action) {
  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m)
    if (IsAxisInput(s_aBindings[m][action])) return JoystickAxisOfInput(js, s_aBindings[m][action]);
  return 0;
}

int32_t Larger(int32_t mouse, int32_t joy) { return std::abs(mouse) > std::abs(joy) ? mouse : joy; }

void MergeAxes(const DIJOYSTATE* pIn1, const DIJOYSTATE* pIn2, DIJOYSTATE* pOut) {
  EASSERT(pIn1 && pIn2 && pOut);
  pOut->lX = Larger(pIn1->lX, pIn2->lX);
  pOut->lY = Larger(pIn1->lY, pIn2->lY);
  pOut->lZ = Larger(pIn1->lZ, pIn2->lZ);
  pOut->lRx = Larger(pIn1->lRx, pIn2->lRx);
  pOut->lRy = Larger(pIn1->lRy, pIn2->lRy);
  pOut->lRz = Larger(pIn1->lRz, pIn2->lRz);
  pOut->rglSlider[0] = Larger(pIn1->rglSlider[0], pIn2->rglSlider[0]);
  pOut->rglSlider[1] = Larger(pIn1->rglSlider[1], pIn2->rglSlider[1]);
}

// -1000..1000 through the dead zone to -100..100. A dead zone of 1 (or more)
// swallows the whole axis.
int32_t AnalogAxis(int32_t a) {
  float d = s_fDeadzone;
  if (d >= 1.0f) return 0;
  float v = (float)a / 1000.0f;
  float mag = std::fabs(v) - d;
  if (mag < 0.0f) mag = 0.0f;
  // Divided rather than multiplied by the reciprocal, so that a full
  // deflection reads exactly 100.
  float r = mag / (1.0f - d) * 100.0f;
  int32_t ir = r >= 100.0f ? 100 : (int32_t)r;
  return v < 0.0f ? -ir : ir;
}

void ComputeEdges(Input* in) {
  for (int s = 0; s < kBUTTON_NUMBUTTONS; ++s) {
    bool down = in->m_aButtonDown[s] != 0, prev = in->m_aButtonPrevDown[s] != 0;
    in->m_aButtonPressed[s] = down && !prev;
    in->m_aButtonReleased[s] = prev && !down;
  }
}

void RequestPOV(Input* in, int32_t value) {
  int32_t prev = in->m_aPOV[0];
  in->m_aPrevPOV[0] = prev;
  in->m_aPOV[0] = value;
  in->m_aPOVChanged[0] = value != prev ? value : -1;
}

void WriteSlot(Input* in, int slot, bool held) {
  uint8_t v = held ? 255 : 0;
  in->m_aAnalogButton[slot] = v;
  in->m_aButtonDown[slot] = v;
}

void ApplyAction(Input* in, GAME_ACTION action, bool held) {
  switch (action) {
    case kACTION_MOVEFORWARD: in->m_nMoveY = -100; break;
    case kACTION_MOVEBACKWARD: in->m_nMoveY = 100; break;
    case kACTION_MOVELEFT: in->m_nMoveX = -100; break;
    case kACTION_MOVERIGHT: in->m_nMoveX = 100; break;
    case kACTION_JUMP: WriteSlot(in, kBUTTON_A, held); break;
    case kACTION_ATTACK: WriteSlot(in, kBUTTON_X, held); break;
    case kACTION_USE: WriteSlot(in, kBUTTON_Y, held); break;
    case kACTION_CANCEL: WriteSlot(in, kBUTTON_B, held); break;
    case kACTION_LOCKON: WriteSlot(in, kBUTTON_LEFTFLIPPER, held); break;
    case kACTION_PSIPOWER1: WriteSlot(in, kBUTTON_RIGHTFLIPPER, held); break;
    case kACTION_PSIPOWER2: WriteSlot(in, kBUTTON_BLACK, held); break;
    case kACTION_PSIPOWER3: WriteSlot(in, kBUTTON_WHITE, held); break;
    case kACTION_INVENTORYMENU: RequestPOV(in, held ? 27000 : -1); break;
    case kACTION_PSIPOWERSMENU: RequestPOV(in, held ? 9000 : -1); break;
    case kACTION_FIRSTPERSON: WriteSlot(in, kBUTTON_RCLICK, held); break;
    case kACTION_JOURNAL: WriteSlot(in, kBUTTON_START, held); break;
    case kACTION_STATS: WriteSlot(in, kBUTTON_LCLICK, held); break;
    case kACTION_LOOKUP: in->m_nLookY = -100; break;
    case kACTION_LOOKDOWN: in->m_nLookY = 100; break;
    case kACTION_LOOKLEFT: in->m_nLookX = -100; break;
    case kACTION_LOOKRIGHT: in->m_nLookX = 100; break;
    default: break;
  }
}

bool IsActionHeld(GAME_ACTION action) {
  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m) {
    PHYSICAL_INPUT in = s_aBindings[m][action];
    if (in != kINPUT_NONE && (s_aInputState[in] & kSTATE_HELD)) return true;
  }
  return false;
}

void SetName(int input, const char* name) { s_aInputNames[input] = name; }

void CheckInput(PHYSICAL_INPUT input) {
  if (!((unsigned)input < (unsigned)kINPUT_NUMINPUTS))
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "input < kINPUT_NUMINPUTS", false);
}

void CheckAction(GAME_ACTION action) {
  if (!((unsigned)action < (unsigned)kACTION_NUMACTIONS))
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "action < kACTION_NUMACTIONS", false);
}

void CheckMap(INPUT_MAP map) {
  if (!((unsigned)map < (unsigned)kINPUTMAP_NUMMAPS))
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "map < kINPUTMAP_NUMMAPS", false);
}

}  // namespace

void Input::Clear() {
  memset(this, 0, sizeof(*this));
  for (int i = 0; i < 4; ++i) {
    m_aPOV[i] = -1;
    m_aPrevPOV[i] = -1;
    m_aPOVChanged[i] = -1;
  }
}

ButtonTextMapping PCButtonTextMapping[kNUM_BUTTON_TEXT_MAPPINGS];
bool g_bMouseAcquired = false;

void InitInputNames() {
  STUBBED("VK_*");
  memset(s_aInputNames, 0, sizeof(s_aInputNames));
  memset(s_aVirtualKeyNames, 0, sizeof(s_aVirtualKeyNames));
  static const char* const kKeys1[] = {
      nullptr,    "/Escape/", "/1/", "/2/", "/3/", "/4/",   "/5/",     "/6/",       "/7/", "/8/", "/9/", "/0/",
      "/-/",      "/=/",      "/Backspace/", "/Tab/", "/Q/", "/W/", "/E/", "/R/", "/T/", "/Y/", "/U/", "/I/",
      "/O/",      "/P/",      "/[/", "/]/", "/Enter/", "/LCtrl/", "/A/", "/S/", "/D/", "/F/", "/G/", "/H/",
      "/J/",      "/K/",      "/L/", "/;/", "/'/", "/~/", "/LShift/", "/\\/", "/Z/", "/X/", "/C/", "/V/",
      "/B/",      "/N/",      "/M/", "/,/", "/./", "///", "/RShift/", "/Numpad*/", "/LAlt/", "/Spacebar/"};
  for (int i = 1; i < (int)(sizeof(kKeys1) / sizeof(kKeys1[0])); ++i) SetName(i, kKeys1[i]);
  for (int f = 0; f < 10; ++f) {
    snprintf(s_aNumberedNames[f], sizeof(s_aNumberedNames[f]), "/F%d/", f + 1);
    SetName(59 + f, s_aNumberedNames[f]);
  }
  static const struct {
    int input;
    const char* name;
  } kOthers[] = {
      {71, "/Numpad7/"},     {72, "/Numpad8/"},      {73, "/Numpad9/"},       {74, "/Numpad-/"},
      {75, "/Numpad4/"},     {76, "/Numpad5/"},      {77, "/Numpad6/"},       {78, "/Numpad+/"},
      {79, "/Numpad1/"},     {80, "/Numpad2/"},      {81, "/Numpad3/"},       {82, "/Numpad0/"},
      {83, "/Numpad./"},     {141, "/Numpad=/"},     {146, "/:/"},            {147, "/_/"},
      {156, "/NumpadEnter/"}, {157, "/RCtrl/"},      {181, "/NumpadDiv/"},    {184, "/RAlt/"},
      {199, "/Home/"},       {200, "/Up/"},          {201, "/PgUp/"},         {203, "/Left/"},
      {205, "/Right/"},      {207, "/End/"},         {208, "/Down/"},         {209, "/PgDn/"},
      {210, "/Ins/"},        {211, "/Del/"},         {256, "MouseHoriz"},     {257, "MouseVert"},
      {258, "/LeftMouse/"},  {259, "/RightMouse/"},  {260, "/MiddleMouse/"},  {272, "LeftStickHoriz"},
      {273, "LeftStickVert"}, {274, "RightStickHoriz"}, {275, "RightStickVert"}, {276, "/DPadUp/"},
      {277, "/DPadDown/"},   {278, "/DPadLeft/"},    {279, "/DPadRight/"},    {312, "JoyX"},
      {313, "JoyY"},         {314, "JoyZ"},          {315, "JoyRotX"},        {316, "JoyRotY"},
      {317, "JoyRotZ"},      {318, "JoySlider0"},    {319, "JoySlider1"},
  };
  for (const auto& o : kOthers) SetName(o.input, o.name);
  for (int b = 0; b < 32; ++b) {
    snprintf(s_aNumberedNames[10 + b], sizeof(s_aNumberedNames[10 + b]), "/Joy%d/", b + 1);
    SetName(kINPUT_JOY_BUTTON0 + b, s_aNumberedNames[10 + b]);
  }
}

void SetFrenchInputNames() { STUBBED("VK_*"); }
void SetGermanInputNames() { STUBBED("VK_*"); }
void SetSpanishInputNames() { STUBBED("VK_*"); }
void SetItalianInputNames() { STUBBED("VK_*"); }

HRESULT InitDirectInput(void*) {
  for (int a = 0; a < kACTION_NUMACTIONS; ++a) {
    s_aGameActionNames[a] = kACTION_NAMES[a];
    snprintf(s_aGameActionCodeBuf[a], sizeof(s_aGameActionCodeBuf[a]), "/GLPC%03dTO/", a);
    s_aGameActionStringCodes[a] = s_aGameActionCodeBuf[a];
  }
  InitInputNames();

  static const struct {
    const char* token;
    const char* upper;
    GAME_ACTION action;
    const char* group;  // null for a single action
  } kRows[kNUM_BUTTON_TEXT_MAPPINGS] = {
      {"/AButton/", "/ABUTTON/", kACTION_JUMP, nullptr},
      {"/BButton/", "/BBUTTON/", kACTION_CANCEL, nullptr},
      {"/XButton/", "/XBUTTON/", kACTION_ATTACK, nullptr},
      {"/YButton/", "/YBUTTON/", kACTION_USE, nullptr},
      {"/DPadLeft/", "/DPADLEFT/", kACTION_INVENTORYMENU, nullptr},
      {"/DPadRight/", "/DPADRIGHT/", kACTION_PSIPOWERSMENU, nullptr},
      {"/LeftFlipper/", "/LEFTFLIPPER/", kACTION_LOCKON, nullptr},
      {"/RightFlipper/", "/RIGHTFLIPPER/", kACTION_PSIPOWER1, nullptr},
      {"/BlackButton/", "/BLACKBUTTON/", kACTION_PSIPOWER2, nullptr},
      {"/WhiteButton/", "/WHITEBUTTON/", kACTION_PSIPOWER3, nullptr},
      {"/StartButton/", "/STARTBUTTON/", kACTION_JOURNAL, nullptr},
      {"/JournalButton/", "/JOURNALBUTTON/", kACTION_JOURNAL, nullptr},
      {"/BackButton/", "/BACKBUTTON/", kACTION_PSIPOWERSMENU, nullptr},
      {"/RClick/", "/RCLICK/", kACTION_FIRSTPERSON, nullptr},
      {"/LClick/", "/LCLICK/", kACTION_STATS, nullptr},
      {"/MovementControls/", "/MOVEMENTCONTROLS/", kACTION_MOVEFORWARD, "Left"},
      {"/LookControls/", "/LOOKCONTROLS/", kACTION_LOOKUP, "Right"},
      {"/MeleeButton/", "/MELEEBUTTON/", kACTION_ATTACK, nullptr},
  };
  for (int r = 0; r < kNUM_BUTTON_TEXT_MAPPINGS; ++r) {
    ButtonTextMapping& m = PCButtonTextMapping[r];
    m.m_szToken = kRows[r].token;
    m.m_szUpperToken = kRows[r].upper;
    m.m_eAction = kRows[r].action;
    m.m_iGroup = kRows[r].group ? 1 : 0;
    m.m_szCode = kRows[r].group ? kRows[r].group : s_aGameActionStringCodes[kRows[r].action];
  }
  ZARInput_ResetPhysicalInputs(false);
  return S_OK;
}

HRESULT SetupJoysticks() {
  if (s_pJoystick) {
    SDL_JoystickClose(s_pJoystick);
    s_pJoystick = nullptr;
  }
  s_bXbox360Pad = false;
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) {
    g_ErrorManager.TraceMessagef("Couldn't initialize SDL joystick subsystem: %s\n", SDL_GetError());
    return E_FAIL;
  }
  if (SDL_NumJoysticks() <= 0) {
    g_ErrorManager.TraceMessagef("No joysticks detected\n");
    return E_FAIL;
  }
  s_pJoystick = SDL_JoystickOpen(0);
  const char* name = SDL_JoystickName(0);
  if (!s_pJoystick) {
    g_ErrorManager.TraceMessagef("Couldn't open joystick #0 ('%s'): %s\n", name ? name : "", SDL_GetError());
    return E_FAIL;
  }
  s_bXbox360Pad = IsXbox360PadName(name);
  return S_OK;
}

HRESULT SetupKeyboard(void*) {
  memset(s_aScanToKey, 0, sizeof(s_aScanToKey));
  int* k = s_aScanToKey;
  k[1] = SDLK_ESCAPE;
  for (int d = 1; d <= 9; ++d) k[1 + d] = SDLK_0 + d;
  k[11] = SDLK_0;
  k[12] = SDLK_MINUS;
  k[13] = SDLK_EQUALS;
  k[14] = SDLK_BACKSPACE;
  k[15] = SDLK_TAB;
  const char* row1 = "qwertyuiop";
  for (int i = 0; i < 10; ++i) k[16 + i] = row1[i];
  k[26] = SDLK_LEFTBRACKET;
  k[27] = SDLK_RIGHTBRACKET;
  k[28] = SDLK_RETURN;
  k[29] = SDLK_LCTRL;
  const char* row2 = "asdfghjkl";
  for (int i = 0; i < 9; ++i) k[30 + i] = row2[i];
  k[39] = SDLK_SEMICOLON;
  k[40] = SDLK_QUOTE;
  k[41] = SDLK_BACKQUOTE;
  k[42] = SDLK_LSHIFT;
  k[43] = SDLK_BACKSLASH;
  const char* row3 = "zxcvbnm";
  for (int i = 0; i < 7; ++i) k[44 + i] = row3[i];
  k[51] = SDLK_COMMA;
  k[52] = SDLK_PERIOD;
  k[53] = SDLK_SLASH;
  k[54] = SDLK_RSHIFT;
  k[55] = SDLK_KP_MULTIPLY;
  k[56] = SDLK_LALT;
  k[57] = SDLK_SPACE;
  k[58] = SDLK_CAPSLOCK;
  for (int f = 0; f < 10; ++f) k[59 + f] = SDLK_F1 + f;
  k[69] = SDLK_NUMLOCK;
  k[70] = SDLK_SCROLLOCK;
  k[71] = SDLK_KP7;
  k[72] = SDLK_KP8;
  k[73] = SDLK_KP9;
  k[74] = SDLK_KP_MINUS;
  k[75] = SDLK_KP4;
  k[76] = SDLK_KP5;
  k[77] = SDLK_KP6;
  k[78] = SDLK_KP_PLUS;
  k[79] = SDLK_KP1;
  k[80] = SDLK_KP2;
  k[81] = SDLK_KP3;
  k[82] = SDLK_KP0;
  k[83] = SDLK_KP_PERIOD;
  k[87] = SDLK_F11;
  k[88] = SDLK_F12;
  k[100] = SDLK_F13;
  k[101] = SDLK_F14;
  k[102] = SDLK_F15;
  k[156] = SDLK_KP_ENTER;
  k[157] = SDLK_RCTRL;
  k[181] = SDLK_KP_DIVIDE;
  k[183] = SDLK_SYSREQ;
  k[184] = SDLK_RALT;
  k[197] = SDLK_PAUSE;
  k[199] = SDLK_HOME;
  k[200] = SDLK_UP;
  k[201] = SDLK_PAGEUP;
  k[203] = SDLK_LEFT;
  k[205] = SDLK_RIGHT;
  k[207] = SDLK_END;
  k[208] = SDLK_DOWN;
  k[209] = SDLK_PAGEDOWN;
  k[210] = SDLK_INSERT;
  k[211] = SDLK_DELETE;
  k[219] = SDLK_LMETA;
  k[220] = SDLK_RMETA;
  k[222] = SDLK_POWER;
  return S_OK;
}

HRESULT SetupMouse(void*) {
  SetMouseAcquire(true);
  return S_OK;
}

void SetMouseAcquire(bool acquire) {
  if (g_bMouseAcquired == acquire) return;
  if (acquire) {
    SDL_ShowCursor(SDL_DISABLE);
    SDL_WM_GrabInput(SDL_GRAB_ON);
  } else {
    SDL_WM_GrabInput(SDL_GRAB_OFF);
    SDL_ShowCursor(SDL_ENABLE);
  }
  g_bMouseAcquired = acquire;
}

HRESULT UpdateInputState(Input* pInput, void*, Input* pSecondInput, bool bAllowSecond) {
  EASSERT(pInput);
  ClearEdges();
  memset(s_aPolled, 0, sizeof(s_aPolled));

  DIJOYSTATE mouse, joy, merged;
  ReadKeyboard();
  ReadMouse(&mouse);
  ReadJoystick(&joy);
  ReleaseUnpolled();

  int32_t lookUp = BoundAxisValue(joy, kACTION_LOOKUP);
  int32_t lookRight = BoundAxisValue(joy, kACTION_LOOKRIGHT);
  joy.lRz = lookUp;
  joy.lZ = lookRight;
  memset(&merged, 0, sizeof(merged));
  MergeAxes(&mouse, &joy, &merged);

  Input* target = pInput;
  Input* other = pSecondInput;
  if (bAllowSecond && pSecondInput && IsActionHeld(kACTION_STATS)) {
    target = pSecondInput;
    other = pInput;
  }

  if (other) {
    memcpy(other->m_aButtonPrevDown, other->m_aButtonDown, sizeof(other->m_aButtonDown));
    other->m_nMoveX = other->m_nMoveY = other->m_nLookX = other->m_nLookY = 0;
    memset(other->m_aAnalogButton, 0, sizeof(other->m_aAnalogButton));
    memset(other->m_aButtonDown, 0, sizeof(other->m_aButtonDown));
    other->m_aPOV[0] = -1;
    other->m_aPOVChanged[0] = -1;
    other->m_bMouseMoved = 0;
    ComputeEdges(other);
  }

  memcpy(target->m_aButtonPrevDown, target->m_aButtonDown, sizeof(target->m_aButtonDown));
  target->m_nMoveY = AnalogAxis(merged.lY);
  target->m_nMoveX = AnalogAxis(merged.lX);
  target->m_nLookY = AnalogAxis(merged.lRz);
  target->m_nLookX = AnalogAxis(merged.lZ);

  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m) {
    for (int a = 0; a < kACTION_NUMACTIONS; ++a) {
      PHYSICAL_INPUT in = s_aBindings[m][a];
      if (in == kINPUT_NONE || s_aInputState[in] == 0) continue;
      ApplyAction(target, (GAME_ACTION)a, (s_aInputState[in] & kSTATE_HELD) != 0);
    }
  }
  if (s_aInputState[kINPUT_KEY_ESCAPE] != 0)
    WriteSlot(target, kBUTTON_START, (s_aInputState[kINPUT_KEY_ESCAPE] & kSTATE_HELD) != 0);

  if (s_bMouseMoved) target->m_bMouseMoved = 1;
  ComputeEdges(target);
  return S_OK;
}

void ZARInput_SetJoystickDeadzone(float deadzone) { s_fDeadzone = Clamp01(deadzone); }
float ZARInput_GetJoystickDeadzone() { return s_fDeadzone; }
void ZARInput_SetMouseSensitivity(float sensitivity) { s_fMouseSensitivity = Clamp01(sensitivity); }
float ZARInput_GetMouseSensitivity() { return s_fMouseSensitivity; }

void ZARInput_GetMouseDeltas(float* pDx, float* pDy) {
  EASSERT(pDx);
  EASSERT(pDy);
  *pDx = s_fMouseDx;
  *pDy = s_fMouseDy;
}

void ZARInput_ResetPhysicalInputs(bool bFull) {
  if (bFull) memset(s_aInputState, 0, sizeof(s_aInputState));
  else ClearEdges();
}

bool ZARInput_IsInputActive(PHYSICAL_INPUT input) {
  CheckInput(input);
  return (s_aInputState[input] & kSTATE_HELD) != 0;
}

bool ZARInput_WasInputPressed(PHYSICAL_INPUT input) {
  CheckInput(input);
  return (s_aInputState[input] & kSTATE_PRESSED) != 0;
}

bool ZARInput_BindAction(GAME_ACTION action, PHYSICAL_INPUT input, INPUT_MAP map) {
  CheckAction(action);
  CheckMap(map);
  CheckInput(input);
  if ((unsigned)input >= (unsigned)kINPUT_NUMINPUTS) return false;
  if (input == kINPUT_NONE) {
    s_aBindings[map][action] = kINPUT_NONE;
    return true;
  }
  if (!s_aInputNames[input]) return false;
  bool axis = IsAxisInput(input);
  if (axis && action < kACTION_LOOKUP) return false;
  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m)
    for (int a = 0; a < kACTION_NUMACTIONS; ++a)
      if (s_aBindings[m][a] == input) s_aBindings[m][a] = kINPUT_NONE;
  s_aBindings[map][action] = input;
  if (axis) {
    GAME_ACTION paired = action == kACTION_LOOKUP     ? kACTION_LOOKDOWN
                         : action == kACTION_LOOKDOWN ? kACTION_LOOKUP
                         : action == kACTION_LOOKLEFT ? kACTION_LOOKRIGHT
                                                      : kACTION_LOOKLEFT;
    s_aBindings[map][paired] = input;
  }
  return true;
}

void ZARInput_UnbindAction(GAME_ACTION action, INPUT_MAP map) {
  CheckAction(action);
  CheckMap(map);
  s_aBindings[map][action] = kINPUT_NONE;
}

PHYSICAL_INPUT ZARInput_GetActionBinding(GAME_ACTION action, INPUT_MAP map) {
  CheckAction(action);
  CheckMap(map);
  return s_aBindings[map][action];
}

void ZARInput_GetNextInputPressed(ZARInputCallback callback, void* user) {
  ClearEdges();
  s_pCallback = callback;
  s_pCallbackUser = user;
}

const char* ZARInput_GetActionName(GAME_ACTION action) {
  CheckAction(action);
  EASSERT(s_aGameActionNames[action]);
  return s_aGameActionNames[action];
}

const char* ZARInput_GetActionStringCode(GAME_ACTION action) {
  CheckAction(action);
  EASSERT(s_aGameActionStringCodes[action]);
  return s_aGameActionStringCodes[action];
}

const char* ZARInput_GetInputName(PHYSICAL_INPUT input) {
  if ((unsigned)input >= (unsigned)kINPUT_NUMINPUTS) return nullptr;
  // A keyboard-layout name would be preferred; there is no layout lookup here.
  STUBBED("VK_*");
  return s_aInputNames[input];
}

void ZARInput_ReadSettings() {
  ELoadSaveGame* saves = gGameApp ? gGameApp->GetSaveLoadInterface() : nullptr;
  if (!saves) return;
  for (int a = 0; a < kACTION_NUMACTIONS; ++a) {
    const char* name = kACTION_NAMES[a];
    PHYSICAL_INPUT value = kINPUT_NONE;
    if (saves->GetSetting(name, value, false)) ZARInput_BindAction((GAME_ACTION)a, value, kINPUTMAP_PRIMARY);
    if (saves->GetSetting(name, value, true)) ZARInput_BindAction((GAME_ACTION)a, value, kINPUTMAP_ALTERNATE);
  }
}

bool ZARInput_WasActionPressed(GAME_ACTION action) {
  CheckAction(action);
  for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m) {
    PHYSICAL_INPUT in = s_aBindings[m][action];
    if (in != kINPUT_NONE && (s_aInputState[in] & kSTATE_PRESSED)) return true;
  }
  return false;
}

bool ZARInput_UIInputPressed(UI_INPUT which) {
  auto pressed = [](int input) { return (s_aInputState[input] & kSTATE_PRESSED) != 0; };
  switch (which) {
    case kUI_INPUT_ACCEPT:
      return pressed(kINPUT_KEY_ENTER) || pressed(kINPUT_KEY_SPACE) || pressed(kINPUT_MOUSE_LEFT) ||
             ZARInput_WasActionPressed(kACTION_JUMP);
    case kUI_INPUT_BACK: return pressed(kINPUT_KEY_ESCAPE) || ZARInput_WasActionPressed(kACTION_CANCEL);
    default: return false;
  }
}

bool DI8JoystickPresent() { return CurrentJoystick() != nullptr; }
bool XInputControllerExists() { return false; }
void TWXInputSetState(float, float) {}

void ZARInput_SetMouseDevice(const EMouseDevice* device) { s_pMouseDevice = device; }

void ZARInput_SetJoystickDevice(const EJoystickDevice* device, const char* name) {
  s_pJoystickDevice = device;
  s_bXbox360Pad = device && IsXbox360PadName(name);
}
