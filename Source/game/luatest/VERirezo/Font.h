// Bitmap fonts (".twf"): one texture holding every glyph, the glyph
// rectangles, a 256-entry map from byte codes to glyphs and a baseline per
// glyph; the inline icon list; measuring, drawing and wrapping text.
#pragma once

#include <cstdint>

#include "TWGraphics/Rect.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/String.h"

class EMat4;
struct EMenuBox;

// The four bytes "FFWT" read as a little-endian word.
const uint32_t kTWF_MAGIC = 0x54574646u;
// The icon list read with every font.
extern const char* const kICON_PREFS_FILE;

// One icon of the icon list.
class EUIIcon {
public:
  EUIIcon() : m_idTexture(0), m_dwWidth(0), m_dwHeight(0) { m_szName[0] = '\0'; }
  void Load(const char* szName, const char* szPath);

  char m_szName[256];  // at most 254 characters
  unsigned m_idTexture;  // game texture id
  uint32_t m_dwWidth, m_dwHeight;
};

// True when the text holds "MapHighlightMark", "OneUp" or "MaxLivesUp".
bool IsLongIcon(const char* szText);

enum {
  kFONTSTYLE_SHADOW = 1,
  kFONTSTYLE_FIXED_WIDTH = 2,
  kFONTSTYLE_CENTERED = 8,
  kFONTSTYLE_COLORED_ICONS = 16,
  kFONTSTYLE_HIDDEN_ICONS = 32,
};

class EFont {
public:
  EFont();
  ~EFont();
  EFont(const EFont&) = delete;
  EFont& operator=(const EFont&) = delete;

  // Reads "<base>_lin.<ext>" and the icon list. False, keeping nothing, for
  // a missing, short or damaged file.
  bool Load(const char* szName);
  // Reads a font from bytes in memory (the file reader's second half).
  bool LoadFromMemory(const uint8_t* pData, size_t size);
  void loadSpecialIcons();
  // Parses an icon list held in memory.
  void ParseIconList(const char* pText, size_t length);

  ERect GetCharRects(unsigned char c) const { return m_pRects[glyphOf(c)]; }
  int GetBaseline(unsigned char c) const { return m_piBaselines[glyphOf(c)]; }
  float GetStringHeight(const char* szText, int& ascent, int& descent) const;
  unsigned TextLength(const char* szText) const;
  void SetUV(unsigned char c, int16_t& uLeft, int16_t& vTop, int16_t& uRight, int16_t& vBottom, unsigned& baseline,
             unsigned& advance) const;
  void SetUV(unsigned char c, float& uLeft, float& vTop, float& uRight, float& vBottom, unsigned& baseline,
             unsigned& advance) const;
  void GetIconDimensions(float& width, float& height) const;
  bool FindIconInString(const char* szText) const;
  bool isStringInIconList(const char* szName) const;
  bool slashIsIcon(const char* szText, unsigned i) const;

  float DisplayText2(float x, float y, const char* szText, unsigned flags, const EVec4* pColor = nullptr,
                     const EVec4* pShadowColor = nullptr, const EVec2* pScale = nullptr, unsigned layer = 0,
                     float clipWidth = 0.0f, bool bRealTimeIcons = false, const EVec2* pPivot = nullptr,
                     float rotation = 0.0f, EMenuBox* pMenuBox = nullptr);
  void DisplayText(unsigned x, unsigned y, const char* szText, unsigned flags, const EVec4* pColor,
                   const EVec4* pShadowColor, const EVec2* pScale, unsigned layer, unsigned clipWidth);
  int drawIcon(const char* szText, float x, float y, unsigned layer, const EVec4* pColor, unsigned* pIconWidth,
               const EVec2& scale, bool bRealTimeIcons, bool bColoredIcons);
  float WordWrap(const char* szText, float width, EArray<EString>& lines, float scale);
  void Display3dText(const EVec3& position, const char* szText, float size, float maxDistance, const EVec4& colour,
                     const EVec2& offset, unsigned layer);
  void Display3dTextOriented(float x, float y, float z, const char* szText, unsigned flags,
                             const EVec4* pColor = nullptr, const EVec4* pShadowColor = nullptr,
                             const EVec3* pScale = nullptr, const EEuler* pRotation = nullptr,
                             const EMat4* pMatrix = nullptr);

  void SetTexture(unsigned idTexture) { m_idTexture = idTexture; }
  unsigned GetTexture() const { return m_idTexture; }
  const uint32_t* GetBitmap() const { return m_pPixels; }
  void GetDims(unsigned& width, unsigned& height) const {
    width = m_wWidth;
    height = m_wHeight;
  }
  int GetFormat() const { return m_iFormat; }
  const char* GetFilename() const { return m_szFilename; }
  void DeleteBitmap();
  int GetGlyphCount() const { return m_iGlyphCount; }
  const uint8_t* GetCharMap() const { return m_abyCharMap; }
  unsigned GetIconCount() const { return m_dwIconCount; }
  const EUIIcon& GetIcon(unsigned i) const { return m_pIcons[i]; }

  // The width the last drawn icon's texture had.
  unsigned m_dwLastIconWidth;

private:
  // Map entries beyond the glyph table name glyph 0.
  int glyphOf(unsigned char c) const { return m_abyCharMap[c] < m_iGlyphCount ? m_abyCharMap[c] : 0; }
  // The font texture's renderer handle this frame.
  uint32_t textureHandle() const;
  // Name of the icon token opening at the slash szText[0]: its length, or -1
  // when there is no closing slash or the name exceeds `room` - 1.
  static int tokenName(const char* szText, char* pName, int room);
  const EUIIcon* findIcon(const char* szName) const;
  void clear();

  int m_iGlyphCount;
  uint8_t m_abyCharMap[256];
  ERect* m_pRects;
  int32_t* m_piBaselines;
  uint32_t* m_pPixels;
  uint32_t m_dwReserved;
  int m_iFormat;
  uint16_t m_wWidth, m_wHeight;
  unsigned m_idTexture;
  EUIIcon* m_pIcons;
  uint32_t m_dwIconCount;
  char* m_szFilename;
};
