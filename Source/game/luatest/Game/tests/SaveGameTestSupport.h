// A user data directory of the test's own with the application and its save
// manager, for the profile and save-game tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <csignal>

#include <string>
#include <vector>

#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/tests/FileTestSupport.h"

class SaveDirTest : public ::testing::Test {
protected:
  SaveDirTest() : m_xdg("XDG_DATA_HOME", (m_dir / "xdg").c_str()) {}
  void SetUp() override {
    m_files = new EFileManager();
    m_oldFile = gFile;
    gFile = m_files;
    m_user = m_files->GetUserDataDir();
    m_app.m_pSaveLoadInterface = &m_saves;
    m_app.m_pMessageBoxManager = &m_boxes;
    m_oldApp = gGameApp;
    gGameApp = &m_app;
    s_pTrace = &m_trace;
    g_ErrorManager.SetConsoleCallback(&Capture);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pTrace = nullptr;
    gGameApp = m_oldApp;
    m_app.m_pSaveLoadInterface = nullptr;  // the fixture owns these
    m_app.m_pMessageBoxManager = nullptr;
    gFile = m_oldFile;
    delete m_files;
  }

  std::string Abs(const std::string& rel) const { return m_user + "/" + rel; }
  bool Has(const std::string& rel) const { return filetest::PathExists(Abs(rel)); }
  std::vector<unsigned char> Bytes(const std::string& rel) const { return filetest::ReadBytes(Abs(rel)); }
  // Sets the file's modification time, in seconds since 1970.
  void SetTime(const std::string& rel, long seconds) {
    struct timeval tv[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(0, utimes(Abs(rel).c_str(), tv)) << rel;
  }
  bool Traced(const std::string& text) const {
    for (const std::string& line : m_trace) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  static void Capture(const char* text) {
    if (s_pTrace) s_pTrace->push_back(text ? text : "");
  }

  filetest::TempDir m_dir;
  filetest::ScopedEnv m_xdg;
  EFileManager* m_files = nullptr;
  EFileManager* m_oldFile = nullptr;
  GameApp* m_oldApp = nullptr;
  std::string m_user;
  PCGameApp m_app;
  ELoadSaveGame m_saves;
  EMessageBoxManager m_boxes;
  std::vector<std::string> m_trace;
  static inline std::vector<std::string>* s_pTrace = nullptr;
};

// Files can grow to no more than the given size while the object lives, as
// on a full disk: a write past it fails (EFBIG) instead of raising a signal.
class ScopedFileSizeLimit {
public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    signal(SIGXFSZ, m_oldHandler);
  }

private:
  struct rlimit m_old;
  void (*m_oldHandler)(int);
};
