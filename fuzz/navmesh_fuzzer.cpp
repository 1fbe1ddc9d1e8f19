// Reads the input as navigation-mesh records and, when they load, asks the
// reachability and solid-path questions of every pair of a few polygons.
//
// Input: one byte choosing the scene version, one byte the playground count
// (0-3), then the records.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/NavMesh.h"

namespace {
void NavFuzzQuiet(const char*) {}
const unsigned kNavFuzzVersions[] = {290, 301, 302, 303, 304, 315};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&NavFuzzQuiet);
  if (size < 2) return 0;
  const unsigned version = kNavFuzzVersions[data[0] % 6];
  const unsigned count = data[1] % 4;
  ENavMesh nav;
  EMemReader reader(data + 2, (unsigned)(size - 2));
  if (!nav.Read(reader, version, count)) return 0;
  if (count == 0) return 0;  // a lone playground is asked through a container
  nav.SetMesh(nullptr);
  volatile int sum = 0;
  const EVec3 src(0.0f, 0.0f, 0.0f), dst(100.0f, 0.0f, 50.0f);
  for (int pg = 0; pg < nav.GetNumPlaygrounds(); ++pg) {
    const ENavMesh& p = *nav.GetPlayground(pg);
    const int polys = p.GetNumPolys() < 6 ? p.GetNumPolys() : 6;
    for (int a = -1; a <= polys; ++a)
      for (int b = -1; b <= polys; ++b)
        for (int group : {0, 1, 15, 20}) {
          EVec3 out;
          sum = sum + p.IsPathSolid(a, b, &out, group, (a & 1) != 0) + p.GetNextSolidPoly(a, b, group) +
                p.GetLastSolidPoly(a, b, group);
          for (int dstPg = 0; dstPg < nav.GetNumPlaygrounds(); ++dstPg)
            for (uint32_t flags : {0u, 1u, 5u})
              sum = sum + nav.IsReachable(pg, a, dstPg, b, 20.0f, &src, &dst, &out, nullptr, nullptr, flags, group);
        }
  }
  sum = sum + (int)nav.GetMemUsage();
  ENavMesh copy(nav);
  sum = sum + (int)copy.GetMemUsage();
  return 0;
}
