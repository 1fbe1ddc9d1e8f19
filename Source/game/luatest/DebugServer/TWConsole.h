// The output console: every developer text line ends up here.
#pragma once

class ESceneManager;

class SingletonTWConsole {
public:
  // The first call makes the console; later calls change nothing.
  static void CreateConsole(ESceneManager* pSceneManager, unsigned dwDisplay);
  static void ShutdownConsole();
  static bool Exists();
  // Writes the line to the debug output; 0 for a null or empty text.
  static int AddString(const char* szText);
  static int AddStringf(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
  static void StartLogFile();
  static void StopLogFile();
};
