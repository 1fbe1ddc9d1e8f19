// The input layer: keyboard, mouse and one joystick read through SDL once a
// frame into the controller-shaped Input record, with the game actions and
// their three binding maps.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int32_t HRESULT;
#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005)
#endif

// Button slots of the Input record.
enum INPUT_BUTTON {
  kBUTTON_A = 0,
  kBUTTON_B = 1,
  kBUTTON_BLACK = 2,
  kBUTTON_X = 3,
  kBUTTON_Y = 4,
  kBUTTON_WHITE = 5,
  kBUTTON_LEFTFLIPPER = 6,
  kBUTTON_RIGHTFLIPPER = 7,
  kBUTTON_LCLICK = 8,
  kBUTTON_RCLICK = 9,
  kBUTTON_SPARE = 10,
  kBUTTON_START = 11,
  kBUTTON_NUMBUTTONS = 12
};

// The buttons a control handler buffers and tests.
enum { NUM_JOY_BUTTONS = kBUTTON_NUMBUTTONS };

// One frame of controller input. Recordings store it whole, so its layout is
// fixed (128 bytes, checked below).
//
// The handlers' names for the fields:
//   leftStickY  m_nMoveY           rightStickX  m_nLookX
//   rightStickY m_nLookY           leftStickX   m_nMoveX
//   buttonValue m_aAnalogButton    buttonHeld   m_aButtonDown
//   buttonPressed / buttonReleased m_aButtonPressed / m_aButtonReleased
//   buttonHeldLast                 m_aButtonPrevDown
//   pov / povLast / povChanged     m_aPOV / m_aPrevPOV / m_aPOVChanged
//   mouseMoved                     m_bMouseMoved
class Input {
public:
  Input() { Clear(); }
  // All zero except the hat tables, which read -1 (centred).
  void Clear();

  int32_t m_nMoveY;  // -100 forward .. +100 backward
  int32_t m_nLookX;  // -100 left .. +100 right
  int32_t m_nLookY;  // -100 up .. +100 down
  int32_t m_nMoveX;  // -100 left .. +100 right
  uint8_t m_aAnalogButton[kBUTTON_NUMBUTTONS];
  uint8_t m_aButtonPressed[kBUTTON_NUMBUTTONS];
  uint8_t m_aButtonReleased[kBUTTON_NUMBUTTONS];
  uint8_t m_aButtonPrevDown[kBUTTON_NUMBUTTONS];
  uint8_t m_aButtonDown[kBUTTON_NUMBUTTONS];
  int32_t m_aPOV[4];         // hundredths of a degree, -1 centred
  int32_t m_aPrevPOV[4];
  int32_t m_aPOVChanged[4];
  uint8_t m_bMouseMoved;
};

static_assert(sizeof(Input) == 128, "Input record size");
static_assert(offsetof(Input, m_nMoveY) == 0 && offsetof(Input, m_nLookX) == 4 && offsetof(Input, m_nLookY) == 8 &&
                  offsetof(Input, m_nMoveX) == 12,
              "Input axes");
static_assert(offsetof(Input, m_aAnalogButton) == 16 && offsetof(Input, m_aButtonPressed) == 28 &&
                  offsetof(Input, m_aButtonReleased) == 40 && offsetof(Input, m_aButtonPrevDown) == 52 &&
                  offsetof(Input, m_aButtonDown) == 64,
              "Input buttons");
static_assert(offsetof(Input, m_aPOV) == 76 && offsetof(Input, m_aPrevPOV) == 92 &&
                  offsetof(Input, m_aPOVChanged) == 108 && offsetof(Input, m_bMouseMoved) == 124,
              "Input hats");

// A physical input: 1..236 keyboard scan codes, then mouse, stick and
// joystick inputs; 0 is none.
enum PHYSICAL_INPUT : int {
  kINPUT_NONE = 0,
  kINPUT_KEY_ESCAPE = 1,
  kINPUT_KEY_ENTER = 28,
  kINPUT_KEY_SPACE = 57,
  kINPUT_NUMKEYS = 237,
  kINPUT_MOUSE_HORIZ = 256,
  kINPUT_MOUSE_VERT = 257,
  kINPUT_MOUSE_LEFT = 258,
  kINPUT_MOUSE_RIGHT = 259,
  kINPUT_MOUSE_MIDDLE = 260,
  kINPUT_MOUSE_BUTTON6 = 261,
  kINPUT_MOUSE_BUTTON7 = 262,
  kINPUT_LEFTSTICK_HORIZ = 272,
  kINPUT_RIGHTSTICK_VERT = 275,
  kINPUT_DPAD_UP = 276,
  kINPUT_DPAD_DOWN = 277,
  kINPUT_DPAD_LEFT = 278,
  kINPUT_DPAD_RIGHT = 279,
  kINPUT_JOY_BUTTON0 = 280,  // .. 311: joystick buttons 0..31
  kINPUT_JOY_X = 312,
  kINPUT_JOY_Y = 313,
  kINPUT_JOY_Z = 314,  // 314..319 are axis inputs
  kINPUT_JOY_ROTX = 315,
  kINPUT_JOY_ROTY = 316,
  kINPUT_JOY_ROTZ = 317,
  kINPUT_JOY_SLIDER0 = 318,
  kINPUT_JOY_SLIDER1 = 319,
  kINPUT_NUMINPUTS = 320
};

enum GAME_ACTION : int {
  kACTION_MOVEFORWARD = 0,
  kACTION_MOVEBACKWARD,
  kACTION_MOVELEFT,
  kACTION_MOVERIGHT,
  kACTION_JUMP,
  kACTION_ATTACK,
  kACTION_USE,
  kACTION_CANCEL,
  kACTION_LOCKON,
  kACTION_PSIPOWER1,
  kACTION_PSIPOWER2,
  kACTION_PSIPOWER3,
  kACTION_INVENTORYMENU,
  kACTION_PSIPOWERSMENU,
  kACTION_FIRSTPERSON,
  kACTION_JOURNAL,
  kACTION_STATS,
  kACTION_LOOKUP,
  kACTION_LOOKDOWN,
  kACTION_LOOKLEFT,
  kACTION_LOOKRIGHT,
  kACTION_NUMACTIONS
};

enum INPUT_MAP : int { kINPUTMAP_PRIMARY = 0, kINPUTMAP_ALTERNATE = 1, kINPUTMAP_EXTRA = 2, kINPUTMAP_NUMMAPS = 3 };

enum UI_INPUT : int { kUI_INPUT_ACCEPT = 0, kUI_INPUT_BACK = 1 };

// The DirectInput joystick layout: axes -1000..1000, hats in hundredths of a
// degree (-1 centred), buttons 0x80 while down.
struct DIJOYSTATE {
  int32_t lX, lY, lZ;
  int32_t lRx, lRy, lRz;
  int32_t rglSlider[2];
  uint32_t rgdwPOV[4];
  uint8_t rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80, "DIJOYSTATE size");

// One row of the button-token table: on-screen texts replace the token by the
// names of the inputs bound to the action (or to a group of actions).
struct ButtonTextMapping {
  const char* m_szToken;
  const char* m_szUpperToken;
  const char* m_szCode;  // the action's line code, or "Left" / "Right" for a group
  GAME_ACTION m_eAction;
  int m_iGroup;
};
enum { kNUM_BUTTON_TEXT_MAPPINGS = 18 };
extern ButtonTextMapping PCButtonTextMapping[kNUM_BUTTON_TEXT_MAPPINGS];

// The rebinding callback: (input, true for a press / false for a release,
// user pointer); it stays installed while it returns true.
typedef bool (*ZARInputCallback)(PHYSICAL_INPUT input, bool pressed, void* user);

extern bool g_bMouseAcquired;

// Set-up, in this order.
HRESULT InitDirectInput(void* unused);
HRESULT SetupJoysticks();
HRESULT SetupKeyboard(void* window);
HRESULT SetupMouse(void* window);
void SetMouseAcquire(bool acquire);
void InitInputNames();
void SetFrenchInputNames();
void SetGermanInputNames();
void SetSpanishInputNames();
void SetItalianInputNames();

// Polls every device and fills the record(s); see the frame update.
HRESULT UpdateInputState(Input* pInput, void* unused, Input* pSecondInput, bool bAllowSecond);

void ZARInput_SetJoystickDeadzone(float deadzone);
float ZARInput_GetJoystickDeadzone();
void ZARInput_SetMouseSensitivity(float sensitivity);
float ZARInput_GetMouseSensitivity();
void ZARInput_GetMouseDeltas(float* pDx, float* pDy);
void ZARInput_ResetPhysicalInputs(bool bFull);
bool ZARInput_IsInputActive(PHYSICAL_INPUT input);
bool ZARInput_WasInputPressed(PHYSICAL_INPUT input);
bool ZARInput_BindAction(GAME_ACTION action, PHYSICAL_INPUT input, INPUT_MAP map);
void ZARInput_UnbindAction(GAME_ACTION action, INPUT_MAP map);
PHYSICAL_INPUT ZARInput_GetActionBinding(GAME_ACTION action, INPUT_MAP map);
void ZARInput_GetNextInputPressed(ZARInputCallback callback, void* user);
const char* ZARInput_GetActionName(GAME_ACTION action);
const char* ZARInput_GetActionStringCode(GAME_ACTION action);
const char* ZARInput_GetInputName(PHYSICAL_INPUT input);
void ZARInput_ReadSettings();
bool ZARInput_WasActionPressed(GAME_ACTION action);
bool ZARInput_UIInputPressed(UI_INPUT which);

bool DI8JoystickPresent();
bool XInputControllerExists();
void TWXInputSetState(float left, float right);

// Where the joystick reader takes its raw values from. By default it is SDL's
// joystick 0; a replacement stands in for a device where none can be plugged
// in. Null restores SDL's.
struct EJoystickDevice {
  int (*NumAxes)();
  int (*GetAxis)(int axis);  // -32768..32767
  int (*NumButtons)();
  int (*GetButton)(int button);
  int (*NumHats)();
  int (*GetHat)(int hat);  // SDL_HAT_* bits
  void (*Update)();
};
void ZARInput_SetJoystickDevice(const EJoystickDevice* device, const char* name);

// Where the mouse reader takes the motion since the last read and the
// buttons held (SDL_BUTTON masks). By default it is SDL's relative mouse
// state; null restores it.
struct EMouseDevice {
  unsigned (*GetRelativeState)(int* dx, int* dy);
};
void ZARInput_SetMouseDevice(const EMouseDevice* device);
