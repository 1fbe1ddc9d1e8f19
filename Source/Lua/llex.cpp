// Lexer.
#include "llex.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "ldo.h"
#include "lparser.h"
#include "lstate.h"
#include "lstring.h"

// Printable texts of the tokens from FIRST_RESERVED on; names, numbers and
// strings have none (their text as read is shown instead).
static const char* const token2string[] = {
  "and", "break", "do", "else", "elseif", "end", "for", "function", "if", "local", "nil",
  "not", "or", "repeat", "return", "then", "until", "while",
  "", "..", "...", "==", ">=", "<=", "~=", "", "", "<eof>"};

void luaX_init(lua_State* L) {
  for (int i = 0; i < NUM_RESERVED; i++) {
    TString* ts = luaS_new(L, token2string[i]);
    ts->marked = (int)(RESERVEDMARK + i);  // reserved words are never collected
  }
}

void luaX_token2str(int token, char* s) {
  if (token < 256) {
    s[0] = (char)token;
    s[1] = '\0';
  } else {
    const char* text = token2string[token - FIRST_RESERVED];
    strncpy(s, text, TOKEN_LEN - 1);
    s[TOKEN_LEN - 1] = '\0';
  }
}

void luaX_syntaxerror(LexState* ls, const char* s, const char* token) {
  char buff[MAXSRC];
  luaO_chunkid(buff, ls->source->str, sizeof(buff));
  luaO_verror(ls->L, "%.99s;\n  last token read: `%.30s' at line %d in %.80s", s, token,
              ls->linenumber, buff);
  luaD_breakrun(ls->L, LUA_ERRSYNTAX);  // not reached: the error unwinds
}

void luaX_error(LexState* ls, const char* s, int token) {
  char buff[TOKEN_LEN];
  luaX_token2str(token, buff);
  if (buff[0] == '\0') {
    // a name, number or string: show the text as read
    const char* text = ls->L->Mbuffer ? ls->L->Mbuffer : "";
    luaX_syntaxerror(ls, s, text);
  }
  luaX_syntaxerror(ls, s, buff);
}

void luaX_checklimit(LexState* ls, int val, int limit, const char* msg) {
  if (val > limit) {
    char buff[100];
    snprintf(buff, sizeof(buff), "too many %.50s (limit=%d)", msg, limit);
    luaX_error(ls, buff, ls->t.token);
  }
}

// ---------------------------------------------------------------------------
// Character input and the text buffer

#define next(LS) ((LS)->current = zgetc((LS)->z))

static void inclinenumber(LexState* LS) {
  next(LS);  // skip the line break
  ++LS->linenumber;
  luaX_checklimit(LS, LS->linenumber, MAX_INT, "lines in a chunk");
}

void luaX_setinput(lua_State* L, LexState* LS, ZIO* z, TString* source) {
  LS->L = L;
  LS->lookahead.token = TK_EOS;
  LS->z = z;
  LS->fs = NULL;
  LS->linenumber = 1;
  LS->lastline = 1;
  LS->source = source;
  LS->nestlevel = 0;
  LS->t.token = TK_EOS;  // so that an early error has a token to show
  next(LS);
  if (LS->current == '#') {  // skip a first line such as "#!/usr/bin/lua"
    while (LS->current != '\n' && LS->current != EOZ) next(LS);
  }
}

// Keeps at least 10 free bytes behind the l bytes collected so far.
static void checkbuffer(lua_State* L, size_t l) {
  if (l + 10 > L->Mbuffsize) luaO_openspace(L, l + 138);
}

static void save(lua_State* L, int c, size_t& l) {
  L->Mbuffer[l++] = (char)c;
}

static void save_and_next(LexState* LS, size_t& l) {
  save(LS->L, LS->current, l);
  next(LS);
}

// Ends the collected text so that error messages can show it.
static void endtext(lua_State* L, size_t l) {
  checkbuffer(L, l);
  L->Mbuffer[l] = '\0';
}

// ---------------------------------------------------------------------------
// Tokens with a text

static int read_name(LexState* LS, SemInfo* seminfo) {
  lua_State* L = LS->L;
  size_t l = 0;
  do {
    checkbuffer(L, l);
    save_and_next(LS, l);
  } while (isalnum(LS->current) || LS->current == '_');
  endtext(L, l);
  TString* ts = luaS_newlstr(L, L->Mbuffer, l);
  if (ts->marked >= RESERVEDMARK) return ts->marked - RESERVEDMARK + FIRST_RESERVED;
  seminfo->ts = ts;
  return TK_NAME;
}

// A number; when comma is set its leading point was already consumed.
static void read_number(LexState* LS, int comma, SemInfo* seminfo) {
  lua_State* L = LS->L;
  size_t l = 0;
  checkbuffer(L, l);
  if (comma) save(L, '.', l);
  while (isdigit(LS->current)) {
    checkbuffer(L, l);
    save_and_next(LS, l);
  }
  if (LS->current == '.') {
    save_and_next(LS, l);
    if (LS->current == '.') {
      save_and_next(LS, l);
      endtext(L, l);
      luaX_error(LS, "ambiguous syntax (decimal point x string concatenation)", TK_NUMBER);
    }
  }
  while (isdigit(LS->current)) {
    checkbuffer(L, l);
    save_and_next(LS, l);
  }
  if (LS->current == 'e' || LS->current == 'E') {
    save_and_next(LS, l);
    if (LS->current == '+' || LS->current == '-') save_and_next(LS, l);
    while (isdigit(LS->current)) {
      checkbuffer(L, l);
      save_and_next(LS, l);
    }
  }
  endtext(L, l);
  if (!luaO_str2d(L->Mbuffer, &seminfo->r)) luaX_error(LS, "malformed number", TK_NUMBER);
}

// Scans "[[ ... ]]" with nested pairs. The text is kept for a long string
// (seminfo not null) and dropped for a block comment.
static void read_long(LexState* LS, SemInfo* seminfo) {
  lua_State* L = LS->L;
  int level = 0;
  size_t l = 0;
  const bool keep = seminfo != NULL;
  if (keep) {
    checkbuffer(L, l);
    save(L, '[', l);  // the first bracket was consumed by the caller
    save(L, '[', l);
  }
  next(LS);  // skip the second bracket
  for (;;) {
    if (keep) checkbuffer(L, l);
    switch (LS->current) {
      case EOZ:
        if (keep) {
          endtext(L, l);
          luaX_error(LS, "unfinished long string", TK_STRING);
        }
        luaX_error(LS, "unfinished comment", TK_EOS);
      case '[':
        if (keep) save(L, '[', l);
        next(LS);
        if (LS->current == '[') {
          level++;
          if (keep) save(L, '[', l);
          next(LS);
        }
        break;
      case ']':
        if (keep) save(L, ']', l);
        next(LS);
        if (LS->current == ']') {
          if (level == 0) {
            next(LS);  // skip the second bracket
            if (keep) {
              save(L, ']', l);
              endtext(L, l);
              seminfo->ts = luaS_newlstr(L, L->Mbuffer + 2, l - 4);
            }
            return;
          }
          level--;
          if (keep) save(L, ']', l);
          next(LS);
        }
        break;
      case '\n':
        if (keep) save(L, '\n', l);
        inclinenumber(LS);
        break;
      default:
        if (keep) save(L, LS->current, l);
        next(LS);
    }
  }
}

static void read_string(LexState* LS, int del, SemInfo* seminfo) {
  lua_State* L = LS->L;
  size_t l = 0;
  checkbuffer(L, l);
  save_and_next(LS, l);  // the opening quote
  while (LS->current != del) {
    checkbuffer(L, l);
    switch (LS->current) {
      case EOZ:
      case '\n':
        endtext(L, l);
        luaX_error(LS, "unfinished string", TK_STRING);
      case '\\':
        next(LS);  // skip the backslash
        switch (LS->current) {
          case 'a': save(L, '\a', l); next(LS); break;
          case 'b': save(L, '\b', l); next(LS); break;
          case 'f': save(L, '\f', l); next(LS); break;
          case 'n': save(L, '\n', l); next(LS); break;
          case 'r': save(L, '\r', l); next(LS); break;
          case 't': save(L, '\t', l); next(LS); break;
          case 'v': save(L, '\v', l); next(LS); break;
          case '\n':
            save(L, '\n', l);
            inclinenumber(LS);
            break;
          case EOZ:
            break;  // reported as an unfinished string by the loop
          default:
            if (isdigit(LS->current)) {
              int c = 0;
              int i = 0;
              do {
                c = 10 * c + (LS->current - '0');
                next(LS);
              } while (++i < 3 && isdigit(LS->current));
              if (c > 255) {
                endtext(L, l);
                luaX_error(LS, "escape sequence too large", TK_STRING);
              }
              save(L, c, l);
            } else {
              save_and_next(LS, l);  // any other character stands for itself
            }
        }
        break;
      default:
        save_and_next(LS, l);
    }
  }
  save_and_next(LS, l);  // the closing quote
  endtext(L, l);
  seminfo->ts = luaS_newlstr(L, L->Mbuffer + 1, l - 2);
}

int luaX_lex(LexState* LS, SemInfo* seminfo) {
  for (;;) {
    switch (LS->current) {
      case ' ':
      case '\t':
      case '\r':
        next(LS);
        continue;
      case '\n':
        inclinenumber(LS);
        continue;
      case '$':
        luaX_error(LS, "unexpected `$' (pragmas are no longer supported)", '$');
      case '-':
        next(LS);
        if (LS->current != '-') return '-';
        next(LS);
        if (LS->current == '[') {
          next(LS);
          if (LS->current == '[') {
            read_long(LS, NULL);  // block comment
            continue;
          }
        }
        while (LS->current != '\n' && LS->current != EOZ) next(LS);  // line comment
        continue;
      case '[':
        next(LS);
        if (LS->current != '[') return '[';
        read_long(LS, seminfo);
        return TK_STRING;
      case '=':
        next(LS);
        if (LS->current != '=') return '=';
        next(LS);
        return TK_EQ;
      case '<':
        next(LS);
        if (LS->current != '=') return '<';
        next(LS);
        return TK_LE;
      case '>':
        next(LS);
        if (LS->current != '=') return '>';
        next(LS);
        return TK_GE;
      case '~':
        next(LS);
        if (LS->current != '=') return '~';
        next(LS);
        return TK_NE;
      case '"':
      case '\'':
        read_string(LS, LS->current, seminfo);
        return TK_STRING;
      case '.':
        next(LS);
        if (LS->current == '.') {
          next(LS);
          if (LS->current == '.') {
            next(LS);
            return TK_DOTS;
          }
          return TK_CONCAT;
        }
        if (!isdigit(LS->current)) return '.';
        read_number(LS, 1, seminfo);
        return TK_NUMBER;
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        read_number(LS, 0, seminfo);
        return TK_NUMBER;
      case EOZ:
        return TK_EOS;
      case '_':
        return read_name(LS, seminfo);
      default:
        if (isalpha(LS->current)) return read_name(LS, seminfo);
        if (iscntrl(LS->current)) {
          char buff[8];
          snprintf(buff, sizeof(buff), "0x%02X", LS->current);
          luaX_syntaxerror(LS, "invalid control char", buff);
        }
        int c = LS->current;
        next(LS);
        return c;
    }
  }
}
