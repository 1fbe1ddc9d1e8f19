// Reads the input as the game-texture record of a texture pack: its head
// (name and animation record) and one texture record per frame.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "TWGraphics/DDS.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TextureFuzzSupport.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/TexAnim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback([](const char*) {});
  EMemReader reader(data, (unsigned)size);
  EGameTexture texture;
  if (!texture.ReadHeadFromPackFile(reader)) {
    if (!reader.Err()) abort();
    return 0;
  }
  if (texture.m_szName && strlen(texture.m_szName) >= kMAX_TEXTURE_NAME) abort();
  int frames = texture.GetNumFrames();
  if (frames < 1 || frames > kMAX_ATX_FRAMES) abort();
  if (texture.m_pTexAnimInfo) {
    texture.m_pTexAnimInfo->Advance(1000.0f);
    int frame = texture.m_pTexAnimInfo->GetFrameIndex();
    if (frame < 0 || frame >= frames) abort();
  }
  for (int i = 0; i < frames; ++i) {
    ETextureImage image;
    if (!ReadTextureRecord(reader, image)) break;
    fuzzsupport::TouchSurfaces(image);
  }
  return 0;
}
