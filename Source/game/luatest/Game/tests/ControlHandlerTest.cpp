// The input-mode base and the twenty modes: the stick and its world
// direction, the frame's preamble (buffered presses, paused, stopped and
// confused controls, Cancel taken by the script, the left-trigger filter),
// the idle blink and the switching rules, on the control bench.
#include "Game/ControlHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ControlHarness.h"
#include "Entity/PlayerEntity.h"
#include "Game/BubbleControlHandler.h"
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/PlayerControlHandler.h"
#include "VERirezo/BlendAnim.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Mesh.h"

namespace {

Input Stick(int x, int y) {
  Input in;
  in.m_nMoveX = x;
  in.m_nMoveY = y;
  return in;
}

Input Press(int iButton) {
  Input in;
  in.m_aButtonPressed[iButton] = 1;
  in.m_aButtonDown[iButton] = 255;
  in.m_aAnalogButton[iButton] = 255;
  return in;
}

::testing::AssertionResult Near(const EVec3& expected, const EVec3& actual, float tol = 1e-4f) {
  if (fabsf(expected.x - actual.x) <= tol && fabsf(expected.y - actual.y) <= tol && fabsf(expected.z - actual.z) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected (" << expected.x << ", " << expected.y << ", " << expected.z
                                       << "), got (" << actual.x << ", " << actual.y << ", " << actual.z << ")";
}

// Runs a statement that must end the program with the error manager's
// report on the error stream, where a death test reads it.
template <class F>
void Unhooked(F f) {
  g_ErrorManager.SetConsoleCallback(nullptr);
  f();
}

class Controls : public ::testing::Test {
protected:
  // A stub of the type, active, as the factory would have typed it.
  HarnessMode* Active(CONTROL_HANDLER_TYPE eType) {
    HarnessMode* pMode = m_H.InstallStub(eType);
    pMode->Activate(nullptr);
    return pMode;
  }
  static void Feed(EControlHandler* p, Input in) { p->HandleControls(in); }
  static void PostFeed(EControlHandler* p, Input in) { p->PostHandleControls(in); }
  // The real on-foot mode of the factory, active.
  EControlHandler* OnFoot() {
    m_H.InitRealModes();
    EControlHandler* pHandler = m_H.App().GetControlHandler(kCONTROL_PLAYER);
    if (!pHandler->m_bActivated) pHandler->Activate(nullptr);
    return pHandler;
  }
  // The stick's world direction through the on-foot mode.
  EVec3 World(const Input& in, bool bLock = false, float* pMagnitude = nullptr) {
    EVec3 dir;
    const float magnitude = OnFoot()->GetPlayerControlInputWorldSpace(in, dir, false, bLock);
    if (pMagnitude) *pMagnitude = magnitude;
    return dir;
  }

  ControlHarness m_H;
};

// ---- Sticks ----

TEST_F(Controls, StickMagnitudeReachesOneBeforeTheEdgeAndSoonerOnTheDiagonals) {
  struct Case {
    int x, y;
    float magnitude;
  };
  const Case cases[] = {
      {70, 70, 1.0f}, {50, 0, 0.51867f}, {30, 40, 0.56709f}, {60, -60, 0.96424f}, {97, 0, 1.0f},
      {0, -50, 0.51867f}, {0, 0, 0.0f},
  };
  EControlHandler* pHandler = OnFoot();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    EVec3 dir;
    EXPECT_NEAR(c.magnitude, pHandler->GetPlayerControlInput(Stick(c.x, c.y), dir, false), 1e-4f);
    if (c.x || c.y) {
      EXPECT_NEAR(1.0f, dir.Length(), 1e-5f);
    }
    EXPECT_EQ(0.0f, dir.y);
    Input look;
    look.m_nLookX = c.x;
    look.m_nLookY = c.y;
    EXPECT_NEAR(c.magnitude, pHandler->GetPlayerControlInput(look, dir, true), 1e-4f) << "the look stick alike";
  }
  EXPECT_TRUE(pHandler->ShouldInterrupt(Stick(0, -60)));
  EXPECT_FALSE(pHandler->ShouldInterrupt(Stick(0, -40)));
}

TEST_F(Controls, MovingTheStickPutsOffTheIdleAnimation) {
  m_H.SetSimTime(100.0, 0.016f);
  EVec3 dir;
  OnFoot()->GetPlayerControlInput(Stick(0, 0), dir, false);
  EXPECT_EQ(0.0f, m_H.Player()->GetIdlePlayTime());
  Input look;
  look.m_nLookX = 80;
  OnFoot()->GetPlayerControlInput(look, dir, true);
  EXPECT_EQ(0.0f, m_H.Player()->GetIdlePlayTime()) << "the look stick is not the player moving";
  OnFoot()->GetPlayerControlInput(Stick(10, 0), dir, false);
  EXPECT_FLOAT_EQ(115.0f, m_H.Player()->GetIdlePlayTime());
}

TEST_F(Controls, TheStickTurnsIntoAWorldDirectionThroughTheRenderCamera) {
  struct Case {
    const char* what;
    EVec3 forward, up;  // of the camera
    int x, y;
    EVec3 gravity;  // the player's up
    EVec3 expected;
  };
  const EVec3 Y(0, 1, 0);
  const Case cases[] = {
      {"facing -Z, forward", EVec3(0, 0, -1), Y, 0, -100, Y, EVec3(0, 0, -1)},
      {"facing -Z, right", EVec3(0, 0, -1), Y, 100, 0, Y, EVec3(1, 0, 0)},
      {"facing -X, forward", EVec3(-1, 0, 0), Y, 0, -100, Y, EVec3(-1, 0, 0)},
      {"facing -X, back", EVec3(-1, 0, 0), Y, 0, 100, Y, EVec3(1, 0, 0)},
      {"tilted a little, projected level", EVec3(-1, -0.1f, 0), Y, 0, -100, Y, EVec3(-1, 0, 0)},
      {"looking down, turned level", EVec3(-1, -1, 0), Y, 0, -100, Y, EVec3(-1, 0, 0)},
      {"player's up +X", EVec3(-1, 0, 0), Y, 0, -100, EVec3(1, 0, 0), EVec3(0, 1, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_H.PoseCamera(EVec3(5, 5, 5), c.forward, c.up);
    m_H.SetGravityDir(c.gravity);
    EXPECT_TRUE(Near(c.expected, World(Stick(c.x, c.y))));
  }

  // Without a render camera the direction stays in camera space.
  ECamera* pCamera = m_H.App().GetRenderCamera();
  m_H.App().SetRenderCamera(nullptr);
  EXPECT_TRUE(Near(EVec3(0, 0, -1), World(Stick(0, -100))));
  m_H.App().SetRenderCamera(pCamera);
}

TEST_F(Controls, ALockedTransformHoldsTheOldCameraWhileTheStickKeepsItsDirection) {
  EControlHandler* pHandler = OnFoot();
  m_H.PoseCamera(EVec3(0, 0, 0), EVec3(-1, 0, 0));
  pHandler->LockInputTransform(false);
  EXPECT_TRUE(Near(EVec3(-1, 0, 0), World(Stick(0, -100), true)));  // captures the stick
  m_H.PoseCamera(EVec3(0, 0, 0), EVec3(0, 0, -1));           // the cut
  EXPECT_TRUE(Near(EVec3(-1, 0, 0), World(Stick(0, -100), true))) << "the old frame holds";
  EXPECT_TRUE(Near(EVec3(-1, 0, -0.1f).SafeGetNormal(), World(Stick(10, -100), true), 1e-3f)) << "within dot 0.985";
  EXPECT_TRUE(Near(EVec3(0, 0, -1), World(Stick(0, -100), false))) << "without the lock flag: the live camera";
  EXPECT_TRUE(pHandler->m_bInputTransformLocked);

  EXPECT_TRUE(Near(EVec3(1, 0, 0), World(Stick(100, 0), true))) << "turned away: the live camera";
  EXPECT_FALSE(pHandler->m_bInputTransformLocked);
  EXPECT_TRUE(Near(EVec3(0, 0, -1), World(Stick(0, -100), true)));

  // Locked with a centred stick: released at once.
  pHandler->LockInputTransform(false);
  World(Stick(0, 0), true);
  EXPECT_FALSE(pHandler->m_bInputTransformLocked);

  // Locking zeroes the stick while it holds.
  pHandler->LockInputTransform(true);
  float magnitude = 1.0f;
  World(Stick(0, -100), true, &magnitude);
  EXPECT_GT(magnitude, 0.9f) << "the capture frame still moves";
  EXPECT_TRUE(Near(EVec3(0, 0, 0), World(Stick(0, -100), true, &magnitude)));
  EXPECT_EQ(0.0f, magnitude);

  // A second lock does not take a new frame; activation releases it.
  m_H.PoseCamera(EVec3(0, 0, 0), EVec3(1, 0, 0));
  pHandler->LockInputTransform(false);
  EXPECT_TRUE(pHandler->m_bLockZeroesInput);
  pHandler->Activate(nullptr);
  EXPECT_FALSE(pHandler->m_bInputTransformLocked);
}

// ---- The frame's preamble ----

TEST_F(Controls, PressesAreBufferedForTheirWindowUnlessPaused) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  m_H.SetSimTime(20.0, 0.016f);
  Input in = Press(kBUTTON_X);
  in.m_aPrevPOV[0] = -1;
  in.m_aPOV[0] = 27000;
  pMode->HandleControls(in);
  m_H.SetSimTime(20.15, 0.016f);
  Feed(pMode, Stick(0, 0));
  EXPECT_TRUE(EControlHandler::ButtonPressed(kBUTTON_X, 0.2f));
  EXPECT_FALSE(EControlHandler::ButtonPressed(kBUTTON_X, 0.1f));
  EXPECT_FALSE(EControlHandler::ButtonPressed(kBUTTON_A, 0.2f));
  EXPECT_TRUE(EControlHandler::POVPressed(0, 0.2f));
  EXPECT_FALSE(EControlHandler::POVPressed(1, 0.2f));

  EControlHandler::PauseControls(true, false);
  EXPECT_FALSE(EControlHandler::ButtonPressed(kBUTTON_X, 0.2f));
  EXPECT_FALSE(EControlHandler::POVPressed(0, 0.2f));
  EControlHandler::PauseControls(false, false);

  // A held direction pad is a press only in its first frame.
  EControlHandler::ClearButtonBuffer();
  in = Input();
  in.m_aPrevPOV[0] = 9000;
  in.m_aPOV[0] = 9000;
  pMode->HandleControls(in);
  EXPECT_FALSE(EControlHandler::POVPressed(1, 1.0f));
  EXPECT_FALSE(EControlHandler::ButtonPressed(kBUTTON_X, 1.0f)) << "cleared";

  EXPECT_DEATH(Unhooked([&] { EControlHandler::ButtonPressed(12, 1.0f); }),
               "iButton >= 0 && iButton < NUM_JOY_BUTTONS");
  EXPECT_DEATH(Unhooked([&] { EControlHandler::ButtonPressed(-1, 1.0f); }),
               "iButton >= 0 && iButton < NUM_JOY_BUTTONS");
  EXPECT_DEATH(Unhooked([&] { EControlHandler::POVPressed(2, 1.0f); }), "iPOV >= 0");
}

TEST_F(Controls, PausedModesSeeTheFirstPausedStickAndNoButtons) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  HarnessMode* pScript = Active(kCONTROL_SCRIPT);
  EControlHandler::PauseControls(true, true);
  Input first = Stick(30, -50);
  first.m_aButtonPressed[kBUTTON_A] = 1;
  pMode->HandleControls(first);
  EXPECT_EQ(30, pMode->m_LastInput.m_nMoveX);
  EXPECT_EQ(-50, pMode->m_LastInput.m_nMoveY);
  EXPECT_EQ(0, pMode->m_LastInput.m_aButtonPressed[kBUTTON_A]);
  Input later = Stick(100, 100);
  later.m_aButtonPressed[kBUTTON_X] = 1;
  pMode->HandleControls(later);
  EXPECT_EQ(30, pMode->m_LastInput.m_nMoveX);
  EXPECT_EQ(-50, pMode->m_LastInput.m_nMoveY);
  EXPECT_EQ(0, pMode->m_LastInput.m_aButtonPressed[kBUTTON_X]);
  pMode->PostHandleControls(later);
  EXPECT_EQ(30, pMode->m_LastInput.m_nMoveX) << "after the world too";

  pScript->HandleControls(later);
  EXPECT_EQ(100, pScript->m_LastInput.m_nMoveX) << "script control keeps the live record";
  EXPECT_EQ(1, pScript->m_LastInput.m_aButtonPressed[kBUTTON_X]);

  EControlHandler::PauseControls(true, false);
  pMode->HandleControls(later);
  EXPECT_EQ(0, pMode->m_LastInput.m_nMoveX);
  EXPECT_EQ(0, pMode->m_LastInput.m_nMoveY);

  // Activating a main mode lifts the pause.
  pMode->Activate(nullptr);
  EXPECT_FALSE(EControlHandler::ControlsPaused());
  pMode->HandleControls(later);
  EXPECT_EQ(100, pMode->m_LastInput.m_nMoveX);
}

TEST_F(Controls, StoppedControlsRunNoModeAndSwitchTheDustOff) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  m_H.Camera()->SetZLock(true);
  EControlHandler::DontRunControls(true);
  Feed(pMode, Press(kBUTTON_X));
  PostFeed(pMode, Press(kBUTTON_X));
  EXPECT_EQ(0, pMode->m_nHandled);
  EXPECT_EQ(0, pMode->m_nPostHandled);
  EXPECT_TRUE(EControlHandler::ButtonPressed(kBUTTON_X, 0.1f)) << "presses are still buffered";
  EXPECT_FALSE(m_H.Camera()->GetZLock()) << "the camera's vertical lock is let go every frame";
  EControlHandler::DontRunControls(false);
  Feed(pMode, Stick(0, 0));
  EXPECT_EQ(1, pMode->m_nHandled);
}

TEST_F(Controls, AHandlerThatIsNotActiveIsAFault) {
  HarnessMode* pMode = m_H.InstallStub(kCONTROL_PLAYER);
  Input in;
  EXPECT_DEATH(Unhooked([&] { pMode->HandleControls(in); }), "m_bActivated");
  EXPECT_DEATH(Unhooked([&] { pMode->PostHandleControls(in); }), "m_bActivated");
  pMode->Activate(nullptr);
  pMode->Deactivate();
  EXPECT_DEATH(Unhooked([&] { pMode->HandleControls(in); }), "m_bActivated");
}

TEST_F(Controls, ConfusionReversesTheStickOnFootAndInTheBallOnly) {
  m_H.Player()->SetConfused(true);
  for (int t = 0; t < kCONTROL_NUMTYPES; ++t) {
    SCOPED_TRACE(t);
    HarnessMode* pMode = Active((CONTROL_HANDLER_TYPE)t);
    Feed(pMode, Stick(20, -60));
    const bool bReversed = t == kCONTROL_PLAYER || t == kCONTROL_BALL;
    EXPECT_EQ(bReversed ? -20 : 20, pMode->m_LastInput.m_nMoveX);
    EXPECT_EQ(bReversed ? 60 : -60, pMode->m_LastInput.m_nMoveY);
  }
  m_H.Player()->SetConfused(false);
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  Feed(pMode, Stick(20, -60));
  EXPECT_EQ(20, pMode->m_LastInput.m_nMoveX);
}

TEST_F(Controls, ThePlayersScriptMayTakeTheCancelPress) {
  struct Case {
    const char* answer;  // null: no method
    int seen;
  };
  const Case cases[] = {{"1", 0}, {"nil", 1}, {"0", 1}, {nullptr, 1}};
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer ? c.answer : "no method");
    if (c.answer)
      m_H.Answer(m_H.PlayerScript(), "onButtonCancel", c.answer);
    else
      m_H.Run(m_H.PlayerScript(), "self.onButtonCancel = nil");
    Feed(pMode, Press(kBUTTON_B));
    EXPECT_EQ(c.seen, pMode->m_LastInput.m_aButtonPressed[kBUTTON_B]);
    EXPECT_EQ(255, pMode->m_LastInput.m_aButtonDown[kBUTTON_B]) << "only the press edge goes";
    const std::vector<std::string> log = m_H.TakeLog();
    EXPECT_EQ(c.answer ? 1u : 0u, log.size());
    if (c.answer && !log.empty()) {
      EXPECT_EQ("call onButtonCancel()", log[0]);
    }
  }
  // No Cancel press, no call.
  m_H.Answer(m_H.PlayerScript(), "onButtonCancel", "1");
  Feed(pMode, Press(kBUTTON_A));
  EXPECT_TRUE(m_H.TakeLog().empty());
}

TEST_F(Controls, AFilteredLeftTriggerIsHiddenUntilLetGoOrPressedAnew) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  Input held;
  held.m_aAnalogButton[kBUTTON_LEFTFLIPPER] = 200;
  held.m_aButtonDown[kBUTTON_LEFTFLIPPER] = 255;

  EControlHandler::FilterLeftTrigger();
  Feed(pMode, held);
  EXPECT_EQ(0, pMode->m_LastInput.m_aAnalogButton[kBUTTON_LEFTFLIPPER]);
  Feed(pMode, held);
  EXPECT_EQ(0, pMode->m_LastInput.m_aAnalogButton[kBUTTON_LEFTFLIPPER]);
  EXPECT_TRUE(EControlHandler::sm_bFilterLeftTrigger);

  Input fresh = Press(kBUTTON_LEFTFLIPPER);
  Feed(pMode, fresh);
  EXPECT_EQ(1, pMode->m_LastInput.m_aButtonPressed[kBUTTON_LEFTFLIPPER]) << "a fresh press is seen at once";
  EXPECT_FALSE(EControlHandler::sm_bFilterLeftTrigger);

  EControlHandler::FilterLeftTrigger();
  Feed(pMode, Input());
  EXPECT_FALSE(EControlHandler::sm_bFilterLeftTrigger) << "let go";
  Feed(pMode, held);
  EXPECT_EQ(200, pMode->m_LastInput.m_aAnalogButton[kBUTTON_LEFTFLIPPER]);
}

TEST_F(Controls, InActionsWalksItsListToTheTerminator) {
  struct Case {
    std::vector<int> list;  // up to four entries, then 0
    bool result;
    const char* trace;
  };
  const Case cases[] = {
      {{3, 7}, true, nullptr},
      {{7}, true, nullptr},
      {{3, 4}, false, nullptr},
      {{}, false, nullptr},
      {{-1, 7}, true, nullptr},  // the first entry is not checked
      {{3, -1, 7}, false, "InActions: Querying for nonexistent state.  Do you need a new .asd?"},
      {{3, 151, 7}, false, "Bogus value 151 in EControlHandler::InActions"},
      {{3, -5, 7}, false, "Bogus value -5 in EControlHandler::InActions"},
      {{3, 150, 7}, true, nullptr},
  };
  m_H.SetAction(7);
  EControlHandler* pHandler = OnFoot();
  for (const Case& c : cases) {
    int a[5] = {0, 0, 0, 0, 0};
    for (size_t i = 0; i < c.list.size(); ++i) a[i] = c.list[i];
    SCOPED_TRACE(testing::Message() << a[0] << "," << a[1] << "," << a[2]);
    m_H.m_Traces.clear();
    EXPECT_EQ(c.result, pHandler->InActions(a[0], a[1], a[2], a[3], a[4]));
    EXPECT_EQ(c.trace ? 1 : 0, (int)m_H.m_Traces.size());
    if (c.trace) {
      EXPECT_EQ(1, m_H.CountTraces(c.trace));
    }
  }
  EXPECT_TRUE(pHandler->InAction(7));
  EXPECT_FALSE(pHandler->InAction(3));
}

TEST_F(Controls, StaticInitClearsTheSwitchesAndTheBuffer) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  Feed(pMode, Press(kBUTTON_A));
  EControlHandler::PauseControls(true, true);
  EControlHandler::DontRunControls(true);
  EControlHandler::FilterLeftTrigger();
  EControlHandler::m_dwControlResumeTick = 1e9f;
  EControlHandler::m_pPsiBlastTarget = m_H.Player();
  EXPECT_TRUE(EControlHandler::ControlsTemporarilyPaused());
  EControlHandler::StaticInit();
  EXPECT_FALSE(EControlHandler::ControlsPaused());
  EXPECT_FALSE(EControlHandler::ControlsNotRunning());
  EXPECT_FALSE(EControlHandler::sm_bFilterLeftTrigger);
  EXPECT_FALSE(EControlHandler::ControlsTemporarilyPaused());
  EXPECT_EQ(nullptr, EControlHandler::m_pPsiBlastTarget);
  EXPECT_FALSE(EControlHandler::ButtonPressed(kBUTTON_A, 1.0f));
}

// ---- The idle blink ----

TEST_F(Controls, TheBlinkLoadsOnceUnlessTheLevelIsMental) {
  struct Case {
    const char* levelType;  // null: the field is not set
    bool visible;
    int loads;
  };
  const Case cases[] = {
      {"Normal", true, 1}, {"Mental", true, 0}, {"MENTAL", true, 0}, {"mental", true, 0},
      {"Mentalist", true, 1}, {nullptr, true, 0}, {"Normal", false, 0},
  };
  m_H.GiveMesh();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.levelType ? c.levelType : "unset");
    HarnessMode* pMode = Active(kCONTROL_PLAYER);
    EXPECT_EQ(2.0f, pMode->m_fBlinkTimer);
    m_H.Player()->GetMesh()->unloadBlendAnim(EControlHandler::kBlinkAnim);
    m_H.SetLevelType(c.levelType);
    m_H.Player()->SetVisible(c.visible);
    m_H.SetSimTime(50.0, 1.5f);
    pMode->UpdateHeadAnims();
    EXPECT_EQ(0.5f, pMode->m_fBlinkTimer) << "not yet";
    EXPECT_EQ(0, m_H.BlendAnimCount(EControlHandler::kBlinkAnim));
    pMode->UpdateHeadAnims();
    EXPECT_EQ(c.loads, m_H.BlendAnimCount(EControlHandler::kBlinkAnim));
    if (EBlendAnim* pBlink = m_H.FindBlendAnim(EControlHandler::kBlinkAnim)) {
      EXPECT_FALSE(pBlink->IsLooping());
      EXPECT_FALSE(pBlink->IsAutoBlend()) << "weight 0: no fade in";
    }
    pMode->m_fBlinkTimer = -1.0f;
    pMode->UpdateHeadAnims();
    EXPECT_EQ(c.loads, m_H.BlendAnimCount(EControlHandler::kBlinkAnim)) << "never twice";
  }
}

TEST_F(Controls, TheNextBlinkIsTheLongestOrARandomInterval) {
  m_H.GiveMesh();
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  m_H.SetSimTime(50.0, 0.016f);
  int nFixed = 0, nRandom = 0;
  for (int i = 0; i < 64; ++i) {
    pMode->m_fBlinkTimer = 0.0f;
    pMode->UpdateHeadAnims();
    const float next = pMode->m_fBlinkTimer;
    if (next == 3.0f) {
      ++nFixed;
    } else {
      ++nRandom;
      EXPECT_GE(next, 0.25f);
      EXPECT_LE(next, 3.0f);
    }
  }
  EXPECT_GT(nFixed, 8);
  EXPECT_GT(nRandom, 8);

  // Without a mesh the timer just runs down.
  m_H.Player()->SetMesh(nullptr, false);
  pMode->m_fBlinkTimer = 0.0f;
  pMode->UpdateHeadAnims();
  EXPECT_FLOAT_EQ(-0.016f, pMode->m_fBlinkTimer);
  m_H.Player()->SetMesh(THE_EMPTY_MESH, true);
}

TEST_F(Controls, ALevelWithoutAGlobalScriptSkipsTheBlink) {
  m_H.GiveMesh();
  m_H.DropGlobalScript();
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  m_H.SetSimTime(50.0, 3.0f);
  Feed(pMode, Stick(0, 0));
  EXPECT_EQ(0, m_H.BlendAnimCount(EControlHandler::kBlinkAnim));
  EXPECT_EQ(1, pMode->m_nHandled);
  EXPECT_GE(pMode->m_fBlinkTimer, 0.25f) << "the next interval is drawn all the same";
}

// ---- The twenty modes and switching ----

TEST_F(Controls, TheFactoryBuildsTheTwentyModesByType) {
  const char* const names[kCONTROL_NUMTYPES] = {
      "player", "bubble", "psack", "ball",   "trapeze",   "cantilever",   "pole",   "Tightrope", "Telekinesis", "wall",
      "canoe",  "script", "profiles", "Selection", "DialogBubble", "Ladder", "RailSlide", "none", "player", "none"};
  m_H.InitRealModes();
  GameApp& app = m_H.App();
  for (int t = 0; t < kCONTROL_NUMTYPES; ++t) {
    SCOPED_TRACE(t);
    EControlHandler* pHandler = app.GetControlHandlerByType((CONTROL_HANDLER_TYPE)t);
    ASSERT_NE(nullptr, pHandler);
    EXPECT_EQ(pHandler, app.GetControlHandler((CONTROL_HANDLER_TYPE)t)) << "index = type";
    EXPECT_EQ(t, pHandler->Type());
    EXPECT_EQ(t, pHandler->m_eType);
    EXPECT_STREQ(names[t], pHandler->Name());
    EXPECT_STREQ(names[t], pHandler->m_pszName);
    const bool bStillWorld = t == kCONTROL_BUBBLE || t == kCONTROL_DIALOGCHOICE || t == kCONTROL_SLIDESHOW ||
                             t == kCONTROL_FIGMENT;
    EXPECT_EQ(bStillWorld, pHandler->m_bRunWhenTimeStopped);
    EXPECT_FALSE(pHandler->m_bActivated);
    EXPECT_EQ(kCONTROL_NONE, pHandler->m_eReturnType);
    EXPECT_FALSE(pHandler->CanOpenThoughtBubble());
    EXPECT_EQ(nullptr, pHandler->GetActionItem());
  }
  EXPECT_NE(nullptr, dynamic_cast<EPlayerControlHandler*>(app.GetControlHandlerByType(kCONTROL_MENU)));
  EXPECT_EQ(nullptr, dynamic_cast<EPlayerControlHandler*>(app.GetControlHandlerByType(kCONTROL_BALL)));
  EXPECT_EQ(nullptr, app.GetControlHandlerByType(kCONTROL_NONE));

  // The shortcuts.
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_BUBBLE), (void*)app.m_pBubbleControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_TELEKINESIS), (void*)app.m_pTKControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_PROFILE), (void*)app.m_pProfileControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_MENU), (void*)app.m_pMenuControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_DIALOGCHOICE), (void*)app.m_pDialogChoiceControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_SLIDESHOW), (void*)app.m_pSlideshowControlHandler);
  EXPECT_EQ((void*)app.GetControlHandler(kCONTROL_FIGMENT), (void*)app.m_pFigmentControlHandler);
  EXPECT_EQ(nullptr, app.GetControlHandler());
  EXPECT_EQ(nullptr, app.GetUIControlHandler());

  EXPECT_DEATH(Unhooked([&] { EControlHandlerFactory::Create(&app, kCONTROL_NUMTYPES); }),
               "ControlHandlerFactory");
}

TEST_F(Controls, SwitchingToTheActiveModeIsANoOp) {
  m_H.InitRealModes();
  HarnessMode* pPlayer = m_H.InstallStub(kCONTROL_PLAYER, "player");
  m_H.Listen(m_H.PlayerScript(), "ControlHandlerChanged");
  ASSERT_TRUE(m_H.App().SetControlHandler(kCONTROL_PLAYER, nullptr));
  EXPECT_EQ(1, pPlayer->m_nActivated);
  EXPECT_EQ(1u, m_H.Queued(m_H.PlayerScript()).size());
  m_H.Turn();
  EXPECT_EQ(std::vector<std::string>{"ControlHandlerChanged(0) from nil"}, m_H.TakeLog());

  EXPECT_TRUE(m_H.App().SetControlHandler(kCONTROL_PLAYER, (void*)1));
  EXPECT_EQ(1, pPlayer->m_nActivated);
  EXPECT_EQ(0, pPlayer->m_nDeactivated);
  EXPECT_TRUE(m_H.Queued(m_H.PlayerScript()).empty());
  m_H.Turn();
  EXPECT_TRUE(m_H.TakeLog().empty());
}

TEST_F(Controls, ARefusedActivationLandsOnFoot) {
  m_H.InitRealModes();
  HarnessMode* pLadder = m_H.InstallStub(kCONTROL_LADDER, "Ladder");
  pLadder->m_bActivateResult = false;
  m_H.Listen(m_H.PlayerScript(), "ControlHandlerChanged");
  ASSERT_TRUE(m_H.App().SetControlHandler(kCONTROL_BALL, nullptr));
  m_H.Turn();
  m_H.TakeLog();

  int iLadder = 0;
  EXPECT_FALSE(m_H.App().SetControlHandler(kCONTROL_LADDER, &iLadder));
  EXPECT_EQ(&iLadder, pLadder->m_pLastData);
  EXPECT_EQ(kCONTROL_PLAYER, m_H.App().GetControlHandlerType());
  EXPECT_TRUE(m_H.App().GetControlHandler()->m_bActivated);
  EXPECT_FALSE(m_H.App().GetControlHandler(kCONTROL_BALL)->m_bActivated);
  EXPECT_EQ(std::vector<std::string>{"ControlHandlerChanged(i:0)"}, m_H.Queued(m_H.PlayerScript()))
      << "queued for the script's next turn";
  m_H.Turn();
  EXPECT_EQ(std::vector<std::string>{"ControlHandlerChanged(0) from nil"}, m_H.TakeLog());
}

TEST_F(Controls, AModeThatSwitchesInItsFrameOrAStillFrameGetsNoPostHandling) {
  m_H.InitRealModes();
  HarnessMode* pPlayer = m_H.InstallStub(kCONTROL_PLAYER, "player");
  HarnessMode* pTrapeze = m_H.InstallStub(kCONTROL_TRAPEZE, "trapeze");
  HarnessMode* pBubble = m_H.InstallStub(kCONTROL_BUBBLE, "bubble");
  pBubble->m_bRunWhenTimeStopped = true;
  ASSERT_TRUE(m_H.App().SetControlHandler(kCONTROL_PLAYER, nullptr));

  m_H.Frame(Stick(0, -100), 0.02f);
  EXPECT_EQ(1, pPlayer->m_nHandled);
  EXPECT_EQ(1, pPlayer->m_nPostHandled);
  EXPECT_EQ(-100, pPlayer->m_LastInput.m_nMoveY) << "the frame's record";

  m_H.Frame(Stick(0, 0), 0.0f);
  EXPECT_EQ(1, pPlayer->m_nHandled) << "the on-foot mode stands still with the world";
  EXPECT_EQ(1, pPlayer->m_nPostHandled);

  pPlayer->m_eSwitchTo = kCONTROL_TRAPEZE;
  m_H.Frame(Stick(0, 0), 0.02f);
  EXPECT_EQ(2, pPlayer->m_nHandled);
  EXPECT_EQ(1, pPlayer->m_nPostHandled);
  EXPECT_EQ(0, pTrapeze->m_nHandled);
  EXPECT_EQ(0, pTrapeze->m_nPostHandled);
  EXPECT_EQ(kCONTROL_TRAPEZE, m_H.App().GetControlHandlerType());
  m_H.Frame(Stick(0, 0), 0.02f);
  EXPECT_EQ(1, pTrapeze->m_nHandled) << "the new mode runs from the next frame";
  EXPECT_EQ(1, pTrapeze->m_nPostHandled);

  // The bubble runs while the world stands still, without post handling.
  ASSERT_TRUE(m_H.App().SetControlHandler(kCONTROL_BUBBLE, (void*)(intptr_t)kCONTROL_TRAPEZE));
  EXPECT_EQ((void*)(intptr_t)kCONTROL_TRAPEZE, pBubble->m_pLastData);
  m_H.Frame(Stick(0, 0), 0.0f);
  EXPECT_EQ(1, pBubble->m_nHandled);
  EXPECT_EQ(0, pBubble->m_nPostHandled);
}

TEST_F(Controls, TheUserInterfaceModeLeavesThePauseAlone) {
  m_H.InitRealModes();
  ASSERT_TRUE(m_H.App().SetControlHandler(kCONTROL_PLAYER, nullptr));
  EControlHandler::PauseControls(true, false);
  EControlHandler::DontRunControls(true);
  m_H.App().SetUIControlHandler(kCONTROL_SLIDESHOW);
  EControlHandler* pSlideshow = m_H.App().GetUIControlHandler();
  ASSERT_NE(nullptr, pSlideshow);
  EXPECT_EQ(kCONTROL_SLIDESHOW, pSlideshow->Type());
  EXPECT_TRUE(pSlideshow->m_bActivated);
  EXPECT_TRUE(EControlHandler::ControlsPaused());
  EXPECT_TRUE(EControlHandler::ControlsNotRunning());
  EXPECT_EQ(kCONTROL_PLAYER, m_H.App().GetControlHandlerType());
  m_H.App().SetUIControlHandler(kCONTROL_NONE);
  EXPECT_EQ(nullptr, m_H.App().GetUIControlHandler());
  EXPECT_FALSE(pSlideshow->m_bActivated);
}

TEST_F(Controls, LevelInitRestoresThePerLevelDefaults) {
  HarnessMode* pMode = Active(kCONTROL_PLAYER);
  m_H.SetSimTime(42.0, 0.016f);
  pMode->Activate(nullptr);
  EXPECT_FLOAT_EQ(42.0f, pMode->m_fActivateTime);
  pMode->m_eHandsState = 2;
  pMode->m_iLastAction = 9;
  pMode->m_fBlinkMin = 1.0f;
  pMode->m_iLedgeCandidateFrame = 17;
  pMode->LevelInit();
  EXPECT_FALSE(pMode->m_bActivated);
  EXPECT_EQ(0, pMode->m_eHandsState);
  EXPECT_EQ(-1, pMode->m_iLastAction);
  EXPECT_EQ(0.0f, pMode->m_fBlinkTimer);
  EXPECT_EQ(0.25f, pMode->m_fBlinkMin);
  EXPECT_EQ(0.0f, pMode->m_fActivateTime);
  pMode->Activate(nullptr);
  EXPECT_EQ(0, pMode->m_iLedgeCandidateFrame);

  // A live psi-blast target stays.
  EControlHandler::m_pPsiBlastTarget = m_H.Player();
  pMode->CleanupReferences();
  EXPECT_EQ(m_H.Player(), EControlHandler::m_pPsiBlastTarget);
}

}  // namespace
