// The rules of which linked vertex shaders exist, and their input lists.
#include <gtest/gtest.h>

#include <vector>

#include "Game/LinkedShaders.h"

namespace {

TEST(LinkedShaderRules, CountsPerGeometryModule) {
  const int expected[kNUM_VSGEOM] = {140, 57, 115, 17, 107, 9};
  int total = 0;
  for (int g = 0; g < kNUM_VSGEOM; ++g) {
    int n = 0;
    for (int d = 0; d < kNUM_VSDIFFUSE; ++d)
      for (int f = 0; f < kNUM_VSFOG; ++f)
        for (int t = 0; t < kNUM_VSTEXTURE; ++t) n += LinkedShaderAllowed(g, d, f, t);
    EXPECT_EQ(expected[g], n) << "g = " << g;
    total += n;
  }
  EXPECT_EQ(445, total);
}

TEST(LinkedShaderRules, NamedEntries) {
  struct Case {
    int g, d, f, t;
    bool allowed;
  } cases[] = {
      {5, 0, 0, 8, true},   {1, 0, 0, 32, true}, {2, 11, 1, 11, true}, {4, 1, 1, 1, true}, {3, 5, 0, 16, true},
      {5, 2, 0, 1, false},  {0, 0, 0, 32, false}, {2, 0, 0, 30, false}, {0, 0, 0, 8, false}, {4, 0, 0, 4, false},
      {0, 15, 1, 0, false}, {0, 15, 0, 0, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.allowed, LinkedShaderAllowed(c.g, c.d, c.f, c.t)) << c.g << "." << c.d << "." << c.f << "." << c.t;
}

std::vector<int> Inputs(int g, int d, int t) {
  VBFORMAT out[kMAX_LINKED_INPUTS];
  int n = LinkedShaderInputs(g, d, t, out);
  std::vector<int> v;
  for (int i = 0; out[i] != kVBFORMAT_END; ++i) v.push_back(out[i]);
  EXPECT_EQ(n, (int)v.size());
  return v;
}

TEST(LinkedShaderRules, InputLists) {
  EXPECT_EQ((std::vector<int>{3, 8, 9, 13, 15, 16, 17, 18}), Inputs(4, 1, 1));
  EXPECT_EQ((std::vector<int>{3, 9, 13, 14}), Inputs(3, 5, 16));
  EXPECT_EQ((std::vector<int>{5}), Inputs(5, 1, 38));
  EXPECT_EQ((std::vector<int>{3}), Inputs(0, 0, 0));
  // Every allowed combination fits the stream limit.
  for (int g = 0; g < kNUM_VSGEOM; ++g)
    for (int d = 0; d < kNUM_VSDIFFUSE; ++d)
      for (int f = 0; f < kNUM_VSFOG; ++f)
        for (int t = 0; t < kNUM_VSTEXTURE; ++t)
          if (LinkedShaderAllowed(g, d, f, t)) {
            EXPECT_LE((int)Inputs(g, d, t).size(), kMAX_VERTEX_STREAMS);
          }
}

TEST(LinkedShaderRules, IndexLayout) {
  EXPECT_EQ(0, LinkedShaderIndex(0, 0, 0, 0));
  EXPECT_EQ(kNUM_LINKED_SHADERS - 1, LinkedShaderIndex(5, 16, 1, 38));
  EXPECT_EQ(2 * 1326 + 11 * 78 + 39 + 11, LinkedShaderIndex(2, 11, 1, 11));
}

TEST(LinkedShaderModulesDeathTest, UnknownModuleIsFatal) {
  EXPECT_DEATH(GeomModuleFile(6), "Unknown geometry shader type");
  EXPECT_DEATH(TextureModuleFile(39), "Unknown texture shader type");
}

}  // namespace
