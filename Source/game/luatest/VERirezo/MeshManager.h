// The mesh manager: loads meshes once and shares them between entities.
#pragma once

class EMeshManager {
public:
  static void Initialize();
  static void Destroy();
  // The manager, or null before Initialize and after Destroy.
  static EMeshManager* GetMeshManager() { return sm_pInstance; }

private:
  EMeshManager() {}
  static EMeshManager* sm_pInstance;
};
