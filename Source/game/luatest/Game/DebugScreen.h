// The developer switches held by the application (m_DebugHooks): display,
// debug and feature switches that the preferences file and the options set.
#pragma once

class EDebugHooks {
public:
  EDebugHooks()
      : DebugDisplay(0),
        ShowTargets(false),
        DeadLSOBreak(false),
        SimpleDebugCombo(false),
        Rumble(true),
        RumbleSaved(false),
        Subtitles(false),
        CompressBumpmaps(false),
        AutoReduceTextures(false),
        AutoReduceBreak(true),
        ShowBuildText(true),
        NoHUD(false),
        AttractMode(false),
        PrintMemDump(false),
        FirstHalfDemo(false) {}

  int DebugDisplay;         // selected debug screen page, 0 none
  bool ShowTargets;
  bool DeadLSOBreak;
  bool SimpleDebugCombo;    // quick debug buttons in the platform input
  bool Rumble;              // the rumble pack switch
  bool RumbleSaved;         // rumble enabled (the profile's "EnableRumble")
  bool Subtitles;
  bool CompressBumpmaps;
  bool AutoReduceTextures;
  bool AutoReduceBreak;
  bool ShowBuildText;
  bool NoHUD;
  bool AttractMode;
  bool PrintMemDump;
  bool FirstHalfDemo;
};
