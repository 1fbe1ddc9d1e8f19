// What the fragment preprocess and draws read of their surroundings: the
// owner entity's render values and the current scene's render settings.
// Both are reached through one table, so that tests can stand in for them.
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"

class ECamera;
class EMeshEntity;
class ESceneSettings;

struct EMeshFragEntityFacts {
  EVec4 (*pfnColor)(const EMeshEntity*);  // rgb colour and alpha
  float (*pfnCompoundAlpha)(const EMeshEntity*);
  float (*pfnDetailFactor)(const EMeshEntity*);
  float (*pfnBlendShapeFactor)(const EMeshEntity*);
  float (*pfnGlare)(const EMeshEntity*);
  float (*pfnCameraAlphaRadius)(const EMeshEntity*);
  EVec2 (*pfnTexCoordTransVel)(const EMeshEntity*);
  EVec3 (*pfnCombinedIrradiance)(const EMeshEntity*);
  // The entity's whole world box (its mesh's).
  EBox3 (*pfnTransformedBox)(EMeshEntity*);
  // The owner of the player's mesh, or null.
  EMeshEntity* (*pfnPlayer)();
  // A shadow caster's shadow camera (null: none yet) and shadow texture.
  ECamera* (*pfnShadowCamera)(const EMeshEntity*);
  unsigned (*pfnShadowTexture)(const EMeshEntity*);
};

// The table in use; its defaults read the entity's own render values.
EMeshFragEntityFacts& MeshFragEntityFacts();
// The table's defaults (to put it back).
EMeshFragEntityFacts MeshFragDefaultEntityFacts();

// The scene render settings the fragments read: the installed ones, else the
// current scene's (a reset scene's values without one).
ESceneSettings& MeshFragSceneSettings();
// Installs (null: uninstalls) the settings the fragments read.
void SetMeshFragSceneSettings(ESceneSettings* pSettings);
