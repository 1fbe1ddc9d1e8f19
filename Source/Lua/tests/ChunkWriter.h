// Test support: writes precompiled chunks and lists compiled code. The
// engine itself never writes chunks; tests, benchmarks and the fuzzer build
// exact chunks with this writer and check what the compiler emits.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "lobject.h"
#include "lopcodes.h"

namespace luachunk {

struct Local {
  std::string name;
  int startpc;
  int endpc;
};

// One function of a chunk, field by field as the chunk stores it.
struct Function {
  std::string source = "=test";
  bool hasSource = true;  // false writes the size 0 (no string)
  int lineDefined = 0;
  int numparams = 0;
  int isVararg = 0;
  int maxstacksize = 0;
  std::vector<Local> locals;
  std::vector<int> lineinfo;
  std::vector<std::string> kstr;
  std::vector<uint32_t> knum;  // raw bits of each float
  std::vector<Function> kproto;
  std::vector<Instruction> code;

  // Appends a number constant and returns its index.
  int AddNumber(float value);
  int AddString(const std::string& s);
};

// Header bytes; the defaults are this system's.
struct Header {
  bool bigEndian = false;
  int version = 0x40;
  int orderByte = -1;  // -1: 1 for little-endian, 0 for big-endian
  int sizeInt = 4, sizeSizeT = 4, sizeInstruction = 2;
  int sizeInstructionBits = 16, sizeOp = 6, sizeB = 5, sizeNumber = 4;
  uint32_t testNumberBits = 0x40490FD0;  // 3.14159f
};

std::string WriteChunk(const Function& main, const Header& header = Header());

// The description of a compiled prototype.
Function FromProto(const Proto* p);

// Instruction encoders.
inline Instruction Op(OpCode o) { return CREATE_0(o); }
inline Instruction OpU(OpCode o, int u) { return CREATE_U(o, u); }
inline Instruction OpS(OpCode o, int s) { return CREATE_S(o, s); }
inline Instruction OpAB(OpCode o, int a, int b) { return CREATE_AB(o, a, b); }

// One line per instruction: the name and its operands by mode
// ("PUSHINT 5", "CALL 0 31", "END").
std::vector<std::string> DisassembleLines(const Proto* p);
std::vector<std::string> DisassembleLines(const std::vector<Instruction>& code);
// The same joined with line breaks, constants shown after a semicolon.
std::string Disassemble(const Proto* p);

}  // namespace luachunk
