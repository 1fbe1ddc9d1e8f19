#include "VERirezo/Font.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/UIMenu.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Matrix.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EGameFile.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"
#include "VERirezo/TextureManager.h"

const char* const kICON_PREFS_FILE = "WorkResource\\Textures\\icons\\UI_Icons\\IconPrefsPC.ini";

namespace {

const int kFONT_WRAP_ROOM = 500;  // a wrapped text keeps 499 characters
const int kFONT_FIND_ROOM = 100;  // candidate names between two slashes
const int kFONT_DRAW_ROOM = 188;
const int kFONT_SLASH_ROOM = 255;

ESpriteManager* FontSprites() { return gGameApp ? gGameApp->m_pSpriteManager : nullptr; }
EGameTextureManager* FontTextures() { return gGameApp ? gGameApp->GetGameTextureManager() : nullptr; }

// While the front-end menu takes the input a slash may break a wrapped
// line. The menu's input mode is not built yet.
bool FontMenuInputActive() { return false; }

bool FontMessageOrTutorialOpen() {
  if (!gGameApp) return false;
  return (gGameApp->m_pMessageBoxManager && gGameApp->m_pMessageBoxManager->IsMessageBoxActive()) ||
         (gGameApp->m_pTutorialBoxManager && gGameApp->m_pTutorialBoxManager->IsActive());
}

}  // namespace

int ELanguageInfo::GetFontKerningLength() {
  return (!gGameApp || gGameApp->GetLanguage() == 0) ? 3 : 2;
}

EArray<EMenuBox>& GetMenuHitBoxes() {
  static EArray<EMenuBox> s_aBoxes(kMEMTYPE_UI);
  return s_aBoxes;
}

bool IsLongIcon(const char* szText) {
  return szText && (strstr(szText, "MapHighlightMark") || strstr(szText, "OneUp") || strstr(szText, "MaxLivesUp"));
}

void EUIIcon::Load(const char* szName, const char* szPath) {
  size_t n = strlen(szName);
  if (n > 254) n = 254;
  memcpy(m_szName, szName, n);
  m_szName[n] = '\0';
  m_idTexture = 0;
  m_dwWidth = m_dwHeight = 0;
  EGameTextureManager* tm = FontTextures();
  if (!tm) return;
  m_idTexture = tm->AddTexture(szPath, 1, nullptr);
  unsigned w = 0, h = 0;
  if (uint32_t hTex = tm->GetTextureHandle(m_idTexture)) g_pCurrentRenderer->GetTextureDimensions(hTex, w, h);
  m_dwWidth = w;
  m_dwHeight = h;
}

EFont::EFont()
    : m_dwLastIconWidth(0), m_iGlyphCount(0), m_pRects(nullptr), m_piBaselines(nullptr), m_pPixels(nullptr),
      m_dwReserved(0), m_iFormat(0), m_wWidth(0), m_wHeight(0), m_idTexture(0), m_pIcons(nullptr),
      m_dwIconCount(0), m_szFilename(nullptr) {
  memset(m_abyCharMap, 0, sizeof(m_abyCharMap));
}

EFont::~EFont() { clear(); }

void EFont::clear() {
  delete[] m_pIcons;
  delete[] m_piBaselines;
  delete[] m_pRects;
  free(m_pPixels);
  free(m_szFilename);
  m_pIcons = nullptr;
  m_piBaselines = nullptr;
  m_pRects = nullptr;
  m_pPixels = nullptr;
  m_szFilename = nullptr;
  m_dwIconCount = 0;
  m_iGlyphCount = 0;
}

void EFont::DeleteBitmap() {
  free(m_pPixels);
  m_pPixels = nullptr;
}

bool EFont::Load(const char* szName) {
  // Split at the last dot, so that a folder or base name holding a dot
  // still opens "<base>_lin.<ext>".
  const char* dot = strrchr(szName, '.');
  EASSERT(dot);
  EString sOpened(EPrintfTag(), "%.*s_lin.%s", (int)(dot - szName), szName, dot + 1);
  EGameFile file;
  if (!file.Open(*sOpened, false)) return false;
  const int size = file.GetFilesize();
  uint8_t* pData = static_cast<uint8_t*>(malloc(size > 0 ? (size_t)size : 1));
  EASSERT(pData);
  const bool bRead = size > 0 && file.Read(pData, size, 1) == 1;
  file.Close();
  const bool bOk = bRead && LoadFromMemory(pData, (size_t)size);
  free(pData);
  if (!bOk) return false;
  m_szFilename = strdup(*sOpened);
  loadSpecialIcons();
  return true;
}

bool EFont::LoadFromMemory(const uint8_t* p, size_t size) {
  clear();
  size_t at = 0;
  auto need = [&](size_t n) { return size - at >= n; };
  if (!need(12) || GetLE32(p) != kTWF_MAGIC) return false;
  const uint32_t reserved = GetLE32(p + 4);
  const uint32_t count = GetLE32(p + 8);
  at = 12;
  if (count == 0 || !need(256 + (size_t)count * 12 + 12)) return false;
  uint8_t map[256];
  memcpy(map, p + at, 256);
  at += 256;
  const size_t records = at;
  at += (size_t)count * 12;
  const uint32_t format = GetLE32(p + at);
  const uint16_t w = (uint16_t)GetLE32(p + at + 4), h = (uint16_t)GetLE32(p + at + 8);
  at += 12;
  if (format != 0 && format != 1 && format != 3) return false;
  const size_t pixels = (size_t)w * h;
  if (!need(format == 3 ? pixels : pixels * 4)) return false;

  m_dwReserved = reserved;
  m_iGlyphCount = (int)count;
  memcpy(m_abyCharMap, map, 256);
  m_pRects = new ERect[count];
  m_piBaselines = new int32_t[count];
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* r = p + records + (size_t)i * 12;
    m_pRects[i] = ERect{GetLE16(r), GetLE16(r + 2), GetLE16(r + 4), GetLE16(r + 6)};
    m_piBaselines[i] = (int32_t)GetLE32(r + 8);
  }
  m_pPixels = static_cast<uint32_t*>(malloc(pixels ? pixels * 4 : 4));
  EASSERT(m_pPixels);
  for (size_t i = 0; i < pixels; ++i)
    m_pPixels[i] = format == 3 ? ((uint32_t)p[at + i] << 24 | 0x00FFFFFFu) : GetLE32(p + at + i * 4);
  m_iFormat = 0;
  m_wWidth = w;
  m_wHeight = h;
  return true;
}

void EFont::loadSpecialIcons() {
  EGameFile file;
  if (!file.Open(kICON_PREFS_FILE, false)) {
    g_ErrorManager.TraceMessagef("Error could not load icon prefs file");
    delete[] m_pIcons;
    m_pIcons = nullptr;
    m_dwIconCount = 0;
    return;
  }
  const int size = file.GetFilesize();
  char* text = static_cast<char*>(malloc(size > 0 ? (size_t)size + 1 : 1));
  EASSERT(text);
  const bool bRead = size > 0 && file.Read(text, size, 1) == 1;
  file.Close();
  ParseIconList(text, bRead ? (size_t)size : 0);
  free(text);
}

void EFont::ParseIconList(const char* pText, size_t length) {
  delete[] m_pIcons;
  m_pIcons = nullptr;
  m_dwIconCount = 0;
  size_t lines = 0;
  for (size_t i = 0; i < length; ++i)
    if (pText[i] == '\n') ++lines;
  if (length && pText[length - 1] != '\n') ++lines;
  if (!lines) return;
  m_pIcons = new EUIIcon[lines];
  size_t at = 0;
  EString name, path;
  while (at < length && m_dwIconCount < lines) {
    while (at < length && (pText[at] == '\r' || pText[at] == '\n')) ++at;
    if (at >= length) break;
    size_t end = at;
    while (end < length && pText[end] != '\r' && pText[end] != '\n') ++end;
    // name, commas, path up to the next comma
    size_t i = at;
    while (i < end && pText[i] != ',') ++i;
    // (an empty span must not hand Copy a pointer past the text)
    name.Copy(i > at ? pText + at : "", (int)(i - at));
    while (i < end && pText[i] == ',') ++i;
    while (i < end && (pText[i] == ' ' || pText[i] == '\t')) ++i;
    size_t j = i;
    while (j < end && pText[j] != ',') ++j;
    path.Copy(j > i ? pText + i : "", (int)(j - i));
    at = end;
    if (name.Length() == 0 || path.Length() == 0) break;
    m_pIcons[m_dwIconCount++].Load(*name, *path);
  }
}

const EUIIcon* EFont::findIcon(const char* szName) const {
  for (uint32_t i = 0; i < m_dwIconCount; ++i)
    if (!strcasecmp(m_pIcons[i].m_szName, szName)) return &m_pIcons[i];
  return nullptr;
}

bool EFont::isStringInIconList(const char* szName) const { return findIcon(szName) != nullptr; }

int EFont::tokenName(const char* szText, char* pName, int room) {
  const char* close = strchr(szText + 1, '/');
  if (!close) return -1;
  const int n = (int)(close - szText - 1);
  if (n >= room) return -1;
  memcpy(pName, szText + 1, (size_t)n);
  pName[n] = '\0';
  return n;
}

bool EFont::FindIconInString(const char* szText) const {
  const char* open = szText ? strchr(szText, '/') : nullptr;
  if (!open) return false;
  char name[kFONT_FIND_ROOM];
  return tokenName(open, name, kFONT_FIND_ROOM) >= 0 && isStringInIconList(name);
}

bool EFont::slashIsIcon(const char* szText, unsigned i) const {
  if (!szText || i >= strlen(szText) || szText[i] != '/') return false;
  char name[kFONT_SLASH_ROOM];
  if (tokenName(szText + i, name, kFONT_SLASH_ROOM) >= 0 && isStringInIconList(name)) return true;
  // Second test: the text after the slash ends with a slash; its first n
  // characters, n the distance between its last two slashes, name an icon.
  char tail[kFONT_SLASH_ROOM];
  size_t len = strlen(szText + i + 1);
  if (len == 0 || len > 254) return false;
  memcpy(tail, szText + i + 1, len + 1);
  if (tail[len - 1] != '/') return false;
  int prev = -1;
  for (int k = (int)len - 2; k >= 0; --k)
    if (tail[k] == '/') {
      prev = k;
      break;
    }
  const int n = (int)len - 1 - prev - 1;
  if (n <= 0) return false;
  tail[n] = '\0';
  return isStringInIconList(tail);
}

void EFont::GetIconDimensions(float& width, float& height) const {
  const ERect r = GetCharRects('M');
  width = 1.1f * (float)r.Width();
  height = 1.1f * (float)r.Height();
}

float EFont::GetStringHeight(const char* szText, int& ascent, int& descent) const {
  ascent = descent = 0;
  if (!szText || !m_iGlyphCount) return 0.0f;
  for (const char* p = szText; *p; ++p) {
    unsigned char c = (unsigned char)*p;
    if (c == '/' && FindIconInString(p)) continue;
    if (c > 128) c = 'B';
    // A damaged file may hold any 32-bit baseline: measured in 64 bits.
    const int base = GetBaseline(c);
    const int64_t desc = (int64_t)GetCharRects(c).Height() - base;
    if (base > ascent) ascent = base;
    if (desc > descent) descent = desc > INT32_MAX ? INT32_MAX : (int)desc;
  }
  return (float)((int64_t)ascent + descent);
}

unsigned EFont::TextLength(const char* szText) const {
  if (!szText || !m_iGlyphCount) return 0;
  const int kerning = ELanguageInfo::GetFontKerningLength();
  float iconW = 0, iconH = 0;
  GetIconDimensions(iconW, iconH);
  unsigned widest = 0, line = 0;
  for (const char* p = szText; *p; ++p) {
    const unsigned char c = (unsigned char)*p;
    if (c == '\t') {
      line += 36;
    } else if (c == ' ') {
      line += 9;
    } else if (c == '\n' || c == '\r') {
      if (p[1] == '\n') continue;
      if (line > widest) widest = line;
      line = 0;
    } else if (c == '/' && FindIconInString(p)) {
      p = strchr(p + 1, '/');
      line += (unsigned)(int)((float)ELanguageInfo::GetFontIconSpacing(false) + iconW * iconW / 32.0f);
    } else if (c == '/') {
      line += (unsigned)(GetCharRects('/').Width() + 2);
    } else {
      line += (unsigned)(GetCharRects(c).Width() + kerning);
    }
  }
  return line > widest ? line : widest;
}

void EFont::SetUV(unsigned char c, float& uLeft, float& vTop, float& uRight, float& vBottom, unsigned& baseline,
                  unsigned& advance) const {
  const ERect r = GetCharRects(c);
  const float W = (float)m_wWidth, H = (float)m_wHeight;
  uLeft = (float)r.left / W;
  vTop = 1.0f - (float)r.top / H;
  uRight = (float)r.right / W;
  vBottom = 1.0f - (float)r.bottom / H;
  baseline = (unsigned)GetBaseline(c);
  advance = (unsigned)(r.Width() + ELanguageInfo::GetFontKerningLength());
}

void EFont::SetUV(unsigned char c, int16_t& uLeft, int16_t& vTop, int16_t& uRight, int16_t& vBottom,
                  unsigned& baseline, unsigned& advance) const {
  float f[4];
  SetUV(c, f[0], f[1], f[2], f[3], baseline, advance);
  int16_t* out[4] = {&uLeft, &vTop, &uRight, &vBottom};
  for (int i = 0; i < 4; ++i) {
    float v = f[i] < -1.0f ? -1.0f : (f[i] > 1.0f ? 1.0f : f[i]);
    *out[i] = (int16_t)roundf(v * 32767.0f);  // halves away from zero
  }
}

uint32_t EFont::textureHandle() const {
  EGameTextureManager* tm = FontTextures();
  return tm ? tm->GetTextureHandle(m_idTexture) : 0;
}

int EFont::drawIcon(const char* szText, float x, float y, unsigned layer, const EVec4* pColor,
                    unsigned* pIconWidth, const EVec2& scale, bool bRealTimeIcons, bool bColoredIcons) {
  EGameTextureManager* tm = FontTextures();
  if (tm) tm->AnimateTextures();
  char name[kFONT_DRAW_ROOM];
  const char* close = strchr(szText + 1, '/');
  if (!close) return 0;
  if (close[1] == '/') ++close;  // "///" names the icon "/"
  const int n = (int)(close - szText - 1);
  if (n >= kFONT_DRAW_ROOM) return 0;
  memcpy(name, szText + 1, (size_t)n);
  name[n] = '\0';
  const EVec4 colour = (bColoredIcons && pColor) ? *pColor : EVec4(1, 1, 1, pColor ? pColor->w : 1.0f);
  float iw = 0, ih = 0;
  GetIconDimensions(iw, ih);
  const EVec2 s(scale.x - 1.0f + iw / 32.0f, scale.y - 1.0f + ih / 32.0f);
  for (uint32_t i = 0; i < m_dwIconCount; ++i) {
    const EUIIcon& icon = m_pIcons[i];
    const bool single = n == 1 && !strcasecmp(icon.m_szName, "NakedButton");
    if (strcasecmp(icon.m_szName, name) && !single) continue;
    if (pIconWidth) *pIconWidth = icon.m_dwWidth;
    uint32_t hTex = 0;
    const bool menuOpen = gGameApp && gGameApp->GetUIMenu() && gGameApp->GetUIMenu()->IsInGameMenuActive();
    if (tm) hTex = (menuOpen || bRealTimeIcons) ? tm->AnimateTextureUnaffectedTime(icon.m_idTexture)
                                                 : tm->GetTextureHandle(icon.m_idTexture);
    ESpriteManager* sm = FontSprites();
    if (sm && hTex) {
      unsigned tw = 1, th = 1;
      g_pCurrentRenderer->GetTextureDimensions(hTex, tw, th);
      const EVec2 pivot(0, 0), iconScale(64.0f / (float)tw * s.x, 64.0f / (float)th * s.y);
      sm->AddSprite(hTex, x, y - 64.0f * s.y / 1.4f, layer, cg_TexFrameFlipY, &colour, &pivot, &iconScale);
      if (single && strcasecmp(name, "NakedButton")) {
        const EVec2 u(scale.x * 0.75f, scale.y * 0.75f);
        const unsigned char ch = (unsigned char)name[0];
        const ERect r = GetCharRects(ch);
        const float W = (float)m_wWidth, H = (float)m_wHeight;
        const EBox2 box(EVec2((float)r.left / W, (float)r.bottom / H), EVec2((float)r.right / W, (float)r.top / H));
        const EVec4 black(0, 0, 0, colour.w);
        sm->AddSprite(textureHandle(), x + (36.0f - (float)r.Width()) * u.x,
                      y - ((float)GetBaseline(ch) * u.y + 2.0f), layer + 1, box, &black, &pivot, &u);
      }
    }
    return n + 1;
  }
  return 0;
}

float EFont::DisplayText2(float x, float y, const char* szText, unsigned flags, const EVec4* pColor,
                          const EVec4* pShadowColor, const EVec2* pScale, unsigned layer, float clipWidth,
                          bool bRealTimeIcons, const EVec2* pPivot, float rotation, EMenuBox* pMenuBox) {
  if (!szText || !m_iGlyphCount) return 0.0f;
  const float sx = pScale ? pScale->x : 1.0f, sy = pScale ? pScale->y : 1.0f;
  if (flags & kFONTSTYLE_CENTERED) x -= (float)(TextLength(szText) / 2) * sx;
  const float limit = clipWidth != 0.0f ? x + clipWidth : 0.0f;
  const bool fixed = (flags & kFONTSTYLE_FIXED_WIDTH) != 0, shadow = (flags & kFONTSTYLE_SHADOW) != 0;
  const float mW = (float)GetCharRects('m').Width() * sx;
  const int kerning = ELanguageInfo::GetFontKerningLength();
  const bool longIcon = IsLongIcon(szText);
  const float spacing = (float)ELanguageInfo::GetFontIconSpacing(longIcon);
  const float extra = strstr(szText, "MapHighlightMark") ? 6.0f
                      : (strstr(szText, "OneUp") || strstr(szText, "Enter")) ? 4.5f
                                                                           : 2.3f;
  const EVec4 black(0, 0, 0, 1);
  const EVec4& shadowColour = pShadowColor ? *pShadowColor : black;
  const uint32_t hTex = textureHandle();
  const float W = (float)m_wWidth, H = (float)m_wHeight;
  ESpriteManager* sm = FontSprites();
  float penX = x, penY = y;
  for (const char* p = szText; *p; ++p) {
    if (limit != 0.0f && penX > limit) break;
    const unsigned char c = (unsigned char)*p;
    if (c == '\t') {
      const int T = (int)(mW * 4.0f);
      penX = T == 0 ? x : x + (float)(((int)(penX - x) / T + 1) * T);
      continue;
    }
    if (c == '\n' || c == '\r') {
      if (p[1] == '\n') continue;
      penY += 30.0f * sy;
      penX = x;
      continue;
    }
    if (c == ' ') {
      penX += fixed ? mW : 9.0f * sx;
      continue;
    }
    if (c == 160) {
      penX += fixed ? mW : 6.0f * sx;
      continue;
    }
    if (c == '/') {
      float iw = 0, ih = 0;
      GetIconDimensions(iw, ih);
      const EVec2 s(sx - 1.0f + iw / 32.0f, sy - 1.0f + ih / 32.0f);
      EVec4 iconColour = pColor ? *pColor : black;
      if (flags & kFONTSTYLE_HIDDEN_ICONS) iconColour.w = 0.0f;
      const int n = drawIcon(p, penX - 32.0f * s.x + spacing, penY, layer, &iconColour, &m_dwLastIconWidth,
                             EVec2(sx, sy), bRealTimeIcons, (flags & kFONTSTYLE_COLORED_ICONS) != 0);
      if (n > 0) {
        p += n;
        penX += 2.0f * spacing + extra;
        continue;
      }
    }
    const ERect r = GetCharRects(c);
    const float baseline = (float)GetBaseline(c);
    const EBox2 box(EVec2((float)r.left / W, (float)r.bottom / H), EVec2((float)r.right / W, (float)r.top / H));
    const float centre = fixed ? (mW - (float)r.Width() * sx) / 2.0f : 0.0f;
    const EVec2 relPivot(0, 0);
    const EVec2* pivot = pScale ? (pPivot ? pPivot : &relPivot) : nullptr;
    const unsigned pivotFlag = (pScale && pPivot) ? kSPRITEFLAG_ABSOLUTE_PIVOT : 0;
    const EVec2 scale(sx, sy);
    if (sm) {
      sm->AddSprite(hTex, penX + centre, penY - baseline * sy, shadow ? layer + 1 : layer, box, pColor, pivot,
                    pScale ? &scale : nullptr, rotation, nullptr, pivotFlag);
      if (shadow)
        sm->AddSprite(hTex, penX + sx + centre + 0.5f, penY - baseline * sy - sy, layer, box, &shadowColour, pivot,
                      pScale ? &scale : nullptr, rotation, nullptr, pivotFlag);
    }
    penX += fixed ? mW : (float)(r.Width() + kerning) * sx;
    penX -= centre;
  }
  if (pMenuBox) {
    int ascent = 0, descent = 0;
    GetStringHeight(szText, ascent, descent);
    pMenuBox->m_Box = EBox2(EVec2(x, y - (float)ascent * sy), EVec2(penX, y + (float)descent));
    if (pMenuBox->m_bFirst || !FontMessageOrTutorialOpen()) GetMenuHitBoxes().AddData(*pMenuBox);
  }
  return penX - x;
}

void EFont::DisplayText(unsigned x, unsigned y, const char* szText, unsigned flags, const EVec4* pColor,
                        const EVec4* pShadowColor, const EVec2* pScale, unsigned layer, unsigned clipWidth) {
  DisplayText2((float)x, (float)y, szText, flags, pColor, pShadowColor, pScale, layer, (float)clipWidth, false,
               nullptr, 0.0f, nullptr);
}

float EFont::WordWrap(const char* szText, float width, EArray<EString>& lines, float scale) {
  auto widest = [&]() {
    float best = 0.0f;
    for (int i = 0; i < lines.Num(); ++i) {
      const float w = (float)TextLength(*lines[i]) * scale;
      if (w > best) best = w;
    }
    return best;
  };
  if (!szText || width <= 0.0f || !m_iGlyphCount) return widest();
  const int full = (int)strlen(szText);
  char text[kFONT_WRAP_ROOM];
  int len = full;
  if (len > kFONT_WRAP_ROOM - 1) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Text too long for wordwrap buffer: %d characters", full);
    len = kFONT_WRAP_ROOM - 1;
  }
  memcpy(text, szText, (size_t)len);
  text[len] = '\0';
  const int kerning = ELanguageInfo::GetFontKerningLength();
  float iconW = 0, iconH = 0;
  GetIconDimensions(iconW, iconH);
  const bool slashBreaks = FontMenuInputActive();
  int p = 0;
  while (p < len) {
    while (p < len && text[p] == ' ') ++p;
    if (p >= len) break;
    const int start = p;
    float w = 0.0f;
    while (w < width && p < len && text[p] != '\n') {
      char name[kFONT_FIND_ROOM];
      if (text[p] == '/' && tokenName(text + p, name, kFONT_FIND_ROOM) >= 0 && isStringInIconList(name)) {
        w += iconW * scale;
        p = (int)(strchr(text + p + 1, '/') - text) + 1;
      } else if (text[p] == ' ') {
        w += 9.0f * scale;
        ++p;
      } else {
        w += (float)(GetCharRects((unsigned char)text[p]).Width() + kerning) * scale;
        ++p;
      }
    }
    if (p < len && p + 1 < len && text[p + 1] != ' ' && text[p] != '\n') {
      int b = p;
      while (b >= start && ((text[b] != ' ' && text[b] != '-' && !(slashBreaks && text[b] == '/')) ||
                            slashIsIcon(text, (unsigned)b)))
        --b;
      if (b + 1 > start) p = b + 1;
    }
    if (p < len && (p + 1 >= len || text[p + 1] == ' ' || text[p] == '\n')) ++p;
    if (p > len) p = len;
    EString line(text + start, p - start);
    if (line.Length() > 0) {
      if (text[p - 1] == '\n') {
        EString trimmed(text + start, p - start - 1);
        trimmed.Append(" ");
        line = trimmed;
      }
      lines.AddData(line);
    }
  }
  return widest();
}

void EFont::Display3dText(const EVec3& position, const char* szText, float size, float maxDistance,
                          const EVec4& colour, const EVec2& offset, unsigned layer) {
  if (!szText || !gGameApp || !gGameApp->GetCurrentCamera()) return;
  const EVec3 screen = gGameApp->GetCurrentCamera()->WorldCoordsToScreen(position, false);
  const float z = screen.z;
  if (z <= 0.0f || z > maxDistance) return;
  float fade = (1.0f - z / maxDistance) * 0.8f + 0.2f;
  fade = fade < 0.0f ? 0.0f : (fade > 1.0f ? 1.0f : fade);
  const float s = size > 0.0f ? size * 1000.0f / z : 1.0f;
  EVec4 c = colour;
  c.w = size > 0.0f ? fade : 1.0f;
  const EVec2 scale(s, s);
  DisplayText2(screen.x + offset.x * s, screen.y + offset.y * s, szText, kFONTSTYLE_CENTERED, &c, nullptr, &scale,
               layer, 0.0f);
}

void EFont::Display3dTextOriented(float x, float y, float z, const char* szText, unsigned flags,
                                  const EVec4* pColor, const EVec4* pShadowColor, const EVec3* pScale,
                                  const EEuler* pRotation, const EMat4* pMatrix) {
  EText3DManager* tm = gGameApp ? gGameApp->m_pText3DManager : nullptr;
  if (!szText || !tm || !m_iGlyphCount) return;
  const float sx = pScale ? pScale->x : 1.0f, sy = pScale ? pScale->y : 1.0f;
  const float mW = (float)GetCharRects('m').Width() * sx, mH = (float)GetCharRects('m').Height() * sy;
  const int kerning = ELanguageInfo::GetFontKerningLength();
  EVec3 origin(x, y, z);
  float penX = x, penY = y;
  if (flags & kFONTSTYLE_CENTERED) {
    float total = 0.0f;
    for (const char* p = szText; *p; ++p)
      total += *p == ' ' ? mW : (float)(GetCharRects((unsigned char)*p).Width() + kerning) * sx;
    origin = EVec3(x, y + mH / 2.0f, z);
    penX = x - total / 2.0f;
  }
  const uint32_t hTex = textureHandle();
  const float W = (float)m_wWidth, H = (float)m_wHeight;
  const EVec4 black(0, 0, 0, 1);
  for (const char* p = szText; *p; ++p) {
    const unsigned char c = (unsigned char)*p;
    if (c == '\n' || c == '\r') {
      if (p[1] == '\n') continue;
      penY += mH;
      penX = x;
    } else if (c == ' ') {
      penX += mW;
    } else {
      const ERect r = GetCharRects(c);
      const EBox2 box(EVec2((float)r.left / W, (float)r.bottom / H), EVec2((float)r.right / W, (float)r.top / H));
      const float cy = penY - ((float)r.Height() - (float)GetBaseline(c)) * sy;
      tm->AddChar(hTex, penX, cy, z, box, pColor, &origin, pScale, pRotation, pMatrix);
      if (flags & kFONTSTYLE_SHADOW)
        tm->AddChar(hTex, penX + 3.1f, cy, z - 0.1f, box, pShadowColor ? pShadowColor : &black, &origin, pScale,
                    pRotation, pMatrix);
      penX += (float)(r.Width() + kerning) * sx;
    }
  }
}
