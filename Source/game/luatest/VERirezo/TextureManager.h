// The game texture manager: turns texture file names into game textures,
// shares them by normalised name, loads them from loose files and texture
// packs, animates, reduces and purges them.
#pragma once

#include "TWGraphics/Renderer.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/String.h"
#include "UnixMain/UnixMain.h"
#include "VERirezo/GameTexture.h"

class EBitmap;
class EStream;
class EFileReader;
class EFileWriter;
struct ETexAnimInfo;

enum { kMAX_GAME_TEXTURES = 1024 };

class EGameTextureManager {
public:
  EGameTextureManager();
  ~EGameTextureManager();
  EGameTextureManager(const EGameTextureManager&) = delete;
  EGameTextureManager& operator=(const EGameTextureManager&) = delete;

  // The id of the named texture, loading it on first use; with a bitmap the
  // bitmap becomes the texture (and is freed). Never 0: a failure gives the
  // "ErrorTexture" id.
  unsigned AddTexture(const char* name, unsigned flags, EBitmap* bitmap);
  unsigned CreateEmptyTexture(const char* name, unsigned flags);
  void SetTextureHandle(unsigned id, HTEXTURE hTexture);
  // Wraps a renderer texture the program made; not found by name.
  unsigned AddProceduralTexture(HTEXTURE hTexture, bool purgeOk, const char* name);

  EGameTexture* GetTexture(unsigned id) const;
  // The renderer texture of the current frame (of info when given).
  HTEXTURE GetTextureHandle(unsigned id, const ETexAnimInfo* info = nullptr) const;
  HPALETTE GetPaletteHandle(unsigned id) const;
  EGameTexture* FindTextureByName(const char* name) const;
  EGameTexture* FindTextureByHandle(HTEXTURE hTexture) const;

  void DeleteTexture(unsigned id, bool removeName);
  void PurgeTextures(bool keepLocked);

  void SetTrapTextureString(const char* substring);
  void CheckTrapTextureString(const char* name, const char* sceneContext);

  void DumpTextureInfo(bool withDensities);
  void ValidateTextures() {}

  // Animation (TextureAnimation.cpp).
  void AnimateTextures();
  void AnimateTexture(ETexAnimInfo* info, bool realTime);
  HTEXTURE AnimateTextureUnaffectedTime(unsigned id);
  bool LoadATXTexture(const char* name, const char* atxName, EGameTexture* texture);

  // Automatic reduction (TextureReduction.cpp).
  void AutoReduceTextures(unsigned bytesNeeded);
  unsigned GetTotalReducedCount() const;
  unsigned GetTotalReducedMemory() const;

  // Texture packs (TexturePack.cpp).
  bool ReadPackFile(const char* name, bool);
  bool ReadPackFile(EFileReader& reader, bool);
  bool ReadPackFileTextures(EFileReader& reader, unsigned short count, unsigned short version);
  // Writes "common.tpf", "<level>.tpf" or "menus.tpf" in the write folder.
  void WriteAllTexturesToPackFile(bool common, unsigned short version);
  void WriteAllLocalizedTexturesToPackFile(EFileWriter& writer, EGameLanguage language, bool common,
                                           unsigned short version);

  // Bump-map palettising (TextureBumpmap.cpp). The palette holds 256 unit
  // normals over the upper hemisphere; a palettised normal map is a P8
  // texture of indices into it.
  HPALETTE CreateBumpmapPalette();
  // A new P8 texture of the nearest palette normal of every texel of an 8888
  // normal map, with the mean and largest angle errors in degrees; 0 when
  // the texture cannot be made.
  HTEXTURE PalettizeBumpmap(HTEXTURE hSource, float* pAverageError, float* pMaxError);
  // The entry of a table of 256 unit vectors nearest to v, with the angle
  // between them in degrees.
  static int getNearestNormalTableEntry(const EVec3& v, const EVec3* table, float* pError);

  // Lower case, without the resource folder, '\' separators, ".dds".
  static void fixTextureFilename(char* out, const char* in);

  bool LoadGameTexture(const char* name, EGameTexture* texture);
  bool LoadRendererTexture(const char* name, unsigned flags, HTEXTURE* phTexture, HPALETTE* phPalette);
  HTEXTURE registerBitmap(EBitmap* bitmap, unsigned flags, bool fromCaller, bool buildMips);
  static void resizeBitmap(unsigned srcWidth, unsigned srcHeight, const uint8_t* src, unsigned dstWidth,
                           unsigned dstHeight, uint8_t* dst);
  void CheckForLocalizedTexture(const char* name);

  EDataArray<EGameTexture>& GetTexturePool() { return m_Textures; }
  unsigned GetNumNames() const { return m_NameTable.GetNumEntries(); }

  // Names of textures with a French or German variant, for the pack writer.
  EArray<EString> m_aFrenchTextures;
  EArray<EString> m_aGermanTextures;

private:
  unsigned ErrorTextureId() const;
  // A new pool element; 0 (traced) when the pool is full.
  unsigned NewElement();
  void FreeElement(EGameTexture* texture, bool removeName);
  void PalettizeBumpmapTexture(EGameTexture* texture);
  void RecordPlayerModelTexture(EGameTexture* texture, const char* name);
  // Writes one pack entry (with its cookie and size for a non-zero version).
  void WritePackEntry(EFileWriter& writer, EGameTexture* texture, unsigned short version);

  EHashTable<unsigned int> m_NameTable;
  char* m_szTrapString;
  EDataArray<EGameTexture> m_Textures;
};

// The manager of the running game, or null before rendering starts.
EGameTextureManager* GetGameTextureManager();
