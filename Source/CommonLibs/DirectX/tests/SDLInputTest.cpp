#include "DirectX/SDLInput.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"

// Raises the SDL window above others on the display (TestWindow.cpp).
void RaiseTestWindow();

namespace {

const PHYSICAL_INPUT kKEY_W = (PHYSICAL_INPUT)17;
const PHYSICAL_INPUT kKEY_S = (PHYSICAL_INPUT)31;
const PHYSICAL_INPUT kKEY_F = (PHYSICAL_INPUT)33;
const PHYSICAL_INPUT kKEY_TAB = (PHYSICAL_INPUT)15;
const PHYSICAL_INPUT kKEY_CAPSLOCK = (PHYSICAL_INPUT)58;
const PHYSICAL_INPUT kKEY_UP = (PHYSICAL_INPUT)200;

// A joystick that the test sets by hand; SDL offers no way to plug one in.
struct FakeJoystick {
  std::vector<int> axes;
  std::vector<int> buttons;
  std::vector<int> hats;
};
FakeJoystick g_joy;
const EJoystickDevice kFAKE_JOYSTICK = {
    [] { return (int)g_joy.axes.size(); },    [](int i) { return g_joy.axes[(size_t)i]; },
    [] { return (int)g_joy.buttons.size(); }, [](int i) { return g_joy.buttons[(size_t)i]; },
    [] { return (int)g_joy.hats.size(); },    [](int i) { return g_joy.hats[(size_t)i]; },
    [] {}};

// Every test starts from a freshly initialised layer with empty maps and no
// key down in SDL's key-state array.
class InputLayer : public ::testing::Test {
protected:
  void SetUp() override {
    InitDirectInput(nullptr);
    SetupKeyboard(nullptr);
    for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m)
      for (int a = 0; a < kACTION_NUMACTIONS; ++a) ZARInput_UnbindAction((GAME_ACTION)a, (INPUT_MAP)m);
    ZARInput_GetNextInputPressed(nullptr, nullptr);
    ZARInput_ResetPhysicalInputs(true);
    ZARInput_SetJoystickDeadzone(0.15f);
    ZARInput_SetMouseSensitivity(0.5f);
    ZARInput_SetJoystickDevice(nullptr, nullptr);
    ClearKeys();
    int dx, dy;
    SDL_GetRelativeMouseState(&dx, &dy);
    g_joy = FakeJoystick();
  }
  void TearDown() override {
    ClearKeys();
    ZARInput_SetJoystickDevice(nullptr, nullptr);
  }

  static void ClearKeys() {
    int n = 0;
    Uint8* keys = SDL_GetKeyState(&n);
    memset(keys, 0, (size_t)n);
  }
  static void SetKey(SDLKey key, bool down) { SDL_GetKeyState(nullptr)[key] = down ? 1 : 0; }

  void Update() { UpdateInputState(&m_input, nullptr, nullptr, false); }

  Input m_input;
};

TEST(InputRecord, ConstructsZeroWithCentredHats) {
  Input in;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&in);
  for (size_t i = 0; i < sizeof(in); ++i) {
    bool hatWord = i >= 76 && i < 124;
    EXPECT_EQ(hatWord ? 0xFF : 0x00, bytes[i]) << "byte " << i;
  }
}

TEST_F(InputLayer, NamesAndCodes) {
  EXPECT_STREQ("/W/", ZARInput_GetInputName(kKEY_W));
  EXPECT_STREQ("/\\/", ZARInput_GetInputName((PHYSICAL_INPUT)43));
  EXPECT_STREQ("/F10/", ZARInput_GetInputName((PHYSICAL_INPUT)68));
  EXPECT_STREQ("/Joy32/", ZARInput_GetInputName((PHYSICAL_INPUT)311));
  EXPECT_STREQ("JoySlider1", ZARInput_GetInputName(kINPUT_JOY_SLIDER1));
  EXPECT_EQ(nullptr, ZARInput_GetInputName(kKEY_CAPSLOCK));
  EXPECT_EQ(nullptr, ZARInput_GetInputName((PHYSICAL_INPUT)87));  // F11
  EXPECT_STREQ("LockOn/Float", ZARInput_GetActionName(kACTION_LOCKON));
  EXPECT_STREQ("/GLPC020TO/", ZARInput_GetActionStringCode(kACTION_LOOKRIGHT));
  EXPECT_STREQ("/GLPC004TO/", PCButtonTextMapping[0].m_szCode);
  EXPECT_STREQ("Left", PCButtonTextMapping[15].m_szCode);
  EXPECT_EQ(1, PCButtonTextMapping[16].m_iGroup);
  EXPECT_EQ(kACTION_ATTACK, PCButtonTextMapping[17].m_eAction);
}

TEST_F(InputLayer, BindingRules) {
  // A key bound elsewhere moves to the new action, in any map.
  ASSERT_TRUE(ZARInput_BindAction(kACTION_USE, kKEY_W, kINPUTMAP_EXTRA));
  ASSERT_TRUE(ZARInput_BindAction(kACTION_MOVEFORWARD, kKEY_W, kINPUTMAP_PRIMARY));
  EXPECT_EQ(kINPUT_NONE, ZARInput_GetActionBinding(kACTION_USE, kINPUTMAP_EXTRA));
  EXPECT_EQ(kKEY_W, ZARInput_GetActionBinding(kACTION_MOVEFORWARD, kINPUTMAP_PRIMARY));

  // Axes bind only to the look actions, and always in pairs.
  EXPECT_FALSE(ZARInput_BindAction(kACTION_JUMP, kINPUT_JOY_Z, kINPUTMAP_PRIMARY));
  EXPECT_EQ(kINPUT_NONE, ZARInput_GetActionBinding(kACTION_JUMP, kINPUTMAP_PRIMARY));
  ASSERT_TRUE(ZARInput_BindAction(kACTION_LOOKDOWN, kINPUT_JOY_ROTZ, kINPUTMAP_ALTERNATE));
  EXPECT_EQ(kINPUT_JOY_ROTZ, ZARInput_GetActionBinding(kACTION_LOOKUP, kINPUTMAP_ALTERNATE));
  EXPECT_EQ(kINPUT_JOY_ROTZ, ZARInput_GetActionBinding(kACTION_LOOKDOWN, kINPUTMAP_ALTERNATE));

  // Unnamed inputs cannot be bound; input 0 unbinds.
  ASSERT_TRUE(ZARInput_BindAction(kACTION_JUMP, (PHYSICAL_INPUT)57, kINPUTMAP_PRIMARY));
  EXPECT_FALSE(ZARInput_BindAction(kACTION_JUMP, kKEY_CAPSLOCK, kINPUTMAP_PRIMARY));
  EXPECT_EQ((PHYSICAL_INPUT)57, ZARInput_GetActionBinding(kACTION_JUMP, kINPUTMAP_PRIMARY));
  EXPECT_TRUE(ZARInput_BindAction(kACTION_JUMP, kINPUT_NONE, kINPUTMAP_PRIMARY));
  EXPECT_EQ(kINPUT_NONE, ZARInput_GetActionBinding(kACTION_JUMP, kINPUTMAP_PRIMARY));
}

TEST_F(InputLayer, OutOfRangeInputIsFatal) {
  EXPECT_DEATH(ZARInput_IsInputActive((PHYSICAL_INPUT)320), "input < kINPUT_NUMINPUTS");
  EXPECT_DEATH(ZARInput_GetActionName((GAME_ACTION)21), "action < kACTION_NUMACTIONS");
}

TEST_F(InputLayer, MovementKeyWritesItsAxisInTheReleaseFrameOnly) {
  ZARInput_BindAction(kACTION_MOVEFORWARD, kKEY_W, kINPUTMAP_PRIMARY);
  SetKey(SDLK_w, true);
  Update();
  EXPECT_TRUE(ZARInput_WasInputPressed(kKEY_W));
  EXPECT_EQ(-100, m_input.m_nMoveY);
  Update();
  EXPECT_FALSE(ZARInput_WasInputPressed(kKEY_W));
  EXPECT_EQ(-100, m_input.m_nMoveY);
  SetKey(SDLK_w, false);
  Update();
  EXPECT_FALSE(ZARInput_IsInputActive(kKEY_W));
  EXPECT_EQ(-100, m_input.m_nMoveY) << "released this frame still moves";
  Update();
  EXPECT_EQ(0, m_input.m_nMoveY);
}

TEST_F(InputLayer, ButtonSlotsHaveEdges) {
  ZARInput_BindAction(kACTION_USE, kKEY_F, kINPUTMAP_PRIMARY);
  SetKey(SDLK_f, true);
  Update();
  EXPECT_EQ(255, m_input.m_aButtonDown[kBUTTON_Y]);
  EXPECT_EQ(255, m_input.m_aAnalogButton[kBUTTON_Y]);
  EXPECT_EQ(1, m_input.m_aButtonPressed[kBUTTON_Y]);
  Update();
  EXPECT_EQ(0, m_input.m_aButtonPressed[kBUTTON_Y]);
  EXPECT_EQ(255, m_input.m_aButtonPrevDown[kBUTTON_Y]);
  SetKey(SDLK_f, false);
  Update();
  EXPECT_EQ(0, m_input.m_aButtonDown[kBUTTON_Y]);
  EXPECT_EQ(1, m_input.m_aButtonReleased[kBUTTON_Y]);
}

TEST_F(InputLayer, EscapeAlwaysDrivesStart) {
  SetKey(SDLK_ESCAPE, true);
  Update();
  EXPECT_EQ(1, m_input.m_aButtonPressed[kBUTTON_START]);
  EXPECT_TRUE(ZARInput_UIInputPressed(kUI_INPUT_BACK));
  EXPECT_FALSE(ZARInput_UIInputPressed(kUI_INPUT_ACCEPT));
}

TEST_F(InputLayer, MenuHatFollowsInventoryKey) {
  ZARInput_BindAction(kACTION_INVENTORYMENU, (PHYSICAL_INPUT)2, kINPUTMAP_PRIMARY);
  SetKey(SDLK_1, true);
  Update();
  EXPECT_EQ(27000, m_input.m_aPOV[0]);
  EXPECT_EQ(27000, m_input.m_aPOVChanged[0]);
  Update();
  EXPECT_EQ(-1, m_input.m_aPOVChanged[0]);
  SetKey(SDLK_1, false);
  Update();
  EXPECT_EQ(-1, m_input.m_aPOV[0]);
  EXPECT_EQ(27000, m_input.m_aPrevPOV[0]);
}

TEST_F(InputLayer, StatsSendsInputToTheSecondRecord) {
  ZARInput_BindAction(kACTION_STATS, kKEY_TAB, kINPUTMAP_PRIMARY);
  ZARInput_BindAction(kACTION_USE, kKEY_F, kINPUTMAP_PRIMARY);
  Input debug;
  SetKey(SDLK_f, true);
  UpdateInputState(&m_input, nullptr, &debug, true);
  EXPECT_EQ(255, m_input.m_aButtonDown[kBUTTON_Y]);

  SetKey(SDLK_TAB, true);
  UpdateInputState(&m_input, nullptr, &debug, true);
  EXPECT_EQ(255, debug.m_aButtonDown[kBUTTON_Y]);
  EXPECT_EQ(255, debug.m_aButtonDown[kBUTTON_LCLICK]);
  EXPECT_EQ(0, m_input.m_aButtonDown[kBUTTON_Y]);
  EXPECT_EQ(1, m_input.m_aButtonReleased[kBUTTON_Y]) << "the first record reads every slot as released";

  // Without the permission the second record only ever reads released.
  Input other;
  UpdateInputState(&m_input, nullptr, &other, false);
  EXPECT_EQ(255, m_input.m_aButtonDown[kBUTTON_LCLICK]);
  EXPECT_EQ(0, other.m_aButtonDown[kBUTTON_LCLICK]);
}

TEST_F(InputLayer, UnboundKeyDoesNotStayHeld) {
  ZARInput_BindAction(kACTION_USE, kKEY_F, kINPUTMAP_PRIMARY);
  SetKey(SDLK_f, true);
  Update();
  ASSERT_TRUE(ZARInput_IsInputActive(kKEY_F));
  ZARInput_UnbindAction(kACTION_USE, kINPUTMAP_PRIMARY);
  Update();
  EXPECT_FALSE(ZARInput_IsInputActive(kKEY_F));
  // Bound again while still held, it is a new press.
  ZARInput_BindAction(kACTION_USE, kKEY_F, kINPUTMAP_PRIMARY);
  Update();
  EXPECT_TRUE(ZARInput_WasInputPressed(kKEY_F));
}

struct Captured {
  std::vector<std::pair<int, bool>> events;
  bool keep = false;
};

bool Capture(PHYSICAL_INPUT input, bool pressed, void* user) {
  Captured* c = static_cast<Captured*>(user);
  c->events.push_back({input, pressed});
  return c->keep;
}

TEST_F(InputLayer, RebindingCaptureConsumesThePress) {
  Captured cap;
  ZARInput_GetNextInputPressed(Capture, &cap);
  SetKey(SDLK_s, true);  // not bound: only the capture reads every key
  Update();
  ASSERT_EQ(1u, cap.events.size());
  EXPECT_EQ(kKEY_S, cap.events[0].first);
  EXPECT_TRUE(cap.events[0].second);
  EXPECT_FALSE(ZARInput_WasInputPressed(kKEY_S));
  // The callback asked to go; later keys are not reported to it.
  SetKey(SDLK_UP, true);
  Update();
  EXPECT_EQ(1u, cap.events.size());
}

TEST_F(InputLayer, CaptureThatStaysSeesReleasesToo) {
  Captured cap;
  cap.keep = true;
  ZARInput_GetNextInputPressed(Capture, &cap);
  SetKey(SDLK_UP, true);
  Update();
  SetKey(SDLK_UP, false);
  Update();
  ASSERT_EQ(2u, cap.events.size());
  EXPECT_EQ(kKEY_UP, cap.events[1].first);
  EXPECT_FALSE(cap.events[1].second);
}

TEST_F(InputLayer, JoystickAxesButtonsAndHat) {
  g_joy.axes = {-32768, 32767, 0, 0, 0, 0};
  g_joy.buttons = {0, 1};
  g_joy.hats = {SDL_HAT_UP};
  ZARInput_SetJoystickDevice(&kFAKE_JOYSTICK, "Some pad");
  ZARInput_SetJoystickDeadzone(0.0f);
  ZARInput_BindAction(kACTION_JUMP, (PHYSICAL_INPUT)281, kINPUTMAP_ALTERNATE);
  EXPECT_TRUE(DI8JoystickPresent());
  Update();
  EXPECT_EQ(-100, m_input.m_nMoveX);
  EXPECT_EQ(100, m_input.m_nMoveY);
  EXPECT_TRUE(ZARInput_IsInputActive((PHYSICAL_INPUT)281));
  EXPECT_EQ(255, m_input.m_aButtonDown[kBUTTON_A]);
  EXPECT_TRUE(ZARInput_IsInputActive(kINPUT_DPAD_UP));
  EXPECT_FALSE(ZARInput_IsInputActive(kINPUT_DPAD_LEFT));

  g_joy.hats = {SDL_HAT_LEFTUP};
  Update();
  EXPECT_TRUE(ZARInput_IsInputActive(kINPUT_DPAD_UP));
  EXPECT_TRUE(ZARInput_IsInputActive(kINPUT_DPAD_LEFT));

  // Losing the device lets go of everything it held.
  ZARInput_SetJoystickDevice(nullptr, nullptr);
  Update();
  EXPECT_FALSE(ZARInput_IsInputActive((PHYSICAL_INPUT)281));
  EXPECT_FALSE(ZARInput_IsInputActive(kINPUT_DPAD_UP));
}

TEST_F(InputLayer, LookAxesComeFromTheBoundJoystickAxes) {
  g_joy.axes = {0, 0, 16384, 0, 0, -32768};
  ZARInput_SetJoystickDevice(&kFAKE_JOYSTICK, "Some pad");
  ZARInput_SetJoystickDeadzone(0.0f);
  Update();
  EXPECT_EQ(0, m_input.m_nLookX) << "no axis bound to the look actions";
  EXPECT_EQ(0, m_input.m_nLookY);
  ZARInput_BindAction(kACTION_LOOKUP, kINPUT_JOY_ROTZ, kINPUTMAP_ALTERNATE);
  ZARInput_BindAction(kACTION_LOOKRIGHT, kINPUT_JOY_Z, kINPUTMAP_ALTERNATE);
  Update();
  EXPECT_EQ(50, m_input.m_nLookX);
  EXPECT_EQ(-100, m_input.m_nLookY);
}

TEST_F(InputLayer, XboxTriggersUseHalfTheirRange) {
  g_joy.axes = {0, 0, -32768, 0, 0, 32767};
  ZARInput_SetJoystickDevice(&kFAKE_JOYSTICK, "Microsoft X-Box 360 pad");
  ZARInput_SetJoystickDeadzone(0.0f);
  ZARInput_BindAction(kACTION_LOOKUP, kINPUT_JOY_ROTZ, kINPUTMAP_ALTERNATE);
  ZARInput_BindAction(kACTION_LOOKRIGHT, kINPUT_JOY_Z, kINPUTMAP_ALTERNATE);
  Update();
  EXPECT_EQ(0, m_input.m_nLookX) << "trigger at rest";
  EXPECT_EQ(100, m_input.m_nLookY) << "trigger fully pressed";
}

TEST_F(InputLayer, DeadZone) {
  g_joy.axes = {1000, -32768, 0, 0, 0, 0};  // X reads 30 of 1000, Y -1000
  ZARInput_SetJoystickDevice(&kFAKE_JOYSTICK, "Some pad");
  struct Case {
    float deadzone;
    int moveX, moveY;
  } cases[] = {{0.0f, 3, -100}, {0.15f, 0, -100}, {0.5f, 0, -100}, {1.0f, 0, 0}, {2.0f, 0, 0}};
  for (const Case& c : cases) {
    ZARInput_SetJoystickDeadzone(c.deadzone);
    Update();
    EXPECT_EQ(c.moveX, m_input.m_nMoveX) << "dead zone " << c.deadzone;
    EXPECT_EQ(c.moveY, m_input.m_nMoveY) << "dead zone " << c.deadzone;
  }
  EXPECT_EQ(1.0f, ZARInput_GetJoystickDeadzone()) << "stored clamped to 0..1";
}

TEST_F(InputLayer, AxisDeflectionAnnouncesItselfToTheCapture) {
  g_joy.axes = {32767, 0, 0, 0, -32000, 0};  // X is not announced, RotY is
  ZARInput_SetJoystickDevice(&kFAKE_JOYSTICK, "Some pad");
  Captured cap;
  ZARInput_GetNextInputPressed(Capture, &cap);
  Update();
  ASSERT_EQ(1u, cap.events.size());
  EXPECT_EQ(kINPUT_JOY_ROTY, cap.events[0].first);
  EXPECT_FALSE(ZARInput_IsInputActive(kINPUT_JOY_ROTY)) << "axis inputs are never held";
}

TEST_F(InputLayer, ReadsBindingsFromTheCurrentProfile) {
  PCGameApp app;
  app.m_pSaveLoadInterface = new ELoadSaveGame();  // the application deletes it
  ELoadSaveGame& saves = *app.m_pSaveLoadInterface;
  gGameApp = &app;
  EGameProfile* profile = saves.GetCurrentProfile();
  ASSERT_NE(nullptr, profile);
  profile->SetSetting("Jump", kKEY_F, true);
  profile->SetSetting("Use", kKEY_CAPSLOCK, false);  // refused: keeps the old binding
  ZARInput_BindAction(kACTION_USE, (PHYSICAL_INPUT)34, kINPUTMAP_PRIMARY);
  ZARInput_BindAction(kACTION_USE, (PHYSICAL_INPUT)35, kINPUTMAP_EXTRA);
  ZARInput_ReadSettings();
  gGameApp = nullptr;

  EXPECT_EQ(kKEY_W, ZARInput_GetActionBinding(kACTION_MOVEFORWARD, kINPUTMAP_PRIMARY));
  EXPECT_EQ(kKEY_UP, ZARInput_GetActionBinding(kACTION_MOVEFORWARD, kINPUTMAP_ALTERNATE));
  EXPECT_EQ(kKEY_F, ZARInput_GetActionBinding(kACTION_JUMP, kINPUTMAP_ALTERNATE));
  // A refused value leaves the binding it had.
  EXPECT_EQ((PHYSICAL_INPUT)34, ZARInput_GetActionBinding(kACTION_USE, kINPUTMAP_PRIMARY));
  EXPECT_EQ((PHYSICAL_INPUT)35, ZARInput_GetActionBinding(kACTION_USE, kINPUTMAP_EXTRA));
  EXPECT_EQ(kINPUT_JOY_ROTZ, ZARInput_GetActionBinding(kACTION_LOOKUP, kINPUTMAP_ALTERNATE));
  EXPECT_EQ(kINPUT_JOY_Z, ZARInput_GetActionBinding(kACTION_LOOKRIGHT, kINPUTMAP_ALTERNATE));
}

// The mouse reader takes its motion from a device that the test sets by
// hand, as the joystick's; nothing here depends on the pointer of a display.
struct FakeMouse {
  int dx = 0, dy = 0;
  unsigned buttons = 0;
};
FakeMouse g_mouse;
const EMouseDevice kFAKE_MOUSE = {[](int* dx, int* dy) {
  *dx = g_mouse.dx;
  *dy = g_mouse.dy;
  g_mouse.dx = g_mouse.dy = 0;  // relative: read once
  return g_mouse.buttons;
}};

class MouseInput : public InputLayer {
protected:
  void SetUp() override {
    InputLayer::SetUp();
    g_mouse = FakeMouse();
    ZARInput_SetMouseDevice(&kFAKE_MOUSE);
  }
  void TearDown() override {
    ZARInput_SetMouseDevice(nullptr);
    InputLayer::TearDown();
  }
  void MoveBy(int dx, int dy) {
    g_mouse.dx = dx;
    g_mouse.dy = dy;
    Update();
  }
};

TEST_F(MouseInput, OnePixelAtDefaultSensitivity) {
  MoveBy(1, 0);
  float dx = 0, dy = 0;
  ZARInput_GetMouseDeltas(&dx, &dy);
  EXPECT_FLOAT_EQ(2.125f, dx);
  EXPECT_FLOAT_EQ(0.0f, dy);
  EXPECT_EQ(0, m_input.m_nLookX) << "106 of 1000 is inside the dead zone";
  EXPECT_EQ(1, m_input.m_bMouseMoved);

  ZARInput_SetJoystickDeadzone(0.0f);
  MoveBy(-1, 0);
  EXPECT_EQ(-10, m_input.m_nLookX);
}

TEST_F(MouseInput, SensitivityScalesTheDeltas) {
  ZARInput_SetMouseSensitivity(1.0f);
  MoveBy(0, 3);
  float dx = 0, dy = 0;
  ZARInput_GetMouseDeltas(&dx, &dy);
  EXPECT_FLOAT_EQ(12.0f, dy);
  EXPECT_EQ(52, m_input.m_nLookY) << "600 of 1000 through the 0.15 dead zone";
  MoveBy(0, 30);
  EXPECT_EQ(100, m_input.m_nLookY) << "a large move saturates";
}

// The default device is SDL's relative state: a warp of the pointer reaches
// the reader once SDL has queued its motion event. The test runner gives
// the pointer tests a display of their own (QUILLOMAR_POINTER_DISPLAY) and
// runs them one at a time (the x_pointer lock); the test waits for the
// event itself, never for a fixed time.
class SDLMouseInput : public InputLayer {
protected:
  void SetUp() override {
    if (const char* own = getenv("QUILLOMAR_POINTER_DISPLAY")) setenv("DISPLAY", own, 1);
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
    ASSERT_NE(nullptr, SDL_SetVideoMode(640, 480, 0, 0)) << SDL_GetError();
    InputLayer::SetUp();
    SetMouseAcquire(false);
  }
  void TearDown() override {
    InputLayer::TearDown();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  // Warps the pointer and waits until SDL has queued motion that ends there.
  bool WarpAndWait(int x, int y) {
    RaiseTestWindow();
    SDL_WarpMouse((Uint16)x, (Uint16)y);
    for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < 20000;) {
      SDL_PumpEvents();
      SDL_Event ev;
      while (SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_MOUSEMOTIONMASK) == 1) {
        if (ev.motion.x == x && ev.motion.y == y) return true;
      }
      SDL_Delay(1);
    }
    return false;
  }
};

TEST_F(SDLMouseInput, AWarpReachesTheReader) {
  int x = 0, y = 0;
  SDL_PumpEvents();
  SDL_GetMouseState(&x, &y);
  // A start the pointer is not at, so that the warp makes motion.
  const int startX = x == 200 ? 220 : 200;
  ASSERT_TRUE(WarpAndWait(startX, 200));
  int dx, dy;
  SDL_GetRelativeMouseState(&dx, &dy);
  ASSERT_TRUE(WarpAndWait(startX + 5, 200));
  Update();
  float mx = 0, my = 0;
  ZARInput_GetMouseDeltas(&mx, &my);
  EXPECT_FLOAT_EQ(5 * 2.125f, mx);
  EXPECT_FLOAT_EQ(0.0f, my);
  EXPECT_EQ(1, m_input.m_bMouseMoved);
}

}  // namespace
