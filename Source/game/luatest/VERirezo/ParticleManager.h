// The particle manager: the store that the frame's visible emitters hand
// themselves to, and the process-wide particle statistics that the
// emitters keep up to date.
#pragma once

class EParticleEmitterEntity;

class EParticleManager {
public:
  // Queues the emitter for drawing in the current rendered frame and stamps
  // it with the frame's number.
  static void AddEmitter(EParticleEmitterEntity* pEmitter);

  // Emitters initialised and not yet destroyed, and the slots allocated in
  // each record variant (line emitters also count apart).
  static int m_iNumEmitters;
  static int m_iNumNormalParticles;
  static int m_iNumFullParticles;
  static int m_iNumAnimatedParticles;
  static int m_iNumLineParticles;
  // Per-frame counters of the simulation and the render requests.
  static int m_iNumSimulatedEmitters;
  static int m_iEmptySimulatedEmitters;
  static int m_iNumSimulatedParticles;
  static int m_iNumNotSimulatedEmitters;
  static int m_iNumNotSimulatedParticles;
  static int m_iNumNotDrawnEmitters;
};
