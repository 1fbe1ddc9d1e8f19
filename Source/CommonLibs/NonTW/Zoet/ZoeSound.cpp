// Sound outputs of the video library.
#include "ZoeSound.h"

#include <AL/al.h>

#include <cstring>
#include <vector>

#include "ZoePlatform.h"

namespace zoesound {

SoundSystemStartup s_startup = nullptr;
SoundOutputOpener s_opener = nullptr;
uint32_t s_tracksOpened = 0;

ALint SourceInt(const TrackSound* s, ALenum what) {
  ALint v = 0;
  alGetSourcei(s->source, what, &v);
  return v;
}

int CanTakeData(TrackSound* s) {
  ALint queued = SourceInt(s, AL_BUFFERS_QUEUED), processed = SourceInt(s, AL_BUFFERS_PROCESSED);
  return queued - processed < (ALint)ZOET_OPENAL_MAX_WAITING;
}

int LockBuffer(TrackSound* s, void** address, uint32_t* size) {
  if (!s->staging || s->stagingSize != s->ringSize) {
    radfree(s->staging);
    s->staging = nullptr;
    s->stagingSize = 0;
    if (s->ringSize) s->staging = radmalloc(s->ringSize);
    if (!s->staging) return 0;
    s->stagingSize = s->ringSize;
  }
  if (address) *address = s->staging;
  if (size) *size = s->stagingSize;
  return 1;
}

void SubmitBuffer(TrackSound* s, uint32_t bytes) {
  if (!s->staging || bytes > s->stagingSize) return;
  ALuint buffer = 0;
  if (SourceInt(s, AL_BUFFERS_PROCESSED) > 0)
    alSourceUnqueueBuffers(s->source, 1, &buffer);
  else
    alGenBuffers(1, &buffer);
  alBufferData(buffer, s->format, s->staging, (ALsizei)bytes, (ALsizei)s->rate);
  alSourceQueueBuffers(s->source, 1, &buffer);
  ALint state = SourceInt(s, AL_SOURCE_STATE);
  if (state != AL_PLAYING && state != AL_PAUSED) alSourcePlay(s->source);
}

void SetVolume(TrackSound* s, int32_t volume) { alSourcef(s->source, AL_GAIN, (float)volume / 32768.0f); }

void SetPan(TrackSound*, int32_t) {}

int SetPaused(TrackSound* s, int32_t paused) {
  ALint state = SourceInt(s, AL_SOURCE_STATE);
  if (paused && state == AL_PLAYING) alSourcePause(s->source);
  if (!paused && state == AL_PAUSED) alSourcePlay(s->source);
  return 1;
}

// Off stops the source (its queue then counts as played and is reused); the
// next submitted buffer starts it again.
int SetEnabled(TrackSound* s, int32_t on) {
  if (!on) alSourceStop(s->source);
  return on ? 1 : 0;
}

void Close(TrackSound* s) {
  alSourceStop(s->source);
  ALint processed = SourceInt(s, AL_BUFFERS_PROCESSED);
  if (processed > 0) {
    std::vector<ALuint> buffers((size_t)processed);
    alSourceUnqueueBuffers(s->source, processed, buffers.data());
    alDeleteBuffers(processed, buffers.data());
  }
  alDeleteSources(1, &s->source);
  s->source = 0;
  radfree(s->staging);
  s->staging = nullptr;
  s->stagingSize = 0;
}

void SetMixBins(TrackSound*, const uint32_t*, uint32_t) {}
void SetMixBinVolumes(TrackSound*, const uint32_t*, const int32_t*, uint32_t) {}

SoundOutputOpener OpenALStartup(uintptr_t) { return ZoetOpenALOpener; }

}  // namespace zoesound

int ZoetSetSoundSystem(SoundSystemStartup startup, uintptr_t parameter) {
  using namespace zoesound;
  if (!startup) return 0;
  if (s_startup && s_startup != startup && s_tracksOpened) return 0;
  s_startup = startup;
  SoundOutputOpener opener = startup(parameter);
  if (opener) s_opener = opener;
  return s_opener ? 1 : 0;
}

int ZoetOpenSoundOutput(TrackSound* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t flags, void* movie) {
  using namespace zoesound;
  if (!s_opener || !s_opener(s, rate, bits, channels, flags, movie)) return 0;
  ++s_tracksOpened;
  return 1;
}

int ZoetAudioStartup() { return ZoetSetSoundSystem(zoesound::OpenALStartup, 0); }

int ZoetOpenALOpener(TrackSound* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, void*) {
  using namespace zoesound;
  memset(s, 0, sizeof(*s));
  s->canTakeData = CanTakeData;
  s->lockBuffer = LockBuffer;
  s->submitBuffer = SubmitBuffer;
  s->setVolume = SetVolume;
  s->setPan = SetPan;
  s->setPaused = SetPaused;
  s->setEnabled = SetEnabled;
  s->close = Close;
  s->setMixBins = SetMixBins;
  s->setMixBinVolumes = SetMixBinVolumes;
  if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2)) return 0;
  s->rate = rate;
  s->bits = bits;
  s->channels = channels;
  ALuint source = 0;
  alGenSources(1, &source);
  s->source = source;
  alSourcef(source, AL_GAIN, 1.0f);
  if (bits == 8)
    s->format = channels == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
  else
    s->format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
  return 1;
}
