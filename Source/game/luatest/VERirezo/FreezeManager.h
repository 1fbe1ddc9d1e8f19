// Freezing of distant objects: placed props kept as records until needed.
#pragma once

class EDomain;
class EQuat;
class EVec3;

class EFreezeManager {
public:
  EFreezeManager() {}
  // One frame with the simulated step in seconds.
  void ProcessFrame(float fSeconds);
  void CleanupReferences();
  // Keeps a placed object as a record instead of creating it; the record
  // takes over the placement text (szEditVars becomes null). The handle.
  unsigned short AddEntity(const char* szClass, char*& szEditVars, EDomain* pDomain, const EVec3& vPosition,
                           const EQuat& qRotation);
  // The records of pOld go to pNew; with null they are deleted and their
  // live entities with them.
  void MoveEntitiesToDomain(EDomain* pNew, EDomain* pOld);
};
