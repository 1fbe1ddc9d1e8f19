// Developer switches read while mesh fragments are prepared and drawn. They
// are part of the application's switch block (EDebugHooks); the defaults
// give the normal game.
#pragma once

struct ERenderDebugSwitches {
  // Texture layers and lighting features.
  bool m_bLightmaps = true;
  bool m_bGlossmaps = true;
  bool m_bDetailMaps = true;
  bool m_bReflectionIrradiance = true;
  bool m_bFresnelReflections = true;
  bool m_bLightScissor = true;
  bool m_bNoDynamicLights = false;   // "No Dynamic Lights"
  bool m_bNoBlendShapes = false;     // "No Blend Shapes"
  bool m_bNoAuroras = false;         // "No Auroras"
  bool m_bHideMissingLightmaps = false;
  bool m_bShowWireframe = false;     // "Show Wireframe"
  bool m_bDebugAlphaBlend = false;   // "Debug Alpha Blend"
  bool m_bDebugDuplicates = false;   // "Debug Duplicates"
  bool m_bDebugReflections = false;  // "Debug Reflections"
  bool m_bDebugFresnelReflections = false;
  bool m_bDebugSoftwareVerts = false;
  // Debug views of the fragments.
  bool m_bDebugBaseTextures = false;    // "Debug Base Textures"
  bool m_bDebugLayerTextures = false;   // "Debug Layer Textures"
  bool m_bDebugBlendTextures = false;   // "Debug Blend Textures"
  bool m_bDebugBumpmaps = false;        // "Debug Bumpmaps"
  bool m_bDebugGlossmaps = false;       // "Debug Glossmaps"
  bool m_bDebugDetailMaps = false;      // "Debug Detail Maps"
  bool m_bDebugTextureDensity = false;  // "Debug Texture Density"
  bool m_bDebugTristrips = false;       // "Debug Tristrips"
  bool m_bDebugDecals = false;          // "Debug Decals"
  bool m_bDebugDistantGeometry = false;  // "Debug Distant Geometry"
  bool m_bDebugBlendShapes = false;     // "Debug Blend Shapes"
  bool m_bDebugCameraAlpha = false;     // "Debug Camera Alpha"
  bool m_bDebugDetailCulling = false;   // "Debug Detail Culling"
  bool m_bDebugSwitchLight = false;     // "Debug Switch Light"
  bool m_bDebugDynamicLights = false;   // "Debug Dynamic Lights"
  bool m_bDebugShadowReceivers = false;  // "Debug Shadow Receivers"
  bool m_bDebugInfluences = false;      // "Debug Influences"
  bool m_bShowNormals = false;          // "Show Normals"
  bool m_bShowBases = false;            // "Show Bases"
  bool m_bShowLightVectors = false;     // "Show Light Vectors"
};
