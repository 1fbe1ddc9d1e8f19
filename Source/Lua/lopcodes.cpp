// Properties and names of the opcodes.
#include "lopcodes.h"

const struct OpProperties luaK_opproperties[NUM_OPCODES] = {
  {iO, 0, 0},   // OP_END
  {iU, 0, 0},   // OP_RETURN
  {iAB, 0, 0},  // OP_CALL
  {iAB, 0, 0},  // OP_TAILCALL
  {iU, VD, 0},  // OP_PUSHNIL
  {iU, VD, 0},  // OP_POP
  {iS, 1, 0},   // OP_PUSHINT
  {iU, 1, 0},   // OP_PUSHSTRING
  {iU, 1, 0},   // OP_PUSHNUM
  {iU, 1, 0},   // OP_PUSHNEGNUM
  {iU, 1, 0},   // OP_PUSHUPVALUE
  {iU, 1, 0},   // OP_GETLOCAL
  {iU, 1, 0},   // OP_GETGLOBAL
  {iO, 1, 2},   // OP_GETTABLE
  {iU, 1, 1},   // OP_GETDOTTED
  {iU, 1, 1},   // OP_GETINDEXED
  {iU, 2, 1},   // OP_PUSHSELF
  {iU, 1, 0},   // OP_CREATETABLE
  {iU, 0, 1},   // OP_SETLOCAL
  {iU, 0, 1},   // OP_SETGLOBAL
  {iAB, VD, 0}, // OP_SETTABLE
  {iAB, VD, 0}, // OP_SETLIST
  {iU, VD, 0},  // OP_SETMAP
  {iO, 1, 2},   // OP_ADD
  {iS, 1, 1},   // OP_ADDI
  {iO, 1, 2},   // OP_SUB
  {iO, 1, 2},   // OP_MULT
  {iO, 1, 2},   // OP_DIV
  {iO, 1, 2},   // OP_POW
  {iU, VD, 0},  // OP_CONCAT
  {iO, 1, 1},   // OP_MINUS
  {iO, 1, 1},   // OP_NOT
  {iS, 0, 2},   // OP_JMPNE
  {iS, 0, 2},   // OP_JMPEQ
  {iS, 0, 2},   // OP_JMPLT
  {iS, 0, 2},   // OP_JMPLE
  {iS, 0, 2},   // OP_JMPGT
  {iS, 0, 2},   // OP_JMPGE
  {iS, 0, 1},   // OP_JMPT
  {iS, 0, 1},   // OP_JMPF
  {iS, 0, 1},   // OP_JMPONT
  {iS, 0, 1},   // OP_JMPONF
  {iS, 0, 0},   // OP_JMP
  {iO, 0, 0},   // OP_PUSHNILJMP
  {iS, 0, 0},   // OP_FORPREP
  {iS, 0, 3},   // OP_FORLOOP
  {iS, 2, 0},   // OP_LFORPREP
  {iS, 0, 3},   // OP_LFORLOOP
  {iAB, VD, 0}, // OP_CLOSURE
  {iU, 0, 0},   // OP_EXTARGU
  {iS, 0, 0},   // OP_EXTARGS
  {iAB, 0, 0},  // OP_CALLEXT
  {iU, VD, 0},  // OP_CLOSUREEXT
};

const char* const luaP_opnames[NUM_OPCODES] = {
  "END", "RETURN", "CALL", "TAILCALL", "PUSHNIL", "POP", "PUSHINT", "PUSHSTRING",
  "PUSHNUM", "PUSHNEGNUM", "PUSHUPVALUE", "GETLOCAL", "GETGLOBAL", "GETTABLE",
  "GETDOTTED", "GETINDEXED", "PUSHSELF", "CREATETABLE", "SETLOCAL", "SETGLOBAL",
  "SETTABLE", "SETLIST", "SETMAP", "ADD", "ADDI", "SUB", "MULT", "DIV", "POW",
  "CONCAT", "MINUS", "NOT", "JMPNE", "JMPEQ", "JMPLT", "JMPLE", "JMPGT", "JMPGE",
  "JMPT", "JMPF", "JMPONT", "JMPONF", "JMP", "PUSHNILJMP", "FORPREP", "FORLOOP",
  "LFORPREP", "LFORLOOP", "CLOSURE", "EXTARGU", "EXTARGS", "CALLEXT", "CLOSUREEXT",
};
