// Writes the navigation-mesh record of a scene file (versions 303, 304 and
// 315) and computes its two-bit reachability tables from polygon adjacency:
// a breadth-first search from every source polygon, per navigation group,
// whose first step names the cell.
//
// A polygon is open to group g when its group word has bit g set or has none
// of bits 0-23 set (older data carries no groups).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NavPolyDesc {
  uint32_t groups = 0;
  int32_t collisionPoly = 0;
  int32_t neighbour[3] = {-1, -1, -1};
  int32_t corner[3] = {-1, -1, -1};
};

struct NavLinkDesc {
  uint32_t flags = 0;
  uint32_t poly = 0;  // low 24 bits written; high bits as given
  std::string name;
};

// A table written as given instead of computed.
struct NavRawTable {
  uint32_t group = 0;
  std::vector<uint8_t> bytes;
};

struct NavPlaygroundDesc {
  std::vector<NavPolyDesc> polys;
  std::vector<float> cornerNormals;  // 3 floats each
  std::vector<float> cornerEdgesA;   // 3 floats each
  std::vector<float> cornerEdgesB;   // same count as A
  std::vector<uint32_t> groups = {0};  // one computed table per group
  std::vector<NavRawTable> rawTables;  // when not empty, written instead
  std::vector<NavLinkDesc> links;
};

// The table of one group: (P*P*2+7)/8 bytes, cell a + b*P at bit 2*(a+b*P).
std::vector<uint8_t> ComputeNavTable(const std::vector<NavPolyDesc>& polys, uint32_t group);
// Sets cell (a, b) of a table of P polygons.
void SetNavCell(std::vector<uint8_t>& table, int polys, int a, int b, int value);

// Appends one playground record for the given scene version.
void WriteNavPlayground(const NavPlaygroundDesc& pg, unsigned version, std::vector<uint8_t>& out);
// Appends the records of every playground (the count itself is not written).
void WriteNavMesh(const std::vector<NavPlaygroundDesc>& pgs, unsigned version, std::vector<uint8_t>& out);
