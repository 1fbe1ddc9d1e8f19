// Steering on a navigation playground: the straight-path test, the portal
// lookahead with its corner push, and the bend around registered obstacles.
#include <cmath>
#include <vector>

#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/Physics.h"

bool g_bStraightNav = true;
bool g_bOnlyShowSelectedNavMesh = false;
int g_iSelectedNavMesh = 0;

namespace navsteer_detail {

const float kEpsilon = 0.00001f;

EVec3 Normalised(const EVec3& v) {
  EVec3 r = v;
  r.Normalize();
  return r;
}

EVec3 FaceNormal(const EVec3 tri[3]) { return ETri3(tri[0], tri[1], tri[2]).GetFaceNormal(); }

// The up vector of the player's physics object; world up without a player.
EVec3 PlayerUp() {
  EEntity* player = gGameApp ? gGameApp->GetPlayer() : nullptr;
  if (player && player->GetPhysics()) return player->GetPhysics()->GetUp();
  return EVec3(0.0f, 1.0f, 0.0f);
}

// Sine of the angle between r and the corner's other boundary edge.
float CornerSine(const EVec3& a, const EVec3& b, const EVec3& r) {
  float dA = a.Dot(r), dB = b.Dot(r);
  dA = dA < -1.0f ? -1.0f : (dA > 1.0f ? 1.0f : dA);
  dB = dB < -1.0f ? -1.0f : (dB > 1.0f ? 1.0f : dB);
  return fabsf(dB) > fabsf(dA) ? sqrtf(1.0f - dA * dA) : sqrtf(1.0f - dB * dB);
}

}  // namespace navsteer_detail

bool ENavMesh::HasStraightPath(const ENavQuery& q) const {
  using namespace navsteer_detail;
  int cur = q.m_iSrcPoly;
  EVec3 pos = *q.m_pSrcPos;
  const EVec3 d = Normalised(*q.m_pDstPos - *q.m_pSrcPos);
  ETempArray<int> visited(*GetThreadLocalStack());
  for (;;) {
    const int e = FindExitEdge(cur, d, pos);
    if (e == -1) return false;
    const int next = m_aPolys[cur].m_aNeighbour[e];
    if (!ValidPoly(next)) return false;
    visited.AddData(cur);
    cur = next;
    for (unsigned v = 0; v < visited.Num(); ++v)
      if (visited[v] == cur) return false;
    if (cur == q.m_iDstPoly) return true;
  }
}

int ENavMesh::FindExitEdge(int poly, const EVec3& dir, EVec3& pos) const {
  using namespace navsteer_detail;
  EVec3 tri[3];
  if (!GetCollisionTri(poly, tri)) return -1;
  const EVec3 up = PlayerUp();
  for (int q = 0; q < 3; ++q) {
    EVec3 pushA, pushB;
    GetPush(poly, q, pushA, pushB);
    const EVec3 a = tri[q] + pushA;
    const EVec3 dA = Normalised(a - pos);
    const EVec3 e = Normalised(dir.Cross(dA));
    if (e.Dot(up) < 0.0f) continue;
    const EVec3 b = tri[(q + 1) % 3] + pushB;
    const EVec3 dB = Normalised(b - pos);
    const EVec3 l = Normalised(dB.Cross(dir));
    if (e.Dot(l) < 0.0f) continue;
    if (dB.Cross(dA).Dot(up) < 0.0f) continue;
    const EPlane plane(tri[q], tri[(q + 1) % 3], tri[q] + FaceNormal(tri) * 50.0f);
    float f = 0.0f;
    bool behind = false;
    TWMath::FindIntersection(EFastSeg3(pos, pos + dir * 200.0f, TagPOINTS()), plane, f, behind);
    pos = pos + dir * (200.0f * f);
    return q;
  }
  return -1;
}

void ENavMesh::GetPush(int poly, int edge, EVec3& pushStart, EVec3& pushEnd) const {
  using namespace navsteer_detail;
  pushStart = EVec3(0.0f, 0.0f, 0.0f);
  pushEnd = EVec3(0.0f, 0.0f, 0.0f);
  EVec3 tri[3];
  if (!GetCollisionTri(poly, tri)) return;
  const int other = (edge + 1) % 3;
  const EVec3 r = Normalised(tri[other] - tri[edge]);
  const float radius = sm_fPushRadius;
  const int count = (int)m_aCornerEdgesA.size();
  if (count == 0) return;
  const int kStart = m_aPolys[poly].m_aCorner[edge];
  if (kStart >= 0 && kStart < count) {
    const float s = CornerSine(m_aCornerEdgesA[kStart], m_aCornerEdgesB[kStart], r);
    if (s > kEpsilon) pushStart = r * (radius / s);
  }
  const int kEnd = m_aPolys[poly].m_aCorner[other];
  if (kEnd >= 0 && kEnd < count) {
    const EVec3 rr = r * -1.0f;
    const float s = CornerSine(m_aCornerEdgesA[kEnd], m_aCornerEdgesB[kEnd], rr);
    if (s > kEpsilon) pushEnd = rr * (radius / s);
  }
}

void ENavMesh::PushFromEdge(int, int, const EVec3&, const EVec3&, const EVec3&, EVec3&) const {}

bool ENavMesh::Lookahead2(int curPoly, int dstPoly, int edge, const EVec3& srcPos, const EVec3& dstPos,
                          const EVec3& dir, EVec3& left, int table, uint32_t& flags, EVec3& out) const {
  using namespace navsteer_detail;
  int cur = curPoly;
  if (edge < 1 || edge > 3) return false;
  int next = m_aPolys[cur].m_aNeighbour[edge - 1];
  // A cycle of cells longer than two polygons would never end: stop after
  // as many steps as there are polygons.
  for (size_t step = 0; step <= m_aPolys.size(); ++step) {
    if (!ValidPoly(next)) return false;
    if (next == dstPoly) {
      left = dstPos;
      out = dir;
      return true;
    }
    const int cell = CellOf(next, dstPoly, table);
    if (cell == 0) return false;
    const int m = m_aPolys[next].m_aNeighbour[cell - 1];
    if (!ValidPoly(m)) return false;
    if (m == cur) {
      if (CellOf(cur, dstPoly, table) != 0 && m_aPolys[cur].m_aNeighbour[CellOf(cur, dstPoly, table) - 1] == next)
        g_ErrorManager.TraceMessagef("Infinite loop detected - aborting pathfind\n");
      return false;
    }
    if (m_aPolys[next].IsAir() && !(flags & ENavQuery::kSolidPath) && m_aPolys[m].IsAir()) {
      if (cur == curPoly) flags |= ENavQuery::kSolidPath;
      EVec3 tri[3];
      if (GetCollisionTri(cur, tri)) {
        left = (tri[0] + tri[1] + tri[2]) * (1.0f / 3.0f);
        out = Normalised(left - srcPos);
      } else {
        g_ErrorManager.TraceMessagef(TT_Warning, "Last solid poly not solid?!?!\n");
        left = dstPos;
        out = dir;
      }
      return true;
    }
    EVec3 curTri[3], nextTri[3];
    if (!GetCollisionTri(cur, curTri) || !GetCollisionTri(next, nextTri)) {
      cur = next;
      next = m;
      edge = cell;
      continue;
    }
    // The current portal p-q and the next one p'-q', pulled in at corners.
    EVec3 p = curTri[edge - 1], qq = curTri[edge % 3];
    EVec3 push0, push1;
    GetPush(cur, edge - 1, push0, push1);
    p = p + push0;
    qq = qq + push1;
    EVec3 p2 = nextTri[cell - 1], q2 = nextTri[cell % 3];
    GetPush(next, cell - 1, push0, push1);
    p2 = p2 + push0;
    q2 = q2 + push1;

    const EVec3 M = Normalised(p - srcPos), N = Normalised(qq - srcPos);
    const EVec3 O = Normalised(p2 - srcPos), P = Normalised(q2 - srcPos);
    const EVec3 Qn = Normalised(N.Cross(M));
    unsigned bits = 0;
    if (O.Cross(M).Dot(Qn) < -kEpsilon) bits |= 1;
    if (N.Cross(O).Dot(Qn) < -kEpsilon) bits |= 2;
    if (N.Cross(P).Dot(Qn) < -kEpsilon) bits |= 4;
    if (P.Cross(M).Dot(Qn) < -kEpsilon) bits |= 8;
    if (bits) {
      if (bits & (1 | 8)) {
        EVec3 unused;
        PushFromEdge(cur, edge - 1, Qn, p, qq, unused);
        left = p;
      } else {
        left = qq;
      }
      out = Normalised(left - srcPos);
      return true;
    }
    left = dstPos;
    cur = next;
    next = m;
    edge = cell;
  }
  return false;
}

void ENavMesh::AdjustForObstacles(EVec3& dir, const EVec3& from, const EVec3& to, float radius, EEntity* entity,
                                  EEntity* target) const {
  using namespace navsteer_detail;
  if (m_lObstacles.empty()) return;
  const float len = (from - to).Magnitude();
  for (EEntity* ob : m_lObstacles) {
    if (ob == entity || ob == target || ob->DomainIsSleeping()) continue;
    float r = 50.0f;
    ob->GetValue("navRadius", r);
    const float Rr = r + radius;
    EVec3 d = ob->GetPosition() - from;
    const float dist = d.Magnitude();
    d.Normalize();
    const float e = d.Dot(dir);
    if (e < 0.0f || dist > len + Rr || Rr * Rr <= dist * dist * (1.0f - e * e)) continue;
    if (Rr + kEpsilon > dist) {
      if (Rr - kEpsilon > dist)
        dir = d * -1.0f;
      else
        dir = d.Cross(Normalised(dir.Cross(d)));
      dir.Normalize();
      continue;
    }
    // Turn d toward the old direction until it touches the enlarged circle.
    EVec3 side = dir - d * e;
    if (side.Normalize() == 0.0f) side = Normalised(EVec3(0.0f, 1.0f, 0.0f).Cross(d));
    const float sine = Rr / dist;
    const float cosine = sqrtf(1.0f - sine * sine);
    dir = Normalised(d * cosine + side * sine);
  }
}

bool ENavMesh::SteerInternal(ENavQuery& q, int table) {
  using namespace navsteer_detail;
  const EVec3& start = *q.m_pSrcPos;
  EVec3 dir = Normalised(*q.m_pDstPos - start);
  EVec3 tri[3];
  if (!GetCollisionTri(q.m_iSrcPoly, tri)) return false;
  const EVec3 n = FaceNormal(tri);
  if (fabsf(n.Dot(dir)) > 0.999f) {
    if (q.m_pTarget && q.m_pTarget->GetPhysics()) {
      dir = q.m_pTarget->GetPhysics()->GetUp();
    } else if (q.m_pEntity && q.m_pEntity->GetPhysics()) {
      const EMat4& m = q.m_pEntity->GetPhysics()->GetAbsTrans();
      dir = EVec3(-m.m[8], -m.m[9], -m.m[10]);
    }
  } else {
    dir = Normalised(n.Cross(dir.Cross(n)));
  }
  if (g_bStraightNav && HasStraightPath(q)) {
    *q.m_pOutDir = dir;
    AdjustForObstacles(*q.m_pOutDir, start, *q.m_pDstPos, 1.1f * q.m_fRadius, q.m_pEntity, q.m_pTarget);
    return true;
  }
  const int c = CellOf(q.m_iSrcPoly, q.m_iDstPoly, table);
  EVec3 left = tri[c - 1];
  EVec3 out;
  // A lookahead that meets an unreachable cell or a loop has no direction.
  if (!Lookahead2(q.m_iSrcPoly, q.m_iDstPoly, c, start, *q.m_pDstPos, dir, left, table, q.m_dwFlags, out))
    return false;
  *q.m_pOutDir = out;
  AdjustForObstacles(*q.m_pOutDir, start, left, 1.1f * q.m_fRadius, q.m_pEntity, q.m_pTarget);
  return true;
}

namespace navsteer_detail {

// Unit normal of edge e of a triangle, in its plane, pointing inside.
EVec3 EdgeInwardNormal(const EVec3 tri[3], int e) {
  const EVec3 d = tri[(e + 1) % 3] - tri[e];
  EVec3 n = FaceNormal(tri).Cross(d);
  n.Normalize();
  if (n.Dot(tri[(e + 2) % 3] - tri[e]) < 0.0f) n = n * -1.0f;
  return n;
}

}  // namespace navsteer_detail

// Continues around the corner at point corner from polygon from, which is
// left across its edge fromEdge into poly: every polygon met gets the corner
// index, and the boundary edge that closes the fan adds its normal.
void ENavMesh::MarkAdjacentPolys(int from, int fromEdge, const EVec3& corner, int index, std::vector<int>& weights) {
  using namespace navsteer_detail;
  for (size_t step = 0; step <= m_aPolys.size(); ++step) {
    EVec3 tri[3];
    const int poly = m_aPolys[from].m_aNeighbour[fromEdge];
    if (poly < 0) {
      if (!GetCollisionTri(from, tri)) return;
      m_aCornerNormals[index] = m_aCornerNormals[index] + EdgeInwardNormal(tri, fromEdge);
      ++weights[index];
      return;
    }
    if (!ValidPoly(poly) || !GetCollisionTri(poly, tri)) return;
    int shared = -1, c = -1;
    for (int j = 0; j < 3; ++j) {
      if (m_aPolys[poly].m_aNeighbour[j] == from) shared = j;
      if (tri[j].x == corner.x && tri[j].y == corner.y && tri[j].z == corner.z) c = j;
    }
    if (shared < 0 || c < 0 || (shared != c && shared != (c + 2) % 3)) return;
    m_aPolys[poly].m_aCorner[c] = index;
    // The edges at corner c are c and c-1; the walk leaves by the one it
    // did not come in by.
    const int other = shared == c ? (c + 2) % 3 : c;
    from = poly;
    fromEdge = other;
  }
}

void ENavMesh::ProcessNormals() {
  using namespace navsteer_detail;
  std::vector<int> weights;
  m_aCornerNormals.clear();
  for (ENavPoly& p : m_aPolys) p.m_aCorner[0] = p.m_aCorner[1] = p.m_aCorner[2] = -1;
  for (int i = 0; i < (int)m_aPolys.size(); ++i) {
    EVec3 tri[3];
    if (!GetCollisionTri(i, tri)) break;
    for (int k = 0; k < 3; ++k) {
      if (m_aPolys[i].m_aNeighbour[k] >= 0) continue;
      const EVec3 normal = EdgeInwardNormal(tri, k);
      // The start corner spreads back across the edge before k, the end
      // corner forward across the edge after k.
      const int ends[2] = {k, (k + 1) % 3};
      const int spread[2] = {(k + 2) % 3, (k + 1) % 3};
      for (int side = 0; side < 2; ++side) {
        if (m_aPolys[i].m_aCorner[ends[side]] >= 0) continue;
        const int index = (int)m_aCornerNormals.size();
        m_aCornerNormals.push_back(normal);
        weights.push_back(1);
        EASSERT((int)weights.size() == (int)m_aCornerNormals.size());
        m_aPolys[i].m_aCorner[ends[side]] = index;
        MarkAdjacentPolys(i, spread[side], tri[ends[side]], index, weights);
      }
    }
  }
  for (size_t n = 0; n < m_aCornerNormals.size(); ++n)
    m_aCornerNormals[n] = m_aCornerNormals[n] * (1.0f / (float)(weights[n] > 0 ? weights[n] : 1));
}
