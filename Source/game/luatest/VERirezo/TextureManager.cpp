#include "VERirezo/TextureManager.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TWGraphics/Renderer.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ETga.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureApp.h"

namespace {

const char* const kFormatNames[kNUM_TEXTUREFORMATS] = {"8888", "0888", "4444", "1555", "0555", "565",  "A8",  "L8",
                                                       "AL8",  "DXT1", "DXT3", "DXT5", "V8U8", "V16U16", "P8"};

char* CopyString(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = new char[n];
  memcpy(copy, text, n);
  return copy;
}

// The text after the last '.' replaced; false when there is no '.'.
bool ReplaceExtension(std::string& name, const char* extension) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  name.resize(dot + 1);
  name += extension;
  return true;
}

unsigned LargestPowerOfTwoNotAbove(unsigned v) {
  unsigned p = 1;
  while (p <= v / 2) p <<= 1;
  return v ? p : 0;
}

bool IsPowerOfTwo(unsigned v) { return v && !(v & (v - 1)); }

EFileLoc ExistsLocation() { return TextureApp::DvdEnvironment() ? kFILELOC_Packages : kFILELOC_ReadPaths; }

}  // namespace

namespace TextureApp {

void HardBreak(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  g_ErrorManager.TraceMessagef(TT_Warning, "%s", text);
}

const char* CallingScriptName() { return "Unknown"; }

}  // namespace TextureApp

unsigned GameTextureRendererFlags(unsigned flags) {
  return ((flags & kGAMETEXTURE_RENDERER_BIT0) ? 0x1u : 0u) | ((flags & kGAMETEXTURE_RENDERER_BIT1) ? 0x2u : 0u) |
         (flags & kGAMETEXTURE_MEMORY_CATEGORY);
}

EGameTextureManager* GetGameTextureManager() { return gGameApp ? gGameApp->GetGameTextureManager() : nullptr; }

// ---------------------------------------------------------------------------
// EGameTexture

EGameTexture::EGameTexture()
    : m_phTextures(nullptr), m_phPalettes(nullptr), m_szName(nullptr), m_pTexAnimInfo(nullptr), m_fDensity(-1.0f),
      m_iVisualImportance(-1), m_iMemoryImportance(-1), m_dwReducedMemory(0), m_dwFlags(0) {}

EGameTexture::~EGameTexture() {
  delete[] m_phTextures;
  delete[] m_phPalettes;
  delete[] m_szName;
  delete m_pTexAnimInfo;
}

int EGameTexture::GetNumFrames() const { return m_pTexAnimInfo ? m_pTexAnimInfo->m_iNumFrames : 1; }

bool EGameTexture::HasAlpha() const {
  return g_pCurrentRenderer && m_phTextures && m_phTextures[0] && g_pCurrentRenderer->ContainsAlpha(m_phTextures[0]);
}

bool EGameTexture::HasBinaryAlpha() const {
  return g_pCurrentRenderer && m_phTextures && m_phTextures[0] &&
         g_pCurrentRenderer->ContainsBinaryAlpha(m_phTextures[0]);
}

TEXTUREFORMAT EGameTexture::GetTextureFormat() const {
  if (!g_pCurrentRenderer || !m_phTextures || !m_phTextures[0]) return kTEXTUREFORMAT_8888;
  return g_pCurrentRenderer->GetTextureFormat(m_phTextures[0]);
}

const char* EGameTexture::GetTextureFormatString() const {
  unsigned format = (unsigned)GetTextureFormat();
  return format < kNUM_TEXTUREFORMATS ? kFormatNames[format] : "Unknown";
}

unsigned EGameTexture::GetTextureSize() const {
  if (!g_pCurrentRenderer || !m_phTextures) return 0;
  unsigned total = 0;
  for (int i = 0; i < GetNumFrames(); ++i)
    if (m_phTextures[i]) total += g_pCurrentRenderer->GetTextureSize(m_phTextures[i], 0);
  return total;
}

void EGameTexture::SetPlayMode(int mode, float startTimeMs, int frame) {
  if (m_pTexAnimInfo) m_pTexAnimInfo->SetPlayMode(mode, startTimeMs, frame);
}

// ---------------------------------------------------------------------------
// EGameTextureManager

EGameTextureManager::EGameTextureManager()
    : m_aFrenchTextures(kMEMTYPE_AppGraph), m_aGermanTextures(kMEMTYPE_AppGraph), m_NameTable(kMEMTYPE_AppGraph),
      m_szTrapString(nullptr), m_Textures("Game Textures", kMAX_GAME_TEXTURES, 0, kMEMTYPE_AppGraph) {}

EGameTextureManager::~EGameTextureManager() {
  PurgeTextures(false);
  delete[] m_szTrapString;
}

unsigned EGameTextureManager::ErrorTextureId() const { return TextureApp::ErrorTextureId(); }

void EGameTextureManager::fixTextureFilename(char* out, const char* in) {
  char lower[kMAX_TEXTURE_NAME];
  size_t n = 0;
  for (; in[n] && n < kMAX_TEXTURE_NAME - 1; ++n) lower[n] = (char)tolower((unsigned char)in[n]);
  lower[n] = '\0';

  const char* p = lower;
  const char* hit = strstr(lower, "workresource");
  size_t skip = 12;
  if (!hit) hit = strstr(lower, "testresource");
  if (hit) {
    p = hit + skip;
    if (*p) ++p;  // the separator after the folder
  }
  if (*p == '\\' || *p == '/') ++p;

  memset(out, 0, kMAX_TEXTURE_NAME);
  size_t len = 0;
  for (; p[len] && len < kMAX_TEXTURE_NAME - 1; ++len) out[len] = p[len] == '/' ? '\\' : p[len];
  if (len > 4 && out[len - 4] == '.') memcpy(out + len - 3, "dds", 3);
  if (len >= 8 && len <= kMAX_TEXTURE_NAME - 3 && !strcmp(out + len - 7, "_hf.dds")) strcpy(out + len - 7, "_norm.dds");
}

EGameTexture* EGameTextureManager::GetTexture(unsigned id) const { return id ? m_Textures.ElementTryToGet(id) : nullptr; }

unsigned EGameTextureManager::NewElement() {
  unsigned id = m_Textures.ElementNew();
  if (!id) g_ErrorManager.TraceMessagef(TT_Warning, "No room for another game texture (%d in use)", kMAX_GAME_TEXTURES);
  return id;
}

void EGameTextureManager::FreeElement(EGameTexture* texture, bool removeName) {
  if (removeName && texture->m_szName) {
    unsigned named = 0;
    if (m_NameTable.Contains(texture->m_szName, &named) && named == texture->m_id) m_NameTable.Remove(texture->m_szName);
  }
  m_Textures.ElementDelete(texture);
}

void EGameTextureManager::DeleteTexture(unsigned id, bool removeName) {
  EGameTexture* texture = GetTexture(id);
  if (!texture) return;
  int frames = texture->m_phTextures ? texture->GetNumFrames() : 0;
  if (g_pCurrentRenderer) {
    for (int i = 0; i < frames; ++i) {
      if (texture->m_phTextures[i]) g_pCurrentRenderer->DeleteTexture(texture->m_phTextures[i], true);
      if (texture->m_phPalettes && texture->m_phPalettes[i]) g_pCurrentRenderer->DeletePalette(texture->m_phPalettes[i]);
    }
  }
  FreeElement(texture, removeName);
}

void EGameTextureManager::PurgeTextures(bool keepLocked) {
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i) {
    EGameTexture& texture = m_Textures[i];
    if (!texture.m_id) continue;
    if (keepLocked && texture.GetLocked()) continue;
    if (texture.GetProcedural() && !texture.GetPurgeOk()) continue;
    DeleteTexture(texture.m_id, true);
  }
  m_aFrenchTextures.Empty();
  m_aGermanTextures.Empty();
}

void EGameTextureManager::SetTrapTextureString(const char* substring) {
  delete[] m_szTrapString;
  m_szTrapString = substring ? CopyString(substring) : nullptr;
}

void EGameTextureManager::CheckTrapTextureString(const char* name, const char* sceneContext) {
  if (!m_szTrapString || !name) return;
  char fixed[kMAX_TEXTURE_NAME];
  fixTextureFilename(fixed, name);
  if (!strstr(fixed, m_szTrapString)) return;
  const char* rule = "------------------------------------------------------------------";
  g_ErrorManager.TraceMessagef(TT_None, "%s", rule);
  g_ErrorManager.TraceMessagef(TT_None, "*** Trap texture string hit ***");
  g_ErrorManager.TraceMessagef(TT_None, "Texture filename: %s", name);
  g_ErrorManager.TraceMessagef(TT_None, "Scene context: %s", sceneContext ? sceneContext : "Unknown");
  g_ErrorManager.TraceMessagef(TT_None, "Script context: %s", TextureApp::CallingScriptName());
  g_ErrorManager.TraceMessagef(TT_None, "%s", rule);
  SetTrapTextureString(nullptr);
}

unsigned EGameTextureManager::AddTexture(const char* name, unsigned flags, EBitmap* bitmap) {
  if (!name) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "szFilename", false);
  if (strlen(name) > kMAX_TEXTURE_NAME - 2) {
    // Longer names would be cut and could name another texture.
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture filename too long: %.80s...", name);
    delete bitmap;
    return ErrorTextureId();
  }
  char fixed[kMAX_TEXTURE_NAME];
  fixTextureFilename(fixed, name);
  CheckTrapTextureString(name, nullptr);
  if (strstr(fixed, "resource"))
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to convert texture filename to a local path: %s", fixed);

  unsigned existing = 0;
  if (m_NameTable.Contains(fixed, &existing)) {
    EGameTexture* texture = GetTexture(existing);
    if (flags & kGAMETEXTURE_LOCKED) {
      if (!texture->GetLocked() && TextureApp::StartUpComplete())
        TextureApp::HardBreak(
            "Texture '%s' being changed to Locked after startup is complete. Operation not allowed", name);
      else
        texture->m_dwFlags |= kGAMETEXTURE_LOCKED;
      RecordPlayerModelTexture(texture, fixed);
    }
    if (!bitmap) return existing;
    DeleteTexture(existing, true);
  }

  if ((flags & kGAMETEXTURE_LOCKED) && TextureApp::StartUpComplete()) {
    TextureApp::HardBreak("Texture '%s' added as common after startup is complete. Operation not allowed", name);
    flags &= ~(unsigned)kGAMETEXTURE_LOCKED;
  }
  if (TextureApp::ProductionLoading() && TextureApp::LevelLoadedState() == 3 && !TextureApp::MakingPackfiles()) {
    TextureApp::HardBreak("Texture preload error: '%s' <%s>", fixed, TextureApp::FullCurrentLevelName());
    delete bitmap;
    return ErrorTextureId();
  }
  AutoReduceTextures(0x100000);

  unsigned id = NewElement();
  if (!id) {
    delete bitmap;
    return ErrorTextureId();
  }
  m_NameTable.Set(fixed, id);
  EGameTexture* texture = GetTexture(id);
  texture->m_dwFlags = flags;
  if (bitmap) {
    texture->m_phTextures = new uint32_t[1];
    texture->m_phTextures[0] = registerBitmap(bitmap, flags, true, false);
    delete bitmap;
    if (!texture->m_phTextures[0]) {
      FreeElement(texture, true);
      return ErrorTextureId();
    }
    texture->m_szName = CopyString(fixed);
  } else if (!LoadGameTexture(fixed, texture)) {
    // Frames that loaded before the failure go with the texture.
    if (!texture->m_szName) texture->m_szName = CopyString(fixed);
    DeleteTexture(id, true);
    return ErrorTextureId();
  }

  if (TextureApp::TextureDebug())
    g_ErrorManager.TraceMessagef(TT_None, "Loaded texture '%s' (%i bytes)", fixed, (int)texture->GetTextureSize());

  if (strstr(fixed, "_norm.")) {
    if (g_pCurrentRenderer && texture->m_phTextures[0] &&
        g_pCurrentRenderer->GetTextureLevelCount(texture->m_phTextures[0]) == 1)
      g_ErrorManager.TraceMessagef(TT_Warning, "Texture isn't mip mapped: %s", fixed);
    if (TextureApp::CompressBumpmaps()) {
      TEXTUREFORMAT format = texture->GetTextureFormat();
      if (format == kTEXTUREFORMAT_8888)
        PalettizeBumpmapTexture(texture);
      else if (format != kTEXTUREFORMAT_P8)
        g_ErrorManager.TraceMessagef(TT_Warning, "Bumpmap texture '%s' is of incorrect format %s", fixed,
                                     texture->GetTextureFormatString());
    }
  }
  RecordPlayerModelTexture(texture, fixed);
  return id;
}

void EGameTextureManager::RecordPlayerModelTexture(EGameTexture* texture, const char* name) {
  if (!gGameApp || TextureApp::LevelLoaded() || !strstr(name, "characters\\ruzi\\")) return;
  EArray<unsigned int>& list = gGameApp->m_aPlayerModelTextures;
  for (int i = 0; i < list.Num(); ++i)
    if (list[i] == texture->m_id) return;
  unsigned before = gGameApp->m_dwPlayerModelTextureBytes;
  gGameApp->m_dwPlayerModelTextureBytes += texture->GetTextureSize();
  if (before <= 0x1FFFFF) list.AddData(texture->m_id);
}

unsigned EGameTextureManager::CreateEmptyTexture(const char* name, unsigned flags) {
  if (!name) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "szFilename", false);
  char fixed[kMAX_TEXTURE_NAME];
  fixTextureFilename(fixed, name);
  CheckTrapTextureString(name, nullptr);
  if (strstr(fixed, "resource"))
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to convert texture filename to a local path: %s", fixed);
  unsigned existing = 0;
  if (m_NameTable.Contains(fixed, &existing)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture name %s already exists", fixed);
    return existing;
  }
  unsigned id = NewElement();
  if (!id) return 0;
  m_NameTable.Set(fixed, id);
  EGameTexture* texture = GetTexture(id);
  texture->m_szName = CopyString(fixed);
  texture->m_phTextures = new uint32_t[1];
  texture->m_phTextures[0] = 0;
  texture->m_dwFlags = flags;
  return id;
}

void EGameTextureManager::SetTextureHandle(unsigned id, HTEXTURE hTexture) {
  EGameTexture* texture = GetTexture(id);
  if (texture && texture->m_phTextures) texture->m_phTextures[0] = hTexture;
}

unsigned EGameTextureManager::AddProceduralTexture(HTEXTURE hTexture, bool purgeOk, const char* name) {
  unsigned id = NewElement();
  if (!id) return 0;
  EGameTexture* texture = GetTexture(id);
  texture->m_phTextures = new uint32_t[1];
  texture->m_phTextures[0] = hTexture;
  texture->m_szName = CopyString(name ? name : "Procedural");
  texture->m_dwFlags = kGAMETEXTURE_PROCEDURAL | (purgeOk ? kGAMETEXTURE_PURGE_OK : 0);
  return id;
}

HTEXTURE EGameTextureManager::GetTextureHandle(unsigned id, const ETexAnimInfo* info) const {
  EGameTexture* texture = GetTexture(id);
  if (!texture || !texture->m_phTextures) return 0;
  if (!info) info = texture->m_pTexAnimInfo;
  if (!info) return texture->m_phTextures[0];
  int frame = info->GetFrameIndex();
  if (frame >= texture->GetNumFrames()) frame = texture->GetNumFrames() - 1;
  return frame > 0 ? texture->m_phTextures[frame] : texture->m_phTextures[0];
}

HPALETTE EGameTextureManager::GetPaletteHandle(unsigned id) const {
  EGameTexture* texture = GetTexture(id);
  return texture && texture->m_phPalettes ? texture->m_phPalettes[0] : 0;
}

EGameTexture* EGameTextureManager::FindTextureByName(const char* name) const {
  if (!name) return nullptr;
  char fixed[kMAX_TEXTURE_NAME];
  fixTextureFilename(fixed, name);
  unsigned id = 0;
  return m_NameTable.Contains(fixed, &id) ? GetTexture(id) : nullptr;
}

EGameTexture* EGameTextureManager::FindTextureByHandle(HTEXTURE hTexture) const {
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i) {
    const EGameTexture& texture = m_Textures[i];
    if (texture.m_id && texture.m_phTextures && texture.m_phTextures[0] == hTexture)
      return const_cast<EGameTexture*>(&texture);
  }
  return nullptr;
}

bool EGameTextureManager::LoadGameTexture(const char* name, EGameTexture* texture) {
  std::string atx = name;
  if (!ReplaceExtension(atx, "atx")) {
    g_ErrorManager.TraceMessagef(TT_None, "Texture filename has no extension: %s.\n", name);
    return false;
  }
  if (gFile->Exists(atx.c_str(), ExistsLocation())) return LoadATXTexture(name, atx.c_str(), texture);

  HTEXTURE hTexture = 0;
  HPALETTE hPalette = 0;
  if (!LoadRendererTexture(name, texture->m_dwFlags, &hTexture, &hPalette)) return false;
  CheckForLocalizedTexture(name);
  texture->m_szName = CopyString(name);
  texture->m_phTextures = new uint32_t[1];
  texture->m_phTextures[0] = hTexture;
  if (hPalette) {
    texture->m_phPalettes = new uint32_t[1];
    texture->m_phPalettes[0] = hPalette;
  }
  return true;
}

bool EGameTextureManager::LoadRendererTexture(const char* name, unsigned flags, HTEXTURE* phTexture,
                                              HPALETTE* phPalette) {
  *phTexture = 0;
  *phPalette = 0;
  ERenderer* renderer = g_pCurrentRenderer;
  if (!renderer) return false;
  if (gFile->Exists(name, kFILELOC_ReadPaths) && !strstr(name, "lightmap")) {
    if (TextureApp::CompressBumpmaps() && strstr(name, "_norm.")) {
      // A palettised copy saved by an earlier run, while it is newer.
      const char* bare = name;
      for (const char* p = name; *p; ++p)
        if (*p == '\\' || *p == '/') bare = p + 1;
      EFile* source = gFile->Open(name, FILE_READ, kFILELOC_ReadPaths);
      EFile* copy = gFile->Open(bare, FILE_READ, kFILELOC_WritePath);
      bool newer = source && copy && copy->GetFiletime() > source->GetFiletime();
      if (source) source->Close();
      if (newer) {
        *phTexture = renderer->LoadTextureFromDDSStream(copy, bare, flags & kGAMETEXTURE_MEMORY_CATEGORY, phPalette);
        if (*phPalette) renderer->DeletePalette(*phPalette);
        *phPalette = 0;
      } else if (copy) {
        copy->Close();
      }
    }
    if (!*phTexture) *phTexture = renderer->LoadTextureFromDDS(name, GameTextureRendererFlags(flags), phPalette);
    return *phTexture != 0;
  }

  std::string tga = name;
  if (!ReplaceExtension(tga, "tga")) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture filename has no extension: %s", name);
    return false;
  }
  EFile* file = gFile->Open(tga.c_str(), FILE_READ, kFILELOC_ReadPaths);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Couldn't find texture: %s\n", name);
    return false;
  }
  EBitmap* bitmap = new EBitmap();
  ETGAFile reader;
  bool ok = reader.ReadImage(file, bitmap);
  file->Close();
  if (!ok) {
    delete bitmap;
    return false;
  }
  *phTexture = registerBitmap(bitmap, flags, false, true);
  delete bitmap;
  return *phTexture != 0;
}

HTEXTURE EGameTextureManager::registerBitmap(EBitmap* bitmap, unsigned flags, bool, bool buildMips) {
  ERenderer* renderer = g_pCurrentRenderer;
  unsigned width = bitmap->Width() > 0 ? (unsigned)bitmap->Width() : 0;
  unsigned height = bitmap->Height() > 0 ? (unsigned)bitmap->Height() : 0;
  if (!width) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture has a width of zero in registerBitmap");
    return 0;
  }
  if (!height) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture has a height of zero in registerBitmap");
    return 0;
  }
  unsigned targetWidth = LargestPowerOfTwoNotAbove(width), targetHeight = LargestPowerOfTwoNotAbove(height);
  int format = bitmap->Format();
  int depth = bitmap->Depth();
  if (!renderer || depth == 0 || format < 0 || format >= kNUM_TEXTUREFORMATS || !bitmap->Buffer()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to create texture in registerBitmap");
    return 0;
  }
  unsigned bytesPerPixel = (format == kTEXTUREFORMAT_0888) ? 4 : (unsigned)depth / 8;
  bool resize = !IsPowerOfTwo(width) || !IsPowerOfTwo(height);
  if (resize && bytesPerPixel != 4) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Can't resize an 8-bit texture in registerBitmap");
    return 0;
  }
  HTEXTURE hTexture = renderer->CreateBitmapTexture((TEXTUREFORMAT)format, targetWidth, targetHeight,
                                                    buildMips ? 0 : 1, GameTextureRendererFlags(flags));
  if (!hTexture) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to create texture in registerBitmap");
    return 0;
  }

  const uint8_t* pixels = reinterpret_cast<const uint8_t*>(bitmap->Buffer());
  uint8_t* expanded = nullptr;
  if (format == kTEXTUREFORMAT_0888 && depth == 24) {
    // 0888 textures hold 32-bit texels.
    expanded = static_cast<uint8_t*>(malloc((size_t)width * height * 4));
    if (!expanded) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Out of memory in registerBitmap");
      renderer->DeleteTexture(hTexture, true);
      return 0;
    }
    for (size_t i = 0; i < (size_t)width * height; ++i) {
      expanded[i * 4 + 0] = pixels[i * 3 + 0];
      expanded[i * 4 + 1] = pixels[i * 3 + 1];
      expanded[i * 4 + 2] = pixels[i * 3 + 2];
      expanded[i * 4 + 3] = 255;
    }
    pixels = expanded;
  }
  uint8_t* resized = nullptr;
  if (resize) {
    resized = static_cast<uint8_t*>(malloc((size_t)targetWidth * targetHeight * 4));
    if (!resized) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Out of memory in registerBitmap");
      free(expanded);
      renderer->DeleteTexture(hTexture, true);
      return 0;
    }
    resizeBitmap(width, height, pixels, targetWidth, targetHeight, resized);
    pixels = resized;
  }
  void* level0 = renderer->LockTexture(hTexture, 0, nullptr, false, (CUBEMAPFACE)-1, true);
  memcpy(level0, pixels, (size_t)targetWidth * targetHeight * bytesPerPixel);
  renderer->UnlockTexture(hTexture, 0, false, (CUBEMAPFACE)-1);
  if (buildMips) renderer->FilterTexture(hTexture, true);
  free(expanded);
  free(resized);
  return hTexture;
}

void EGameTextureManager::resizeBitmap(unsigned srcWidth, unsigned srcHeight, const uint8_t* src, unsigned dstWidth,
                                       unsigned dstHeight, uint8_t* dst) {
  const float ry = (float)srcHeight / (float)dstHeight, rx = (float)srcWidth / (float)dstWidth;
  for (unsigned i = 0; i < dstHeight; ++i) {
    unsigned y0 = (unsigned)floorf((float)i * ry), y1 = (unsigned)ceilf((float)(i + 1) * ry);
    if (y1 > srcHeight) y1 = srcHeight;
    if (y1 <= y0) y1 = y0 + 1;
    for (unsigned j = 0; j < dstWidth; ++j) {
      unsigned x0 = (unsigned)floorf((float)j * rx), x1 = (unsigned)ceilf((float)(j + 1) * rx);
      if (x1 > srcWidth) x1 = srcWidth;
      if (x1 <= x0) x1 = x0 + 1;
      float sum[4] = {0, 0, 0, 0};
      for (unsigned y = y0; y < y1; ++y)
        for (unsigned x = x0; x < x1; ++x)
          for (int c = 0; c < 4; ++c) sum[c] += (float)src[((size_t)y * srcWidth + x) * 4 + c];
      float count = (float)((y1 - y0) * (x1 - x0));
      for (int c = 0; c < 4; ++c) dst[((size_t)i * dstWidth + j) * 4 + c] = (uint8_t)floorf(sum[c] / count);
    }
  }
}

void EGameTextureManager::CheckForLocalizedTexture(const char* name) {
  const char* dot = strchr(name, '.');
  if (!dot || strchr(dot + 1, '.')) return;
  std::string base(name, (size_t)(dot - name)), extension(dot + 1);
  std::string french = base + "_french." + extension, german = base + "_german." + extension;
  if (gFile->Exists(french.c_str(), ExistsLocation())) m_aFrenchTextures.AddData(EString(name));
  if (gFile->Exists(german.c_str(), ExistsLocation())) m_aGermanTextures.AddData(EString(name));
}

namespace {

bool SmallerTexture(EGameTexture* a, EGameTexture* b) { return a->GetTextureSize() < b->GetTextureSize(); }

}  // namespace

void EGameTextureManager::DumpTextureInfo(bool withDensities) {
  g_ErrorManager.TraceMessagef(TT_None, "-------------------");
  g_ErrorManager.TraceMessagef(TT_None, "Game Texture Memory");
  g_ErrorManager.TraceMessagef(TT_None, "-------------------");
  EArray<EDataId> ids;
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i)
    if (m_Textures[i].m_id) ids.AddData(m_Textures[i].m_id);
  if (ids.Num() > 1) m_Textures.SortIndexArray(ids.GetData(), ids.Num(), SmallerTexture);
  double total = 0.0;
  for (int i = 0; i < ids.Num(); ++i) {
    EGameTexture* texture = GetTexture(ids[i]);
    unsigned size = texture->GetTextureSize();
    total += size;
    unsigned width = 0, height = 0;
    if (g_pCurrentRenderer && texture->m_phTextures && texture->m_phTextures[0])
      g_pCurrentRenderer->GetTextureDimensions(texture->m_phTextures[0], width, height);
    const char* name = texture->m_szName ? texture->m_szName : "";
    if (withDensities) {
      char density[32];
      float d = texture->GetTextureDensity();
      if (d == 0.0f) snprintf(density, sizeof(density), "unknown");
      else snprintf(density, sizeof(density), "%i tex/cm", (int)d);
      g_ErrorManager.TraceMessagef(TT_None, "Texture size %iK, density %s, format %s (%ix%i): %s", (int)(size / 1024),
                                   density, texture->GetTextureFormatString(), (int)width, (int)height, name);
    } else {
      g_ErrorManager.TraceMessagef(TT_None, "Texture size %iK, format %s (%ix%i): %s", (int)(size / 1024),
                                   texture->GetTextureFormatString(), (int)width, (int)height, name);
    }
  }
  g_ErrorManager.TraceMessagef(TT_None, "--------------------------------");
  g_ErrorManager.TraceMessagef(TT_None, "Total game texture memory = %.2fMB", total / 1048576.0);
  g_ErrorManager.TraceMessagef(TT_None, "--------------------------------");
}
