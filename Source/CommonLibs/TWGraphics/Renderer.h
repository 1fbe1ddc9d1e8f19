// ERenderer: the game's one renderer, a Direct3D-shaped drawing interface
// carried out on OpenGL in an SDL window. Resources are named by 32-bit data
// ids of the renderer's pools; 0 names nothing.
#pragma once

#include <cstdint>
#include <cstring>

#include "TWGraphics/DeviceSupport.h"
#include "TWMath/Vector.h"

class EOpenGLRenderer;
class EMat4;
class BitArray;
struct SDL_Surface;
struct SDL_mutex;
template <class T>
class EDataArray;
class ETexture;
class EFile;
class EStream;
struct ETextureImage;
class EPalette;
class EVertexBuffer;
class EIndexBuffer;
class EVertexPool;
class EVertexShader;
class EPixelShader;
struct ERect;

// ---------------------------------------------------------------------------
// Render state. Values are numbered as in Direct3D.

enum BLENDMODE {
  kBLENDMODE_NO_COLOR_WRITE = 1,
  kBLENDMODE_DECAL = 2,
  kBLENDMODE_ALPHA_BLEND = 3,
  kBLENDMODE_ADD = 4,
  kBLENDMODE_ADD_ALPHA = 5,
  kBLENDMODE_ADD_DEST_ALPHA = 6,
  kBLENDMODE_SUBTRACT = 7,
  kBLENDMODE_MODULATE = 8,
  kBLENDMODE_MODULATE_ADD_DEST = 9,
  kBLENDMODE_MODULATE_2X = 10,
  kBLENDMODE_ALPHA_ONLY = 11,
};

// R below is the state's stencil reference.
enum STENCILMODE {
  kSTENCILMODE_NONE = 1,            // no stencil test
  kSTENCILMODE_WRITE = 2,           // write R everywhere drawn
  kSTENCILMODE_EQUAL = 3,           // draw where the stencil is R
  kSTENCILMODE_NOTEQUAL = 4,        // draw where the stencil is not R
  kSTENCILMODE_SET_BITS = 5,        // set the bits of R
  kSTENCILMODE_CLEAR_BITS = 6,      // clear the bits of R
  kSTENCILMODE_BITS_SET = 7,        // draw where all bits of R are set
  kSTENCILMODE_BITS_NOT_SET = 8,    // draw where not all bits of R are set
};

enum BLENDOP { kBLENDOP_ADD = 1, kBLENDOP_REVSUBTRACT = 2 };

enum BLENDFACTOR {
  kBLEND_ONE = 1,
  kBLEND_ZERO = 2,
  kBLEND_SRCCOLOR = 3,
  kBLEND_DESTCOLOR = 4,
  kBLEND_SRCALPHA = 5,
  kBLEND_DESTALPHA = 6,
  kBLEND_INVSRCALPHA = 7,
  kBLEND_INVDESTALPHA = 8,
};

enum COMPAREFUNC {
  kCMP_NEVER = 1,
  kCMP_LESS = 2,
  kCMP_EQUAL = 3,
  kCMP_LESSEQUAL = 4,
  kCMP_GREATER = 5,
  kCMP_NOTEQUAL = 6,
  kCMP_GREATEREQUAL = 7,
  kCMP_ALWAYS = 8,
};

enum STENCILOP {
  kSTENCILOP_KEEP = 1,
  kSTENCILOP_ZERO = 2,
  kSTENCILOP_REPLACE = 3,
  kSTENCILOP_INCR = 4,
  kSTENCILOP_DECR = 5,
  kSTENCILOP_INVERT = 6,
  kSTENCILOP_INCR_WRAP = 7,
  kSTENCILOP_DECR_WRAP = 8,
};

enum SHADEMODE { kSHADE_FLAT = 1, kSHADE_GOURAUD = 2 };
enum FILLMODE { kFILL_SOLID = 1, kFILL_WIREFRAME = 2 };
enum CULLMODE { kCULL_NONE = 1, kCULL_BACK = 2, kCULL_FRONT = 3 };
enum COLORWRITEMODE { kCOLORWRITE_NONE = 1, kCOLORWRITE_RGB = 2, kCOLORWRITE_ALPHA = 3, kCOLORWRITE_ALL = 4 };

// The whole fixed-function state of a draw. The blend and stencil modes are
// expanded into the sub-states at the end when the state is applied.
class ERenderState {
public:
  ERenderState();
  ~ERenderState() {}

  // The defaults; the sub-states are left alone.
  void Reset();
  void convertBlendModeToSubStates();
  void convertStencilModeToSubStates();

  bool m_bValid;
  BLENDMODE m_eBlendMode;
  STENCILMODE m_eStencilMode;
  uint8_t m_byStencilRef;
  SHADEMODE m_eShadeMode;
  FILLMODE m_eFillMode;
  CULLMODE m_eCullMode;
  bool m_bZEnable;
  bool m_bZWriteEnable;
  COMPAREFUNC m_eZFunc;
  uint8_t m_byZBias;  // 0 to 16
  bool m_bAlphaTestEnable;
  COMPAREFUNC m_eAlphaFunc;
  uint8_t m_byAlphaRef;
  bool m_bPointSprites;
  float m_fPointSize;
  float m_fPointSizeMin;
  float m_fPointScaleA;
  float m_fPointScaleB;
  float m_fPointScaleC;
  bool m_bSpecularEnable;
  bool m_bFogEnable;
  uint32_t m_dwFogColor;  // A8R8G8B8
  float m_fWireframeOffset;
  bool m_bFastColorFill;

  // Sub-states of the blend mode.
  COLORWRITEMODE m_eColorWriteMode;
  bool m_bAlphaBlendEnable;
  BLENDOP m_eBlendOp;
  BLENDFACTOR m_eSrcBlend;
  BLENDFACTOR m_eDestBlend;
  // Sub-states of the stencil mode.
  bool m_bStencilEnable;
  COMPAREFUNC m_eStencilFunc;
  STENCILOP m_eStencilPass;
  STENCILOP m_eStencilFail;
  STENCILOP m_eStencilZFail;
  uint8_t m_byStencilFuncRef;
  uint8_t m_byStencilReadMask;
  uint8_t m_byStencilWriteMask;
};

// ---------------------------------------------------------------------------
// Textures

// -1 is a value of its own (none, or the end of a list).
enum TEXTUREFORMAT : int {
  kTEXTUREFORMAT_8888 = 0,
  kTEXTUREFORMAT_0888 = 1,
  kTEXTUREFORMAT_4444 = 2,
  kTEXTUREFORMAT_1555 = 3,
  kTEXTUREFORMAT_0555 = 4,
  kTEXTUREFORMAT_565 = 5,
  kTEXTUREFORMAT_A8 = 6,
  kTEXTUREFORMAT_L8 = 7,
  kTEXTUREFORMAT_AL8 = 8,
  kTEXTUREFORMAT_DXT1 = 9,
  kTEXTUREFORMAT_DXT3 = 10,
  kTEXTUREFORMAT_DXT5 = 11,
  kTEXTUREFORMAT_V8U8 = 12,
  kTEXTUREFORMAT_V16U16 = 13,
  kTEXTUREFORMAT_P8 = 14,
  kNUM_TEXTUREFORMATS = 15,
};

enum TEXTURETYPE {
  kTEXTURETYPE_BITMAP = 0,
  kTEXTURETYPE_CUBEMAP = 1,
  kTEXTURETYPE_VOLUME = 2,
  kTEXTURETYPE_DEPTHBUFFER = 3,
};

enum {
  kTEXTUREFLAG_MIRROR = 0x1,         // a wrap stage mirrors this texture
  kTEXTUREFLAG_CLAMP = 0x2,          // a wrap stage clamps this texture
  kTEXTUREFLAG_LINEAR = 0x4,         // non-power-of-two; counted apart
  kTEXTUREFLAG_RENDERTARGET = 0x8,   // rebuilt with a render buffer after a reset
  kTEXTUREFLAG_SURFACE_ALIAS = 0x10,
  kTEXTUREFLAG_ALPHA_TESTED = 0x20,  // ContainsBinaryAlpha has run ...
  kTEXTUREFLAG_BINARY_ALPHA = 0x40,  // ... and this is its answer
  kTEXTUREFLAG_DYNAMIC = 0x80,       // contents do not survive a reset
};

// -1 is a value of its own (none, or the end of a list).
enum CUBEMAPFACE : int {
  kCUBEMAP_POSITIVE_X = 0,
  kCUBEMAP_NEGATIVE_X = 1,
  kCUBEMAP_POSITIVE_Y = 2,
  kCUBEMAP_NEGATIVE_Y = 3,
  kCUBEMAP_POSITIVE_Z = 4,
  kCUBEMAP_NEGATIVE_Z = 5,
};

typedef uint32_t HTEXTURE;
typedef uint32_t HPALETTE;

// Handles that stand for the frame buffer; never pool ids.
const HTEXTURE HTEXTURE_BACKBUFFER = 0xFFFFFFFFu;   // -1
const HTEXTURE HTEXTURE_BACKBUFFER2 = 0xFFFFFFFEu;  // -2, like -1 but binds nothing
const HTEXTURE HTEXTURE_DEPTHBUFFER = 0xFFFFFFFDu;  // -3

// Bytes of one texel; 0 (with a fatal report) for the compressed formats.
unsigned TextureFormatBytesPerPixel(TEXTUREFORMAT format);
bool TextureFormatCompressed(TEXTUREFORMAT format);
bool TextureIsFrameBuffer(HTEXTURE hTexture);

// ---------------------------------------------------------------------------
// Texture stages

enum TEXTUREADDRESSMODE {
  kTEXTUREADDRESS_WRAP = 1,
  kTEXTUREADDRESS_MIRROR = 2,
  kTEXTUREADDRESS_CLAMP = 3,
  kTEXTUREADDRESS_BORDER = 4,
};

enum FILTERMODE {
  kFILTERMODE_NONE = 1,
  kFILTERMODE_POINT = 2,
  kFILTERMODE_LINEAR = 3,
  kFILTERMODE_ANISOTROPIC = 4,
};

// Colour and alpha operations of a stage; carried and compared only.
typedef int SHADEOP;
typedef int SHADEARG;

enum { kMAX_TEXTURE_STAGES = 4 };

// One texture stage: its texture and how it is addressed and filtered.
struct ETextureStageState {
  ETextureStageState();
  ~ETextureStageState() {}

  bool m_bValid;
  HTEXTURE m_hTexture;
  SHADEOP m_eColorOp;
  SHADEARG m_eColorArg1;
  SHADEARG m_eColorArg2;
  SHADEOP m_eAlphaOp;
  SHADEARG m_eAlphaArg1;
  SHADEARG m_eAlphaArg2;
  TEXTUREADDRESSMODE m_eAddressMode;
  FILTERMODE m_eFilterMode;
  FILTERMODE m_eMipFilterMode;
  unsigned m_dwMaxAnisotropy;
  float m_fMipLODBias;
  uint32_t m_dwBorderColor;  // A8R8G8B8
  bool m_bSigned;
  bool m_bAlphaKill;
  HPALETTE m_hPalette;
  bool m_bProjected;
};

// ---------------------------------------------------------------------------
// Vertices

// -1 is a value of its own (none, or the end of a list).
enum VBFORMAT : int {
  kVBFORMAT_POSITION = 0,
  kVBFORMAT_POSITION_COLOR = 1,
  kVBFORMAT_POSITION_COLOR_TEXCOORD5 = 2,
  kVBFORMAT_POSITION_NORMAL = 3,
  kVBFORMAT_POSITION_NORMAL_TEXCOORD0 = 4,
  kVBFORMAT_POSITION_COLOR_TEXCOORD0 = 5,
  kVBFORMAT_POSITION_NORMAL_COLOR_TEXCOORD0 = 6,
  kVBFORMAT_POSITION_COLOR_TEXCOORD0_TEXCOORD5 = 7,
  kVBFORMAT_COLOR = 8,
  kVBFORMAT_TEXCOORD0 = 9,
  kVBFORMAT_TEXCOORD01 = 10,
  kVBFORMAT_TEXCOORD012 = 11,
  kVBFORMAT_TEXCOORD0123 = 12,
  kVBFORMAT_TEXCOORD67 = 13,
  kVBFORMAT_TANGENT_BINORMAL_TEXCOORD4 = 14,
  kVBFORMAT_BLEND1 = 15,
  kVBFORMAT_BLEND2 = 16,
  kVBFORMAT_BLEND3 = 17,
  kVBFORMAT_BLEND4 = 18,
  kVBFORMAT_19 = 19,  // a size, no elements
  kVBFORMAT_20 = 20,  // a size, no elements
  kVBFORMAT_END = -1,  // ends a list of formats
};

// -1 is a value of its own (none, or the end of a list).
enum VBDRAWMODE : int {
  kVBDRAWMODE_POINTLIST = 0,
  kVBDRAWMODE_LINELIST = 1,
  kVBDRAWMODE_LINESTRIP = 2,
  kVBDRAWMODE_TRIANGLELIST = 3,
  kVBDRAWMODE_TRIANGLESTRIP = 4,
  kVBDRAWMODE_TRIANGLEFAN = 5,
  kVBDRAWMODE_QUADLIST = 6,   // push buffers only
  kVBDRAWMODE_QUADSTRIP = 7,  // counted only
};

enum {
  kVBFLAG_DYNAMIC = 0x2,
  kVBFLAG_UNSYNCHRONIZED = 0x8,
  kIBFLAG_DYNAMIC = 0x1,
  kLOCKFLAG_READONLY = 0x1,
};

enum {
  kMAX_VERTICES_PER_BUFFER = 65536,
  kMAX_VERTICES_PER_RENDER = 32767,
  kMAX_VERTEX_STREAMS = 8,
};

unsigned GetVertexSize(VBFORMAT format);
unsigned GetVertexStride(VBFORMAT format);
unsigned GetPrimitiveCount(VBDRAWMODE mode, unsigned n);

// One running or waiting occlusion query.
class EQuery {
public:
  EQuery();
  ~EQuery();

  int m_iIndex;  // the caller's tag; -1 while free
  EOpenGLRenderer* m_pGLRenderer;
  unsigned m_uQuery;
  EQuery* m_pNext;
  unsigned m_dwEndSwap;  // the renderer's swap count when it was ended

private:
  EQuery(const EQuery&) = delete;
  EQuery& operator=(const EQuery&) = delete;
};

// ---------------------------------------------------------------------------

enum DISPLAYPRESET : int { kDISPLAYPRESET_640x480 = 0, kDISPLAYPRESET_800x600 = 1, kDISPLAYPRESET_800x600B = 2 };

struct EDisplayOptions {
  EDisplayOptions();
  void LoadPreset(DISPLAYPRESET preset);

  unsigned m_dwWidth;
  unsigned m_dwHeight;
  unsigned m_dwRefreshRate;
  bool m_bFullScreen;
  float m_fGamma;
};

enum {
  kRENDERER_VSYNC = 0x1,
  kRENDERER_ANTIALIAS = 0x2,  // full-screen antialiasing, 4 samples
};

enum { kNUM_VBFORMATS = 21, kNUM_MEMORY_CATEGORIES = 10 };

// The memory category a texture or vertex pool is counted under: bits 16-23
// of its creation flags.
inline unsigned MemoryCategoryOf(unsigned flags) { return (flags >> 16) & 0xFF; }

// Counters of one frame.
struct ERenderFrameStats {
  float m_fLockTime;
  float m_fDrawTime;
  float m_fPresentTime;
  unsigned m_dwRenderBatches;
  unsigned m_adwDynamicVertsUsed[kNUM_VBFORMATS];
};

class ERenderer {
public:
  ERenderer();
  ~ERenderer();

  // Opens the window and the OpenGL device. The window must be null.
  bool Init(void* hWnd, unsigned flags);
  // Sets the video mode again from the display options and the flags. When
  // the new mode cannot be set the old one is put back and false returned.
  bool Reset(unsigned flags);
  void RestoreSize();
  void Shutdown();

  bool BeginRender() {
    m_bInFrame = true;
    return true;
  }
  void EndRender() { m_bInFrame = false; }
  bool RenderingAllowed() const { return m_bInFrame; }
  void Present(bool bCountFrame) {
    BeginSwap();
    EndSwap(bCountFrame);
  }
  void BeginSwap() {}
  void EndSwap(bool bCountFrame);

  unsigned GetFlags() const { return m_dwFlags; }
  // The size of the window actually open.
  unsigned GetDisplayWidth() const;
  unsigned GetDisplayHeight() const;
  unsigned GetRefreshRate() const { return 60; }
  bool DeviceGetPixelShaderSupport() const { return m_DeviceSupport.m_bPixelShaderSupport; }
  bool DirectRenderingActive() const { return false; }
  const EVec3& GetGammaCorrection() const { return m_vGamma; }
  void SetGammaCorrection(const EVec3& gamma, bool bForce);
  // One channel's ramp: entry i is (i / 256)^(1 / gamma) x 65535.
  static void BuildGammaRamp(float gamma, uint16_t* ramp);

  float StatsGetLockTime() const { return m_LastFrameStats.m_fLockTime; }
  float StatsGetDrawTime() const { return m_LastFrameStats.m_fDrawTime; }
  float StatsGetPresentTime() const { return m_LastFrameStats.m_fPresentTime; }
  unsigned StatsGetRenderBatches() const { return m_LastFrameStats.m_dwRenderBatches; }
  unsigned StatsGetDynamicVertsUsed(int vbFormat) const;
  unsigned StatsGetAllocatedVertexMemory() const;
  unsigned StatsGetAllocatedVertexMemory(unsigned flags) const;
  unsigned StatsGetAllocatedVertices() const { return m_dwAllocatedVertices; }
  unsigned StatsGetUsedVertices() const { return m_dwUsedVertices; }
  unsigned StatsGetAllocatedIndexMemory() const { return m_dwIndexMemory; }
  int StatsGetAllocatedVBs() const;
  int StatsGetUsedVBs() const;
  int StatsGetAllocatedIBs() const;
  int StatsGetUsedIBs() const;
  int StatsGetAllocatedVPools() const;
  int StatsGetUsedVPools() const;
  int StatsGetAllocatedPalettes() const;
  int StatsGetUsedPalettes() const;
  unsigned GetFrameNumber() const { return m_dwFrameNumber; }

  // Render state.
  void SetRenderState(ERenderState* pState);
  void invalidateRenderStates();
  void setBlendMode(ERenderState* pState, bool bCacheValid);
  void setStencilMode(ERenderState* pState, bool bCacheValid);
  void setColorWriteMode(COLORWRITEMODE mode);
  void setAlphaBlendEnable(bool on);
  void setBlendOp(BLENDOP op);
  void setBlendFunc(BLENDFACTOR src, BLENDFACTOR dest);
  void setStencilBufferEnable(bool on);
  void setStencilFunc(COMPAREFUNC func, uint8_t ref, uint8_t mask);
  void setStencilOp(STENCILOP fail, STENCILOP zfail, STENCILOP pass);
  void setStencilWriteMask(uint8_t mask);
  void setShadeMode(SHADEMODE mode);
  void setFillMode(FILLMODE mode);
  void setCullMode(CULLMODE mode);
  void setZBufferEnable(bool on);
  void setZBufferWriteEnable(bool on);
  void setZBufferCompareFunc(COMPAREFUNC func);
  void setZBias(uint8_t byZBias);
  void setAlphaTestEnable(bool on);
  void setAlphaTestCompareFunc(COMPAREFUNC func);
  void setAlphaTestRefValue(uint8_t ref);
  void setPointSpriteState(bool on, float size, float sizeMin, float a, float b, float c);
  void setSpecularEnable(bool on);
  void setFogEnable(bool on);
  void setFogColor(uint32_t color);
  void setWireframeOffset(float offset);
  void setFastColorFillEnable(bool on);
  const ERenderState& GetCachedRenderState() const { return m_RenderState; }

  // Palettes of 256 32-bit entries for P8 textures.
  // Makes a P8 copy of an 8888 texture with a palette of 256 learned
  // colours; false, making nothing, for 512 texels or fewer.
  bool PalettizeTexture(HTEXTURE hInputTexture, HTEXTURE& hTexture, HPALETTE& hPalette);
  HPALETTE CreatePalette();
  uint32_t* LockPalette(HPALETTE hPalette);
  void UnlockPalette(HPALETTE hPalette);
  void DeletePalette(HPALETTE hPalette);

  // Texture-projection and cube-face view matrices.
  static EMat4 CreatePerspectiveTexGenMatrix(const EVec3& eye, const EVec3& target, const EVec3& up,
                                             float fieldOfView, float aspect, float nearPlane, float farPlane);
  static EMat4 CreateOrthoTexGenMatrix(const EVec3& eye, const EVec3& target, const EVec3& up, float width,
                                       float height, float nearPlane, float farPlane);
  static EMat4 CreateCubemapViewMatrix(CUBEMAPFACE face);

  // Operations that do nothing on this platform.
  bool SetScissorsRegion(const ERect&, bool b) { return b; }
  void ClearScissorsRegion() {}
  void AllocateDynamicVertices(int, unsigned) {}
  void BlockOnFence() {}
  void FlushVideoMem();
  HTEXTURE WriteTextureToFile(HTEXTURE, const char*);
  void SwizzleTexture(HTEXTURE) {}
  void UnswizzleTexture(HTEXTURE) {}
  void CopyTexture(HTEXTURE, HTEXTURE) {}
  void SetDebugMarker(const char*) {}
  void PersistDisplay() {}
  unsigned GetVBlankCount() const { return 0; }
  void reacquireDevice() {}
  unsigned GetAvailableTextureMem();
  void* getBackBufferSurface();
  void* getFrontBufferSurface();
  void* getDepthBufferSurface();
  void SetHLSLVSConstant(const char*, const float*, unsigned);

  // Textures. Creation, locks and deletion take the renderer lock.
  HTEXTURE CreateBitmapTexture(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned levels,
                               unsigned flags);
  HTEXTURE CreateCubemapTexture(TEXTUREFORMAT format, unsigned size, unsigned levels, unsigned flags);
  HTEXTURE CreateVolumeTexture(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned depth,
                               unsigned levels, unsigned flags);
  HTEXTURE CreateDepthTexture(unsigned width, unsigned height, int bits);
  HTEXTURE CreateSurfaceAliasTexture(HTEXTURE hSource, TEXTURETYPE type, unsigned width, unsigned height);
  // A heap copy of one surface (one level of one face; a volume's whole
  // level), read back from OpenGL when it was written before and the caller
  // does not discard it. Null for the back-buffer handles.
  void* LockTexture(HTEXTURE hTexture, unsigned level, unsigned* pPitch, bool bReadOnly, CUBEMAPFACE face,
                    bool bDiscard);
  // Uploads the locked copy and marks the surface written.
  void UnlockTexture(HTEXTURE hTexture, unsigned level, bool bReadOnly, CUBEMAPFACE face);
  void DeleteTexture(HTEXTURE hTexture, bool bFreeSlot);
  TEXTURETYPE GetTextureType(HTEXTURE hTexture);
  TEXTUREFORMAT GetTextureFormat(HTEXTURE hTexture);
  unsigned GetTextureFlags(HTEXTURE hTexture);
  void GetTextureDimensions(HTEXTURE hTexture, unsigned& width, unsigned& height);
  // Storage in texels of one level, or of every level (-1) rounded up to
  // 4096; cube faces and volume slices count.
  unsigned GetTextureSize(HTEXTURE hTexture, int level);
  unsigned GetTextureLevelCount(HTEXTURE hTexture);
  // Fills every level below the top one from it.
  void FilterTexture(HTEXTURE hTexture, bool);
  // Drops up to `levels` of the largest levels of a bitmap, keeping its handle.
  bool ReduceTexture(HTEXTURE hTexture, unsigned levels);
  bool ContainsAlpha(HTEXTURE hTexture);
  bool ContainsBinaryAlpha(HTEXTURE hTexture);
  unsigned StatsGetTotalTextureMemory() const;
  unsigned StatsGetTotalTextureMemory(unsigned flags) const;
  unsigned StatsGetLinearTextureMemory() const { return m_dwLinearTextureMemory; }
  int StatsGetAllocatedTextures() const;
  int StatsGetUsedTextures() const;

  // DDS files and texture-pack records (DDSTexture.cpp). A P8 texture's
  // palette comes back through pPalette (deleted when it is null); pack
  // records hand it out as a new one-element array (delete[]).
  HTEXTURE LoadTextureFromDDS(const char* path, unsigned flags, HPALETTE* pPalette);
  HTEXTURE LoadTextureFromDDSStream(EFile* file, const char* name, unsigned flags, HPALETTE* pPalette);
  bool SaveTextureAsDDS(HTEXTURE hTexture, HPALETTE hPalette, const char* path);
  HTEXTURE ReadTextureFromPackFile(EStream& reader, HPALETTE** ppPalettes, void* = nullptr);
  int WriteTextureToPackFile(HTEXTURE hTexture, EStream& stream, const HPALETTE* pPalettes);
  bool loadAllMipSurfaces(HTEXTURE hTexture, CUBEMAPFACE face, EFile* file, bool bReadOnly);
  bool saveAllMipSurfaces(HTEXTURE hTexture, CUBEMAPFACE face, EStream& stream, bool bReadOnly);
  unsigned GetTextureDataSize(HTEXTURE hTexture);
  unsigned GetSurfaceDataSize(HTEXTURE hTexture, CUBEMAPFACE face);
  unsigned WriteTextureDataToPackFile(HTEXTURE, EStream&) { return 0; }
  // A texture made from pixel data in memory, and the data of a texture.
  HTEXTURE CreateTextureFromImage(const ETextureImage& image);
  void GetTextureImage(HTEXTURE hTexture, ETextureImage& image);

  // Texture stages 0 to 3 on texture units 0 to 3; the stages from `count`
  // up are emptied. The address mode of a record may be changed to suit its
  // texture.
  void SetTextureStages(ETextureStageState* pStates, unsigned count);
  void BumpEnvMatSet(int stage, float m00, float m01, float m10, float m11);
  void setTexture(unsigned stage, HTEXTURE hTexture);
  void setTextureAddressMode(unsigned stage, TEXTUREADDRESSMODE mode);
  void setFilterMode(unsigned stage, FILTERMODE mode, FILTERMODE mipMode, unsigned maxAnisotropy);
  void setTextureBorderColor(unsigned stage, uint32_t color);
  void setMipLODBias(unsigned stage, float bias);
  void setColorOp(unsigned stage, SHADEOP op);
  void setColorArg1(unsigned stage, SHADEARG arg);
  void setColorArg2(unsigned stage, SHADEARG arg);
  void setAlphaOp(unsigned stage, SHADEOP op);
  void setAlphaArg1(unsigned stage, SHADEARG arg);
  void setAlphaArg2(unsigned stage, SHADEARG arg);
  void setSigned(unsigned, bool) {}
  void setAlphaKill(unsigned, bool) {}
  void setPalette(unsigned, HPALETTE) {}
  void setProjected(unsigned stage, bool on);
  const ETextureStageState& GetCachedTextureStage(unsigned stage) const { return m_aTextureStageState[stage]; }
  // Copies the window's back buffer, upside down like render targets, into
  // the back-buffer copy texture and returns that OpenGL texture; 0 when
  // there is none.
  unsigned getBackBufferCopy();

  // Render targets: drawing goes into render buffers until the target is
  // given up, and is then copied into the textures, flipped vertically so
  // that a texture's first row is the top of what was drawn. (-1, -3) is the
  // window. The depth texture may be 0 for none.
  void SetRenderTarget(HTEXTURE hImage, HTEXTURE hDepth, CUBEMAPFACE face);
  void RestoreRenderTarget();
  void ClearRenderTarget(const EVec4& colour, bool bClearColor, bool bClearDepth, bool bClearStencil, float depth);
  HTEXTURE GetRenderTargetImage() const { return m_hRenderTargetImageTexture; }
  HTEXTURE GetRenderTargetDepth() const { return m_hRenderTargetDepthTexture; }
  void GetViewportDimensions(unsigned& width, unsigned& height) const {
    width = m_dwViewportWidth;
    height = m_dwViewportHeight;
  }
  // The window's size from the display options, whatever the target.
  void GetRenderTargetDimensions(unsigned& width, unsigned& height) const {
    width = m_DisplayOptions.m_dwWidth;
    height = m_DisplayOptions.m_dwHeight;
  }

  // Index buffers of 16-bit indices.
  uint32_t CreateIndexBuffer(unsigned count, unsigned flags);
  uint16_t* LockIndexBuffer(uint32_t hIB, unsigned count, unsigned offset, unsigned flags);
  void UnlockIndexBuffer(uint32_t hIB);
  unsigned GetIndexBufferCount(uint32_t hIB);
  void DeleteIndexBuffer(uint32_t hIB);
  // Vertex buffers, each in a pool of its own.
  uint32_t CreateVertexBuffer(VBFORMAT format, unsigned count, unsigned flags, const char* name);
  void* LockVertexBuffer(uint32_t hVB, unsigned count, unsigned offset, unsigned flags);
  void UnlockVertexBuffer(uint32_t hVB);
  unsigned GetVertexBufferCount(uint32_t hVB);
  unsigned GetVertexBufferFlags(uint32_t hVB);
  void DeleteVertexBuffer(uint32_t hVB);
  uint32_t CreateVertexPool(VBFORMAT format, unsigned count, unsigned flags);
  void ReleaseUnusedVertexPools();
  void PrecompilePushBuffer(unsigned, VBDRAWMODE) {}
  // Drawing through the current vertex and pixel shaders.
  void DrawUnindexedVertexBuffer(uint32_t hVB, VBDRAWMODE mode, unsigned count, unsigned start);
  void DrawIndexedVertexBuffer(uint32_t hVB, uint32_t hIB, VBDRAWMODE mode, unsigned indexCount,
                               unsigned indexOffset);
  void DrawUnindexedVertexBuffers(VBDRAWMODE mode, int streams, uint32_t* phVBs, unsigned count, unsigned start);
  void DrawIndexedVertexBuffers(VBDRAWMODE mode, int streams, uint32_t* phVBs, uint32_t hIB, unsigned indexCount,
                                unsigned indexOffset);
  void DrawVertexPools(VBDRAWMODE mode, int streams, EVertexPool** ppPools, unsigned count, unsigned* pBaseVertices,
                       EIndexBuffer* pIB, unsigned indexCount, unsigned indexOffset);

  // Push buffers: a block of vertices drawn once, with no vertex buffer.
  uint32_t* BeginPush(VBDRAWMODE mode, unsigned words);
  void EndPush(uint32_t* pdwPush);
  // Used by RendererPushData: makes room for `bytes` more pushed bytes; an
  // overrun of the buffer asked for is a fatal report.
  void pushBytes(unsigned bytes) {
    if (m_pdwPushBuffer && m_dwPushBytes + bytes <= m_dwPushCapacity)
      m_dwPushBytes += bytes;
    else
      pushBytesChecked(bytes);
  }
  void pushBytesChecked(unsigned bytes);

  // Occlusion queries; without GL_ARB_occlusion_query they do nothing.
  void BeginVisibilityTest();
  bool EndVisibilityTest(int tag);
  unsigned GetVisibilityTestResult(int tag);
  void deleteQueries();

  // The bound-shader handle after a reset, when the device's own binding is
  // unknown.
  static const uint32_t kUNKNOWN_SHADER = 0xFFFFFFFFu;

  // Shaders, translated from Direct3D shader assembly. A vertex shader's
  // format list ends with -1 and format i feeds stream i. A shader that
  // cannot be assembled or translated gives an error shader that draws
  // magenta; a pixel shader that needs the missing HLSL compiler gives 0.
  uint32_t AssembleVertexShader(const char* source, unsigned length, const char* name, const VBFORMAT* formats,
                                int64_t sourceTime);
  uint32_t AssemblePixelShader(const char* source, unsigned length, const char* name, int64_t sourceTime);
  uint32_t createVertexShader(const char* byteCode, int length, const VBFORMAT* formats);
  uint32_t createPixelShader(const char* byteCode, int length, void* constantTable, const char* name);
  void DeleteVertexShader(uint32_t hShader);
  void DeletePixelShader(uint32_t hShader);

  // The draw calls bind the current pair.
  void SetVertexShader(uint32_t hShader);
  void ClearVertexShader() { m_hVertexShader = 0; }
  void SetPixelShader(uint32_t hShader);
  // Constants are cached; an unchanged range makes no upload.
  void SetVertexShaderConstant(int iRegister, const EVec4* pValues, int iConstantCount);
  void SetPixelShaderConstant(int iRegister, const EVec4* pValues, int iConstantCount);
  void SetHLSLPSConstant(int, const EVec4*, int);
  void setDefaultShaderConstants();
  // Points the current vertex shader's inputs at the streams' pools.
  void SetVertexShaderInput(EVertexPool** ppPools, unsigned* pFirstVertex, int streamCount,
                            const struct EVertexElement* pElements);

  EOpenGLRenderer* GetGLRenderer() const { return m_pGLRenderer; }
  const EDeviceSupport& GetDeviceSupport() const { return m_DeviceSupport; }

  // The seven pools, in order of creation.
  EDataArray<ETexture>* m_pTextures;
  EDataArray<EPalette>* m_pPalettes;
  // Skinning and blend shapes computed on the processor: no hardware
  // skinning constants are uploaded.
  bool m_bSoftwareSkinning = false;
  EDataArray<EVertexBuffer>* m_pVertexBuffers;
  EDataArray<EIndexBuffer>* m_pIndexBuffers;
  EDataArray<EVertexPool>* m_pVertexPools;
  EDataArray<EVertexShader>* m_pVertexShaders;
  EDataArray<EPixelShader>* m_pPixelShaders;

  uint32_t m_hVertexShader;  // 0 none, 0xFFFFFFFF unknown
  uint32_t m_hPixelShader;
  EOpenGLRenderer* m_pGLRenderer;

  // Memory statistics.
  unsigned m_adwVertexPoolMemory[kNUM_MEMORY_CATEGORIES];
  unsigned m_dwAllocatedVertices;
  unsigned m_dwUsedVertices;
  unsigned m_dwIndexMemory;
  unsigned m_dwIndexCount;
  unsigned m_adwTextureMemory[kNUM_MEMORY_CATEGORIES];
  unsigned m_dwLinearTextureMemory;

  ERenderFrameStats m_FrameStats;
  ERenderFrameStats m_LastFrameStats;
  unsigned m_dwFrameNumber;

  uint32_t* m_pdwPushBuffer;
  unsigned m_dwPushBytes;
  int m_iPushDrawMode;

  EDisplayOptions m_DisplayOptions;
  EDeviceSupport m_DeviceSupport;
  ERenderState m_RenderState;
  ETextureStageState m_aTextureStageState[kMAX_TEXTURE_STAGES];

  HTEXTURE m_hRenderTargetImageTexture;  // 0xFFFFFFFF: the back buffer
  HTEXTURE m_hRenderTargetDepthTexture;  // 0xFFFFFFFD: the back buffer's depth
  int m_iRenderTargetCubeFace;
  unsigned m_dwViewportWidth;
  unsigned m_dwViewportHeight;
  bool m_bDefaultShaderConstantsValid;
  unsigned m_dwFlags;
  bool m_bInFrame;
  bool m_bDirectRendering;

  BitArray* m_pVertexConstantValid;
  EVec4 m_avVertexConstants[257];  // registers 0 to 256
  BitArray* m_pPixelConstantValid;
  EVec4 m_avPixelConstants[8];

  // Occlusion queries, newest first, and the one running.
  EQuery* m_pQueryList;
  EQuery* m_pCurrentQuery;
  // Buffer swaps so far; queries left unfetched for long are taken back.
  unsigned m_dwSwapCount;
  // Bytes the open push buffer holds.
  unsigned m_dwPushCapacity;
  // Storage reused by every push buffer, and by its quads turned into
  // triangles; kept until the renderer goes.
  uint8_t* m_pPushStorage;
  size_t m_dwPushStorageBytes;
  uint8_t* m_pPushQuadStorage;
  size_t m_dwPushQuadStorageBytes;

  SDL_Surface* m_pSurface;
  bool m_bLostDevice;
  EVec3 m_vGamma;

private:
  // The options of the mode in use; a failed reset goes back to them.
  EDisplayOptions m_ModeOptions;

  ERenderer(const ERenderer&) = delete;
  ERenderer& operator=(const ERenderer&) = delete;

  bool platformInit(void* hWnd, unsigned& flags);
  void platformRelease();
  bool setVideoMode(unsigned& flags);
  void setupDevice(unsigned& flags);
  void createBackBufferCopy();
  void deleteBackBufferCopy();
  bool validateDisplayMode() { return true; }
  void setPresentParameters(unsigned) {}
  // The current shaders' records; null for none (0) and unknown (-1).
  EVertexShader* currentVertexShader() const;
  EPixelShader* currentPixelShader() const;
  // Tells about samplers of the current pixel shader whose declared type
  // does not match the texture bound to their stage, once each.
  void checkPixelShaderSamplers();
  // Translates byte code for the pool; 0 when the translator refuses it.
  uint32_t translateVertexShader(const char* byteCode, int length, const VBFORMAT* formats);
  uint32_t translatePixelShader(const char* byteCode, int length, void* constantTable, const char* name);
  // What a shader that failed stands in with: it draws magenta.
  uint32_t makeErrorVertexShader(const VBFORMAT* formats);
  uint32_t makeErrorPixelShader();
  void addTextureMemory(ETexture* pTexture, bool add);
  HTEXTURE newTexture(TEXTUREFORMAT format, TEXTURETYPE type, unsigned width, unsigned height, unsigned depth,
                      unsigned levels, unsigned flags);
  bool resizeWindow(bool b) { return b; }
};

extern ERenderer* g_pCurrentRenderer;
extern SDL_mutex* g_ThreadProtectD3DCriticalSection;
// The OpenGL texture that receives copies of the back buffer (0: none).
extern unsigned g_uBackBufferCopyTexture;
// True when the window really has a multisample buffer.
extern bool g_bMultisampling;
// The vertex-shader cache is used (the preference "cacheshaders").
extern bool g_bCacheShaders;

// Holds the renderer lock for its lifetime. The lock may be taken again by
// the thread that holds it. Before the renderer starts it does nothing.
class EThreadProtectD3D {
public:
  EThreadProtectD3D();
  ~EThreadProtectD3D();

private:
  EThreadProtectD3D(const EThreadProtectD3D&) = delete;
  EThreadProtectD3D& operator=(const EThreadProtectD3D&) = delete;
};

// Copies one value into a push buffer and advances the cursor past it.
template <class T>
inline void RendererPushData(uint32_t*& pdwCursor, const T& value) {
  static_assert(sizeof(T) % 4 == 0, "push data comes in whole words");
  g_pCurrentRenderer->pushBytes((unsigned)sizeof(T));
  memcpy(pdwCursor, &value, sizeof(T));
  pdwCursor += sizeof(T) / 4;
}

// Makes room for one T at the cursor and moves past it; the caller fills
// it in place (no copy through the stack).
template <typename T>
inline T* RendererPushReserve(uint32_t*& pdwCursor) {
  static_assert(sizeof(T) % 4 == 0, "push data comes in whole words");
  g_pCurrentRenderer->pushBytes((unsigned)sizeof(T));
  T* p = reinterpret_cast<T*>(pdwCursor);
  pdwCursor += sizeof(T) / 4;
  return p;
}

// A long is pushed as the 32-bit word it was on the original platform.
template <>
inline void RendererPushData<long>(uint32_t*& pdwCursor, const long& value) {
  int32_t word = (int32_t)value;
  RendererPushData(pdwCursor, word);
}

// Marks a named stretch of rendering; does nothing on this platform.
class ERenderProfileZone {
public:
  ERenderProfileZone(const char*, const EVec4&) {}
  ~ERenderProfileZone() {}
};
