// Halos: the 16-halo limit, texture 0 and the default colour.
#include <gtest/gtest.h>

#include "VERirezo/HaloManager.h"

TEST(Halos, SixteenAtOnceTextureZeroAndDefaultColour) {
  EHaloManager halos;
  EXPECT_EQ(0u, halos.AddHalo(5, EVec3(0, 0, 0), 1, 2)) << "no pool before Init";
  halos.Init();
  EXPECT_EQ(0u, halos.AddHalo(0, EVec3(0, 0, 0), 1, 2));
  EXPECT_EQ(0, halos.GetHaloCount());
  uint32_t ids[16];
  for (int i = 0; i < 16; ++i) {
    ids[i] = halos.AddHalo(7, EVec3((float)i, 0, 0), 1, 2);
    ASSERT_NE(0u, ids[i]) << i;
  }
  EXPECT_EQ(0u, halos.AddHalo(7, EVec3(0, 0, 0), 1, 2)) << "the 17th";
  halos.DeleteHalo(ids[3]);
  halos.DeleteHalo(ids[3]);
  halos.DeleteHalo(0);
  halos.DeleteHalo(0x8000FFFFu);  // a slot the pool never had
  const EVec3 red(1, 0, 0);
  const uint32_t again = halos.AddHalo(9, EVec3(1, 2, 3), 4, 5, &red);
  ASSERT_NE(0u, again);
  EXPECT_EQ(16, halos.GetHaloCount());
  const EHalo* h = halos.GetHalo(again);
  EXPECT_EQ(red, h->m_vColor);
  EXPECT_EQ(EVec3(1, 2, 3), h->m_vPosition);
  EXPECT_EQ(9u, h->m_hTexture);
  EXPECT_EQ(EVec3(1, 1, 1), halos.GetHalo(ids[0])->m_vColor) << "no colour: white";
  EXPECT_EQ(nullptr, halos.GetHalo(ids[3]));
  EXPECT_STREQ("Halos", halos.GetHaloArray()->GetName());
  halos.Shutdown();
  EXPECT_EQ(0u, halos.AddHalo(5, EVec3(0, 0, 0), 1, 2));
}
