// What the OpenGL device can do, as the rest of the game asks about it.
#pragma once

class EOpenGLRenderer;

class EDeviceSupport {
public:
  EDeviceSupport();
  ~EDeviceSupport();

  // Reads the device's names and limits; the two numbers are not used.
  void Initialize(EOpenGLRenderer* pGL, unsigned, unsigned);
  // Records what is known only once the device is fully up.
  void PostCreate(EOpenGLRenderer* pGL);

  bool m_bPixelShaderSupport;
  char* m_szAdapter;  // GL_RENDERER
  char* m_szDriver;   // GL_VENDOR
  int m_nVertexShaderConstants;
  bool m_bSoftwareSkinning;
  unsigned m_dwVertexShaderVersion;  // 0x200 for shader model 2.0
  unsigned m_dwPixelShaderVersion;
  int m_nMaxSimultaneousTextures;
  int m_nTextureImageUnits;
  bool m_bOcclusionQueries;
  bool m_bBorderAddressing;
  bool m_bShaderModel2;
  bool m_bMipmappedCubeMaps;
  bool m_bAnisotropicMin;
  bool m_bAnisotropicMag;
  bool m_bFog;

private:
  EDeviceSupport(const EDeviceSupport&) = delete;
  EDeviceSupport& operator=(const EDeviceSupport&) = delete;
};
