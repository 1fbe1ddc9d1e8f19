#include "NavMeshWriter.h"

#include <deque>

#include "TWUtil/ByteOrder.h"

namespace {

void NavPut32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}

void NavPutFloats(std::vector<uint8_t>& out, const std::vector<float>& v) {
  for (float f : v) {
    uint8_t b[4];
    PutLEFloat(b, f);
    out.insert(out.end(), b, b + 4);
  }
}

bool NavOpen(const NavPolyDesc& p, uint32_t group) {
  return (p.groups & 0xFFFFFF) == 0 || (group < 24 && (p.groups & (1u << group)) != 0);
}

}  // namespace

void SetNavCell(std::vector<uint8_t>& table, int polys, int a, int b, int value) {
  const uint64_t bit = ((uint64_t)a + (uint64_t)b * (uint64_t)polys) * 2;
  uint8_t& byte = table[bit / 8];
  byte = (uint8_t)((byte & ~(3u << (bit % 8))) | ((unsigned)(value & 3) << (bit % 8)));
}

std::vector<uint8_t> ComputeNavTable(const std::vector<NavPolyDesc>& polys, uint32_t group) {
  const int n = (int)polys.size();
  std::vector<uint8_t> table((size_t)(((uint64_t)n * n * 2 + 7) / 8), 0);
  std::vector<int> firstEdge(n);
  for (int a = 0; a < n; ++a) {
    if (!NavOpen(polys[a], group)) continue;
    std::fill(firstEdge.begin(), firstEdge.end(), -1);
    std::deque<int> open;
    firstEdge[a] = 3;  // the source itself
    for (int k = 0; k < 3; ++k) {
      const int nb = polys[a].neighbour[k];
      if (nb < 0 || nb >= n || firstEdge[nb] != -1 || !NavOpen(polys[nb], group)) continue;
      firstEdge[nb] = k;
      open.push_back(nb);
    }
    while (!open.empty()) {
      const int p = open.front();
      open.pop_front();
      for (int k = 0; k < 3; ++k) {
        const int nb = polys[p].neighbour[k];
        if (nb < 0 || nb >= n || firstEdge[nb] != -1 || !NavOpen(polys[nb], group)) continue;
        firstEdge[nb] = firstEdge[p];
        open.push_back(nb);
      }
    }
    for (int b = 0; b < n; ++b)
      if (b != a && firstEdge[b] >= 0 && firstEdge[b] < 3) SetNavCell(table, n, a, b, firstEdge[b] + 1);
  }
  return table;
}

void WriteNavPlayground(const NavPlaygroundDesc& pg, unsigned version, std::vector<uint8_t>& out) {
  const uint32_t n = (uint32_t)pg.polys.size();
  NavPut32(out, n);
  if (n == 0) return;
  for (const NavPolyDesc& p : pg.polys) {
    if (version >= 304) NavPut32(out, p.groups);
    NavPut32(out, (uint32_t)p.collisionPoly);
    for (int k = 0; k < 3; ++k) NavPut32(out, (uint32_t)p.neighbour[k]);
    for (int k = 0; k < 3; ++k) NavPut32(out, (uint32_t)p.corner[k]);
  }
  NavPut32(out, (uint32_t)(pg.cornerNormals.size() / 3));
  NavPutFloats(out, pg.cornerNormals);
  if (version >= 302) {
    NavPut32(out, (uint32_t)(pg.cornerEdgesA.size() / 3));
    NavPutFloats(out, pg.cornerEdgesA);
    NavPutFloats(out, pg.cornerEdgesB);
  }
  std::vector<NavRawTable> tables = pg.rawTables;
  if (tables.empty())
    for (uint32_t g : pg.groups) tables.push_back({g, ComputeNavTable(pg.polys, g)});
  if (version < 304 && tables.size() > 1) tables.resize(1);
  if (version >= 304) NavPut32(out, (uint32_t)tables.size());
  else if (tables.empty()) NavPut32(out, 0);  // older records always hold one table size
  if (!tables.empty()) {
    NavPut32(out, (uint32_t)tables[0].bytes.size());
    if (!tables[0].bytes.empty())
      for (const NavRawTable& t : tables) {
        if (version >= 304) NavPut32(out, t.group);
        out.insert(out.end(), t.bytes.begin(), t.bytes.end());
      }
  }
  if (version >= 315) {
    NavPut32(out, (uint32_t)pg.links.size());
    for (const NavLinkDesc& l : pg.links) {
      NavPut32(out, l.flags);
      NavPut32(out, l.poly);
      NavPut32(out, l.name.empty() ? 0u : (uint32_t)l.name.size() + 1);
      if (!l.name.empty()) out.insert(out.end(), l.name.c_str(), l.name.c_str() + l.name.size() + 1);
    }
  }
}

void WriteNavMesh(const std::vector<NavPlaygroundDesc>& pgs, unsigned version, std::vector<uint8_t>& out) {
  for (const NavPlaygroundDesc& pg : pgs) WriteNavPlayground(pg, version, out);
}
