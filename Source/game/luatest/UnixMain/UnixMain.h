// The program entry's services for the rest of the game.
#pragma once

enum EGameLanguage {
  kLANGUAGE_English = 0,
  kLANGUAGE_French = 1,
  kLANGUAGE_German = 2,
  kLANGUAGE_Nonsense = 3,
};

class PCGameApp;

extern bool g_bWMQuitReceived;
extern int g_iReturnValue;
extern EGameLanguage g_PCGameLanguage;
extern const char* g_mainWindowCaption;
extern const char* g_mainWindowCaptionSmall;

char* calcBaseDir(const char* programPath);
void SetPCLanguage(EGameLanguage language);
[[noreturn]] void PCStartupFailure(unsigned int code);
bool PCMainHandleAnyWindowsMessages();
bool PCMainIsGameWindowActive();
