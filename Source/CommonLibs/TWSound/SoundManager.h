// The sound-manager interface that the game calls. This is the part that
// entities use; the manager itself comes with the sound system.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class EEntity;

class ESoundManager {
public:
  virtual ~ESoundManager() {}

  // Gives a source back to the manager.
  virtual void FreeSoundSource(uint32_t uiSource, EEntity* pOwner) = 0;
  // Moves the source to the position; false when the manager took the
  // source back.
  virtual bool ProcessSoundSource(uint32_t uiSource, const EVec3& vPosition) = 0;
  // The sounds of the owner's sources pause or resume with its domain.
  virtual void SetSoundSourceSleeping(EEntity* pOwner, bool bSleeping) = 0;
  // Services streams and fades for a step of that many seconds; blocking
  // loops (movies) call it between their own frames.
  virtual void DoWork(float fSeconds) { (void)fSeconds; }
  // Stops every sound at once.
  virtual void StopAll() {}
  // Volumes 0..1; the second argument is passed through to the manager.
  virtual void SetMasterVolume(float fVolume, int iArg) { (void)fVolume, (void)iArg; }
  virtual void SetFXVolume(float fVolume, int iArg) { (void)fVolume, (void)iArg; }
  virtual void SetMusicVolume(float fVolume, int iArg) { (void)fVolume, (void)iArg; }
  virtual void SetVoiceVolume(float fVolume, int iArg) { (void)fVolume, (void)iArg; }
};
