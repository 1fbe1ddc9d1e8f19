// mkcollision: writes a collision-tree record from a text triangle list.
//   mkcollision <version> <triangles.txt> <out.col>
// The list holds lines "v x y z" (a vertex) and "f a b c flags [nav]" (a
// triangle by vertex numbers from 0, its surface flags and navigation word,
// numbers in C notation); "#" starts a comment.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CollisionTreeWriter.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: mkcollision <version> <triangles.txt> <out.col>\n");
    return 2;
  }
  const unsigned version = (unsigned)strtoul(argv[1], nullptr, 10);
  FILE* in = fopen(argv[2], "r");
  if (!in) {
    fprintf(stderr, "mkcollision: cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<EVec3> verts;
  std::vector<collisionwriter::Poly> polys;
  char line[512];
  int nLine = 0;
  bool bOk = true;
  while (bOk && fgets(line, sizeof(line), in)) {
    nLine++;
    char* p = line;
    while (*p == ' ' || *p == '\t') p++;
    if (*p == '#' || *p == '\n' || *p == '\r' || *p == 0) continue;
    if (p[0] == 'v' && p[1] == ' ') {
      float x, y, z;
      bOk = sscanf(p + 2, "%f %f %f", &x, &y, &z) == 3;
      if (bOk) verts.push_back(EVec3(x, y, z));
    } else if (p[0] == 'f' && p[1] == ' ') {
      unsigned long a[5] = {0, 0, 0, 0, 0xFF};
      char* q = p + 2;
      int n = 0;
      for (; n < 5; n++) {
        char* end = nullptr;
        a[n] = strtoul(q, &end, 0);
        if (end == q) break;
        q = end;
      }
      bOk = n >= 4 && a[0] < verts.size() && a[1] < verts.size() && a[2] < verts.size() &&
            (version < 306 || verts.size() <= 0x10000);
      if (bOk) {
        collisionwriter::Poly poly;
        for (int k = 0; k < 3; k++) poly.v[k] = (uint32_t)a[k];
        poly.flags = (uint32_t)a[3];
        poly.nav = n == 5 ? (uint32_t)a[4] : 0xFFu;
        polys.push_back(poly);
      }
    } else {
      bOk = false;
    }
  }
  fclose(in);
  if (!bOk) {
    fprintf(stderr, "mkcollision: %s line %d: expected \"v x y z\" or \"f a b c flags [nav]\" naming known vertices\n",
            argv[2], nLine);
    return 1;
  }
  std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(verts, polys, version);
  FILE* out = fopen(argv[3], "wb");
  bool bWritten = out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (out && fclose(out) != 0) bWritten = false;
  if (!bWritten) {
    fprintf(stderr, "mkcollision: cannot write %s\n", argv[3]);
    return 1;
  }
  printf("%zu triangles, %zu vertices, %zu bytes\n", polys.size(), verts.size(), bytes.size());
  return 0;
}
