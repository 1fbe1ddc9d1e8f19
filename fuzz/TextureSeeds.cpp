// Writes the seed corpus of the texture harnesses with the system's own
// writers:  texture_seeds <corpus folder>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "TWGraphics/DDS.h"
#include "TextureFuzzSupport.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/TexAnim.h"

namespace {

ETextureImage Image(TEXTUREFORMAT format, TEXTURETYPE type, unsigned width, unsigned height, unsigned levels) {
  ETextureImage image;
  image.m_eFormat = format;
  image.m_eType = type;
  image.m_dwWidth = width;
  image.m_dwHeight = type == kTEXTURETYPE_CUBEMAP ? width : height;
  image.m_dwLevels = levels;
  image.Allocate();
  for (size_t s = 0; s < image.m_aSurfaces.size(); ++s)
    for (size_t i = 0; i < image.m_aSurfaces[s].size(); ++i) image.m_aSurfaces[s][i] = (uint8_t)(s * 13 + i * 5);
  if (format == kTEXTUREFORMAT_P8) {
    image.m_bHasPalette = true;
    for (unsigned i = 0; i < 256; ++i) image.m_aPalette[i] = 0xFF000000u | (i * 0x010203u);
  }
  return image;
}

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

const struct {
  const char* name;
  TEXTUREFORMAT format;
  TEXTURETYPE type;
  unsigned width, height, levels;
} kImages[] = {
    {"8888_wide", kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 16, 4, 5},
    {"0888", kTEXTUREFORMAT_0888, kTEXTURETYPE_BITMAP, 4, 4, 3},
    {"4444", kTEXTUREFORMAT_4444, kTEXTURETYPE_BITMAP, 4, 8, 4},
    {"1555", kTEXTUREFORMAT_1555, kTEXTURETYPE_BITMAP, 2, 2, 1},
    {"565", kTEXTUREFORMAT_565, kTEXTURETYPE_BITMAP, 8, 2, 4},
    {"l8_npot", kTEXTUREFORMAT_L8, kTEXTURETYPE_BITMAP, 6, 3, 1},
    {"dxt1", kTEXTUREFORMAT_DXT1, kTEXTURETYPE_BITMAP, 8, 8, 4},
    {"dxt3", kTEXTUREFORMAT_DXT3, kTEXTURETYPE_BITMAP, 4, 4, 1},
    {"dxt5_cube", kTEXTUREFORMAT_DXT5, kTEXTURETYPE_CUBEMAP, 4, 4, 3},
    {"p8", kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 4, 4, 3},
    {"8888_cube", kTEXTUREFORMAT_8888, kTEXTURETYPE_CUBEMAP, 2, 2, 2},
};

const char* const kATX[][2] = {
    {"loop.atx", "numframes 3\ntexture fire01.tga\ntexture fire02\ntexture fire03.dds\nframerate 12\nplaymode loop\n"},
    {"tail.atx", "NumFrames 2\r\ntexture a\r\ntexture b\r\nstartframe 1\r\nloopframe 1\r\nplaymode LoopTail\r\n"},
    {"bad.atx", "texture a\nnumframes 1\n"},
    {"modes.atx", "numframes 1\ntexture x\nplaymode oscillatebackonce\nframerate 0.5\n"},
};

// A game-texture pack record: the head written by the game texture, then its
// frames as texture records.
std::vector<uint8_t> PackEntry(const char* name, int frames, int mode) {
  EGameTexture texture;
  if (name) {
    texture.m_szName = new char[strlen(name) + 1];
    strcpy(texture.m_szName, name);
  }
  if (frames > 1) {
    texture.m_pTexAnimInfo = new ETexAnimInfo();
    texture.m_pTexAnimInfo->m_iNumFrames = frames;
    texture.m_pTexAnimInfo->m_fFrameRate = 12.0f;
    texture.m_pTexAnimInfo->m_eMode = mode;
  }
  texture.m_dwFlags = kGAMETEXTURE_LOCKED;
  fuzzsupport::VecWriter w;
  texture.WriteHeadToPackFile(w);
  for (int i = 0; i < frames; ++i)
    WriteTextureRecord(w, Image(i ? kTEXTUREFORMAT_DXT1 : kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 4, 4, 3), 1);
  return w.m_Bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: texture_seeds <corpus folder>\n");
    return 2;
  }
  std::string root = argv[1];
  for (const char* sub : {"", "/dds_fuzzer", "/texrecord_fuzzer", "/atx_fuzzer", "/packentry_fuzzer", "/work"})
    mkdir((root + sub).c_str(), 0700);
  bool ok = true;
  fuzzsupport::VecWriter all;
  for (const auto& i : kImages) {
    ETextureImage image = Image(i.format, i.type, i.width, i.height, i.levels);
    fuzzsupport::VecWriter dds, record;
    WriteDDSImage(dds, image);
    WriteTextureRecord(record, image, 0x10001);
    WriteTextureRecord(all, image, 0x10002);
    ok = ok && Save(root + "/dds_fuzzer/" + i.name + ".dds", dds.m_Bytes) &&
         Save(root + "/texrecord_fuzzer/" + i.name + ".rec", record.m_Bytes);
  }
  ok = ok && Save(root + "/texrecord_fuzzer/all.rec", all.m_Bytes);
  for (const auto& a : kATX) {
    std::string text = a[1];
    ok = ok && Save(root + "/atx_fuzzer/" + a[0], std::vector<uint8_t>(text.begin(), text.end()));
  }
  ok = ok && Save(root + "/packentry_fuzzer/plain.ent", PackEntry("textures\\wall.dds", 1, 0)) &&
       Save(root + "/packentry_fuzzer/anim.ent", PackEntry("textures\\fx\\fire.dds", 3, kANIMTEXMODE_OSCILLATE)) &&
       Save(root + "/packentry_fuzzer/noname.ent", PackEntry(nullptr, 2, kANIMTEXMODE_LOOPTAIL));
  if (!ok) fprintf(stderr, "texture_seeds: could not write the corpus in %s\n", root.c_str());
  return ok ? 0 : 1;
}
