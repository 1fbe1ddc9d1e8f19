// mkfpo: assembles one pixel shader written in Direct3D shader assembly and
// writes its byte code, the ".fpo" file the game loads.
//   mkfpo Source.psh Out.fpo
#include <mojoshader.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkfpo source.psh out.fpo\n");
    return 2;
  }
  FILE* in = fopen(argv[1], "rb");
  if (!in) {
    fprintf(stderr, "mkfpo: cannot read %s\n", argv[1]);
    return 1;
  }
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), in)) > 0) text.append(chunk, n);
  fclose(in);
  const MOJOSHADER_parseData* pd = MOJOSHADER_assemble(argv[1], text.c_str(), (unsigned)text.size(), nullptr, 0,
                                                       nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                                                       nullptr);
  if (!pd || pd->error_count) {
    for (int i = 0; pd && i < pd->error_count; ++i)
      fprintf(stderr, "%s:%d: %s\n", pd->errors[i].filename ? pd->errors[i].filename : argv[1],
              pd->errors[i].error_position, pd->errors[i].error);
    if (!pd) fprintf(stderr, "%s: out of memory\n", argv[1]);
    if (pd) MOJOSHADER_freeParseData(pd);
    return 1;
  }
  if (pd->shader_type != MOJOSHADER_TYPE_PIXEL) {
    fprintf(stderr, "%s: not a pixel shader\n", argv[1]);
    MOJOSHADER_freeParseData(pd);
    return 1;
  }
  FILE* out = fopen(argv[2], "wb");
  bool ok = out && fwrite(pd->output, 1, (size_t)pd->output_len, out) == (size_t)pd->output_len;
  if (out) ok = fclose(out) == 0 && ok;
  MOJOSHADER_freeParseData(pd);
  if (!ok) {
    fprintf(stderr, "mkfpo: cannot write %s\n", argv[2]);
    remove(argv[2]);
    return 1;
  }
  return 0;
}
