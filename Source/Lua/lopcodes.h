// The 16-bit instruction set.
#pragma once

#include "llimits.h"

// Instruction layout:
//   bits 0-5   opcode
//   bits 6-15  U (unsigned) or S = U - MAXARG_S (signed)
//   bits 6-10  B
//   bits 11-15 A
#define SIZE_INSTRUCTION 16
#define SIZE_OP 6
#define SIZE_U (SIZE_INSTRUCTION - SIZE_OP)
#define POS_U SIZE_OP
#define SIZE_B 5
#define POS_B SIZE_OP
#define SIZE_A (SIZE_INSTRUCTION - (SIZE_OP + SIZE_B))
#define POS_A (SIZE_OP + SIZE_B)

#define MAXARG_U ((1 << SIZE_U) - 1)
#define MAXARG_S (MAXARG_U >> 1)
#define MAXARG_A ((1 << SIZE_A) - 1)
#define MAXARG_B ((1 << SIZE_B) - 1)

#define MASK1(n, p) ((~((~0u) << (n))) << (p))
#define MASK0(n, p) (~MASK1(n, p))

#define CREATE_0(o) ((Instruction)(o))
#define GET_OPCODE(i) ((OpCode)((i) & MASK1(SIZE_OP, 0)))
#define SET_OPCODE(i, o) ((i) = (Instruction)(((i) & MASK0(SIZE_OP, 0)) | (unsigned)(o)))

#define CREATE_U(o, u) ((Instruction)((unsigned)(o) | ((unsigned)(u) << POS_U)))
#define GETARG_U(i) ((int)((unsigned)(i) >> POS_U))
#define SETARG_U(i, u) ((i) = (Instruction)(((i) & MASK0(SIZE_U, POS_U)) | ((unsigned)(u) << POS_U)))

#define CREATE_S(o, s) CREATE_U((o), (s) + MAXARG_S)
#define GETARG_S(i) (GETARG_U(i) - MAXARG_S)
#define SETARG_S(i, s) SETARG_U((i), (s) + MAXARG_S)

#define CREATE_AB(o, a, b) \
  ((Instruction)((unsigned)(o) | ((unsigned)(a) << POS_A) | ((unsigned)(b) << POS_B)))
#define GETARG_A(i) ((int)((unsigned)(i) >> POS_A))
#define SETARG_A(i, a) ((i) = (Instruction)(((i) & MASK0(SIZE_A, POS_A)) | ((unsigned)(a) << POS_A)))
#define GETARG_B(i) ((int)(((unsigned)(i) >> POS_B) & MASK1(SIZE_B, 0)))
#define SETARG_B(i, b) ((i) = (Instruction)(((i) & MASK0(SIZE_B, POS_B)) | ((unsigned)(b) << POS_B)))

typedef enum {
  OP_END,         // return with no results
  OP_RETURN,      // U: return slots U..top
  OP_CALL,        // A B: call slot A, keep B results (MULT_RET: all)
  OP_TAILCALL,    // A B: call slot A, then return slots B..top
  OP_PUSHNIL,     // U: push U nils
  OP_POP,         // U: pop U values
  OP_PUSHINT,     // S
  OP_PUSHSTRING,  // U: string constant
  OP_PUSHNUM,     // U: number constant
  OP_PUSHNEGNUM,  // U: minus number constant
  OP_PUSHUPVALUE, // U
  OP_GETLOCAL,    // U
  OP_GETGLOBAL,   // U: string constant
  OP_GETTABLE,
  OP_GETDOTTED,   // U: string constant
  OP_GETINDEXED,  // U: slot
  OP_PUSHSELF,    // U: string constant
  OP_CREATETABLE, // U
  OP_SETLOCAL,    // U
  OP_SETGLOBAL,   // U: string constant
  OP_SETTABLE,    // A B
  OP_SETLIST,     // A B
  OP_SETMAP,      // U
  OP_ADD,
  OP_ADDI,        // S
  OP_SUB,
  OP_MULT,
  OP_DIV,
  OP_POW,
  OP_CONCAT,      // U
  OP_MINUS,
  OP_NOT,
  OP_JMPNE,       // S
  OP_JMPEQ,
  OP_JMPLT,
  OP_JMPLE,
  OP_JMPGT,
  OP_JMPGE,
  OP_JMPT,
  OP_JMPF,
  OP_JMPONT,
  OP_JMPONF,
  OP_JMP,
  OP_PUSHNILJMP,
  OP_FORPREP,
  OP_FORLOOP,
  OP_LFORPREP,
  OP_LFORLOOP,
  OP_CLOSURE,     // A B: prototype A, B upvalues
  OP_EXTARGU,     // U: extension operand
  OP_EXTARGS,     // S: extension operand
  OP_CALLEXT,     // A B: call the slot named by the extension operand
  OP_CLOSUREEXT   // U: closure of the prototype named by the extension operand
} OpCode;

#define NUM_OPCODES ((int)OP_CLOSUREEXT + 1)

// Extension operand when none was given.
#define EXTARG_NONE 0x7FFFFFFF

#define ISJUMP(o) (OP_JMPNE <= (o) && (o) <= OP_JMP)

// Marks the end of a jump list and an unpatched jump (stored as U = 510).
#define NO_JUMP (-1)

// A call that keeps all its results.
#define MULT_RET 31

enum Mode { iO, iU, iS, iAB };

// Net stack effect that depends on the operands.
#define VD 100

struct OpProperties {
  char mode;
  unsigned char push;
  unsigned char pop;
};

// Mode, values pushed and values popped of each opcode (lopcodes.cpp).
extern const struct OpProperties luaK_opproperties[NUM_OPCODES];
extern const char* const luaP_opnames[NUM_OPCODES];
