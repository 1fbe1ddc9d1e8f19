// Lexer: turns script source into tokens for the parser.
#pragma once

#include "lobject.h"
#include "lzio.h"

#define FIRST_RESERVED 257

// Longest printable token text, with its terminating zero.
#define TOKEN_LEN 15

// Single characters are their own tokens (0 to 255); the rest follow.
enum RESERVED {
  // reserved words, in the order of their marks
  TK_AND = FIRST_RESERVED, TK_BREAK, TK_DO, TK_ELSE, TK_ELSEIF, TK_END, TK_FOR, TK_FUNCTION,
  TK_IF, TK_LOCAL, TK_NIL, TK_NOT, TK_OR, TK_REPEAT, TK_RETURN, TK_THEN, TK_UNTIL, TK_WHILE,
  // other multi-character tokens
  TK_NAME, TK_CONCAT, TK_DOTS, TK_EQ, TK_GE, TK_LE, TK_NE, TK_NUMBER, TK_STRING, TK_EOS
};

#define NUM_RESERVED ((int)(TK_WHILE - FIRST_RESERVED + 1))

typedef union {
  Number r;
  TString* ts;
} SemInfo;

typedef struct Token {
  int token;
  SemInfo seminfo;
} Token;

struct FuncState;

typedef struct LexState {
  int current;         // current character
  Token t;             // current token
  Token lookahead;     // token after it (TK_EOS when none was read)
  struct FuncState* fs;  // function being compiled
  lua_State* L;
  ZIO* z;
  int linenumber;      // line the lexer is on
  int lastline;        // line of the last token consumed
  TString* source;     // chunk name
  int nestlevel;       // nesting of blocks and expressions being parsed
} LexState;

void luaX_init(lua_State* L);
void luaX_setinput(lua_State* L, LexState* LS, ZIO* z, TString* source);
int luaX_lex(LexState* LS, SemInfo* seminfo);
void luaX_checklimit(LexState* ls, int val, int limit, const char* msg);
[[noreturn]] void luaX_syntaxerror(LexState* ls, const char* s, const char* token);
[[noreturn]] void luaX_error(LexState* ls, const char* s, int token);
void luaX_token2str(int token, char* s);
