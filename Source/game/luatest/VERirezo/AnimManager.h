// The animation cache: shared skeletal animations and their packs.
#pragma once

class EAnimManager {
public:
  // Makes the manager with a cache of the given size in bytes (0: none).
  static void Create(unsigned uCacheSize);
  static void Destroy();
  static EAnimManager* Get() { return sm_pInstance; }

  // One frame of the animations, with the simulated step in seconds.
  void ProcessFrame(float fSeconds);
  unsigned GetCacheSize() const { return m_uCacheSize; }

private:
  explicit EAnimManager(unsigned uCacheSize) : m_uCacheSize(uCacheSize) {}
  unsigned m_uCacheSize;
  static EAnimManager* sm_pInstance;
};
