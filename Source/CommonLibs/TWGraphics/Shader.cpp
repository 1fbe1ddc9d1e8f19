#include "TWGraphics/Shader.h"

#include <mojoshader.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Texture.h"
#include "TWUtil/BitArray.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

EVertexShader::EVertexShader() : m_pShader(nullptr), m_pFormats(nullptr), m_pElements(nullptr), m_iStreamCount(0) {}

EVertexShader::~EVertexShader() {
  if (m_pShader) MOJOSHADER_glDeleteShader(m_pShader);
  m_pShader = nullptr;
  free(m_pFormats);
  m_pFormats = nullptr;
  free(m_pElements);
  m_pElements = nullptr;
}

EPixelShader::EPixelShader() : m_pShader(nullptr), m_pConstantTable(nullptr) {}

EPixelShader::~EPixelShader() {
  if (m_pShader) MOJOSHADER_glDeleteShader(m_pShader);
  m_pShader = nullptr;
}

EVertexShader* ERenderer::currentVertexShader() const {
  if (!m_pVertexShaders || !m_hVertexShader || m_hVertexShader == kUNKNOWN_SHADER) return nullptr;
  return m_pVertexShaders->ElementGet(m_hVertexShader);
}

EPixelShader* ERenderer::currentPixelShader() const {
  if (!m_pPixelShaders || !m_hPixelShader || m_hPixelShader == kUNKNOWN_SHADER) return nullptr;
  return m_pPixelShaders->ElementGet(m_hPixelShader);
}

void ERenderer::SetVertexShader(uint32_t hShader) {
  EASSERT(hShader);
  m_hVertexShader = hShader;
}

void ERenderer::DeleteVertexShader(uint32_t hShader) {
  if (!hShader) return;
  EVertexShader* vs = m_pVertexShaders->ElementGet(hShader);
  EASSERT(vs);
  m_pVertexShaders->ElementDelete(vs);
}

void ERenderer::DeletePixelShader(uint32_t hShader) {
  if (!hShader) return;
  EPixelShader* ps = m_pPixelShaders->ElementGet(hShader);
  EASSERT(ps);
  m_pPixelShaders->ElementDelete(ps);
}

void ERenderer::SetPixelShader(uint32_t hShader) {
  if (hShader == m_hPixelShader) return;
  m_hPixelShader = hShader;
  if (m_pPixelConstantValid) m_pPixelConstantValid->Clear();
}

// ---------------------------------------------------------------------------
// Constants

namespace {

// The first of `count` values that the cache does not hold already; count
// when it holds them all. A NaN never matches.
int FirstChange(const BitArray* valid, const EVec4* cache, int reg, const EVec4* values, int count) {
  for (int i = 0; i < count; ++i) {
    const EVec4& c = cache[reg + i];
    const EVec4& v = values[i];
    if (!valid->IsBitSet((unsigned)(reg + i)) || c.x != v.x || c.y != v.y || c.z != v.z || c.w != v.w) return i;
  }
  return count;
}

void Remember(BitArray* valid, EVec4* cache, int reg, const EVec4* values, int count) {
  for (int i = 0; i < count; ++i) {
    valid->SetBit((unsigned)(reg + i));
    cache[reg + i] = values[i];
  }
}

}  // namespace

void ERenderer::SetVertexShaderConstant(int iRegister, const EVec4* pValues, int iConstantCount) {
  // The cache holds 257 registers; a device may allow fewer.
  int iCachedConstants = m_DeviceSupport.m_nVertexShaderConstants;
  if (iCachedConstants > kVERTEX_SHADER_CONSTANT_CACHE) iCachedConstants = kVERTEX_SHADER_CONSTANT_CACHE;
  EASSERT(iRegister >= 0 && iConstantCount >= 0 && iRegister + iConstantCount <= iCachedConstants);
  if (FirstChange(m_pVertexConstantValid, m_avVertexConstants, iRegister, pValues, iConstantCount) == iConstantCount)
    return;
  MOJOSHADER_glSetVertexShaderUniformF((unsigned)iRegister, &pValues[0].x, (unsigned)iConstantCount);
  Remember(m_pVertexConstantValid, m_avVertexConstants, iRegister, pValues, iConstantCount);
}

void ERenderer::SetPixelShaderConstant(int iRegister, const EVec4* pValues, int iConstantCount) {
  EASSERT(iRegister >= 0 && iConstantCount >= 0 && iRegister + iConstantCount <= kPIXEL_SHADER_CONSTANT_COUNT);
  if (FirstChange(m_pPixelConstantValid, m_avPixelConstants, iRegister, pValues, iConstantCount) == iConstantCount)
    return;
  MOJOSHADER_glSetPixelShaderUniformF((unsigned)iRegister, &pValues[0].x, (unsigned)iConstantCount);
  Remember(m_pPixelConstantValid, m_avPixelConstants, iRegister, pValues, iConstantCount);
}

void ERenderer::SetHLSLPSConstant(int, const EVec4*, int) { STUBBED("not implemented"); }

void ERenderer::setDefaultShaderConstants() {
  if (m_bDefaultShaderConstantsValid) return;
  const EVec4 zeroOne[2] = {EVec4(0.0f, 0.0f, 0.0f, 0.0f), EVec4(1.0f, 1.0f, 1.0f, 1.0f)};
  SetVertexShaderConstant(0, zeroOne, 2);
  unsigned width = 0, height = 0;
  GetTextureDimensions(m_hRenderTargetImageTexture, width, height);
  float w = (float)width, h = (float)height;
  if (m_RenderState.m_bFastColorFill) {
    h *= 0.5f;
    if (!(m_dwFlags & kRENDERER_ANTIALIAS)) w *= 0.5f;
  }
  // The half-texel offset of the current target.
  const EVec4 offset(-1.0f / w, 1.0f / h, 0.0f, 0.0f);
  SetVertexShaderConstant(50, &offset, 1);
  m_bDefaultShaderConstantsValid = true;
}

// ---------------------------------------------------------------------------
// Assembly and the vertex-shader cache

unsigned HashString(const char* text, unsigned seed) {
  uint32_t h = seed;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) h = (h ^ *p) * 16777619u;
  h += h << 13;
  h ^= h >> 7;
  h += h << 3;
  h ^= h >> 17;
  h += h << 5;
  return h;
}

namespace {

const char kVertexShaderFolder[] = "Workresource\\VertexShaders\\";
const char kBadShaderFile[] = "badshader.bin";
const unsigned kMAX_INCLUDE_DEPTH = 16;

// The combined vertex shader text: version line, declarations, source.
std::string s_combinedSource;
// The text the cache key is hashed from; kept between calls like the above.
std::string s_cacheKeyText;

// Drops every leading "..\" or "../" of an include name.
const char* StripParentSteps(const char* name) {
  while (name[0] == '.' && name[1] == '.' && (name[2] == '\\' || name[2] == '/')) name += 3;
  return name;
}

// Reads a whole file through the read paths into a new block (with a
// terminating zero after its bytes); null when it cannot be read.
char* ReadWholeFile(const char* path, unsigned* pSize) {
  EFile* f = gFile->Open(path, FILE_READ, kFILELOC_Default);
  if (!f) return nullptr;
  int size = f->GetFilesize();
  char* data = size >= 0 ? static_cast<char*>(malloc((size_t)size + 1)) : nullptr;
  if (data && (size == 0 || f->Read(data, size) == size)) {
    data[size] = '\0';
    *pSize = (unsigned)size;
  } else {
    free(data);
    data = nullptr;
  }
  f->Close();
  return data;
}

// Writes a block to a new file in the write directory; false when it
// cannot.
bool WriteWholeFile(const char* path, const void* data, unsigned size) {
  EFile* f = gFile->Open(path, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_Default);
  if (!f) return false;
  bool ok = size == 0 || f->Write(data, (int)size) == (int)size;
  f->Close();
  return ok;
}

// The translator's preprocessor refuses backslashes in an #include name;
// the shader files write them as folder separators. Turns them into slashes
// on every #include line of the text.
void SlashIncludeNames(char* text, size_t length) {
  char* end = text + length;
  for (char* line = text; line < end;) {
    char* eol = static_cast<char*>(memchr(line, '\n', (size_t)(end - line)));
    if (!eol) eol = end;
    char* p = line;
    while (p < eol && (*p == ' ' || *p == '\t')) ++p;
    if (p < eol && *p == '#') {
      ++p;
      while (p < eol && (*p == ' ' || *p == '\t')) ++p;
      if (eol - p >= 7 && !strncmp(p, "include", 7))
        for (; p < eol; ++p)
          if (*p == '\\') *p = '/';
    }
    line = eol + 1;
  }
}

// Opens an included vertex shader source.
char* ReadVertexShaderInclude(const char* requested, unsigned* pSize) {
  std::string path = std::string(kVertexShaderFolder) + StripParentSteps(requested);
  return ReadWholeFile(path.c_str(), pSize);
}

int MOJOSHADERCALL IncludeOpen(MOJOSHADER_includeType, const char* fname, const char*, const char** outdata,
                               unsigned int* outbytes, MOJOSHADER_malloc, MOJOSHADER_free, void*) {
  unsigned size = 0;
  char* data = ReadVertexShaderInclude(fname, &size);
  if (!data) {
    g_ErrorManager.TraceMessagef("Couldn't open VS shader #include source: %s", StripParentSteps(fname));
    return 0;
  }
  SlashIncludeNames(data, size);
  *outdata = data;
  *outbytes = size;
  return 1;
}

void MOJOSHADERCALL IncludeClose(const char* data, MOJOSHADER_malloc, MOJOSHADER_free, void*) {
  free(const_cast<char*>(data));
}

// Appends to `key` the text of every file the text includes, in order and
// depth first, so that the cache key changes when an included file does.
void AppendIncludedSources(const char* text, std::string& key, unsigned depth) {
  if (depth >= kMAX_INCLUDE_DEPTH) return;
  for (const char* line = text; line && *line;) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '#') {
      ++p;
      while (*p == ' ' || *p == '\t') ++p;
      if (!strncmp(p, "include", 7)) {
        p += 7;
        while (*p == ' ' || *p == '\t') ++p;
        char close = *p == '"' ? '"' : (*p == '<' ? '>' : '\0');
        const char* end = close ? strchr(p + 1, close) : nullptr;
        const char* eol = strchr(p, '\n');
        if (end && (!eol || end < eol)) {
          std::string name(p + 1, end);
          unsigned size = 0;
          if (char* data = ReadVertexShaderInclude(name.c_str(), &size)) {
            key += '\n';
            key.append(data, strlen(data));
            AppendIncludedSources(data, key, depth + 1);
            free(data);
          }
        }
      }
    }
    line = strchr(line, '\n');
    if (line) ++line;
  }
}

// Whether a cached block can be byte code for this version: whole tokens,
// the version token first and the end token last.
bool ByteCodeLooksWhole(const unsigned char* p, unsigned size, uint32_t versionToken) {
  if (size < 8 || size % 4) return false;
  auto token = [p](unsigned at) {
    return (uint32_t)p[at] | (uint32_t)p[at + 1] << 8 | (uint32_t)p[at + 2] << 16 | (uint32_t)p[at + 3] << 24;
  };
  return token(0) == versionToken && token(size - 4) == 0x0000FFFFu;
}

// Assembles shader text into a new block of byte code; null, after the
// messages, when it has errors.
char* AssembleText(const char* kind, const char* name, const char* text, unsigned length, bool vertex,
                   unsigned* pSize) {
  // The hardware-skinning array: c0 to c191 as one array, so that a shader
  // may index any of them through the address register. Declared through
  // the constant table of every vertex shader.
  MOJOSHADER_symbol hwskinning;
  memset(&hwskinning, 0, sizeof(hwskinning));
  hwskinning.name = "hwskinning";
  hwskinning.register_set = MOJOSHADER_SYMREGSET_FLOAT4;
  hwskinning.register_index = 0;
  hwskinning.register_count = 192;
  hwskinning.info.parameter_class = MOJOSHADER_SYMCLASS_VECTOR;
  hwskinning.info.parameter_type = MOJOSHADER_SYMTYPE_FLOAT;
  hwskinning.info.rows = 4;
  hwskinning.info.columns = 1;
  hwskinning.info.elements = 192;
  hwskinning.info.member_count = 0;
  hwskinning.info.members = nullptr;

  MOJOSHADER_preprocessorDefine defines[2];
  defines[0].identifier = "_PCBUILD";
  defines[0].definition = "1";
  defines[1].identifier = !strncmp(text, "vs_2_0", 6) ? "_VS_2_0" : "_VS_1_1";
  defines[1].definition = "2";

  std::string slashed(text, length);
  if (vertex) {
    SlashIncludeNames(&slashed[0], slashed.size());
    text = slashed.c_str();
  }
  const MOJOSHADER_parseData* assembled =
      vertex ? MOJOSHADER_assemble(name, text, length, nullptr, 0, &hwskinning, 1, defines, 2, IncludeOpen,
                                   IncludeClose, nullptr, nullptr, nullptr)
             : MOJOSHADER_assemble(name, text, length, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
  char* code = nullptr;
  if (assembled->error_count) {
    g_ErrorManager.TraceMessagef("Failed to assemble %s shader: %s\n", kind, name ? name : "");
    g_ErrorManager.TraceMessagef("Error messages from MOJOSHADER_assemble:\n");
    for (int i = 0; i < assembled->error_count; ++i) {
      const MOJOSHADER_error& e = assembled->errors[i];
      g_ErrorManager.TraceMessagef("%s:%d: %s\n", e.filename ? e.filename : "", e.error_position,
                                   e.error ? e.error : "");
    }
  } else if (assembled->output && assembled->output_len > 0) {
    code = static_cast<char*>(malloc((size_t)assembled->output_len));
    EASSERT(code);
    memcpy(code, assembled->output, (size_t)assembled->output_len);
    *pSize = (unsigned)assembled->output_len;
  }
  MOJOSHADER_freeParseData(assembled);
  return code;
}

// Keeps the byte code the translator refused, for a look with other tools.
void WriteBadShader(const char* byteCode, int length) {
  FILE* f = fopen(kBadShaderFile, "wb");
  if (!f) return;
  bool ok = length <= 0 || fwrite(byteCode, (size_t)length, 1, f) == 1;
  if (fclose(f) == 0 && ok) fputs("Wrote shader in question to badshader.bin\n", stderr);
}

}  // namespace

uint32_t ERenderer::AssembleVertexShader(const char* source, unsigned dwSourceLen, const char* name,
                                         const VBFORMAT* formats, int64_t) {
  const bool vs20 = m_DeviceSupport.m_dwVertexShaderVersion >= 0x200;
  const char* version = vs20 ? "vs_2_0\n" : "vs_1_1\n";
  const uint32_t versionToken = vs20 ? 0xFFFE0200u : 0xFFFE0101u;

  // The combined text: version line, declarations, then the source up to
  // its first zero, padded with zeros to the source's length. The buffer is
  // kept between calls so that a warm start does not allocate for each
  // shader.
  std::string& combined = s_combinedSource;
  combined.assign(version);
  for (const VBFORMAT* f = formats; f && *f != kVBFORMAT_END; ++f) {
    for (const char* const* line = GetVertexDeclaration(*f); line && *line; ++line) {
      combined += *line;
      combined += '\n';
    }
  }
  const size_t declarationsLen = combined.size();
  const size_t textLen = strnlen(source, dwSourceLen);
  combined.append(source, textLen);
  const unsigned dwTotalLen = (unsigned)(declarationsLen + dwSourceLen);

  // The key covers the combined text up to its first zero and the text of
  // every included file.
  std::string& key = s_cacheKeyText;
  key.assign(combined.c_str());
  AppendIncludedSources(combined.c_str(), key, 0);
  const unsigned h0 = HashString(key.c_str(), 0x811c9dc5u);
  const unsigned h1 = HashString(key.c_str(), h0);
  const unsigned h2 = HashString(key.c_str(), h1);
  const unsigned h3 = HashString(key.c_str(), h2);
  combined.resize(dwTotalLen, '\0');
  const char* combinedText = combined.c_str();

  // "Workresource\VertexShaders\cache\vs_" + 32 hex digits + ".vpo"
  static const char kCachePrefix[] = "Workresource\\VertexShaders\\cache\\vs_";
  char vpoName[sizeof(kCachePrefix) + 32 + 4];
  memcpy(vpoName, kCachePrefix, sizeof(kCachePrefix) - 1);
  char* hex = vpoName + sizeof(kCachePrefix) - 1;
  for (unsigned h : {h0, h1, h2, h3})
    for (int shift = 28; shift >= 0; shift -= 4) *hex++ = "0123456789abcdef"[(h >> shift) & 0xF];
  memcpy(hex, ".vpo", 5);

  uint32_t hShader = 0;
  unsigned size = 0;
  if (char* cached = ReadWholeFile(vpoName, &size)) {
    // A damaged entry, or one the translator refuses, is built again.
    if (ByteCodeLooksWhole(reinterpret_cast<unsigned char*>(cached), size, versionToken))
      hShader = translateVertexShader(cached, (int)size, formats);
    free(cached);
    if (!hShader)
      g_ErrorManager.TraceMessagef(TT_Warning, "Rebuilding damaged VS cache entry %08x%08x%08x%08x.vpo", h0, h1,
                                   h2, h3);
  }
  if (hShader) return hShader;

  char vshName[sizeof(vpoName)];
  memcpy(vshName, vpoName, sizeof(vpoName));
  memcpy(vshName + sizeof(vpoName) - 5, ".vsh", 5);
  WriteWholeFile(vshName, combinedText, dwTotalLen);
  g_ErrorManager.TraceMessagef("Building VS cache for %08x%08x%08x%08x.vsh", h0, h1, h2, h3);
  char* byteCode = AssembleText("vertex", name, combinedText, dwTotalLen, true, &size);
  if (!byteCode) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Vertex shader '%s' is replaced by the error shader", name ? name : "");
    return makeErrorVertexShader(formats);
  }
  WriteWholeFile(vpoName, byteCode, size);
  hShader = createVertexShader(byteCode, (int)size, formats);
  free(byteCode);
  return hShader;
}

uint32_t ERenderer::AssemblePixelShader(const char* source, unsigned length, const char* name, int64_t) {
  char* byteCode = nullptr;
  unsigned size = 0;
  if (name && strstr(name, "fpo")) {
    byteCode = static_cast<char*>(malloc(length ? length : 1));
    EASSERT(byteCode);
    memcpy(byteCode, source, length);
    size = length;
  } else if (name && strstr(name, "hlps")) {
    STUBBED("need HLSL compiler");
    return 0;
  } else {
    byteCode = AssembleText("pixel", name, source, length, false, &size);
    if (!byteCode) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Pixel shader '%s' is replaced by the error shader", name ? name : "");
      return makeErrorPixelShader();
    }
  }
  uint32_t hShader = createPixelShader(byteCode, (int)size, nullptr, name);
  free(byteCode);
  EPixelShader* ps = hShader ? m_pPixelShaders->ElementGet(hShader) : nullptr;
  printf("TEXTURESANITY: pshader %p is '%s'\n", ps ? (void*)ps->m_pShader : nullptr, name ? name : "");
  return hShader;
}

// ---------------------------------------------------------------------------
// Translation

uint32_t ERenderer::translateVertexShader(const char* byteCode, int length, const VBFORMAT* formats) {
  // The inputs: each format's records, on the stream of its position.
  EVertexElement elements[kMAX_VERTEX_ELEMENTS + 1];
  MOJOSHADER_swizzle swizzles[kMAX_VERTEX_ELEMENTS];
  int iElementCount = 0, swizzleCount = 0, streams = 0;
  const bool bgra = m_pGLRenderer->supports_GL_EXT_vertex_array_bgra();
  for (const VBFORMAT* f = formats; f && *f != kVBFORMAT_END; ++f, ++streams) {
    const EVertexElement* pSourceElement = GetVertexElements(*f);
    EASSERT(pSourceElement);
    for (; pSourceElement && pSourceElement->Type != -1; ++pSourceElement) {
      ++iElementCount;
      EASSERT(iElementCount <= kMAX_VERTEX_ELEMENTS);
      EVertexElement& e = elements[iElementCount - 1];
      e = *pSourceElement;
      e.Stream = streams;
      if (e.Size == GL_BGRA && !bgra) {
        // Without BGRA arrays the colour arrives as R, G, B, A read from
        // B, G, R, A bytes: the shader swaps red and blue back.
        e.Size = 4;
        MOJOSHADER_swizzle& s = swizzles[swizzleCount++];
        s.usage = (MOJOSHADER_usage)e.Usage;
        s.index = (unsigned)e.UsageIndex;
        s.swizzles[0] = 2;
        s.swizzles[1] = 1;
        s.swizzles[2] = 0;
        s.swizzles[3] = 3;
      }
    }
  }
  elements[iElementCount] = EVertexElement{0, 0, -1, 0, 0, 0, 0};

  MOJOSHADER_glShader* shader =
      MOJOSHADER_glCompileShader(reinterpret_cast<const unsigned char*>(byteCode), (unsigned)length,
                                 swizzleCount ? swizzles : nullptr, (unsigned)swizzleCount, nullptr, 0);
  if (!shader) return 0;

  uint32_t hShader = m_pVertexShaders->ElementNew();
  EASSERT(hShader);
  EVertexShader* vs = m_pVertexShaders->ElementGet(hShader);
  vs->m_pShader = shader;
  vs->m_iStreamCount = streams;
  vs->m_pFormats = static_cast<VBFORMAT*>(malloc(sizeof(VBFORMAT) * (size_t)(streams ? streams : 1)));
  EASSERT(vs->m_pFormats);
  for (int i = 0; i < streams; ++i) vs->m_pFormats[i] = formats[i];
  vs->m_pElements = static_cast<EVertexElement*>(malloc(sizeof(EVertexElement) * (size_t)(iElementCount + 1)));
  EASSERT(vs->m_pElements);
  memcpy(vs->m_pElements, elements, sizeof(EVertexElement) * (size_t)(iElementCount + 1));
  return hShader;
}

uint32_t ERenderer::createVertexShader(const char* byteCode, int length, const VBFORMAT* formats) {
  uint32_t hShader = translateVertexShader(byteCode, length, formats);
  if (hShader) return hShader;
  g_ErrorManager.TraceMessagef("Failed to compile a vertex shader!\n  '%s'\n", MOJOSHADER_glGetError());
  WriteBadShader(byteCode, length);
  return makeErrorVertexShader(formats);
}

uint32_t ERenderer::translatePixelShader(const char* byteCode, int length, void* constantTable, const char* name) {
  MOJOSHADER_samplerMap map;
  unsigned mapCount = 0;
  if (name && !strcasecmp(name, "DiffuseLightBump.fpo")) {
    map.index = 1;
    map.type = MOJOSHADER_SAMPLER_CUBE;
    mapCount = 1;
  } else if (name && (!strcasecmp(name, "AttenLight.fpo") || !strcasecmp(name, "AttenLightLM.fpo") ||
                      !strcasecmp(name, "AttenLightBase.fpo") || !strcasecmp(name, "AttenLightBump.fpo"))) {
    map.index = 2;
    map.type = MOJOSHADER_SAMPLER_CUBE;
    mapCount = 1;
  }
  MOJOSHADER_glShader* shader = MOJOSHADER_glCompileShader(reinterpret_cast<const unsigned char*>(byteCode),
                                                           (unsigned)length, nullptr, 0, mapCount ? &map : nullptr,
                                                           mapCount);
  if (!shader) return 0;
  uint32_t hShader = m_pPixelShaders->ElementNew();
  EASSERT(hShader);
  EPixelShader* ps = m_pPixelShaders->ElementGet(hShader);
  ps->m_pShader = shader;
  ps->m_pConstantTable = constantTable;
  return hShader;
}

uint32_t ERenderer::createPixelShader(const char* byteCode, int length, void* constantTable, const char* name) {
  uint32_t hShader = translatePixelShader(byteCode, length, constantTable, name);
  if (hShader) {
    STUBBED("We ignore the constant tables for now, since we don't have HLSL compiling hooked up");
    return hShader;
  }
  g_ErrorManager.TraceMessagef("Failed to compile a pixel shader!\n  '%s'\n", MOJOSHADER_glGetError());
  WriteBadShader(byteCode, length);
  return makeErrorPixelShader();
}

uint32_t ERenderer::makeErrorVertexShader(const VBFORMAT* formats) {
  // Placed by the model-to-clip matrix when there is a position; coloured
  // from the default constants c0 (zeros) and c1 (ones).
  static const char* const kBodies[] = {
      "dp4 oPos.x, v0, c6\ndp4 oPos.y, v0, c7\ndp4 oPos.z, v0, c8\ndp4 oPos.w, v0, c9\n"
      "mov oD0.xzw, c1\nmov oD0.y, c0.y\n",
      "mov oPos, c0\nmov oD0.xzw, c1\nmov oD0.y, c0.y\n",
  };
  const char* version = m_DeviceSupport.m_dwVertexShaderVersion >= 0x200 ? "vs_2_0\n" : "vs_1_1\n";
  for (const char* body : kBodies) {
    std::string text(version);
    for (const VBFORMAT* f = formats; f && *f != kVBFORMAT_END; ++f)
      for (const char* const* line = GetVertexDeclaration(*f); line && *line; ++line) text += std::string(*line) + "\n";
    text += body;
    unsigned size = 0;
    char* byteCode = AssembleText("vertex", "error shader", text.c_str(), (unsigned)text.size(), true, &size);
    uint32_t hShader = byteCode ? translateVertexShader(byteCode, (int)size, formats) : 0;
    free(byteCode);
    if (hShader) return hShader;
  }
  g_ErrorManager.TraceMessagef(TT_Warning, "No error vertex shader could be made: %s", MOJOSHADER_glGetError());
  return 0;
}

uint32_t ERenderer::makeErrorPixelShader() {
  static const char kMagenta[] = "ps_2_0\ndef c0, 1.0, 0.0, 1.0, 1.0\nmov oC0, c0\n";
  unsigned size = 0;
  char* byteCode = AssembleText("pixel", "error shader", kMagenta, (unsigned)strlen(kMagenta), false, &size);
  uint32_t hShader = byteCode ? translatePixelShader(byteCode, (int)size, nullptr, nullptr) : 0;
  free(byteCode);
  if (!hShader)
    g_ErrorManager.TraceMessagef(TT_Warning, "No error pixel shader could be made: %s", MOJOSHADER_glGetError());
  return hShader;
}

// ---------------------------------------------------------------------------

void ERenderer::checkPixelShaderSamplers() {
  EPixelShader* ps = currentPixelShader();
  MOJOSHADER_glShader* pshader = ps ? ps->m_pShader : nullptr;
  EASSERT((pshader != NULL) == (m_hPixelShader != 0));
  if (!pshader) return;
  const MOJOSHADER_parseData* pd = MOJOSHADER_glGetShaderParseData(pshader);
  if (!pd) return;
  for (int i = 0; i < pd->sampler_count; ++i) {
    MOJOSHADER_sampler& sampler = const_cast<MOJOSHADER_sampler&>(pd->samplers[i]);
    if (sampler.index < 0 || sampler.index >= kMAX_TEXTURE_STAGES) continue;
    HTEXTURE hTexture = m_aTextureStageState[sampler.index].m_hTexture;
    if (!hTexture || TextureIsFrameBuffer(hTexture)) continue;
    MOJOSHADER_samplerType expected = MOJOSHADER_SAMPLER_UNKNOWN;
    switch (GetTextureType(hTexture)) {
      case kTEXTURETYPE_BITMAP: expected = MOJOSHADER_SAMPLER_2D; break;
      case kTEXTURETYPE_CUBEMAP: expected = MOJOSHADER_SAMPLER_CUBE; break;
      case kTEXTURETYPE_VOLUME: expected = MOJOSHADER_SAMPLER_VOLUME; break;
      default: break;
    }
    if (sampler.type != expected) {
      printf("TEXTURESANITY: pshader %p has wrong sampler type (%d, should be %d) for %s!\n", (void*)pshader,
             (int)sampler.type, (int)expected, sampler.name ? sampler.name : "");
      sampler.type = expected;
    }
  }
}
