// Script classes, the base-class cache, compiled script packs and script
// files.
#include <cstdlib>

#include "ScriptVM/ScriptPack.h"
#include "ScriptVMTestUtil.h"
#include "TWUtil/EStream.h"

class ScriptClassTest : public ScriptVMTest {
protected:
  // Reads a pack held in memory.
  bool ReadPack(const EScriptPackWriter& w) {
    EArray<unsigned char> bytes;
    EXPECT_TRUE(w.Build(bytes));
    EMemReader reader(bytes);
    return vm.ReadPackFile(reader);
  }
  static std::string ClassSource(const std::string& shortName, const std::string& body) {
    return "function " + shortName + "()\n  local o = CreateObject(\"Base\")\n" + body + "\n  return o\nend\n";
  }
};

TEST_F(ScriptClassTest, NamesAreCanonicalisedAndMappedToConstructors) {
  char sz[64];
  EScriptVM::MakeClassNameCanonical("Global.Props.Door", sz, (int)sizeof(sz));
  EXPECT_STREQ(sz, "global.props.Door");
  EScriptVM::MakeClassNameCanonical("Door", sz, (int)sizeof(sz));
  EXPECT_STREQ(sz, "Door");
  EScriptVM::ClassNameToConstructorName("Global.Props.Door", sz, (int)sizeof(sz));
  EXPECT_STREQ(sz, "base_global_props_door");
  EScriptVM::ClassNameToConstructorName("Global.Props.Door", sz, 10);
  EXPECT_STREQ(sz, "base_glob");
}

TEST_F(ScriptClassTest, BaseClassIsLoadedOnceAndLeavesNoGlobals) {
  WriteFile("scripts/global/props/Door.lua",
            "door_loads = (door_loads or 0) + 1\n" + ClassSource("Door", "  o.kind = 'door'"));
  ASSERT_NE(vm.GetBaseClass("Base", "test", false), 0);
  int ref = vm.GetBaseClass("Global.Props.Door", "test", false);
  ASSERT_NE(ref, 0);
  EXPECT_STREQ(vm.GetLastClassType(), "global.props.Door");
  EXPECT_EQ(vm.GetBaseClass("global.props.Door", "test", true), ref);
  EXPECT_EQ(vm.GetBaseClass("GLOBAL.PROPS.Door", "test", false), ref);
  EXPECT_EQ(Num("door_loads"), 1.0f);
  EXPECT_EQ(Num("Door == nil and base_global_props_door == nil and 1 or 0"), 1.0f);
  lua_getref(L, ref);
  lua_pushstring(L, "Type");
  lua_gettable(L, -2);
  EXPECT_STREQ(lua_tostring(L, -1), "global.props.Door");
  lua_settop(L, 0);
}

TEST_F(ScriptClassTest, OnlyIfLoadedNeverLoads) {
  WriteFile("scripts/lazy/Thing.lua", "thing_loaded = 1\n" + ClassSource("Thing", ""));
  EXPECT_EQ(vm.GetBaseClass("lazy.Thing", "test", true), 0);
  EXPECT_EQ(Num("thing_loaded or 0"), 0.0f);
}

TEST_F(ScriptClassTest, ConstructorWithoutClassObjectIsRetriedNextTime) {
  WriteFile("scripts/bad/Plain.lua", "plain_loads = (plain_loads or 0) + 1\nfunction Plain() return {} end\n");
  EXPECT_EQ(vm.GetBaseClass("bad.Plain", "test", false), 0);
  EXPECT_EQ(CountLines("bad.Plain constructor didn't return a class object"), 1);
  EXPECT_EQ(vm.GetBaseClass("bad.Plain", "test", false), 0);
  EXPECT_EQ(Num("plain_loads"), 2.0f);
}

TEST_F(ScriptClassTest, LoadFailuresAreTracedUnlessSuppressed) {
  EXPECT_EQ(vm.GetBaseClass("no.Such", "test", false), 0);
  EXPECT_EQ(CountLines("Base class script 'scripts/no/Such.lua' does not exist"), 1);
  vm.SuppressWarnings(true);
  EXPECT_EQ(vm.GetBaseClass("no.Such", "test", false), 0);
  vm.SuppressWarnings(false);
  EXPECT_EQ(CountLines("does not exist"), 1);

  WriteFile("scripts/bad/Syntax.lua", "function Syntax( return end");
  EXPECT_EQ(vm.GetBaseClass("bad.Syntax", "req", false), 0);
  EXPECT_EQ(CountLines("req: '"), 1);
  EXPECT_EQ(CountLines("didn't load"), 1);
  WriteFile("scripts/bad/NoCtor.lua", "x = 1");
  EXPECT_EQ(vm.GetBaseClass("bad.NoCtor", "req", false), 0);
  EXPECT_EQ(CountLines("doesn't define constructor 'NoCtor'"), 1);
}

TEST_F(ScriptClassTest, PreloadRunsTheInheritedPreloadHook) {
  WriteClass("pre.Base2", "  o.onPreLoad = function(self) preloaded = (preloaded or 0) + 1 end");
  WriteClass("pre.Leaf", "", "pre.Base2");
  int top = lua_gettop(L);
  vm.PreloadLuaClass("pre.Leaf");
  EXPECT_EQ(Num("preloaded"), 1.0f);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ScriptClassTest, PackClassesAndChunksLoad) {
  EScriptPackWriter w;
  std::string a = ClassSource("Alpha", "  o.v = 1");
  std::string b = ClassSource("Beta", "  o.v = 2");
  w.AddClass("pack.Alpha", a.data(), (unsigned)a.size());
  w.AddClass("pack.Beta", b.data(), (unsigned)b.size());
  std::string chunk = "chunk_ran = (chunk_ran or 0) + 1";
  w.AddChunk("setup", chunk.data(), (unsigned)chunk.size());
  std::string bad = "error('in chunk')";
  w.AddChunk("broken", bad.data(), (unsigned)bad.size());
  EXPECT_TRUE(ReadPack(w));
  EXPECT_EQ(vm.GetNumBaseClasses(), 3);  // with Base, which both name
  EXPECT_NE(vm.GetBaseClass("pack.Alpha", "t", true), 0);
  EXPECT_EQ(Num("chunk_ran"), 1.0f);
  EXPECT_EQ(CountLines("Error running lua chunk for LuaDoFile broken"), 1);
  EXPECT_EQ(Num("Alpha == nil and Beta == nil and 1 or 0"), 1.0f);
  EScriptObject* o = vm.CreateScriptObject("pack.Beta", "b", nullptr, nullptr, false, false, true, false);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(Num("gLSO.b.v"), 2.0f);

  // A class already cached (under its canonical name) is skipped unrun.
  EScriptPackWriter again;
  std::string counted = "rerun = 1\n" + a;
  again.AddClass("Pack.Alpha", counted.data(), (unsigned)counted.size());
  again.SetNamedChunks(false);
  std::string bad2 = "error('x')";
  again.AddChunk("ignored", bad2.data(), (unsigned)bad2.size());
  EXPECT_TRUE(ReadPack(again));
  EXPECT_EQ(Num("rerun or 0"), 0.0f);
  EXPECT_EQ(CountLines("Error running lua chunk for LuaDoFile <unknown>"), 1);
}

TEST_F(ScriptClassTest, EmptyPackEntryIsSkipped) {
  EScriptPackWriter w;
  w.AddClass("pack.Empty", "", 0);
  std::string b = ClassSource("Beta", "");
  w.AddClass("pack.Beta", b.data(), (unsigned)b.size());
  EXPECT_TRUE(ReadPack(w));
  EXPECT_EQ(CountLines("Script pack entry 'pack.Empty' is empty; skipped"), 1);
  EXPECT_NE(vm.GetBaseClass("pack.Beta", "t", true), 0);
}

TEST_F(ScriptClassTest, DamagedPacksAreRefusedWithoutOverrun) {
  EScriptPackWriter w;
  std::string b = ClassSource("Beta", "");
  w.AddClass("pack.Beta", b.data(), (unsigned)b.size());
  std::string c = "x = 1";
  w.AddChunk("c", c.data(), (unsigned)c.size());
  EArray<unsigned char> bytes;
  ASSERT_TRUE(w.Build(bytes));
  // Every cut short of the whole pack, and a size field claiming too much.
  for (int cut = 0; cut < bytes.Num(); ++cut) {
    vm.Shutdown();
    vm.Initialise();
    EMemReader reader(bytes.GetData(), (unsigned)cut);
    EXPECT_FALSE(vm.ReadPackFile(reader)) << "cut at " << cut;
  }
  EArray<unsigned char> big = bytes;
  int sizeAt = 2 + 2 + 2 + 2 + (int)strlen("pack.Beta") + 1;
  big[sizeAt + 3] = 0x7F;
  EMemReader reader(big);
  EXPECT_FALSE(vm.ReadPackFile(reader));
  L = vm.GetGlobalState();
}

TEST_F(ScriptClassTest, ThreeHundredAndFirstClassIsNotCached) {
  EScriptPackWriter w;
  std::vector<std::string> sources;
  for (int i = 0; i < 301; ++i) sources.push_back(ClassSource("C" + std::to_string(i), ""));
  for (int i = 0; i < 301; ++i)
    w.AddClass(("many.C" + std::to_string(i)).c_str(), sources[i].data(), (unsigned)sources[i].size());
  vm.SuppressWarnings(true);
  ReadPack(w);  // Base is loaded on the way: 300 entries hold Base and C0..C298
  vm.SuppressWarnings(false);
  EXPECT_EQ(vm.GetNumBaseClasses(), 300);
  EXPECT_GE(CountLines("Too many script classes (300)"), 1);
  WriteClass("late.One", "");
  EXPECT_EQ(vm.GetBaseClass("late.One", "t", false), 0);
}

TEST_F(ScriptClassTest, PackFileIsFoundByName) {
  EScriptPackWriter w;
  std::string a = ClassSource("Alpha", "");
  w.AddClass("disk.Alpha", a.data(), (unsigned)a.size());
  EArray<unsigned char> bytes;
  ASSERT_TRUE(w.Build(bytes));
  WriteFile("scripts/packfile/common.lpf", std::string((const char*)bytes.GetData(), (size_t)bytes.Num()));
  EXPECT_TRUE(vm.ReadPackFile("common", true));
  EXPECT_NE(vm.GetBaseClass("disk.Alpha", "t", true), 0);
  EXPECT_FALSE(vm.ReadPackFile("missing", true));
}

TEST_F(ScriptClassTest, DoFileRunsAndRecordsFiles) {
  WriteFile("scripts/boot.lua", "booted = (booted or 0) + 1");
  vm.DoFile("scripts/boot.lua", false);
  EXPECT_EQ(Num("booted"), 1.0f);
  vm.DoFile("scripts/none.lua", true);
  EXPECT_EQ(CountLines("does not exist"), 0);
  vm.DoFile("scripts/none.lua", false);
  EXPECT_EQ(CountLines("DoFile Script 'scripts/none.lua' does not exist"), 1);
  vm.DumpDoFileArray(true);
  EXPECT_EQ(CountLines("scripts/boot.lua"), 1);
}

TEST_F(ScriptClassTest, LoadAndRunLuaScriptSetsSelf) {
  WriteClass("test.Plain", "");
  EScriptObject* o = vm.CreateScriptObject("test.Plain", "runner", nullptr, nullptr, false, false, true, false);
  WriteFile("scripts/act.lua", "self.acted = 1");
  EXPECT_TRUE(vm.LoadAndRunLuaScript("act", o));
  EXPECT_EQ(Num("gLSO.runner.acted"), 1.0f);
  EXPECT_FALSE(vm.LoadAndRunLuaScript("nothing", o));
  EXPECT_EQ(CountLines("Could not find script 'workresource\\scripts\\nothing.lua'"), 1);
}

// A pack written by the mklpf tool: the precompiled classes behave as their
// sources do.
TEST_F(ScriptClassTest, ToolWrittenPackMatchesTheSources) {
#ifndef QUILLOMAR_MKLPF
  GTEST_SKIP() << "the mklpf tool is not built";
#else
  const char* kRoot =
      "function Root()\n"
      "  local o = CreateObject(nil)\n"
      "  o.setState = function(self, s) APISetState(self, s) end\n"
      "  o.inherited = 5\n"
      "  return o\n"
      "end\n";
  const char* kTicker =
      "function Ticker()\n"
      "  local o = CreateObject('tool.Root')\n"
      "  o.initialState = function(self)\n"
      "    self.ticks = (self.ticks or 0) + 1\n"
      "    Yield()\n"
      "    self.ticks = self.ticks + 1\n"
      "  end\n"
      "  return o\n"
      "end\n";
  WriteFile("src/tool/Root.lua", kRoot);
  WriteFile("src/tool/Ticker.lua", kTicker);
  std::string cmd = std::string(QUILLOMAR_MKLPF) + " '" + m_Dir + "/src' '" + m_Dir + "/tool.lpf' > /dev/null";
  ASSERT_EQ(system(cmd.c_str()), 0);

  auto Observe = [&](const char* name) {
    EScriptObject* o = vm.CreateScriptObject("tool.Ticker", name, nullptr, nullptr, false, false, true, false);
    EXPECT_NE(o, nullptr);
    Frames(3);
    return Num(std::string("gLSO.") + name + ".ticks * 100 + gLSO." + name + ".inherited");
  };
  // The pack first: no source of these classes can be found yet.
  EFile* pFile = gFile->Open((m_Dir + "/tool.lpf").c_str(), FILE_READ, kFILELOC_AsGiven);
  ASSERT_NE(pFile, nullptr);
  {
    EFileReader reader(pFile, kAUTOCLOSE_Yes);
    EXPECT_TRUE(vm.ReadPackFile(reader));
  }
  EXPECT_EQ(vm.GetNumBaseClasses(), 2);
  float fromPack = Observe("packed");

  vm.Shutdown();
  vm.Initialise();
  L = vm.GetGlobalState();
  WriteFile("scripts/tool/Root.lua", kRoot);
  WriteFile("scripts/tool/Ticker.lua", kTicker);
  float fromSource = Observe("src");
  EXPECT_EQ(fromSource, fromPack);
  EXPECT_EQ(fromPack, 305.0f);
  EXPECT_EQ(CountLines("Error"), 0) << AllLines();
#endif
}
