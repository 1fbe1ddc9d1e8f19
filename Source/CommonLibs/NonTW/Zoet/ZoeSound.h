// Sound outputs of the video library: the per-track record through which the
// library hands decoded PCM to the program, the installer of the program's
// sound system, and the program's output on OpenAL.
#pragma once

#include <cstdint>

struct ZoetAudioDecoder;

// One per open sound track; zeroed and filled by the output's opener.
struct TrackSound {
  // Callbacks of the output.
  int (*canTakeData)(TrackSound* s);
  int (*lockBuffer)(TrackSound* s, void** address, uint32_t* size);
  void (*submitBuffer)(TrackSound* s, uint32_t bytes);
  void (*setVolume)(TrackSound* s, int32_t volume);
  void (*setPan)(TrackSound* s, int32_t pan);
  int (*setPaused)(TrackSound* s, int32_t paused);
  int (*setEnabled)(TrackSound* s, int32_t on);
  void (*close)(TrackSound* s);
  void (*setMixBins)(TrackSound* s, const uint32_t* bins, uint32_t count);
  void (*setMixBinVolumes)(TrackSound* s, const uint32_t* bins, const int32_t* volumes, uint32_t count);

  // Shared between the library and the output.
  uint32_t ringSize;
  uint8_t* ringStart;
  uint8_t* ringEnd;
  uint8_t* writePos;
  uint8_t* readPos;
  ZoetAudioDecoder* decoder;
  uint32_t waiting;
  uint32_t eightBit;
  uint32_t bufferingFrame;
  uint32_t preBufferSize;
  uint32_t holdBack;
  uint32_t alignMask;
  uint32_t starved;
  uint32_t noBackground;
  uint32_t latencyMs;
  uint32_t speed;  // 16.16

  // The OpenAL output's own.
  uint32_t rate;
  uint32_t bits;
  uint32_t channels;
  uint32_t source;
  int32_t format;
  void* staging;
  uint32_t stagingSize;

  uint8_t reserved[248];
};

// Opens the output of one track: (record, sample rate, bits, channels, the
// movie's open flags, the movie handle); nonzero when the track will sound.
typedef int (*SoundOutputOpener)(TrackSound* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t flags,
                                 void* movie);
typedef SoundOutputOpener (*SoundSystemStartup)(uintptr_t parameter);

// Installs a sound system; 1 when an opener is installed afterwards. Another
// start-up function than the installed one is refused once any movie has
// opened a sound track.
int ZoetSetSoundSystem(SoundSystemStartup startup, uintptr_t parameter);

// Opens a track's output with the installed opener (0 when none is
// installed or it refuses) and counts the tracks opened.
int ZoetOpenSoundOutput(TrackSound* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t flags, void* movie);

// Installs the OpenAL output; the sound manager calls it once its OpenAL
// context is current.
int ZoetAudioStartup();

// The OpenAL output's opener.
int ZoetOpenALOpener(TrackSound* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t flags, void* movie);

// Most buffers the OpenAL output keeps queued and unplayed before it asks the
// library to wait.
enum : uint32_t { ZOET_OPENAL_MAX_WAITING = 4 };
