// The developer switches held by the application (m_DebugHooks): display,
// debug and feature switches that the preferences file and the options set.
#pragma once

#include <cstdio>

#include "Game/RenderDebugSwitches.h"

class EDebugHooks : public ERenderDebugSwitches {
public:
  EDebugHooks()
      : DebugDisplay(0),
        ShowTargets(false),
        DeadLSOBreak(false),
        SimpleDebugCombo(false),
        Rumble(true),
        RumbleSaved(false),
        Subtitles(false),
        CompressBumpmaps(false),
        AutoReduceTextures(false),
        AutoReduceBreak(true),
        ShowBuildText(true),
        ShowParticles(true),
        LazyUpdateParticles(true),
        ShowDistributions(false),
        ShowParticleAffectors(false),
        NoHUD(false),
        AttractMode(false),
        PrintMemDump(false),
        SparseDebug(false),
        FirstHalfDemo(false),
        HideContentWarnings(false),
        PlayerOnly(false),
        CollisionDisplay(0),
        ShowCollisionTree(false),
        ShowTriggerVolumes(false),
        UseTriCache(true),
        HighlightedSurface(1),
        HighlightedMaterial(0),
        HighlightedTrigger(0),
        m_fRelativeGameSpeed(1.0f),
        m_fOneTick(0.0f),
        m_fMinFrameTime(0.0f),
        m_fMaxFrameTime(56.0f),
        m_bMovieCaptureMode(false),
        m_bCaptureScreenShot(false),
        m_bScreenShotWithoutOverlays(false),
        m_bScreenShotHighRes(false),
        m_bDirectOverlays(false),
        MakingPackfiles(false),
        DebugTextureReduction(false),
        m_bNonsenseText(false),
        m_bReplaceButtonWithAction(false),
        m_bShowPrimaryBindingOnly(true),
        m_iImportantMessageFrames(0),
        ShowScene(true),
        CompressAnimQuats(false),
        CameraHighResSim(false),
        FreezeBillboardMatrices(false),
        VisibilityTree(true),
        CameraGroundSpring(true),
        AutoSurfaceGradient(false),
        CameraSurfaceGradient(true),
        DebugSurfaceGradient(false),
        CameraPositionSpring(true),
        CameraRotationSpring(true),
        CameraAlternateSpring(false),
        CameraInvertRotateX(false),
        CameraInvertRotateY(true),
        CameraCollisions(true),
        CameraLineOfSight(true),
        CameraTargetBox(false),
        CameraInvertFreeLookPitch(false),
        CameraAltitudeDeadZone(true) {
    m_szLastImportantMessage[0] = '\0';
  }

  // Times every collider of the next simulated frame; cleared after it.
  bool DumpActiveColliders = false;

  // Starts the on-screen notice that a problem was written to the log.
  void ShowCheckMessageLogMessage() { m_iImportantMessageFrames = 500; }
  // Keeps at most 127 characters of the text.
  void SetLastImportantMessage(const char* szText) {
    snprintf(m_szLastImportantMessage, sizeof(m_szLastImportantMessage), "%s", szText ? szText : "");
  }
  const char* GetLastImportantMessage() const { return m_szLastImportantMessage; }

  // Steps the collision display mode through 0..3.
  void CycleCollisionDisplay() { CollisionDisplay = (CollisionDisplay + 1) % 4; }
  // The scene is drawn as usual in collision display modes 0 and 3.
  bool IsNormalCollisionDisplay() const { return CollisionDisplay == 0 || CollisionDisplay == 3; }

  // Switches the profile options set (CameraInvertRotateX and Y above,
  // RumbleSaved and Subtitles below) and the ones the scripts turn on.
  bool CameraInvertFirstPerson = false;
  bool ShowGoalPopups = true;
  bool SmartCamera = true;
  bool CameraAltitudeDampening = true;
  bool DebugMenuCombo = false;    // both sticks clicked open the in-game menu
  bool CameraScriptMods = true;   // scripts may change camera settings
  bool invulnerable = false;

  int DebugDisplay;         // selected debug screen page, 0 none
  bool ShowTargets;
  bool DeadLSOBreak;
  bool SimpleDebugCombo;    // quick debug buttons in the platform input
  bool Rumble;              // the rumble pack switch
  bool RumbleSaved;         // rumble enabled (the profile's "EnableRumble")
  bool Subtitles;
  bool CompressBumpmaps;
  bool AutoReduceTextures;
  bool AutoReduceBreak;
  bool ShowBuildText;
  bool ShowParticles;          // particles are simulated and drawn
  bool LazyUpdateParticles;    // unseen emitters skip frames
  bool ShowDistributions;      // draw particle distribution shapes
  bool ShowParticleAffectors;  // draw particle affector shapes
  bool NoHUD;
  bool AttractMode;
  bool PrintMemDump;
  bool SparseDebug;            // fewer reports around level loads
  bool FirstHalfDemo;
  bool HideContentWarnings;
  bool PlayerOnly;           // simulate only entities exempt from it (cull distance below 0)

  // Collision display.
  int CollisionDisplay;          // 0 normal; 1 collision surfaces and queries; 2 camera geometry; 3 grid cells
  bool ShowCollisionTree;        // draw collision trees with their octree cells
  bool ShowTriggerVolumes;       // draw trigger volumes
  bool UseTriCache;              // collide against the triangle cache
  unsigned HighlightedSurface;   // surface-flag mask highlighted in display mode 1
  int HighlightedMaterial;       // material 0..15 shown when the mask is the material field; 0 any
  int HighlightedTrigger;        // trigger 0..15 shown when the mask is the trigger field; 0 any

  // Frame timing.
  float m_fRelativeGameSpeed;  // multiplies the simulated step
  float m_fOneTick;            // s; when positive the next simulated step, once
  float m_fMinFrameTime;       // ms; bounds of the simulated step
  float m_fMaxFrameTime;       // ms
  bool m_bMovieCaptureMode;    // fixed simulated step of 1/30 s

  // Screenshot requests and overlay order.
  bool m_bCaptureScreenShot;
  bool m_bScreenShotWithoutOverlays;
  bool m_bScreenShotHighRes;
  bool m_bDirectOverlays;
  bool MakingPackfiles;        // the pack-making run: loose files only
  bool DebugTextureReduction;  // reduce a texture on every pass whatever the memory

  // Localised text.
  bool m_bNonsenseText;             // string tables from "Nonsense" whatever the language
  bool m_bReplaceButtonWithAction;  // button tokens become the action's name
  bool m_bShowPrimaryBindingOnly;   // a button token names one bound input, not both

  // Render switches read by the scene passes; the screenshot, movie-capture
  // and overlay-order switches are the ones above.
  bool m_bScene = true;
  bool m_bLights = true;
  bool m_bSpecularLight = true;
  bool m_bBumpmaps = true;
  bool m_bNoAdvancedShading = false;
  bool m_bShowSprites = true;
  bool m_bSkyBox = true;
  bool m_bHalos = true;
  bool m_bGlare = true;
  bool m_bShadows = true;
  bool m_bDynamicDecals = true;
  bool m_bMonitors = true;
  bool m_bWaterEnabled = false;
  bool m_bDebugDecals = false;    // reach spheres and reached triangles in red
  bool m_bRenderPatches = true;   // off: "No Render Patches"
  bool m_bRenderSplines = true;   // off: "No Render Splines"
  bool m_bShowWireframe = false;  // "Render Wireframe": wire-frame passes are added
  bool m_bAuras = true;
  bool m_bDistortion = true;
  bool m_bDebugLights = false;
  bool m_bAmbientLight = true;
  bool m_bDiffuseLight = true;
  bool m_bReflections = true;
  bool m_bPerPixelLighting = true;
  bool m_bPrecomputedLighting = true;
  bool m_bLightCaching = true;
  bool m_bLightDistanceCulling = true;
  bool m_bLightVisibility = true;
  bool m_bDebugLightRanges = false;
  bool m_bDebugLightVisibility = false;
  bool m_bDebugLightBlocks = false;
  bool m_bDebugMeshFragments = false;
  bool m_bDebugMeshTextures = false;
  bool m_bDebugNormals = false;
  bool m_bDebugBases = false;
  bool m_bDebugGlare = false;
  bool m_bDebugAuras = false;
  bool m_bDebugShadows = false;
  bool m_bDebugDistortion = false;
  bool m_bVisibilityTests = true;
  bool m_bScissor = true;
  bool m_bVSync = true;
  bool m_bFSAA = true;
  bool m_bDisplayFlag2 = false;
  bool m_bCaptureEnvMap = false;
  unsigned m_dwEnvMapSize = 128;
  float m_fEnvMapExponent = 0.0f;
  // Mesh render requests: debug drawing, and feature toggles (set while the
  // feature is on).
  bool m_bDebugCameraAlpha = false;
  bool m_bShowBoundingBoxes = false;
  bool m_bShowSkeletons = false;
  bool m_bShowSkeletonsOnly = false;
  bool m_bShowCollisionWireframe = false;
  bool m_bDecals = true;
  bool m_bTransparentGeometry = true;
  bool m_bBinaryAlpha = true;
  bool m_bDistantGeometry = true;
  // Mesh-entity drawing and head tracking.
  int m_iEntityLabelMode = 0;         // names over entities: 0 off, 1 unculled ones, 2 all
  int m_iDebugGeometryMode = 0;       // 1 and 2 draw entity axes, 1 also collision spheres
  bool m_bCollisionSpheres = false;   // "Collision Spheres"
  bool m_bNPCDebug = false;           // "NPC Debug"
  bool m_bShowLineCollision = false;  // entities' line collision shapes
  bool m_bShowSkinnedMeshes = true;   // off: skinned meshes are not drawn
  bool m_bHideSkinnedMeshes = false;
  bool m_bDebugLookAt = false;        // head-tracking arrows
  bool m_bDetailCulling = true;
  bool m_bDebugDetailCulling = false;  // boxes around detail-culled entities
  bool m_bCameraFading = true;         // entities between camera and player fade
  bool m_bLookTargetVisibility = true;  // look targets must be seen
  // Static light blocks are recomputed every frame.
  bool m_bRecomputeStaticLighting = false;
  bool m_bRefreshVertexShaders = false;
  bool m_bRefreshPixelShaders = false;

  // The notice of an important but non-fatal problem: frames left to show it.
  int m_iImportantMessageFrames;
  char m_szLastImportantMessage[128];

  // Animation.
  bool ShowScene;          // off: no skeleton is animated
  bool CompressAnimQuats;  // sample compressed rotation channels where present

  // Cameras.
  bool CameraHighResSim;         // slices of 1 ms instead of 18
  bool FreezeBillboardMatrices;  // sprites keep the facing they had
  bool VisibilityTree;           // box tests ask the scene's visibility tree
  bool CameraGroundSpring;       // the ground reference springs after its goal
  bool AutoSurfaceGradient;      // the ground slope is measured on any level
  bool CameraSurfaceGradient;    // ... on levels with terrain polygons
  bool DebugSurfaceGradient;     // fresh slope samples, drawn as arrows
  bool CameraPositionSpring;
  bool CameraRotationSpring;
  bool CameraAlternateSpring;
  bool CameraInvertRotateX;
  bool CameraInvertRotateY;
  bool CameraCollisions;
  bool CameraLineOfSight;
  bool CameraTargetBox;
  bool CameraInvertFreeLookPitch;  // set from the profile
  bool CameraAltitudeDeadZone;     // set from the profile
};
