// The entry point is compiled in here under another name so that its file
// statics can be reached; the executable itself is run as a child process.
#define main QuillomarMain
#include "../UnixMain.cpp"
#undef main

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <string>
#include <vector>

namespace {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out;
  std::string err;
};

std::string ReadAll(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof(buf))) > 0) s.append(buf, (size_t)n);
  return s;
}

// Runs the game with the given arguments; `env` entries are added to the
// environment. When `terminateAfterStart` is set, the child gets SIGTERM
// (which SDL turns into a quit event) once it has reported a started game.
ProcessResult RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env,
                      bool terminateAfterStart = false, const std::string& exe = QUILLOMAR_EXE) {
  int outPipe[2], errPipe[2];
  EXPECT_EQ(0, pipe(outPipe));
  EXPECT_EQ(0, pipe(errPipe));
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> argv;
    argv.push_back(strdup(exe.c_str()));
    for (const std::string& a : args) argv.push_back(strdup(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  ProcessResult r;
  if (terminateAfterStart) {
    std::string err;
    char buf[4096];
    ssize_t n;
    while ((n = read(errPipe[0], buf, sizeof(buf))) > 0) {
      err.append(buf, (size_t)n);
      if (err.find("Working directory: ") != std::string::npos) break;
    }
    kill(pid, SIGTERM);
    r.err = err + ReadAll(errPipe[0]);
    r.out = ReadAll(outPipe[0]);
  } else {
    r.out = ReadAll(outPipe[0]);
    r.err = ReadAll(errPipe[0]);
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
  return r;
}

TEST(ProgramEntry, VersionOptionPrintsTheVersionAndNothingElse) {
  for (auto args : {std::vector<std::string>{"-v"}, std::vector<std::string>{"-width", "800", "-v", "-fullscreen"}}) {
    ProcessResult r = RunGame(args, {"SDL_VIDEODRIVER=dummy"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("Quillomar Version: P602.0\n", r.out);
    // Only the notices of static initialisers that run before main (the
    // math library's SSE stub) may appear; main itself writes nothing there.
    std::string err = r.err;
    size_t pos;
    while ((pos = err.find("STUBBED: ")) == 0) {
      size_t end = err.find('\n');
      err.erase(0, end == std::string::npos ? err.size() : end + 1);
    }
    EXPECT_EQ("", err) << r.err;
  }
}

TEST(ProgramEntry, CapitalVIsNotTheVersionOption) {
  // Without an OpenGL-capable video driver start-up fails, which must be
  // reported as a failure.
  ProcessResult r = RunGame({"-V"}, {"SDL_VIDEODRIVER=dummy"});
  EXPECT_EQ("", r.out);
  EXPECT_NE(0, r.status);
  EXPECT_EQ(std::string::npos, r.err.find("StartUp successful"));
}

class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/quillomar-test-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { system(("rm -rf '" + path + "'").c_str()); }
  std::string path;
};

// A game folder of its own: the program beside a resource folder whose boot
// script has the hooks that start-up and shut-down call. A loose level file
// tells the game that it runs from loose files, so that it reads the boot
// script from the folder.
class GameFolder : public TempDir {
public:
  GameFolder() {
    exe = path + "/quillomar";
    EXPECT_EQ(0, system(("cp '" QUILLOMAR_EXE "' '" + exe + "'").c_str()));
    EXPECT_EQ(0, system(("mkdir -p '" + path + "/WorkResource/scripts' '" + path + "/WorkResource/Levels'").c_str()));
    EXPECT_EQ(0, system(("touch '" + path + "/WorkResource/Levels/CAKC.plb'").c_str()));
    FILE* f = fopen((path + "/WorkResource/scripts/boot.lua").c_str(), "w");
    EXPECT_NE(nullptr, f);
    if (f) {
      fputs("function run_hook(name) print(\"hook \" .. name) end\nfunction SetupLevelMenu() end\n", f);
      fclose(f);
    }
  }
  std::string exe;
};

TEST(ProgramEntry, WindowCloseEndsTheLoopAndExitsZero) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  GameFolder game;
  // Sound starts on OpenAL Soft's silent output.
  ProcessResult r = RunGame({}, {"ALSOFT_DRIVERS=null"}, true, game.exe);
  EXPECT_EQ(0, r.status) << r.err;
  size_t device = r.err.find("Created OpenGL Device");
  size_t started = r.err.find("UnixMain: StartUp successful..\n");
  EXPECT_NE(std::string::npos, device) << r.err;
  EXPECT_NE(std::string::npos, started) << r.err;
  EXPECT_LT(device, started) << "the renderer opens the window during start-up";
  EXPECT_NE(std::string::npos, r.err.find("Working directory: " + game.path)) << r.err;
}

TEST(ProgramEntry, StartUpWithoutTheBootScriptIsFatal) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  GameFolder game;
  ASSERT_EQ(0, unlink((game.path + "/WorkResource/scripts/boot.lua").c_str()));
  ProcessResult r = RunGame({}, {"ALSOFT_DRIVERS=null"}, false, game.exe);
  EXPECT_EQ(255, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("bRet")) << r.err;
  EXPECT_EQ(std::string::npos, r.err.find("StartUp successful")) << r.err;
}

void MakeFile(const std::string& path, mode_t mode) {
  int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, mode);
  ASSERT_GE(fd, 0);
  close(fd);
  chmod(path.c_str(), mode);
}

std::string BaseDir(const char* program) {
  char* dir = calcBaseDir(program);
  std::string s = dir ? dir : "(null)";
  free(dir);
  return s;
}

class ScopedPath {
public:
  explicit ScopedPath(const char* value) {
    const char* old = getenv("PATH");
    m_bHad = old != nullptr;
    if (old) m_old = old;
    if (value) setenv("PATH", value, 1);
    else unsetenv("PATH");
  }
  ~ScopedPath() {
    if (m_bHad) setenv("PATH", m_old.c_str(), 1);
    else unsetenv("PATH");
  }
private:
  bool m_bHad;
  std::string m_old;
};

TEST(CalcBaseDir, ProgramPathWithDirectory) {
  EXPECT_EQ("/usr/games/dir", BaseDir("/usr/games/dir/prog"));
  EXPECT_EQ("./bin", BaseDir("./bin/prog"));
  EXPECT_EQ("", BaseDir("/prog"));
}

TEST(CalcBaseDir, SearchesPathForAnExecutable) {
  TempDir a, b;
  MakeFile(a.path + "/prog", 0644);  // present but not executable
  MakeFile(b.path + "/prog", 0755);
  {
    std::string path = a.path + ":" + b.path + "/";
    ScopedPath scoped(path.c_str());
    EXPECT_EQ(b.path + "/", BaseDir("prog"));
    EXPECT_EQ("(null)", BaseDir("missing"));
  }
  {
    std::string longDir = a.path + "/" + std::string(200, 'd');
    mkdir(longDir.c_str(), 0755);
    MakeFile(longDir + "/prog", 0755);
    std::string path = "/nonexistent:" + longDir;
    ScopedPath scoped(path.c_str());
    EXPECT_EQ(longDir, BaseDir("prog"));
  }
  {
    ScopedPath scoped(nullptr);
    EXPECT_EQ("(null)", BaseDir("prog"));
  }
}

TEST(StartupFailure, NumberFollowsTheLanguage) {
  struct Case { EGameLanguage lang; const char* text; } cases[] = {
    {kLANGUAGE_English, "\n\n\nQuillomar Fatal Error #102\n\n\nAborting.\n\n"},
    {kLANGUAGE_French, "Quillomar Fatal Error #202\n"},
    {kLANGUAGE_German, "Quillomar Fatal Error #302\n"},
    {kLANGUAGE_Nonsense, "Quillomar Fatal Error #102\n"},
  };
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  for (const Case& c : cases) {
    EXPECT_EXIT({ SetPCLanguage(c.lang); PCStartupFailure(102); }, ::testing::ExitedWithCode(1), c.text);
  }
  SetPCLanguage(kLANGUAGE_English);
}

TEST(ErrorTexts, EnglishWhateverTheLanguageAndNoDumpPromise) {
  SetPCLanguage(kLANGUAGE_German);
  EXPECT_EQ(kLANGUAGE_German, g_PCGameLanguage);
  EXPECT_STREQ("Encountered Error", EErrorManager::sm_szErrorTitle);
  EXPECT_EQ(0, strncmp(EErrorManager::sm_szAssertMsg, "Quillomar has encountered an error\n\n%s, line %d\n%s\n\n", 50));
  EXPECT_EQ(nullptr, strstr(EErrorManager::sm_szNonAssertMsg, ".dmp"));
  SetPCLanguage(kLANGUAGE_English);
}

// Event pump tests run against a window on the test's X display.
class EventPump : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
    ASSERT_NE(nullptr, SDL_SetVideoMode(64, 64, 0, 0));
    SDL_EnableUNICODE(1);
    s_pApp = &m_app;
    g_bWMQuitReceived = false;
    PCMainHandleAnyWindowsMessages();  // drain what the window manager sent
  }
  void TearDown() override {
    s_pApp = nullptr;
    g_bWMQuitReceived = false;
    SDL_Quit();
  }
  void PushKey(SDLKey sym, Uint16 unicode, SDLMod mod = KMOD_NONE) {
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    e.key.keysym.unicode = unicode;
    e.key.keysym.mod = mod;
    ASSERT_EQ(0, SDL_PushEvent(&e));
  }
  void PushActive(Uint8 gain, Uint8 state) {
    SDL_Event e;
    memset(&e, 0, sizeof(e));
    e.type = SDL_ACTIVEEVENT;
    e.active.gain = gain;
    e.active.state = state;
    ASSERT_EQ(0, SDL_PushEvent(&e));
  }

  PCGameApp m_app;
};

TEST_F(EventPump, KeyCodesReachTheApplication) {
  struct Case { SDLKey sym; Uint16 unicode; int expected; } cases[] = {
    {SDLK_a, 'a', 'a'}, {SDLK_ESCAPE, 0, 27}, {SDLK_BACKSPACE, 0, 8},
    {SDLK_RETURN, 0, 13}, {SDLK_KP_ENTER, 0, 13}, {SDLK_1, '!', '!'},
  };
  for (const Case& c : cases) {
    m_app.m_iLastKeyPress = -1;
    PushKey(c.sym, c.unicode);
    EXPECT_FALSE(PCMainHandleAnyWindowsMessages());
    EXPECT_EQ(c.expected, m_app.m_iLastKeyPress) << "key " << c.sym;
  }
}

TEST_F(EventPump, ControlGTogglesTheGrabAndIsNotPassedOn) {
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  m_app.m_iLastKeyPress = -1;
  PushKey(SDLK_g, 'g', KMOD_LCTRL);
  PCMainHandleAnyWindowsMessages();
  EXPECT_EQ(SDL_GRAB_ON, SDL_WM_GrabInput(SDL_GRAB_QUERY));
  EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
  PushKey(SDLK_g, 'g', KMOD_RCTRL);
  PCMainHandleAnyWindowsMessages();
  EXPECT_EQ(SDL_GRAB_OFF, SDL_WM_GrabInput(SDL_GRAB_QUERY));
  EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
  EXPECT_EQ(-1, m_app.m_iLastKeyPress);
}

TEST_F(EventPump, FocusChangesReachTheApplication) {
  PushActive(0, SDL_APPINPUTFOCUS);
  PCMainHandleAnyWindowsMessages();
  EXPECT_FALSE(m_app.IsWindowActive());
  PushActive(1, SDL_APPMOUSEFOCUS);
  PCMainHandleAnyWindowsMessages();
  EXPECT_FALSE(m_app.IsWindowActive());
  PushActive(1, SDL_APPINPUTFOCUS | SDL_APPACTIVE);
  PCMainHandleAnyWindowsMessages();
  EXPECT_TRUE(m_app.IsWindowActive());
}

TEST_F(EventPump, QuitStaysReported) {
  g_iReturnValue = 5;
  SDL_Event e;
  memset(&e, 0, sizeof(e));
  e.type = SDL_QUIT;
  ASSERT_EQ(0, SDL_PushEvent(&e));
  EXPECT_TRUE(PCMainHandleAnyWindowsMessages());
  EXPECT_EQ(0, g_iReturnValue);
  EXPECT_TRUE(PCMainHandleAnyWindowsMessages());
}

TEST(CommandLine, OptionsMatchInAnyCase) {
  PCGameApp app;
  const char* argv[] = {"quillomar", "-WIDTH", "1024", "-Height", "768", "-FullScreen", "-refresh", "abc",
                        "-mojoshaderprofile", "glsl120", "-nosound", "-width"};
  app.ParseCommandLine(12, const_cast<char**>(argv));
  EXPECT_EQ(1024u, g_dwDisplayWidth);
  EXPECT_EQ(768u, g_dwDisplayHeight);
  EXPECT_EQ(60u, g_dwRefreshRate);  // "abc" is no refresh rate and is ignored
  EXPECT_TRUE(g_bFullScreen);
  EXPECT_FALSE(g_bAntiAlias);
  EXPECT_EQ(argv[9], GForceMojoShaderProfile);
  EXPECT_FALSE(app.GetPrefs().m_bSound);
}

}  // namespace
