// Fixtures of the sound-entity tests: definitions ("ento" lists) and global
// variables ("secg") written as mkriff descriptions from tables of
// variables, players and actions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace entitytest {

struct Var {
  std::string name;
  std::vector<std::string> states;
  uint32_t initial;
};

struct Cond {
  uint32_t opens, scope, var, compare, value, closes, join;
};

// A result: kind, player and five words as mkriff fields.
struct Res {
  uint32_t type, player;
  std::string words;
};

struct Action {
  std::vector<Cond> conditions;
  std::vector<Res> results;
};

// Local variable i equals the state (scope 0, comparison 4).
inline Cond Is(uint32_t var, uint32_t state, uint32_t join = 0, uint32_t opens = 0, uint32_t closes = 0) {
  return Cond{opens, 0, var, 4, state, closes, join};
}
inline Cond GlobalIs(uint32_t var, uint32_t state) { return Cond{0, 1, var, 4, state, 0, 0}; }
// Sets a variable (scope 0 local, 1 global).
inline Res SetVar(uint32_t scope, uint32_t var, uint32_t state) {
  return Res{8, 0, "u32 " + std::to_string(scope) + " " + std::to_string(var) + " " + std::to_string(state) + " 0 0"};
}
inline Res Play(uint32_t player, const char* kind, int32_t index, uint32_t marker, uint32_t loops = 0) {
  return Res{0, player, std::string("fourcc ") + kind + " i32 " + std::to_string(index) + " u32 " +
                            std::to_string(marker) + " " + std::to_string(loops) + " 0"};
}
inline Res Offset(uint32_t player, float x, float y, float z) {
  return Res{3, player, "f32 " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " u32 0 0"};
}

inline std::string VarFields(const std::vector<Var>& vars) {
  std::string s = "u32 " + std::to_string(vars.size());
  for (const Var& v : vars) {
    s += " text:32 \"" + v.name + "\" u32 " + std::to_string(v.states.size());
    for (const std::string& state : v.states) s += " text:32 \"" + state + "\"";
    s += " u32 " + std::to_string(v.initial);
  }
  return s;
}

inline std::string ActionFields(const std::vector<Action>& actions) {
  std::string s = "u32 " + std::to_string(actions.size());
  for (const Action& a : actions) {
    s += " u32 " + std::to_string(a.conditions.size());
    for (const Cond& c : a.conditions)
      for (uint32_t w : {c.opens, c.scope, c.var, c.compare, c.value, c.closes, c.join}) s += " " + std::to_string(w);
    s += " u32 " + std::to_string(a.results.size());
    for (const Res& r : a.results) s += " u32 " + std::to_string(r.type) + " " + std::to_string(r.player) + " " + r.words;
  }
  return s;
}

// An "ento" list; players lists each player's controller index.
inline std::string EntityList(uint32_t index, const std::string& title, const std::vector<Var>& vars,
                              const std::vector<uint32_t>& players, int32_t master, const std::vector<Action>& actions) {
  std::string s = " LIST ento\n  chunk indx u32 " + std::to_string(index) + "\n  chunk titl text \"" + title +
                  "\"\n  chunk secl " + VarFields(vars) + "\n  chunk secp u32 " + std::to_string(players.size());
  for (uint32_t p : players) s += " " + std::to_string(p);
  s += "\n  chunk secm i32 " + std::to_string(master) + "\n  chunk seca " + ActionFields(actions) + "\n end\n";
  return s;
}

inline std::string GlobalVars(const std::vector<Var>& vars) { return "  chunk secg " + VarFields(vars) + "\n"; }

}  // namespace entitytest
