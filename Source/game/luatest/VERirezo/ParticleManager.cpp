#include "VERirezo/ParticleManager.h"

#include "Game/GameApp.h"
#include "VERirezo/ParticleEmitterEntity.h"

int EParticleManager::m_iNumEmitters = 0;
int EParticleManager::m_iNumNormalParticles = 0;
int EParticleManager::m_iNumFullParticles = 0;
int EParticleManager::m_iNumAnimatedParticles = 0;
int EParticleManager::m_iNumLineParticles = 0;
int EParticleManager::m_iNumSimulatedEmitters = 0;
int EParticleManager::m_iEmptySimulatedEmitters = 0;
int EParticleManager::m_iNumSimulatedParticles = 0;
int EParticleManager::m_iNumNotSimulatedEmitters = 0;
int EParticleManager::m_iNumNotSimulatedParticles = 0;
int EParticleManager::m_iNumNotDrawnEmitters = 0;

void EParticleManager::AddEmitter(EParticleEmitterEntity* pEmitter) {
  if (!pEmitter) return;
  pEmitter->m_nQueuedFrame = gGameApp ? gGameApp->m_iFrameCount : 0;
}
