// ERenderer: the game's one renderer, a Direct3D-shaped drawing interface
// carried out on OpenGL in an SDL window. Resources are named by 32-bit data
// ids of the renderer's pools; 0 names nothing.
#pragma once

#include <cstdint>

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

// The four cached texture stages; only their validity is kept so far.
struct ETextureStageState {
  ETextureStageState() : m_bValid(false) {}
  bool m_bValid;
};

// ---------------------------------------------------------------------------

enum DISPLAYPRESET { kDISPLAYPRESET_640x480 = 0, kDISPLAYPRESET_800x600 = 1, kDISPLAYPRESET_800x600B = 2 };

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

enum CUBEMAPFACE {
  kCUBEMAP_POSITIVE_X = 0,
  kCUBEMAP_NEGATIVE_X = 1,
  kCUBEMAP_POSITIVE_Y = 2,
  kCUBEMAP_NEGATIVE_Y = 3,
  kCUBEMAP_POSITIVE_Z = 4,
  kCUBEMAP_NEGATIVE_Z = 5,
};

enum { kNUM_VBFORMATS = 21, kNUM_MEMORY_CATEGORIES = 10 };

// Counters of one frame.
struct ERenderFrameStats {
  float m_fLockTime;
  float m_fDrawTime;
  float m_fPresentTime;
  unsigned m_dwRenderBatches;
  unsigned m_adwDynamicVertsUsed[kNUM_VBFORMATS];
};

typedef uint32_t HTEXTURE;
typedef uint32_t HPALETTE;

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

  // Shader and texture-stage bindings used by the frame's end.
  void SetTextureStages(const void* pStates, int count);
  void ClearVertexShader() { m_hVertexShader = 0; }
  void SetPixelShader(uint32_t hShader) { m_hPixelShader = hShader; }

  EOpenGLRenderer* GetGLRenderer() const { return m_pGLRenderer; }
  const EDeviceSupport& GetDeviceSupport() const { return m_DeviceSupport; }

  // The seven pools, in order of creation.
  EDataArray<ETexture>* m_pTextures;
  EDataArray<EPalette>* m_pPalettes;
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
  ETextureStageState m_aTextureStageState[4];

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
  EVec4 m_avVertexConstants[257];
  BitArray* m_pPixelConstantValid;
  EVec4 m_avPixelConstants[8];

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
  bool resizeWindow(bool b) { return b; }
};

extern ERenderer* g_pCurrentRenderer;
extern SDL_mutex* g_ThreadProtectD3DCriticalSection;
// The OpenGL texture that receives copies of the back buffer (0: none).
extern unsigned g_uBackBufferCopyTexture;
// True when the window really has a multisample buffer.
extern bool g_bMultisampling;

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

// Marks a named stretch of rendering; does nothing on this platform.
class ERenderProfileZone {
public:
  ERenderProfileZone(const char*, const EVec4&) {}
  ~ERenderProfileZone() {}
};
