// Normals packed into colours for the render set-up's textures.
#include <gtest/gtest.h>

#include "Game/GameRender.h"

namespace {

TEST(NormalVectorToRGBA, PacksEachComponentRoundedHalfAwayFromZero) {
  struct Case {
    EVec3 v;
    uint32_t expected;
  } cases[] = {
      {EVec3(0, 0, 1), 0xFF8080FFu},     // 127.5 rounds up to 128
      {EVec3(-1, -1, -1), 0xFF000000u},  // alpha is always 255
      {EVec3(1, 1, 1), 0xFFFFFFFFu},
      {EVec3(1, 0, -1), 0xFFFF8000u},    // x red, y green, z blue
      {EVec3(-0.5f, 0.5f, 0.25f), 0xFF40BF9Fu},  // 63.75, 191.25, 159.375
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, NormalVectorToRGBA(c.v)) << c.v.x << " " << c.v.y << " " << c.v.z;
}

TEST(NormalVectorToRGBADeathTest, ComponentsOutsideTheUnitRangeAreFatal) {
  EXPECT_DEATH(NormalVectorToRGBA(EVec3(0, 1.01f, 0)), "v.y >= -1.0f && v.y <= 1.0f");
}

}  // namespace
