// The sound-manager interface that the game calls. This is the part that
// entities use; the manager itself comes with the sound system.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class EEntity;

// Sound categories the game asks about.
enum : int { kSOUNDCAT_VOICE = 4 };

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
  // Sound cues and the sources of entities. The bodies here stand in for a
  // manager without sound: no cue, no source, nothing plays.
  virtual uint32_t GetSoundCue(const char* szName) { (void)szName; return 0; }
  // Plays a cue on a source (0: without one); the manager's result.
  virtual int PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bFlag) {
    (void)uiCue; (void)uiSource; (void)bFlag;
    return 0;
  }
  virtual bool SoundCueIsPlaying(uint32_t uiCue) { (void)uiCue; return false; }
  virtual void StopSoundsOnSource(uint32_t uiSource) { (void)uiSource; }
  // A source for the owner at the position, or 0. When the source was taken
  // from another entity, *ppDisplaced names that entity.
  virtual uint32_t RequestSoundSource(EEntity* pOwner, const EVec3& vPosition, EEntity** ppDisplaced) {
    (void)pOwner; (void)vPosition; (void)ppDisplaced;
    return 0;
  }
  virtual void SetSoundSourceEcho(uint32_t uiSource, bool bEcho) { (void)uiSource; (void)bEcho; }
  // Whether a sound of the category plays that the owner started.
  virtual bool IsEntityPlayingCategory(const void* pOwner, int iCategory) {
    (void)pOwner; (void)iCategory;
    return false;
  }
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
