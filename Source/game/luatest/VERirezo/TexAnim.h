// Animated textures: the animation record of a game texture, how it steps
// through its frames over time, and the ".atx" files that describe one.
#pragma once

#include <cstdint>

class EStream;

enum ANIMTEXMODE {
  kANIMTEXMODE_LOOP = 0,               // cycle all frames forever
  kANIMTEXMODE_LOOPONCE = 1,           // play to the last frame, then stop
  kANIMTEXMODE_LOOPTAIL = 2,           // play once, then cycle from the loop frame
  kANIMTEXMODE_OSCILLATE = 3,          // forward to the last frame, back to frame 1, forever
  kANIMTEXMODE_OSCILLATEONCE = 4,      // one swing, holding frame 1 at the end
  kANIMTEXMODE_OSCILLATEOUTONCE = 5,   // the forward half of a swing, then stop
  kANIMTEXMODE_OSCILLATEBACKONCE = 6,  // a swing that stops at frame 1 on the way back
  kANIMTEXMODE_STOP = 7,               // stand still
  kANIMTEXMODE_DEFAULT = 8,            // mesh fragments: follow the texture's own record
};

// 28 bytes in texture packs, field by field; copies take the first 25.
struct ETexAnimInfo {
  ETexAnimInfo();

  int32_t m_iNumFrames;
  float m_fCurFrame;
  float m_fLoopFrame;   // first frame of the looping tail
  float m_fStartTime;   // ms
  float m_fFrameRate;   // frames per second; 0: not animated
  int32_t m_eMode;      // ANIMTEXMODE
  uint8_t m_bForward;
  uint8_t m_aPad[3];

  // Advances the current frame to the time now (ms) by the play mode.
  void Advance(float nowMs);
  // Restarts the animation in a mode at a start time (ms); frame sets the
  // loop frame of the loop-tail mode (-1: the last frame).
  void SetPlayMode(int mode, float startTimeMs, int frame);
  // The frame to draw: the current frame truncated and clamped to the frames.
  int GetFrameIndex() const;
};

enum { kTEXANIMINFO_STREAM_SIZE = 28, kTEXANIMINFO_COPY_SIZE = 25 };

// Reads or writes the 28-byte record (padding written as zeros).
void StreamTexAnimInfo(EStream& stream, ETexAnimInfo& info);
// Copies the first 25 bytes' worth of fields (all but the padding).
void CopyTexAnimInfo(ETexAnimInfo& to, const ETexAnimInfo& from);

// The play mode of an ".atx" keyword (any case), or -1.
int ParseAnimTexMode(const char* keyword);

// What reading an ".atx" file asks of its owner.
class EATXSink {
public:
  virtual ~EATXSink() {}
  // The "numframes" line: room for that many frames.
  virtual void SetFrameCount(int count) = 0;
  // A "texture" line: load frame `index` from `filename`; false fails the file.
  virtual bool LoadFrame(int index, const char* filename) = 0;
};

enum { kMAX_ATX_FRAMES = 1024 };

// Walks the text of an ".atx" file (up to its first NUL), filling the
// animation record and handing frames to the sink. atxName is the file's
// (normalised) name, from which frame names take their folder; textureName
// names the texture in the frame-count message. Traces and returns false on
// the first error.
bool ReadATXText(const char* text, const char* atxName, const char* textureName, ETexAnimInfo& info,
                 EATXSink& sink);
