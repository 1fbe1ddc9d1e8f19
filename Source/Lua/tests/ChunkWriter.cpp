#include "ChunkWriter.h"

#include <string.h>

namespace luachunk {

int Function::AddNumber(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof(bits));
  knum.push_back(bits);
  return (int)knum.size() - 1;
}

int Function::AddString(const std::string& s) {
  kstr.push_back(s);
  return (int)kstr.size() - 1;
}

namespace {

class Writer {
public:
  explicit Writer(bool big) : m_big(big) {}
  void Byte(int b) { m_out.push_back((char)(unsigned char)b); }
  void Word(uint32_t v) {
    if (m_big) {
      for (int s = 24; s >= 0; s -= 8) Byte((int)((v >> s) & 0xFF));
    } else {
      for (int s = 0; s <= 24; s += 8) Byte((int)((v >> s) & 0xFF));
    }
  }
  void Half(uint16_t v) {
    if (m_big) {
      Byte(v >> 8);
      Byte(v & 0xFF);
    } else {
      Byte(v & 0xFF);
      Byte(v >> 8);
    }
  }
  void String(const std::string& s) {
    Word((uint32_t)s.size() + 1);
    m_out.append(s);
    Byte(0);
  }
  void Function(const luachunk::Function& f) {
    if (f.hasSource)
      String(f.source);
    else
      Word(0);
    Word((uint32_t)f.lineDefined);
    Word((uint32_t)f.numparams);
    Byte(f.isVararg);
    Word((uint32_t)f.maxstacksize);
    Word((uint32_t)f.locals.size());
    for (const Local& l : f.locals) {
      String(l.name);
      Word((uint32_t)l.startpc);
      Word((uint32_t)l.endpc);
    }
    Word((uint32_t)f.lineinfo.size());
    for (int li : f.lineinfo) Word((uint32_t)li);
    Word((uint32_t)f.kstr.size());
    for (const std::string& s : f.kstr) String(s);
    Word((uint32_t)f.knum.size());
    for (uint32_t n : f.knum) Word(n);
    Word((uint32_t)f.kproto.size());
    for (const luachunk::Function& p : f.kproto) Function(p);
    Word((uint32_t)f.code.size());
    for (Instruction i : f.code) Half(i);
  }
  std::string m_out;

private:
  bool m_big;
};

}  // namespace

std::string WriteChunk(const Function& main, const Header& h) {
  Writer w(h.bigEndian);
  w.Byte(27);
  w.m_out.append("Lua");
  w.Byte(h.version);
  w.Byte(h.orderByte >= 0 ? h.orderByte : (h.bigEndian ? 0 : 1));
  w.Byte(h.sizeInt);
  w.Byte(h.sizeSizeT);
  w.Byte(h.sizeInstruction);
  w.Byte(h.sizeInstructionBits);
  w.Byte(h.sizeOp);
  w.Byte(h.sizeB);
  w.Byte(h.sizeNumber);
  w.Word(h.testNumberBits);
  w.Function(main);
  return w.m_out;
}

Function FromProto(const Proto* p) {
  Function f;
  f.hasSource = p->source != NULL;
  if (p->source) f.source.assign(p->source->str, p->source->len);
  f.lineDefined = p->lineDefined;
  f.numparams = p->numparams;
  f.isVararg = p->is_vararg;
  f.maxstacksize = p->maxstacksize;
  for (int i = 0; i < p->nlocvars; i++) {
    const LocVar& v = p->locvars[i];
    f.locals.push_back({v.varname ? std::string(v.varname->str, v.varname->len) : std::string(),
                        v.startpc, v.endpc});
  }
  f.lineinfo.assign(p->lineinfo, p->lineinfo + p->nlineinfo);
  for (int i = 0; i < p->nkstr; i++) f.kstr.push_back(std::string(p->kstr[i]->str, p->kstr[i]->len));
  for (int i = 0; i < p->nknum; i++) {
    uint32_t bits;
    memcpy(&bits, &p->knum[i], sizeof(bits));
    f.knum.push_back(bits);
  }
  for (int i = 0; i < p->nkproto; i++) f.kproto.push_back(FromProto(p->kproto[i]));
  f.code.assign(p->code, p->code + p->ncode);
  return f;
}

static std::string Line(Instruction i) {
  OpCode op = GET_OPCODE(i);
  if ((int)op >= NUM_OPCODES) return "OP" + std::to_string((int)op);
  std::string s = luaP_opnames[op];
  switch (luaK_opproperties[op].mode) {
    case iU: s += " " + std::to_string(GETARG_U(i)); break;
    case iS: s += " " + std::to_string(GETARG_S(i)); break;
    case iAB: s += " " + std::to_string(GETARG_A(i)) + " " + std::to_string(GETARG_B(i)); break;
    default: break;
  }
  return s;
}

std::vector<std::string> DisassembleLines(const std::vector<Instruction>& code) {
  std::vector<std::string> out;
  for (Instruction i : code) out.push_back(Line(i));
  return out;
}

std::vector<std::string> DisassembleLines(const Proto* p) {
  return DisassembleLines(std::vector<Instruction>(p->code, p->code + p->ncode));
}

std::string Disassemble(const Proto* p) {
  std::string out;
  for (int pc = 0; pc < p->ncode; pc++) {
    Instruction i = p->code[pc];
    OpCode op = GET_OPCODE(i);
    out += std::to_string(pc) + "\t" + Line(i);
    switch (op) {
      case OP_PUSHSTRING:
      case OP_GETGLOBAL:
      case OP_SETGLOBAL:
      case OP_GETDOTTED:
      case OP_PUSHSELF:
        if (GETARG_U(i) < p->nkstr) out += "\t; \"" + std::string(p->kstr[GETARG_U(i)]->str) + "\"";
        break;
      case OP_PUSHNUM:
      case OP_PUSHNEGNUM:
        if (GETARG_U(i) < p->nknum) out += "\t; " + std::to_string(p->knum[GETARG_U(i)]);
        break;
      default:
        break;
    }
    out += "\n";
  }
  return out;
}

}  // namespace luachunk
