// Temporary folders and small file helpers shared by the file tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace filetest {

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/quillomar-files-XXXXXX";
    const char* made = mkdtemp(tmpl);
    m_path = made ? made : "";
  }
  ~TempDir() {
    if (!m_path.empty()) nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

private:
  std::string m_path;
};

// Makes the temporary folder the working directory for the object's life.
class ScopedChdir {
public:
  explicit ScopedChdir(const std::string& dir) {
    char buf[4096];
    m_old = getcwd(buf, sizeof(buf)) ? buf : "/";
    if (chdir(dir.c_str()) != 0) m_old.clear();
  }
  ~ScopedChdir() {
    if (!m_old.empty() && chdir(m_old.c_str()) != 0) perror("chdir");
  }

private:
  std::string m_old;
};

// Sets or clears an environment variable for the object's life.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    const char* old = getenv(name);
    m_had = old != nullptr;
    if (old) m_old = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
    else unsetenv(m_name.c_str());
  }

private:
  std::string m_name, m_old;
  bool m_had;
};

inline void MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = fgetc(f)) != EOF) out.push_back((unsigned char)c);
  fclose(f);
  return out;
}

inline bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline unsigned Mode(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

}  // namespace filetest
