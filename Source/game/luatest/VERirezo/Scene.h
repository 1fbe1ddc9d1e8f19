// The scene manager: the scenes loaded and the one being drawn.
#pragma once

class EDomain;

class ESceneManager {
public:
  // The root domain of the current scene; null while there is no current
  // scene.
  EDomain* GetDefaultSceneRootDomain();
};
