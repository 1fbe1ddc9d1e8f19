// Cameras: the viewpoints the scene is drawn from.
#pragma once

#include <cstdint>

#include "TWGraphics/Rect.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Curve.h"
#include "TWMath/Frustum.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"

class Input;
class ECollide;
class EEntity;
class EMeshEntity;
class EVisibilityCache;

enum CAMERATYPE : int {
  kCAMERA_FLY = 0,
  kCAMERA_SCRIPT = 1,
  kCAMERA_CHASE = 2,
  kCAMERA_RAIL = 3,
  kCAMERA_MAP = 4,
  kCAMERA_SPHERE = 5,
};

// A step closing the gap d: k of it, bounded to lo..hi, never past it.
float GetSimpleSpringVelocity(float d, float k, float lo, float hi);
// Stick response of the fly camera: x limited to -1..1 and bent by
// (exp(k |x|) - 1) / (exp(k) - 1), fine near the centre and 1 at full.
float _AddDynamicRange(float x, float k);
// 0 inside the zone, the rest stretched back over 0..1.
float _KillDeadzone(float x, float zone);

class ECamera {
public:
  ECamera();
  ~ECamera();

  CAMERATYPE GetType() const { return m_eType; }
  void SetPosition(const EVec3& vPosition) { m_vPosition = vPosition; }
  const EVec3& GetPosition() const { return m_vPosition; }
  // Rows of a rotation matrix (row-vector convention).
  void SetRotation(const EVec3& vRight, const EVec3& vUp, const EVec3& vView);
  const EVec3& GetUpVector() const { return m_vUp; }
  const EVec3& GetViewVector() const { return m_vView; }
  void SetVisibilityCheck(bool bOn) { m_bVisibilityCheck = bOn; }
  bool GetVisibilityCheck() const { return m_bVisibilityCheck; }
  // The vertical lock the chase camera keeps while the player locks on.
  void SetZLock(bool bLock) { m_byLockFlags = bLock ? 1 : 0; }
  bool GetZLock() const { return m_byLockFlags != 0; }

  // --- Matrices, frustum and screen tests (CameraMatrices.cpp) ---
  // Rebuilds the view, projection, view-projection and billboard matrices
  // and the frustum from the position, the orientation, the field of view
  // and the viewport. Every Update ends with it.
  void UpdateMatrices() { UpdateMatricesFrom(m_vPosition); }
  // The same from another eye point (the shaken render position).
  void UpdateMatricesFrom(const EVec3& vEye);
  // Vertical field of view in degrees; 0 projects orthographically over the
  // viewport's size. Takes effect at the next update.
  void SetViewportWidth(unsigned dwWidth) { m_dwViewportWidth = dwWidth; }
  void SetViewportHeight(unsigned dwHeight) { m_dwViewportHeight = dwHeight; }
  void SetViewportNearZ(float fNearZ) { m_fNearZ = fNearZ; }
  void SetViewportFarZ(float fFarZ) { m_fFarZ = fFarZ; }
  unsigned GetViewportWidth() const { return m_dwViewportWidth; }
  unsigned GetViewportHeight() const { return m_dwViewportHeight; }
  float GetViewportNearZ() const { return m_fNearZ; }
  float GetViewportFarZ() const { return m_fFarZ; }
  float GetAspectRatio() const { return (float)m_dwViewportWidth / (float)m_dwViewportHeight; }
  // A replaced view or projection matrix stays until switched off; with
  // bUpdate the matrices are rebuilt at once.
  void SetFixedViewMatrix(bool bOn, const EMat4& mView, bool bUpdate);
  void SetFixedProjectionMatrix(bool bOn, const EMat4& mProjection, bool bUpdate);
  bool TestFixedViewMatrix() const { return m_bFixedViewMatrix; }
  bool TestFixedProjectionMatrix() const { return m_bFixedProjectionMatrix; }
  // The frustum follows the camera's own position, orientation and
  // projection even while fixed matrices replace them.
  void SetFrustumComponents(bool bOn) { m_bFrustumComponents = bOn; }
  const EMat4& GetViewMatrix() const { return m_mView; }
  const EMat4& GetWorldToView() const { return m_mView; }
  const EMat4& GetViewToWorld() const { return m_mViewToWorld; }
  const EMat4& GetProjectionMatrix() const { return m_mProjection; }
  const EMat4& GetInverseProjection() const { return m_mInverseProjection; }
  const EMat4& GetViewProjMatrix() const { return m_mViewProj; }
  const EMat4& GetBillboardMatrix() const { return m_mBillboard; }
  const EMat4& GetInverseBillboard() const { return m_mInverseBillboard; }
  EFrustum GetViewFrustum() const { return m_ViewFrustum; }
  // The right vector of the view matrix.
  EVec3 GetRightVector() const { return EVec3(m_mView.m[0], m_mView.m[4], m_mView.m[8]); }

  // Whether a world box (or one relative to the camera) reaches into the
  // view frustum; always true with the visibility check off.
  bool BoxIntersectsFrustum(const EBox3& box, bool bRelative) const;
  bool BoxVisible(const EBox3& box, EVisibilityCache* pCache, bool bRelative) const;
  // Pixel x and y of a world point (on the 640 x 480 virtual screen with
  // bVirtualScreen) and its clip depth, undivided.
  EVec3 WorldCoordsToScreen(const EVec3& vPoint, bool bVirtualScreen) const;
  // A point of the 640 x 480 virtual screen with a clip depth, back in the world.
  EVec3 ScreenCoordsToWorld(const EVec3& vScreen) const;
  // An extent of the given size at the point, in normalised screen units.
  float CalculateScreenExtent(const EVec3& vPoint, float fSize) const;
  // Length in pixels of the diagonal of the box's projection.
  float CalculateScreenDiagonal(const EBox3& box) const;
  // The box's rectangle on the viewport, counted from its bottom; the whole
  // viewport when the box reaches past the near or the far plane.
  ERect CalculateScreenRect(const EBox3& box) const;
  // Projective texture coordinates of the camera's view.
  EMat4 CalculateTexGenMatrix() const;
  // A billboard at the point that turns only about the axis.
  EMat4 GetWorldAlignedBillboardMatrix(const EVec3& vPoint, const EVec3& vAxis) const;

private:
  CAMERATYPE m_eType;
  EVec3 m_vPosition;
  EVec3 m_vRight;
  EVec3 m_vUp;
  EVec3 m_vView;
  bool m_bVisibilityCheck;
  uint8_t m_byLockFlags = 0;

  // ---- Modes, targets, the sub-stepped update, tracking and shakes ----
public:
  enum : uint8_t {  // m_byCameraFlags
    kCAMFLAG_DiscontinuousUpdate = 0x01,
    kCAMFLAG_LastUpdateDiscontinuous = 0x02,
    kCAMFLAG_FullSimSpeed = 0x40,
    kCAMFLAG_FirstSubStep = 0x80,
  };
  enum : uint8_t {  // m_byTargetFlags
    kTARGET_UseJoint = 0x01,
    kTARGET_Fixed = 0x02,
    kTARGET_UpwardTracking = 0x04,
    kTARGET_UpwardTrackingFast = 0x08,
    kTARGET_RotateToTarget = 0x10,
    kTARGET_Floating = 0x20,
  };
  enum : uint8_t { kFRAME_Rotation = 0x01, kFRAME_UpMoving = 0x02 };  // m_byFrameFlags
  enum : uint8_t { kBUBBLE_Mode = 0x01, kBUBBLE_Previous = 0x02, kBUBBLE_RightStick = 0x04 };
  enum : uint32_t {  // options of the scene queries
    kSCENE_NoBackfaceCull = 0x01,
    kSCENE_Slide = 0x02,
    kSCENE_Always = 0x04,
    kSCENE_Entities = 0x08,
    kSCENE_Terrain = 0x10,
  };
  enum { kNUM_PHYSICS_STATES = 60, kCOLLISION_HISTORY = 32, kGRADIENT_HISTORY = 512 };

  // A timed shake: duration 0 means inactive. Times in ms.
  struct FShake {
    float fDuration, fAccel, fDecel, fElapsed;
    EVec3 vAmplitude;
    float fFrequency;  // radians per second of real time (periodic only)
  };

  static const char* GetTypeName(int eType);
  void Init(CAMERATYPE eType);
  // One frame: the mode moves the camera in slices of at most 18 ms.
  void Update(const Input* pInput, float fDeltaMs);
  void MoveToIdeal();
  void ResetMode();
  void MarkDiscontinousUpdate() { m_byCameraFlags |= kCAMFLAG_DiscontinuousUpdate; }
  bool GetLastUpdateDiscontinuous() const { return (m_byCameraFlags & kCAMFLAG_LastUpdateDiscontinuous) != 0; }
  void ClearInterpFrames() { m_fInterpFrames = 0.0f; }
  bool TestFirstSubStep() const { return (m_byCameraFlags & kCAMFLAG_FirstSubStep) != 0; }
  void SetFullSimSpeed(bool bOn) { setCameraFlag(kCAMFLAG_FullSimSpeed, bOn); }
  bool GetFullSimSpeed() const { return (m_byCameraFlags & kCAMFLAG_FullSimSpeed) != 0; }
  void CleanupReferences();

  // Mode initialisers and updates.
  void InitFlyCamera();
  void InitScriptCamera();
  void InitChaseCamera();
  void InitRailCamera();
  void InitMapCamera();
  void InitSphereCamera();
  void UpdateFlyCamera(const Input* pInput, float fStepMs);
  void UpdateScriptCamera(const Input* pInput, float fStepMs);
  void UpdateChaseCamera(const Input* pInput, float fStepMs);
  void UpdateRailCamera(const Input* pInput, float fStepMs);
  void UpdateMapCamera(const Input* pInput, float fStepMs);
  void UpdateSphereCamera(const Input* pInput, float fStepMs);
  void MoveScriptCameraToIdeal();
  void MoveChaseCameraToIdeal() {}
  // When set, runs in place of the mode update of every slice (tools that
  // drive a camera themselves).
  typedef void (*ModeUpdateHook)(ECamera* pCamera, const Input* pInput, float fStepMs);
  static ModeUpdateHook sm_pfnModeUpdateHook;

  // Script camera paths (CameraScript.cpp): a path of the application's
  // pool flown from its start, optionally moved by a transform; 0 stops.
  void SetScriptCameraPath(uint32_t dwPathId, const EMat4* pTransform);
  void ClearScriptCameraPath() { m_dwScriptPathId = 0; }
  bool IsScriptCameraPathActive() const { return m_dwScriptPathId != 0; }
  uint32_t GetScriptCameraPath() const { return m_dwScriptPathId; }

  // Rail camera (CameraRail.cpp): rides the position path while looking at
  // the look path, where the target is along the look path.
  void SetRailCameraPaths(unsigned dwPositionPathId, unsigned dwLookPathId);
  // The look path's parameter nearest to the target point.
  float GetIdealT();
  void SetRailCameraRadius(float fRadius) { m_vRailSpherical.x = fRadius; }
  void SetRailCameraAltitude(float fAltitude) { m_vRailSpherical.z = fAltitude; }
  float GetRailT() const { return m_fRailT; }
  unsigned GetRailPositionPath() const { return m_dwRailPositionPath; }
  unsigned GetRailLookPath() const { return m_dwRailLookPath; }

  // Fly camera (CameraFly.cpp): the "3D" mode turns about the camera's own axes.
  bool GetFreeRotation() const { return m_bFreeRotation; }
  // The fly camera's status line for this input, at most 99 characters;
  // it is drawn right-aligned at x 590, y 65 of the 640 x 480 screen.
  void FormatFlyStatusLine(const Input& input, char* szOut, unsigned uSize) const;

  // Sphere camera (CameraSphere.cpp): radius, azimuth and altitude around the target.
  const EVec3& GetLastSpherical() const { return m_vLastSpherical; }

  // Targets.
  void SetPrimaryTarget(EMeshEntity* pEntity, bool bKeepCamera);
  EMeshEntity* GetPrimaryTarget() const { return m_pPrimaryTarget; }
  void SetSecondaryTarget(EMeshEntity* pEntity, uint32_t dwFlags, bool bKeepCamera);
  EMeshEntity* GetSecondaryTarget() const { return m_pSecondaryTarget; }
  uint32_t GetSecondaryFlags() const { return m_dwSecondaryFlags; }
  void SetTertiaryTarget(EMeshEntity* pEntity) { m_pTertiaryTarget = pEntity; }
  EMeshEntity* GetTertiaryTarget() const { return m_pTertiaryTarget; }
  void SetFixedTarget(const EVec3& vPoint, bool bKeepCamera);
  bool TestFixedTargetMode() const { return (m_byTargetFlags & kTARGET_Fixed) != 0; }
  void SetFloatingTarget(const EVec3& vPoint);
  void SetPrimaryTargetJoint(const char* szJoint);
  void SetUpwardTracking(bool bUpward, bool bFast);
  void SetRotateToTarget(bool bOn) { setTargetFlag(kTARGET_RotateToTarget, bOn); }
  uint8_t GetTargetFlags() const { return m_byTargetFlags; }
  EVec3 GetTargetPosition(bool bOnGround);
  EVec3 GetTargetOffset() const;
  // A point 800 units ahead along the view.
  EVec3 GetProxyTargetPosition() const { return GetPosition() + GetViewVector() * 800.0f; }
  bool GetTargetAerial() const;
  void SetTargetHeight(float fHeight);
  float GetTargetHeight() const { return (m_byBubbleFlags & kBUBBLE_Mode) ? 190.0f : m_fTargetHeight; }
  void SetThoughtBubbleMode(bool bOn);
  const EVec3& GetTargetVelocity() const { return m_vTargetVelocity; }
  const EVec3& GetTargetOffsetDrift() const { return m_vTargetOffsetDrift; }
  float GetPrimaryTargetAlpha() const { return m_fPrimaryTargetAlpha; }
  // The player turns the chase camera about the target freely.
  bool TestFreeLookMode() const { return m_iPositionMode == 2; }
  EVec3 GetSphericalPosition();
  void SetDistanceAdjustParam(float f) { m_fDistanceAdjustParam = f; }
  void SetLastBoundedTargetPosition(const EVec3& v) { m_vBoundedTarget = v; }
  const EVec3& GetLastBoundedTargetPosition() const { return m_vBoundedTarget; }
  // With seconds > 0 the field of view blends there, easing in and out.
  void SetFieldOfView(float fFov, float fSeconds = 0.0f, float fAccelSeconds = 0.0f, float fDecelSeconds = 0.0f);
  float GetFieldOfView() const { return m_fFieldOfView; }
  void AttachToEntity(EMeshEntity* pEntity, const EVec3& vOffset, const EQuat& qRotation, bool bKeepUp);
  EMeshEntity* GetAttachEntity() const { return m_pAttachEntity; }
  int StatsGetCollisionTests() const { return m_iCollisionTests; }
  int GetVisibilityLeaf() const { return m_hVisibilityLeaf; }
  // Files the leaf the octree answered for the camera position; an empty
  // leaf counts as no leaf.
  void SetVisibilityLeaf(unsigned hLeaf, const ESSECube& cube);
  // The visibility octree's leaf under the camera, looked up again when the
  // camera left the leaf's cube.
  void updateVisibilityLeaf();
  // The position the matrices are built from: the position with shakes.
  const EVec3& GetRenderPosition() const { return m_vRenderPosition; }
  // The orientation as Euler angles in the target frame, after the last update.
  const EVec3& GetEuler() const { return m_vEuler; }

  // Target frame and relative coordinates.
  const EMat4& GetTargetFrame() const { return m_mTargetFrame; }
  EVec3 GetTargetUpVector() const { return EVec3(m_mTargetFrame.m[4], m_mTargetFrame.m[5], m_mTargetFrame.m[6]); }
  bool GetTargetFrameRotationFlag() const { return (m_byFrameFlags & kFRAME_Rotation) != 0; }
  void SetTargetFrameRotationFlag(bool bOn);
  EMat4 GetTargetFrameRotation() const;
  bool GetTargetUpMoving() const { return (m_byFrameFlags & kFRAME_UpMoving) != 0; }
  EVec3 QuaternionToRelativeEuler(const EQuat& q) const;
  EQuat RelativeEulerToQuaternion(const EVec3& e) const;
  EVec3 CartesianToRelativeEuler(const EVec3& v) const;
  EVec3 RelativeEulerToCartesian(const EVec3& e) const;
  EVec3 CartesianToRelativeCartesian(const EVec3& v) const;
  EVec3 RelativeCartesianToCartesian(const EVec3& v) const;
  EVec3 CartesianToRelativeSpherical(const EVec3& v) const;
  EVec3 RelativeSphericalToCartesian(const EVec3& s) const;
  EVec3 CartesianToRelativeCylindric(const EVec3& v) const;
  EVec3 RelativeCylindricToCartesian(const EVec3& c) const;
  EQuat CartesianToQuaternion(const EVec3& v) const;
  void CameraLookAt(const EVec3& vPoint);
  EQuat GetRotationQuat() const;
  void SetRotationQuat(const EQuat& q);

  // Scene queries, ground and up tracking.
  bool TestSceneCollision(const EVec3& vFrom, const EVec3& vTo, float fRadius, uint32_t dwOptions,
                          EVec3* pOutPoint = nullptr, EVec3* pOutNormal = nullptr, ETri3* pOutTriangle = nullptr);
  bool TestSphereInScene(const EVec3& vPoint, float fRadius);
  EVec3 calculateRaytraceBoundedPosition(const EVec3& vFrom, const EVec3& vTo, float fRadius, uint32_t dwOptions);
  EVec3 findValidPositionAlongSegment(const EVec3& vFrom, const EVec3& vTo, float fRadius, uint32_t dwOptions);
  EVec3 findGroundPosition(const EVec3& vPoint, uint32_t dwOptions, EVec3* pOutNormal);
  void updateGroundPosition(const EVec3& vTargetPos, bool bAerial, float fStepMs);
  EVec3 getEntityPosition(EMeshEntity* pEntity, bool bOnGround);
  EQuat getEntityRotation(EMeshEntity* pEntity) const;
  EVec3 getDesiredUpVector() const;
  void setTargetUpVector(const EVec3& vUp, const EVec3& vReference);
  bool interpolateTargetUpVector(const EVec3& vDesired, float fStepMs);
  EVec2 calculateSurfaceGradient();
  const EVec2& GetSurfaceGradient() const { return m_vSurfaceGradient; }
  const EVec3& GetGroundPosition() const { return m_vGroundPosition; }
  bool GetInScene() const { return m_bInScene; }
  static void ClearCollisionHistory();
  // The scene's collision check the queries above run; replaceable so that
  // a test world can answer them.
  typedef bool (*SceneCollisionFn)(ECollide& query);
  static SceneCollisionFn sm_pfnSceneCollision;
  static bool DefaultSceneCollision(ECollide& query);

  // Shakes.
  void StartShakeRandom(const EVec3& vAmplitude, float fTotalSeconds, float fAccelSeconds, float fDecelSeconds);
  void StartShakePeriodic(const EVec3& vAmplitude, float fFrequency, float fTotalSeconds, float fAccelSeconds,
                          float fDecelSeconds);
  void StartShakeDriven(float fMagnitude);
  void StopShake();
  static void SetShakeEnable(bool bOn) { sm_bCameraShakeEnable = bOn; }
  static bool GetShakeEnable() { return sm_bCameraShakeEnable; }
  const FShake& GetShakeRandom() const { return m_ShakeRandom; }
  const FShake& GetShakePeriodic() const { return m_ShakePeriodic; }
  const EVec3& GetShakeSpringOffsetA() const { return m_vShakeSpringOffsetA; }
  const EVec3& GetShakeSpringOffsetB() const { return m_vShakeSpringOffsetB; }

  // Class state.
  static void ResetStaticGlobals();
  static void SetPhysicsStateRadius(int eState, float fValue);
  static void SetPhysicsStateAltitude(int eState, float fValue);
  static float GetPhysicsStateRadius(int eState) { return sm_pfPhysicsStateRadius[eState]; }
  static float GetPhysicsStateAltitude(int eState) { return sm_pfPhysicsStateAltitude[eState]; }
  static void SetLockedVisCamera(ECamera* pCamera) { sm_pLockedVisCamera = pCamera; }
  static ECamera* GetLockedVisCamera() { return sm_pLockedVisCamera; }

private:
  void setCameraFlag(uint8_t by, bool bOn) { m_byCameraFlags = bOn ? (m_byCameraFlags | by) : (m_byCameraFlags & ~by); }
  void setTargetFlag(uint8_t by, bool bOn) { m_byTargetFlags = bOn ? (m_byTargetFlags | by) : (m_byTargetFlags & ~by); }
  void initTrackingState();
  void applyKeepCamera(const EVec3& vOld, bool bKeepCamera);
  void settleGround();
  bool isCurrentCamera() const;
  void advanceShakeSprings(float fStepMs);
  bool hasScriptTargets() const;
  EVec3 advanceTimedShakes(float fDeltaMs);
  bool checkShakeTimes(float fTotalSeconds, float fAccelSeconds, float fDecelSeconds) const;
  // Rebuilds the view, projection and frustum from the render position.
  void BuildMatrices();

  int m_iPreviousType;
  EVec3 m_vPreviousPosition;
  EVec3 m_vVelocity;
  EVec3 m_vRenderPosition;
  EMeshEntity* m_pAttachEntity;
  EVec3 m_vAttachOffset;
  EQuat m_qAttachRotation;
  uint8_t m_byAttachFlags;
  uint8_t m_byFrameFlags;
  EMat4 m_mWorldToTargetFrame;
  EMat4 m_mTargetFrame;
  float m_fTargetUpAngularVelocity;
  FShake m_ShakeRandom;
  FShake m_ShakePeriodic;
  EVec3 m_vShakeSpringOffsetA, m_vShakeSpringVelocityA;
  EVec3 m_vShakeSpringOffsetB, m_vShakeSpringVelocityB;
  float m_fPrimaryTargetAlpha;
  EInterpolator m_BlendCurve;
  float m_fInterpFrames;
  float m_fInterpFrame;
  EVec3 m_vBlendStartPosition;
  EQuat m_qBlendStartRotation;
  EMeshEntity* m_pPrimaryTarget;
  EMeshEntity* m_pSecondaryTarget;
  EMeshEntity* m_pTertiaryTarget;
  char m_szPrimaryTargetJoint[32];
  uint8_t m_byTargetFlags;
  EVec3 m_vFloatingTarget;
  EVec3 m_vGroundPosition;
  EVec3 m_vGroundVelocity;
  EVec3 m_vAerialGround;
  EVec3 m_vTargetGround;
  EVec3 m_vTargetPosition;
  EQuat m_qTargetRotation;
  EVec3 m_vTargetVelocity;
  int m_iCollisionTests;
  int m_hVisibilityLeaf;
  ESSECube m_VisibilityLeafCube;
  uint8_t m_byCameraFlags;
  bool m_bInScene;
  uint32_t m_dwScriptPathId;
  EVec3 m_vSphericalVelocity;
  EVec3 m_vBoundedTarget;
  EQuat m_qDesiredRotation;
  int m_iPositionMode;
  uint32_t m_dwSecondaryFlags;
  float m_fDistanceAdjustParam;
  uint8_t m_bySphericalFlags;
  float m_fTargetHeight;
  EVec3 m_vSphericalDrift;
  EVec3 m_vTargetOffsetDrift;
  float m_fVisibilityAltitudeDelta;
  uint8_t m_byBubbleFlags;
  float m_fGroundOffset;
  EVec2 m_vSurfaceGradient;
  EVec3 m_vEuler;
  float m_fFieldOfView;  // degrees; 0 is orthographic
  float m_fFovBlendDuration, m_fFovBlendElapsed, m_fFovBlendStart, m_fFovBlendEnd;  // ms, ms, degrees
  EInterpolator m_FovBlendCurve;
  float m_fHeldAzimuth;        // chase: azimuth kept while the frame turns
  // Script camera path playback.
  float m_fScriptPathElapsed;  // ms
  bool m_bScriptPathFirstStep;
  int m_iScriptPathSegment;  // waypoint where the segment search starts
  bool m_bScriptPathTransformed;
  EMat4 m_mScriptPathTransform;
  // Rail camera.
  uint32_t m_dwRailPositionPath, m_dwRailLookPath;
  float m_fRailLookHeight;
  EVec3 m_vRailSpherical;  // x radius, z altitude; 1e9 while unset
  float m_fRailT;
  // Fly and sphere cameras.
  bool m_bFreeRotation;
  EVec3 m_vLastSpherical;
  float m_fAltitudeInputTimer;  // chase

  static bool sm_bCameraShakeEnable;
  static float sm_pfPhysicsStateRadius[kNUM_PHYSICS_STATES];
  static float sm_pfPhysicsStateAltitude[kNUM_PHYSICS_STATES];
  static ESphere sm_pInsideSphereHistory[kCOLLISION_HISTORY];
  static int sm_iInsideSphereIndex;
  static EVec3 sm_pvOutsidePointHistory[kCOLLISION_HISTORY];
  static int sm_iOutsidePointIndex;
  static EVec3 sm_pvSurfaceGradientGroundHistory[kGRADIENT_HISTORY];
  static EVec2 sm_pvSurfaceGradientResultHistory[kGRADIENT_HISTORY];
  static int sm_iSurfaceGradientIndex;
  static ECamera* sm_pLockedVisCamera;

  // The matrix and viewport state.
private:
  unsigned m_dwViewportWidth;
  unsigned m_dwViewportHeight;
  float m_fNearZ;
  float m_fFarZ;
  EMat4 m_mView;
  EMat4 m_mViewToWorld;
  EMat4 m_mProjection;
  EMat4 m_mInverseProjection;
  EMat4 m_mViewProj;
  EMat4 m_mBillboard;
  EMat4 m_mInverseBillboard;
  EFrustum m_ViewFrustum;
  bool m_bFixedViewMatrix;
  bool m_bFixedProjectionMatrix;
  bool m_bFrustumComponents;
};
