// Movement tuning: one process-wide table of named floats. Engine code reads
// an entry through its kPC_ reference, which is bound to the table slot, so
// a change made at run time is seen at once by every reader; scripts read
// and write entries by index.
#pragma once

// X(index, name, default value) for every entry, in index order.
#define PHYSICS_CONSTANT_LIST(X) \
  X(0, Lua_please_trash_me, 0.0f) \
  X(1, BounceElasticity, 0.2f) \
  X(2, JUMPLOCKTIME, 0.15f) \
  X(3, HIGHLEDGEHEIGHT, 200.0f) \
  X(4, SLIDEJUMPLOCKTIME, 1.0f) \
  X(5, HANGLOCKTIME, 1.0f) \
  X(6, AirSteerSpeed, 290.0f) \
  X(7, HITHEADVEL, 100.0f) \
  X(8, PC_RUN, 0.8f) \
  X(9, PC_WALK, 0.55f) \
  X(10, PC_CREEP, 0.15f) \
  X(11, LoseBallSpeed, 500.0f) \
  X(12, BUBBLELOSECONTROLVEL, 1500.0f) \
  X(13, RailGravity, -1500.0f) \
  X(14, RailAccel, 600.0f) \
  X(15, BubbleMaxUserSpeed, 1000.0f) \
  X(16, BubbleTerminalSpeed, 1000.0f) \
  X(17, BubbleTerminalDecel, 1000.0f) \
  X(18, BubbleAccel, 3000.0f) \
  X(19, BubbleBrake, 800.0f) \
  X(20, BubbleBrakePoint, 400.0f) \
  X(21, BubbleTurnSpeed, 200.0f) \
  X(22, BUBBLEGRAVITY, -1500.0f) \
  X(23, GRAVITY, -1500.0f) \
  X(24, FRICTION, 10000.0f) \
  X(25, AIRENGLISH, 2000.0f) \
  X(26, MAXENGLISHSPEED, 550.0f) \
  X(27, MAXENGLISHSPEED2, 90000.0f) \
  X(28, HARDLANDVEL, 1800.0f) \
  X(29, TUMBLELANDVEL, 500.0f) \
  X(30, RUNJUMPUPVEL, 0.0f) \
  X(31, RUNJUMPFWDVEL, 500.0f) \
  X(32, WALKABLESLOPE, 0.7f) \
  X(33, GroundSlideAccel, 100.0f) \
  X(34, GroundWalkAccel, 6000.0f) \
  X(35, GroundBrakeAccel, 6000.0f) \
  X(36, SteerSpeed, 860.0f) \
  X(37, 180SteerSpeed, 600.0f) \
  X(38, AIRDRAG, 1000.0f) \
  X(39, FALLJUMPTIME, 0.1f) \
  X(40, FALLHANGTIME, 0.14f) \
  X(41, DoubleJumpCutoffMin, 0.2f) \
  X(42, DoubleJumpCutoffMax, 1.0f) \
  X(43, SlideSteerFriction, 2.5f) \
  X(44, SlideSteerSpeed, 300.0f) \
  X(45, SlideAutoTurn, 6.0f) \
  X(46, SlideTerminalVelocity, 1500.0f) \
  X(47, BUBBLEFRICTION, 2000.0f) \
  X(48, BUBBLEAIRENGLISH, 1000.0f) \
  X(49, BUBBLEAIRDRAG_V, 2.0f) \
  X(50, BUBBLEAIRDRAG_H, 1.5f) \
  X(51, BUBBLEDESIREDSPEED_V, -300.0f) \
  X(52, BUBBLEJUMPVEL, 600.0f) \
  X(53, BUBBLEBUTTBOUNCEVEL, 900.0f) \
  X(54, SNAPTRAPDELAYTIME, 1500.0f) \
  X(55, SNAPTRAPBOOST, 1100.0f) \
  X(56, BUBBLEBUTTBOUNCEDOWNVEL, -1200.0f) \
  X(57, TRAPEZEGRAVITY, -2900.0f) \
  X(58, TRAPEZEFRICTION, 0.1f) \
  X(59, TRAPEZEKICK, 8.0f) \
  X(60, PSIBLASTKICK, 500.0f) \
  X(61, PSIBLASTSPEED, 4000.0f) \
  X(62, PSIBLASTDELTAY, 100.0f) \
  X(63, PSIBLASTMAXY, 50.0f) \
  X(64, TIGHTROPEINITTIME, 5000.0f) \
  X(65, TIGHTROPEFALLOFFTIME, 1.0f) \
  X(66, TIGHTROPEGUSTINTERVAL, 5000.0f) \
  X(67, TIGHTROPEGUSTSTRENGTH, 0.3f) \
  X(68, TIGHTROPEBALANCECONST, 0.1f) \
  X(69, TIGHTROPEINSTABILITYCONST, 0.01f) \
  X(70, WATERTURNSPEED, 3.0f) \
  X(71, WATERTURNDECAY, 0.4f) \
  X(72, WATERDRAG, 1.0f) \
  X(73, WATERMAXSPEED, 1000.0f) \
  X(74, WATERTHRUST, 1000.0f) \
  X(75, WATERDENSITY, 1000.0f) \
  X(76, RAIL_ACCEL, 500.0f) \
  X(77, RAIL_MAXSPEED, 1000.0f) \
  X(78, RailTransferSpeed, 1200.0f) \
  X(79, XBOX_RUN, 0.9f) \
  X(80, XBOX_WALK, 0.75f) \
  X(81, XBOX_CREEP, 0.4f) \
  X(82, GravityExpRate, 6.0f) \
  X(83, GravityMinRate, 60.0f)

enum PHYSICS_CONSTANT {
#define PHYSICS_CONSTANT_ENUM(i, name, value) PHYSICS_##name = i,
  PHYSICS_CONSTANT_LIST(PHYSICS_CONSTANT_ENUM)
#undef PHYSICS_CONSTANT_ENUM
  PHYSICS_NUM_CONSTANTS
};

#define PHYSICS_CONSTANT_REF(i, name, value) extern const float& kPC_##name;
PHYSICS_CONSTANT_LIST(PHYSICS_CONSTANT_REF)
#undef PHYSICS_CONSTANT_REF

// Entry c of the table; the caller keeps c inside the table.
float GetPhysicsConstant(PHYSICS_CONSTANT c);
// Stores the value into entry c unchanged; the caller keeps c inside the table.
void SetPhysicsConstant(PHYSICS_CONSTANT c, float fValue);
