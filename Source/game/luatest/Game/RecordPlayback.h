// Input recording and playback: each frame's Input record and frame time go
// to an input-record file (".paf") and come back from it in place of live
// input, so that a stretch of play can be replayed exactly.
#pragma once

#include <cstdint>

#include "DirectX/SDLInput.h"

class EFile;
class EStream;

// One frame of a recording.
struct ERecordedFrame {
  float m_fFrameTime;  // s
  Input m_Input;
  float m_fPlayerDistance;  // length of the player's position
  float m_fCameraDistance;  // length of the current camera's position
};

class ERecordPlayback {
public:
  enum {
    kBUILD_NUMBER = 602,
    kFRAME_BYTES = 140,
    kINPUT_BYTES = 128,
    kMAX_NAME = 255,  // loop file name and level name, with the terminator
  };

  ERecordPlayback();
  ~ERecordPlayback();
  ERecordPlayback(const ERecordPlayback&) = delete;
  ERecordPlayback& operator=(const ERecordPlayback&) = delete;

  void StartUp() {}

  // Ordinary recording under the record name; with a level the level is
  // requested at once.
  void InitRecord(const char* szName, const char* szLevel);
  void InitPlayback(const char* szPath, bool bLoop);
  void AttractModeRecord(const char* szLevel);
  void AttractModePlayback(const char* szLevel);
  // The save file's base name is the level argument; the saved game's tables
  // are loaded after.
  void AttractModeRecordUseSaveGame(const char* szSaveFile);
  void AttractModePlaybackUseSavedGame(const char* szSaveFile);
  // Ends playback and goes back to the start menu.
  void OverrideAttractMode();

  // One frame each, called by the frame loop.
  void Record(const Input& input, float fFrameTime);
  void Playback(Input* pInput, float* pFrameTime);

  void StopRecording() { m_bStopRecording = true; }
  void StopPlayback() { m_bStopPlayback = true; }
  void Close();

  bool IsRecording() const { return m_bRecording; }
  bool IsPlayBack() const { return m_bPlayingBack; }
  bool IsPlaybackLooping() const { return m_bLooping; }
  const char* GetLoopFilename() const { return m_szLoopFilename; }
  int GetPlaybackCount() const { return m_iPlaybackCount; }
  void RecordBlocking(bool) {}
  bool IsBlocking() const { return false; }

  // The file format. A header is the level name (a 4-byte length, then the
  // bytes), the simulated elapsed time and the frame counter; frames follow
  // until the end of the file.
  static void WriteHeader(EStream& s, const char* szLevel, float fSimTime, int32_t iFrameCount);
  // False, with the name empty, when the header is short or its name does
  // not fit kMAX_NAME bytes with its terminator.
  static bool ReadHeader(EStream& s, char* szLevel, float& fSimTime, int32_t& iFrameCount);
  // A frame is 140 bytes: the frame time, the 128 bytes of the Input record
  // (its padding written as zero) and the two distances.
  static void WriteFrame(uint8_t* pBytes, const ERecordedFrame& frame);
  static void ReadFrame(const uint8_t* pBytes, ERecordedFrame& frame);

private:
  void EndPlayback();
  void EndRecording();
  bool StartRecording(const char* szFile, const char* szLevel);
  bool OpenPlayback(const char* szFile, bool bApplyTime);
  void ResetForDeterminism();
  void LogMismatch(const char* szFormat, float fDifference);

  EFile* m_pFile;
  EFile* m_pLogFile;
  int m_iPlaybackCount;
  bool m_bLooping;
  bool m_bRecording;
  bool m_bPlayingBack;
  bool m_bStopRecording;
  bool m_bStopPlayback;
  bool m_bReturnToStartMenu;
  char m_szLoopFilename[kMAX_NAME];
};
