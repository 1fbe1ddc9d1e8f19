// mkplb: writes a scene file (".plb") from a short text description.
//
//   version 318                  scene version (default 318)
//   texture NAME [A [B]]         a texture of the table (A 0, B 1 by default)
//   domain NAME [MINx MINy MINz MAXx MAXy MAXz]   the root, or a child of the
//   ...                                           current domain, up to "end"
//   mesh NAME [X Y Z]            a mesh of the current domain, or a child of
//   ...                          the current mesh, up to "end"
//     frag TEXTURE               a one-triangle fragment with that texture
//     class CLASS [VARS...]      the mesh stands for an entity of the class
//     lod D1 D2 ...              levels of detail switching at the distances
//   place NAME CLASS [FLAGS [MESH [X Y Z]]]   a placed object
//   vars TEXT...                 editor variables of the last placed object
//   ref FILE                     a runtime reference of the current domain
//
// Lines starting with '#' and empty lines are skipped.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PlbWriter.h"

namespace {

ModelFragDesc TriangleFrag(uint32_t texture) {
  ModelFragDesc f;
  f.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  f.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
  f.texcoordSets = 1;
  f.texcoords = {0, 0, 1, 0, 0, 1};
  f.polys = 1;
  f.indices = {0, 1, 2};
  f.textures = {texture};
  return f;
}

std::string RestOfLine(std::istringstream& in) {
  std::string rest;
  std::getline(in, rest);
  const size_t start = rest.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : rest.substr(start);
}

bool Parse(std::istream& input, PlbSceneDesc& scene, std::string& error) {
  std::vector<PlbDomainDesc*> domains;
  std::vector<PlbMeshDesc*> meshes;  // open meshes, innermost last
  std::vector<char> open;            // 'd' or 'm' per open block
  bool haveRoot = false;
  std::string line;
  int lineNo = 0;
  while (std::getline(input, line)) {
    ++lineNo;
    std::istringstream in(line);
    std::string cmd;
    if (!(in >> cmd) || cmd[0] == '#') continue;
    auto fail = [&](const std::string& what) {
      error = "line " + std::to_string(lineNo) + ": " + what;
      return false;
    };
    if (cmd == "version") {
      if (!(in >> scene.version)) return fail("version needs a number");
    } else if (cmd == "texture") {
      PlbTexture t;
      int a = 0, b = 1;
      if (!(in >> t.name)) return fail("texture needs a name");
      in >> a >> b;
      t.a = (uint8_t)a;
      t.b = (uint8_t)b;
      scene.textures.push_back(t);
    } else if (cmd == "domain") {
      if (!meshes.empty()) return fail("domain inside a mesh");
      PlbDomainDesc* d;
      if (!haveRoot) {
        d = &scene.root;
        haveRoot = true;
      } else if (domains.empty()) {
        return fail("only one root domain");
      } else {
        domains.back()->children.emplace_back();
        d = &domains.back()->children.back();
      }
      if (!(in >> d->name)) return fail("domain needs a name");
      if (d->name == "-") d->name.clear();
      for (int i = 0; i < 3; ++i) in >> d->boxMin[i];
      for (int i = 0; i < 3; ++i) in >> d->boxMax[i];
      domains.push_back(d);
      open.push_back('d');
    } else if (cmd == "mesh") {
      PlbMeshDesc* m;
      if (!meshes.empty()) {
        meshes.back()->children.emplace_back();
        m = &meshes.back()->children.back();
      } else if (!domains.empty()) {
        domains.back()->meshes.emplace_back();
        m = &domains.back()->meshes.back();
      } else {
        return fail("mesh outside a domain");
      }
      if (!(in >> m->name)) return fail("mesh needs a name");
      for (int i = 0; i < 3; ++i) in >> m->position[i];
      meshes.push_back(m);
      open.push_back('m');
    } else if (cmd == "end") {
      if (open.empty()) return fail("end without a block");
      if (open.back() == 'm') meshes.pop_back();
      else domains.pop_back();
      open.pop_back();
    } else if (cmd == "frag" || cmd == "class" || cmd == "lod") {
      if (meshes.empty()) return fail(cmd + " outside a mesh");
      PlbMeshDesc& m = *meshes.back();
      if (cmd == "frag") {
        uint32_t tex = 0;
        if (!(in >> tex) || tex >= scene.textures.size()) return fail("frag needs a texture of the table");
        m.frags.push_back(TriangleFrag(tex));
      } else if (cmd == "class") {
        if (!(in >> m.scriptClass)) return fail("class needs a name");
        m.editVars = RestOfLine(in);
        m.recordFlags |= 1;
      } else {
        float d;
        while (in >> d) m.lodDistances.push_back(d);
        m.lodCount = (uint8_t)(m.lodDistances.size() + 1);
        m.recordFlags |= 2;
      }
    } else if (cmd == "place") {
      if (domains.empty() || !meshes.empty()) return fail("place outside a domain");
      PlbPlacement p;
      if (!(in >> p.name >> p.className)) return fail("place needs a name and a class");
      in >> p.flags >> p.initialMesh;
      for (int i = 0; i < 3; ++i) in >> p.position[i];
      domains.back()->placements.push_back(p);
    } else if (cmd == "vars") {
      if (domains.empty() || domains.back()->placements.empty()) return fail("vars without a placed object");
      PlbPlacement& p = domains.back()->placements.back();
      p.hasEditVars = true;
      p.editVars = RestOfLine(in);
    } else if (cmd == "ref") {
      std::string file;
      if (domains.empty() || !(in >> file)) return fail("ref needs a domain and a file");
      domains.back()->references.push_back(file);
    } else {
      return fail("unknown command '" + cmd + "'");
    }
  }
  if (!open.empty()) {
    error = "a block is not closed with end";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkplb DESCRIPTION OUTPUT.plb\n");
    return 2;
  }
  std::ifstream input(argv[1]);
  if (!input) {
    fprintf(stderr, "mkplb: cannot read '%s'\n", argv[1]);
    return 1;
  }
  PlbSceneDesc scene;
  std::string error;
  if (!Parse(input, scene, error)) {
    fprintf(stderr, "mkplb: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes;
  WritePlbScene(bytes, scene);
  if (!SaveBytes(argv[2], bytes)) {
    fprintf(stderr, "mkplb: cannot write '%s'\n", argv[2]);
    return 1;
  }
  printf("%s: %zu bytes\n", argv[2], bytes.size());
  return 0;
}
