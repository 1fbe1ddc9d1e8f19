// The state numbers of the player's and the thought bubble's action tables,
// resolved once when the first table of each is set.
#pragma once

// kAS_ numbers, in the order they are resolved: identifier, state name.
#define MESHENTITY_PLAYER_ACTIONS(X)                                                                         \
  X(Anim_Preload, "_Preload") X(Bubble_Fall, "Bubble Fall") X(Bubble_Hit_Head, "Bubble Hit Head")          \
  X(Bubble_Hover, "Bubble Hover") X(Bubble_Idle, "Bubble Idle") X(Bubble_Jump, "Bubble Jump")              \
  X(Bubble_Double_Jump, "Bubble Double Jump") X(Bubble_Mount, "Bubble Mount")                               \
  X(Bubble_Mount_Fast, "Bubble Mount Fast") X(Bubble_Mount_Air, "Bubble Mount Air")                         \
  X(Bubble_Super_Jump, "Bubble Super Jump") X(Bubble_Walk, "Bubble Walk") X(Cantilever_Grab, "Cantilever Grab") \
  X(Cantilever_Hang, "Cantilever Hang") X(Cantilever_Turn, "Cantilever Turn")                               \
  X(Cantilever_Dismount_Fwd, "Cantilever Dismount Fwd") X(Cantilever_Dismount_Bkwd, "Cantilever Dismount Bkwd") \
  X(ZLock_Jump, "ZLock Jump") X(Clairvoyance, "Clairvoyance") X(Climb_Ledge, "Climb Ledge")                 \
  X(Canoe_Idle, "Canoe Idle") X(Canoe_Move, "Canoe Move") X(Cower, "Cower") X(Creep, "Creep")               \
  X(Death, "Death") X(Do_Nothing, "Do Nothing") X(Fall, "Fall") X(Firestarting, "Firestarting")             \
  X(Firestarting_End, "Firestarting End") X(Hang_Ledge, "Hang Ledge") X(Hang_Shimmy_L, "Hang Shimmy L")     \
  X(Hang_Shimmy_R, "Hang Shimmy R") X(Hang_Still, "Hang Still") X(Hang_Dismount, "Hang Dismount")           \
  X(Hit, "Hit") X(Hit_Head, "Hit Head") X(Idle_General, "Idle General") X(Init, "Init")                     \
  X(Into_The_Mind, "Into The Mind") X(Invisibility, "Invisibility") X(Jump, "Jump")                         \
  X(Double_Jump, "Double Jump") X(Knock_Back, "Knock Back") X(Ladder_Dismount_Top, "Ladder Dismount Top")   \
  X(Ladder_Down, "Ladder Down") X(Ladder_Mount_Top, "Ladder Mount Top") X(Ladder_Still, "Ladder Still")     \
  X(Ladder_Up, "Ladder Up") X(Land, "Land") X(Land_Hard, "Land Hard") X(Land_Tumble, "Land Tumble")         \
  X(Land_Hop, "Land Hop") X(Ledge_Mount, "Ledge Mount") X(Movement, "Movement") X(Melee, "Melee")          \
  X(Air_Melee, "Air Melee") X(Melee_Fall, "Melee Fall") X(Bubble_Air_Melee, "Bubble Air Melee")             \
  X(Bubble_Melee_Fall, "Bubble Melee Fall") X(Pole_Dismount, "Pole Dismount") X(Pole_Down, "Pole Down")     \
  X(Pole_Still, "Pole Still") X(Pole_Up, "Pole Up") X(Popper_Fill, "Popper Fill") X(Popper_Drop, "Popper Drop") \
  X(Popper_Toss, "Popper Toss") X(PsiActivate, "PsiActivate") X(Psi_Blast, "Psi Blast")                     \
  X(Psi_Blast_Recoil, "Psi Blast Recoil") X(Psi_Float, "Psi Float") X(Run, "Run") X(Shield, "Shield")       \
  X(Slide, "Slide") X(Stand, "Stand") X(Stand_Ready, "Stand Ready") X(Teeter, "Teeter")                     \
  X(Telekinesis, "Telekinesis") X(Tightrope_Fall, "Tightrope Fall") X(Tightrope_Idle, "Tightrope Idle")     \
  X(Tightrope_Walk, "Tightrope Walk") X(Tightrope_Turn, "Tightrope Turn")                                   \
  X(Trampoline_Launch, "Trampoline Launch") X(Trapeze_Idle, "Trapeze Idle") X(Trapeze_Turn, "Trapeze Turn") \
  X(Walk, "Walk") X(Wall_Dismount_Top, "Wall Dismount Top") X(Wall_Still, "Wall Still")                     \
  X(Wall_Move, "Wall Move") X(Wince, "Wince")

// kBAS_ numbers of the thought bubble.
#define MESHENTITY_BUBBLE_ACTIONS(X)                                                                         \
  X(Firestarting, "Firestarting") X(Invisibility, "Invisibility") X(Telekinesis, "Telekinesis")             \
  X(Open, "Open") X(Open_Psi_Float, "Open Psi Float") X(Psi_Float, "Psi Float")                             \
  X(Close_Psi_Float, "Close Psi Float") X(Mount, "Mount") X(Mount_Fast, "Mount Fast") X(Mount_Air, "Mount Air") \
  X(Ball_Pop, "Ball Pop") X(Ball_Pop_Linger, "Ball Pop Linger") X(Roll, "Roll") X(Close, "Close")          \
  X(Closing, "Closing") X(Inactive, "Inactive") X(Popper_Fill, "Popper Fill") X(Snap_Trap, "Snap Trap")    \
  X(Double_Jump, "Double Jump") X(Into_The_Mind, "Into The Mind") X(Bubble_Air_Melee, "Bubble Air Melee")   \
  X(Bubble_Melee_Fall, "Bubble Melee Fall") X(Bubble_Melee_Land, "Bubble Melee Land")

#define MESHENTITY_DECLARE_AS(id, name) extern int kAS_##id;
#define MESHENTITY_DECLARE_BAS(id, name) extern int kBAS_##id;
MESHENTITY_PLAYER_ACTIONS(MESHENTITY_DECLARE_AS)
MESHENTITY_BUBBLE_ACTIONS(MESHENTITY_DECLARE_BAS)
#undef MESHENTITY_DECLARE_AS
#undef MESHENTITY_DECLARE_BAS

namespace meshentityactions {
// Whether each group has been resolved in this run (tests put them back).
extern bool g_bPlayerActionsResolved;
extern bool g_bBubbleActionsResolved;
}  // namespace meshentityactions
