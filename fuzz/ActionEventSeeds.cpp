// Writes the seed corpus of the action-table and event-track harnesses:
//   action_event_seeds <corpus folder>
// Action tables are text; event tracks are written by the event converter
// from text lines that also seed the converter's harness.

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "Event/EEventAnimManager.h"

namespace {

const char* const kActionTables[] = {
    "ActionFile\n_Begin\n0\nWalk\n1\nIdle\n0\n_End\n0\n[EndHeaders]\n"
    "[0,1]\n1 \"Anims\\Walk.jan\" 0.25 0 1 3\n2 Idle\n"
    "[1,2]\n5 COLLIDER 1\n5 Hanging 0 1\n04\n6 7 -2 3 1.5 2.5\n7 \"c.jan\" 1.75\n"
    "[2,1]\nLinked 0,1\n[3,1]\nLinked 2,1\n[1,1]\nLinked 1,1\n[End]\n",
    "ActionFile\r\nA\r\n0\r\n\r\nB\r\n1\r\n[EndHeaders]\r\n[0,1]\r\n3\r\nself.x = 1\r\n[LUAEND]\r\n4\r\n[End]\r\n",
    "ActionFile\nA\n123456789XNext\n0\n[EndHeaders]\n[0,0]\n1 \"open.jan 0.5 0\nxx\n12 x\n[End]\n",
};

const char* const kEventTexts[] = {
    "3 0x10 hello\n\n8 010 Collide 1 2\n",
    "0 5 footstep\n0 20 footstep\n1 12 grunt\n9 30 Land now\n15 1 last\n",
    "8 1 Message   with three words\n8 2 Single\n2 3 nothing\n",
};

bool WriteText(const std::string& path, const char* szText) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const std::string text(szText);
  const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: action_event_seeds <corpus folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  mkdir(root.c_str(), 0755);
  const std::string asd = root + "/asd_fuzzer", eve = root + "/eve_fuzzer", text = root + "/evetext_fuzzer";
  for (const std::string& d : {asd, eve, text}) mkdir(d.c_str(), 0755);
  int n = 0;
  for (const char* t : kActionTables) {
    if (!WriteText(asd + "/seed" + std::to_string(n++) + ".asd", t)) return 1;
  }
  EEventAnimManager* pManager = EEventAnimManager::createEventAnimManager();
  n = 0;
  for (const char* t : kEventTexts) {
    const std::string stem = std::to_string(n++);
    if (!WriteText(text + "/seed" + stem + ".txt", t)) return 1;
    if (!pManager->CreateBinaryEventFile((text + "/seed" + stem + ".txt").c_str(),
                                         (eve + "/seed" + stem + ".eve").c_str()))
      return 1;
  }
  EEventAnimManager::destroyEventAnimManager();
  return 0;
}
