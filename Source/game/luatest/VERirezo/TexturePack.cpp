// Texture packs: every texture a level (or the common set, or the menus)
// needs, in the renderer's own formats, in one file; and the game
// texture's record inside them.
#include <cstdio>
#include <cstring>

#include "TWGraphics/Renderer.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureApp.h"
#include "VERirezo/TextureManager.h"

namespace {

const TRACETYPE kPACK_TRACE = (TRACETYPE)18;
const unsigned short kPACK_VERSION_MARKER = 65021;
const unsigned short kPACK_LANGUAGE_BLOCK = 0xFFFF;
const unsigned kPACK_ENTRY_COOKIE = 0x31545820;  // '1TX '

// A field whose value is known only later: a placeholder now, the value
// written over it when known.
template <class T>
class StreamFixup {
public:
  StreamFixup() : m_stream(nullptr), m_iPosition(0) {}
  ~StreamFixup() { EASSERT(m_stream == 0); }

  void WriteTemp(EFileWriter& writer) {
    m_stream = &writer;
    m_iPosition = writer.GetFile()->Seek(0, SEEKTYPE_Current);
    T placeholder = (T)~(T)0;
    writer << placeholder;
  }
  unsigned BytesPastFixup() const {
    return (unsigned)(m_stream->GetFile()->Seek(0, SEEKTYPE_Current) - m_iPosition - 4);
  }
  void WriteFinal(T value) {
    EFile* file = m_stream->GetFile();
    int here = file->Seek(0, SEEKTYPE_Current);
    file->Seek(m_iPosition, SEEKTYPE_Begin);
    *m_stream << value;
    file->Seek(here, SEEKTYPE_Begin);
    m_stream = nullptr;
  }

private:
  EFileWriter* m_stream;
  int m_iPosition;
};

int Position(EFileReader& reader) { return reader.GetFile() ? reader.GetFile()->Seek(0, SEEKTYPE_Current) : -1; }

}  // namespace

// ---------------------------------------------------------------------------
// The game texture's record

void EGameTexture::WriteToPackFile(EStream& s) {
  WriteHeadToPackFile(s);
  int frames = m_phTextures ? GetNumFrames() : 0;
  for (int i = 0; i < frames; ++i)
    g_pCurrentRenderer->WriteTextureToPackFile(m_phTextures[i], s, m_phPalettes ? &m_phPalettes[i] : nullptr);
}

void EGameTexture::WriteHeadToPackFile(EStream& s) {
  unsigned int id = m_id, handles = 0, palettes = 0;
  unsigned int nameField = m_szName ? 1 : 0, animField = m_pTexAnimInfo ? 1 : 0;
  unsigned int reduced = m_dwReducedMemory, flags = m_dwFlags;
  int visual = m_iVisualImportance, memory = m_iMemoryImportance;
  float density = m_fDensity;
  s << id << handles << palettes << nameField << animField << density << visual << memory << reduced << flags;
  if (m_szName) {
    unsigned short length = (unsigned short)(strlen(m_szName) + 1);
    s << length;
    s.Stream(static_cast<const void*>(m_szName), length);
  }
  if (m_pTexAnimInfo) {
    ETexAnimInfo copy;
    CopyTexAnimInfo(copy, *m_pTexAnimInfo);
    StreamTexAnimInfo(s, copy);
  }
}

bool EGameTexture::ReadHeadFromPackFile(EStream& s) {
  unsigned int id = 0, handles = 0, palettes = 0, nameField = 0, animField = 0, reduced = 0, flags = 0;
  int visual = -1, memory = -1;
  float density = -1.0f;
  s << id << handles << palettes << nameField << animField << density << visual << memory << reduced << flags;
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture pack record ends inside its header");
    return false;
  }
  m_fDensity = density;
  m_iVisualImportance = visual;
  m_iMemoryImportance = memory;
  m_dwReducedMemory = reduced;
  m_dwFlags = flags;
  delete[] m_szName;
  m_szName = nullptr;
  if (nameField) {
    unsigned short length = 0;
    s << length;
    unsigned have = s.BoundLength(length);
    if (length == 0 || length >= kMAX_TEXTURE_NAME || have < length) {
      s.Stream(nullptr, have);
      m_szName = new char[1];
      m_szName[0] = '\0';
    } else {
      m_szName = new char[length];
      s.Stream(m_szName, length);
      m_szName[length - 1] = '\0';
    }
  }
  if (animField) {
    delete m_pTexAnimInfo;
    m_pTexAnimInfo = new ETexAnimInfo();
    StreamTexAnimInfo(s, *m_pTexAnimInfo);
    if (m_pTexAnimInfo->m_iNumFrames < 1 || m_pTexAnimInfo->m_iNumFrames > kMAX_ATX_FRAMES) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Texture pack record has %d frames", m_pTexAnimInfo->m_iNumFrames);
      s.SetErr();
      return false;
    }
  }
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture pack record ends inside its header");
    return false;
  }
  return true;
}

bool EGameTexture::ReadFromPackFile(EStream& s) {
  if (!ReadHeadFromPackFile(s)) return false;
  int frames = GetNumFrames();
  delete[] m_phTextures;
  delete[] m_phPalettes;
  m_phPalettes = nullptr;
  m_phTextures = new uint32_t[frames]();
  for (int i = 0; i < frames; ++i) {
    HPALETTE* palette = nullptr;
    m_phTextures[i] = g_pCurrentRenderer->ReadTextureFromPackFile(s, &palette);
    if (palette) {
      if (!m_phPalettes) m_phPalettes = new uint32_t[frames]();
      m_phPalettes[i] = palette[0];
      delete[] palette;
    }
    if (!m_phTextures[i]) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Reading packs

bool EGameTextureManager::ReadPackFile(const char* name, bool bFlag) {
  char path[kMAX_TEXTURE_NAME];
  snprintf(path, sizeof(path), "textures/pcpackfiles/%s.tpf", name ? name : "");
  EFile* file = gFile->Open(path, FILE_READ, kFILELOC_ReadPaths);
  if (!file) {
    g_ErrorManager.TraceMessagef(kPACK_TRACE, "Could not open texture packfile '%s'", name ? name : "");
    return false;
  }
  g_ErrorManager.TraceMessagef(kPACK_TRACE, "Loading texture packfile '%s'", name);
  EFileReader reader(file, kAUTOCLOSE_Yes);
  ReadPackFile(reader, bFlag);
  return true;
}

bool EGameTextureManager::ReadPackFile(EFileReader& reader, bool) {
  unsigned short word = 0, version = 0;
  reader << word;
  if (word == kPACK_VERSION_MARKER) {
    reader << version;
    reader << word;
  }
  while (word == kPACK_LANGUAGE_BLOCK && !reader.Err()) {
    unsigned short language = 0;
    unsigned int size = 0;
    reader << language << size;
    if (language == (unsigned)TextureApp::Language()) {
      unsigned short count = 0;
      reader << count;
      if (!ReadPackFileTextures(reader, count, version)) return false;
    } else {
      reader.Stream(nullptr, reader.BoundLength(size));
    }
    reader << word;
  }
  if (reader.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture pack ends early");
    return false;
  }
  return ReadPackFileTextures(reader, word, version);
}

bool EGameTextureManager::ReadPackFileTextures(EFileReader& reader, unsigned short count, unsigned short version) {
  g_ErrorManager.TraceMessagef(kPACK_TRACE, "Info: Texture pack file contains %i textures", (int)count);
  if (!g_pCurrentRenderer) return false;
  for (unsigned i = 0; i < count; ++i) {
    unsigned id = NewElement();
    if (!id) return false;
    EGameTexture* texture = GetTexture(id);
    int end = -1;
    if (version) {
      unsigned int cookie = 0, size = 0;
      reader << cookie << size;
      if (reader.Err() || cookie != kPACK_ENTRY_COOKIE) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Damaged texture pack entry %u: no entry cookie", i);
        FreeElement(texture, false);
        return false;
      }
      end = Position(reader) + (int)size;
    }
    bool ok = texture->ReadFromPackFile(reader);
    if (ok && end >= 0 && Position(reader) != end) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Damaged texture pack entry %u: its record does not fill its size", i);
      ok = false;
    }
    if (!ok || reader.Err()) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Damaged texture pack entry %u", i);
      DeleteTexture(id, false);
      return false;
    }
    // The texture registered first wins: a language variant read before the
    // main list, or a texture loaded before the pack.
    if (!texture->m_szName || m_NameTable.Contains(texture->m_szName)) DeleteTexture(id, false);
    else m_NameTable.Set(texture->m_szName, id);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Writing packs

void EGameTextureManager::WritePackEntry(EFileWriter& file, EGameTexture* texture, unsigned short version) {
  if (!version) {
    texture->WriteToPackFile(file);
    return;
  }
  unsigned int cookie = kPACK_ENTRY_COOKIE;
  file << cookie;
  StreamFixup<unsigned int> size;
  size.WriteTemp(file);
  texture->WriteToPackFile(file);
  size.WriteFinal(size.BytesPastFixup());
}

void EGameTextureManager::WriteAllTexturesToPackFile(bool common, unsigned short version) {
  char name[kMAX_TEXTURE_NAME];
  const char* level = TextureApp::FullCurrentLevelName();
  if (common) snprintf(name, sizeof(name), "common.tpf");
  else if (level && level[0]) snprintf(name, sizeof(name), "%s.tpf", level);
  else snprintf(name, sizeof(name), "menus.tpf");
  EFile* file = gFile->Open(name, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_WritePath);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not create texture pack file '%s'", name);
    return;
  }
  EFileWriter writer(file, kAUTOCLOSE_Yes);
  if (version) {
    unsigned short marker = kPACK_VERSION_MARKER, v = version;
    writer << marker << v;
  }
  WriteAllLocalizedTexturesToPackFile(writer, kLANGUAGE_French, common, version);
  WriteAllLocalizedTexturesToPackFile(writer, kLANGUAGE_German, common, version);
  StreamFixup<unsigned short> countField;
  countField.WriteTemp(writer);
  unsigned short written = 0;
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i) {
    EGameTexture& t = m_Textures[i];
    if (!t.m_id || t.GetProcedural() || t.GetLocked() != common) continue;
    WritePackEntry(writer, &t, version);
    ++written;
  }
  countField.WriteFinal(written);
  writer.Close();
  g_ErrorManager.TraceMessagef(TT_None, "Wrote %i textures to texture pack file '%s'", (int)written, name);
}

void EGameTextureManager::WriteAllLocalizedTexturesToPackFile(EFileWriter& writer, EGameLanguage language, bool common,
                                                              unsigned short version) {
  if (language != kLANGUAGE_German && language != kLANGUAGE_French)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                "eLanguage == kGAMELANGUAGE_GERMAN || eLanguage == kGAMELANGUAGE_FRENCH", false);
  EArray<EString>& list = language == kLANGUAGE_French ? m_aFrenchTextures : m_aGermanTextures;
  if (list.Num() == 0 || !gGameApp) return;

  // Loading the variants neither reduces textures nor trips the start-up
  // rules of AddTexture.
  bool autoReduce = gGameApp->m_DebugHooks.AutoReduceTextures;
  bool startUpComplete = gGameApp->m_bStartUpComplete;
  gGameApp->m_DebugHooks.AutoReduceTextures = false;
  gGameApp->m_bStartUpComplete = false;

  unsigned short marker = kPACK_LANGUAGE_BLOCK, lang = (unsigned short)language;
  writer << marker << lang;
  StreamFixup<unsigned int> size;
  size.WriteTemp(writer);
  StreamFixup<unsigned short> countField;
  countField.WriteTemp(writer);
  unsigned short written = 0;
  const char* languageName = GameApp::GetLanguageString(language);
  EArray<EString> names(list);  // loading a variant may add to the list
  for (int i = 0; i < names.Num(); ++i) {
    const char* base = *names[i];
    size_t length = strlen(base);
    if (length < 4) continue;
    g_ErrorManager.TraceMessagef(TT_None, "Writing %s for %s loc tex file", base, languageName);
    char variant[kMAX_TEXTURE_NAME + 32];
    snprintf(variant, sizeof(variant), "%.*s_%s.dds", (int)(length - 4), base, languageName);
    unsigned id = AddTexture(variant, common ? kGAMETEXTURE_LOCKED : 0, nullptr);
    if (id == ErrorTextureId()) {
      g_ErrorManager.TraceMessagef(TT_Error, "Failed to load loc texture %s", variant);
      continue;
    }
    EGameTexture* texture = GetTexture(id);
    char* own = texture->m_szName;
    size_t n = length + 1;
    texture->m_szName = new char[n];
    memcpy(texture->m_szName, base, n);
    WritePackEntry(writer, texture, version);
    delete[] texture->m_szName;
    texture->m_szName = own;
    DeleteTexture(id, true);
    ++written;
  }
  size.WriteFinal(size.BytesPastFixup());
  countField.WriteFinal(written);
  list.Empty();

  gGameApp->m_DebugHooks.AutoReduceTextures = autoReduce;
  gGameApp->m_bStartUpComplete = startUpComplete;
}
