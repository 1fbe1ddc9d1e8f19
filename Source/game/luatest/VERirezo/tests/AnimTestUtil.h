// Shared fixture of the animation tests: a file manager on a temporary
// folder of its own, recorded trace lines and a clock the test sets.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "JanWriter.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

class AnimTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/animtestXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    m_pFiles = new EFileManager;
    m_pFiles->AddReadPath(m_Dir.c_str(), true);
    gFile = m_pFiles;
    s_pLines = &m_Lines;
    g_ErrorManager.SetConsoleCallback(&Capture);
    m_bAnimTraces = g_ErrorManager.IsEnabled(TT_Anim);
    g_ErrorManager.SetEnabled(TT_Anim, true);
  }
  void TearDown() override {
    g_ErrorManager.SetEnabled(TT_Anim, m_bAnimTraces);
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLines = nullptr;
    gFile = &gFile_twutil;
    delete m_pFiles;
    std::string cmd = "rm -rf '" + m_Dir + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << m_Dir;
  }

  std::string Path(const std::string& rel) const { return m_Dir + "/" + rel; }
  void WriteBytes(const std::string& rel, const std::vector<uint8_t>& bytes) {
    std::string path = Path(rel);
    for (size_t i = m_Dir.size() + 1; i < path.size(); ++i) {
      if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    if (!bytes.empty()) {
      ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), f));
    }
    fclose(f);
  }
  static std::vector<uint8_t> Jan(const std::string& text) {
    JanAnim anim;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ParseJanText(text, anim, error)) << error;
    EXPECT_TRUE(WriteJan(anim, bytes, error)) << error;
    return bytes;
  }

  int CountLines(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_Lines) {
      if (s.find(text) != std::string::npos) ++n;
    }
    return n;
  }
  std::string AllLines() const {
    std::string r;
    for (const std::string& s : m_Lines) r += s + "\n";
    return r;
  }
  static void Capture(const char* text) {
    if (s_pLines) s_pLines->push_back(text ? text : "");
  }

  std::string m_Dir;
  EFileManager* m_pFiles = nullptr;
  std::vector<std::string> m_Lines;
  bool m_bAnimTraces = true;
  static inline std::vector<std::string>* s_pLines = nullptr;
};
