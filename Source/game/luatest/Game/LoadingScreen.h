// The loading screen: the animated screen needs a second thread drawing
// with OpenGL and does not run here; level loading draws one frame of the
// last screen image with the loading text over it.
#pragma once

#include "TWMath/Vector.h"
#include "TWUtil/Array.h"

class EDomain;
class EMeshEntity;
class EParticleEmitterEntity;

class ELoadingScreen {
public:
  static bool InitLoadingScreen();
  static bool DestroyLoadingScreen();
  static void DisplayLoadingScreen();
  static void HideLoadingScreen();
  // Draws and presents one frame: the screen image and the loading text.
  static void DisplayLoadingTextOneshot();
  static bool IsRunning() { return m_bLoadscreenRunning; }

  // The loading text drawn with the main font, the time step advancing
  // the outline's pulse.
  void DrawLoadingText(float dt);

  static ELoadingScreen* m_pLoadingScreen;
  static bool m_bLoadscreenRunning;
  // Time given to the text animation so far, in seconds.
  static float sm_fTextTime;

  EDomain* m_pDomain;
  char m_szText[50];
  EVec4 m_vTextColor;
  EVec4 m_vShadowColor;
  EVec4 m_vPulseColorA;
  EVec4 m_vPulseColorB;
  EArray<EMeshEntity*> m_aMeshes;
  EArray<EParticleEmitterEntity*> m_aEmitters;

private:
  ELoadingScreen();
  ~ELoadingScreen();
};
