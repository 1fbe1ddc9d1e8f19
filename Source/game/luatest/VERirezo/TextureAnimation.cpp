// Animated game textures: stepping them by the game's clocks and loading
// them from ".atx" files.
#include <cstring>

#include "TWGraphics/Renderer.h"
#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureApp.h"
#include "VERirezo/TextureManager.h"

void EGameTextureManager::AnimateTexture(ETexAnimInfo* info, bool realTime) {
  if (!info) return;
  info->Advance(realTime ? TextureApp::RealElapsedTimeMS() : TextureApp::SimElapsedTimeMS());
}

void EGameTextureManager::AnimateTextures() {
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i) {
    EGameTexture& texture = m_Textures[i];
    if (texture.m_id && texture.m_pTexAnimInfo) AnimateTexture(texture.m_pTexAnimInfo, false);
  }
}

HTEXTURE EGameTextureManager::AnimateTextureUnaffectedTime(unsigned id) {
  EGameTexture* texture = GetTexture(id);
  if (!texture) return 0;
  if (!texture->m_pTexAnimInfo) return texture->m_phTextures ? texture->m_phTextures[0] : 0;
  ETexAnimInfo copy;
  CopyTexAnimInfo(copy, *texture->m_pTexAnimInfo);
  AnimateTexture(&copy, true);
  return GetTextureHandle(id, &copy);
}

namespace {

// Frames of an ".atx" file go straight into the game texture.
class FrameLoader : public EATXSink {
public:
  FrameLoader(EGameTextureManager& manager, EGameTexture& texture) : m_Manager(manager), m_Texture(texture) {}

  void SetFrameCount(int count) override {
    delete[] m_Texture.m_phTextures;
    m_Texture.m_phTextures = new uint32_t[count]();
  }

  bool LoadFrame(int index, const char* filename) override {
    char fixed[kMAX_TEXTURE_NAME];
    EGameTextureManager::fixTextureFilename(fixed, filename);
    HTEXTURE hTexture = 0;
    HPALETTE hPalette = 0;
    if (!m_Manager.LoadRendererTexture(fixed, m_Texture.m_dwFlags, &hTexture, &hPalette)) return false;
    m_Texture.m_phTextures[index] = hTexture;
    if (hPalette) {
      // One palette slot per frame, made when the first frame brings one.
      if (!m_Texture.m_phPalettes) m_Texture.m_phPalettes = new uint32_t[m_Texture.GetNumFrames()]();
      m_Texture.m_phPalettes[index] = hPalette;
    }
    return true;
  }

private:
  EGameTextureManager& m_Manager;
  EGameTexture& m_Texture;
};

}  // namespace

bool EGameTextureManager::LoadATXTexture(const char* name, const char* atxName, EGameTexture* texture) {
  EFile* file = gFile->Open(atxName, FILE_READ, kFILELOC_ReadPaths);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to open ATX file <%s>\n", atxName);
    return false;
  }
  CheckForLocalizedTexture(name);
  EArray<unsigned char> bytes;
  file->ReadAndAlloc(bytes);
  file->Close();
  bytes.AddData(0);

  delete texture->m_pTexAnimInfo;
  texture->m_pTexAnimInfo = new ETexAnimInfo();
  FrameLoader loader(*this, *texture);
  bool ok = ReadATXText(reinterpret_cast<const char*>(bytes.GetData()), atxName, name, *texture->m_pTexAnimInfo,
                        loader);
  delete[] texture->m_szName;
  size_t n = strlen(name) + 1;
  texture->m_szName = new char[n];
  memcpy(texture->m_szName, name, n);
  return ok;
}
