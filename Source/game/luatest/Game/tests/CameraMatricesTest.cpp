// A camera's matrices, frustum and screen tests.
#include <gtest/gtest.h>

#include "Game/Camera.h"
#include "TWMath/Matrix.h"

namespace {

// A camera at the position looking down -Z with the given viewport.
void CameraLookDownZ(ECamera& camera, const EVec3& position, unsigned w, unsigned h) {
  camera.SetPosition(position);
  camera.SetRotation(EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, -1));
  camera.SetViewportWidth(w);
  camera.SetViewportHeight(h);
  camera.UpdateMatrices();
}

TEST(CameraMatrices, PointStraightAheadMapsToTheScreenCentre) {
  struct Case {
    unsigned w, h;
  } cases[] = {{800, 600}, {640, 480}, {1024, 768}, {640, 200}};
  for (const Case& c : cases) {
    ECamera camera;
    CameraLookDownZ(camera, EVec3(5, 7, 9), c.w, c.h);
    const EVec3 pixels = camera.WorldCoordsToScreen(EVec3(5, 7, -300), false);
    EXPECT_NEAR(c.w / 2.0f, pixels.x, 1e-3) << c.w << "x" << c.h;
    EXPECT_NEAR(c.h / 2.0f, pixels.y, 1e-3) << c.w << "x" << c.h;
    EXPECT_GT(pixels.z, 0.0f) << "in front of the camera";
    const EVec3 virt = camera.WorldCoordsToScreen(EVec3(5, 7, -300), true);
    EXPECT_NEAR(320.0f, virt.x, 1e-3);
    EXPECT_NEAR(240.0f, virt.y, 1e-3);
  }
}

TEST(CameraMatrices, ScreenAxesRunRightAndDown) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  const EVec3 right = camera.WorldCoordsToScreen(EVec3(10, 0, -100), false);
  const EVec3 up = camera.WorldCoordsToScreen(EVec3(0, 10, -100), false);
  EXPECT_GT(right.x, 400.0f);
  EXPECT_NEAR(300.0f, right.y, 1e-3);
  EXPECT_LT(up.y, 300.0f) << "up in the world is up the screen";
  EXPECT_NEAR(1.0f, camera.GetRightVector().x, 1e-6);
}

TEST(CameraMatrices, ScreenCoordsToWorldUndoesTheProjection) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(1, 2, 3), 800, 600);
  const EVec3 points[] = {EVec3(1, 2, -200), EVec3(40, -30, -500), EVec3(-7, 9, -20)};
  for (const EVec3& p : points) {
    const EVec3 screen = camera.WorldCoordsToScreen(p, true);
    const EVec4 clip = camera.GetViewProjMatrix().MulVec4(EVec4(p, 1.0f));
    const EVec3 back = camera.ScreenCoordsToWorld(EVec3(screen.x, screen.y, clip.z / clip.w));
    EXPECT_NEAR(p.x, back.x, 0.05f);
    EXPECT_NEAR(p.y, back.y, 0.05f);
    EXPECT_NEAR(p.z, back.z, 0.05f);
  }
}

TEST(CameraMatrices, A640WideViewportIsProjectedFourByThree) {
  ECamera wide, standard, other;
  CameraLookDownZ(wide, EVec3(0, 0, 0), 640, 200);
  CameraLookDownZ(standard, EVec3(0, 0, 0), 640, 480);
  CameraLookDownZ(other, EVec3(0, 0, 0), 800, 200);
  EXPECT_EQ(standard.GetProjectionMatrix(), wide.GetProjectionMatrix());
  EXPECT_NEAR(3.2f, wide.GetAspectRatio(), 1e-6);
  EXPECT_NEAR(standard.GetProjectionMatrix().m[0] / 3.0f, other.GetProjectionMatrix().m[0], 1e-5)
      << "800 x 200 has aspect 4, three times 4/3";
}

TEST(CameraMatrices, ZeroFieldOfViewProjectsOrthographically) {
  ECamera camera;
  camera.SetFieldOfView(0.0f);
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  const EVec3 nearPoint = camera.WorldCoordsToScreen(EVec3(100, 0, -50), false);
  const EVec3 farPoint = camera.WorldCoordsToScreen(EVec3(100, 0, -5000), false);
  EXPECT_NEAR(nearPoint.x, farPoint.x, 1e-2) << "no perspective";
  EXPECT_NEAR(500.0f, nearPoint.x, 1e-2) << "100 units is 100 pixels right of the centre";
}

TEST(CameraMatrices, BoxVisibilityAgainstTheFrustum) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  struct Case {
    EBox3 box;
    bool relative;
    bool visible;
  } cases[] = {
      {EBox3(EVec3(-1, -1, -101), EVec3(1, 1, -99)), false, true},
      {EBox3(EVec3(-1, -1, 99), EVec3(1, 1, 101)), false, false},       // behind
      {EBox3(EVec3(5000, -1, -101), EVec3(5002, 1, -99)), false, false},  // far to the side
      {EBox3(EVec3(-1, -1, -60000), EVec3(1, 1, -55000)), false, false},  // beyond the far plane
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.visible, camera.BoxVisible(c.box, nullptr, c.relative)) << c.box.vMin.z;
    EXPECT_EQ(c.visible, camera.BoxIntersectsFrustum(c.box, c.relative)) << c.box.vMin.z;
  }
  // A box given relative to the camera moves with it.
  CameraLookDownZ(camera, EVec3(0, 0, -1000), 800, 600);
  const EBox3 ahead(EVec3(-1, -1, -101), EVec3(1, 1, -99));
  EXPECT_FALSE(camera.BoxVisible(ahead, nullptr, false)) << "now behind";
  EXPECT_TRUE(camera.BoxVisible(ahead, nullptr, true));
  camera.SetVisibilityCheck(false);
  EXPECT_TRUE(camera.BoxVisible(ahead, nullptr, false)) << "without the check everything is visible";
}

TEST(CameraMatrices, ScreenRectOfBoxes) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  // Reaching in front of the near plane: the whole viewport.
  ERect full = camera.CalculateScreenRect(EBox3(EVec3(-1, -1, -100), EVec3(1, 1, -5)));
  EXPECT_EQ(0, full.left);
  EXPECT_EQ(0, full.top);
  EXPECT_EQ(800, full.right);
  EXPECT_EQ(600, full.bottom);
  // Beyond the far plane too.
  full = camera.CalculateScreenRect(EBox3(EVec3(-1, -1, -60000), EVec3(1, 1, -100)));
  EXPECT_EQ(800, full.right);
  // A centred box inside the view: a rectangle symmetric about the centre,
  // counted from the bottom.
  const ERect r = camera.CalculateScreenRect(EBox3(EVec3(-10, -20, -110), EVec3(10, 20, -100)));
  EXPECT_EQ(800, r.left + r.right);
  EXPECT_EQ(600, r.top + r.bottom);
  EXPECT_LT(r.left, r.right);
  EXPECT_LT(r.top, r.bottom);
  EXPECT_GT(r.left, 0);
  // A box above the centre lies in the upper half: larger y from the bottom.
  const ERect high = camera.CalculateScreenRect(EBox3(EVec3(-1, 30, -110), EVec3(1, 40, -100)));
  EXPECT_GT(high.top, 300);
}

TEST(CameraMatrices, ScreenDiagonalAndExtentShrinkWithDistance) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  const float nearDiagonal = camera.CalculateScreenDiagonal(EBox3(EVec3(-10, -10, -110), EVec3(10, 10, -90)));
  const float farDiagonal = camera.CalculateScreenDiagonal(EBox3(EVec3(-10, -10, -1010), EVec3(10, 10, -990)));
  EXPECT_GT(nearDiagonal, 5.0f * farDiagonal);
  EXPECT_NEAR(2.0f * camera.CalculateScreenExtent(EVec3(0, 0, -200), 10.0f),
              camera.CalculateScreenExtent(EVec3(0, 0, -100), 10.0f), 1e-6);
}

TEST(CameraMatrices, FixedViewMatrixStaysAndFrustumCanFollowTheCamera) {
  ECamera camera;
  CameraLookDownZ(camera, EVec3(0, 0, 0), 800, 600);
  // A view from 1000 units along +Z, looking down -Z.
  const EMat4 view = MatrixTranslate(0, 0, -1000);
  camera.SetFixedViewMatrix(true, view, true);
  EXPECT_EQ(view, camera.GetViewMatrix());
  const EBox3 nearOrigin(EVec3(-1, -1, 899), EVec3(1, 1, 901));
  EXPECT_TRUE(camera.BoxVisible(nearOrigin, nullptr, false)) << "the frustum follows the fixed view";
  camera.SetFrustumComponents(true);
  camera.UpdateMatrices();
  EXPECT_EQ(view, camera.GetViewMatrix());
  EXPECT_FALSE(camera.BoxVisible(nearOrigin, nullptr, false)) << "the frustum follows the camera's own place";
  EXPECT_TRUE(camera.BoxVisible(EBox3(EVec3(-1, -1, -101), EVec3(1, 1, -99)), nullptr, false));
}

}  // namespace
