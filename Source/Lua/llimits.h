// Basic types and limits of the interpreter.
#pragma once

#include <limits.h>
#include <stddef.h>
#include <stdint.h>

#include "lua.h"

typedef lua_Number Number;

// Unsigned count of memory bytes.
typedef uint32_t lu_mem;
#define MAX_LUMEM 0xFFFFFFFFu

// Largest value of an int that the interpreter's counters may reach.
#define MAX_INT (INT_MAX - 2)

// Instructions are unsigned 16-bit words.
typedef uint16_t Instruction;

// Largest stack size a compiled function may use.
#define MAXSTACK 250

// Chunk names are cut to this size in messages.
#define MAXSRC 80

// Size of the scratch buffer used to format messages.
#define MAXVERROR 280

// Minimum size of string and userdata tables after shrinking.
#define MINPOWER2 4
