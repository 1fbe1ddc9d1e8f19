// mkjan: writes a ".jan" skeletal animation from a text description (see
// JanWriter.h for the form).
//
//   mkjan <description.txt> <out.jan>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "JanWriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkjan <description.txt> <out.jan>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    fprintf(stderr, "mkjan: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  JanAnim anim;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ParseJanText(text.str(), anim, error) || !WriteJan(anim, bytes, error)) {
    fprintf(stderr, "mkjan: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  FILE* f = fopen(argv[2], "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "mkjan: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%s: %d joints, %zu bytes\n", argv[2], (int)anim.joints.size(), bytes.size());
  return 0;
}
