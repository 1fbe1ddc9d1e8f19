// Value helpers shared by the interpreter.
#include "lobject.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lmem.h"
#include "lstate.h"

const TObject luaO_nilobject = {LUA_TNIL, {NULL}};
const Node luaO_nilnode = {{NULL}, {NULL}, LUA_TNIL, LUA_TNIL, 0};

const char* const luaO_typenames[] = {
  "userdata", "nil", "number", "string", "table", "function", "function"
};

lu_mem luaO_power2(lu_mem n) {
  lu_mem p = MINPOWER2;
  while (p <= n && p < 0x80000000u) p <<= 1;
  return p;
}

int luaO_float2int(Number n) {
  if (n >= -2147483648.0f && n < 2147483648.0f) return (int)n;
  return INT_MIN;
}

int luaO_equalnumber(uint32_t a, uint32_t b) {
  if (a == b) return 1;
  // A zero pattern equals only itself: ids with bits set never equal the
  // number 0, and -0 is kept apart from +0 in both directions.
  if (a == 0 || b == 0) return 0;
  Number fa, fb;
  memcpy(&fa, &a, sizeof(fa));
  memcpy(&fb, &b, sizeof(fb));
  return fa == fb;
}

int luaO_equalTypedValue(const TObject* key, int tag, const Value* value) {
  if (ttype(key) != tag) return 0;
  switch (tag) {
    case LUA_TNIL: return 1;
    case LUA_TNUMBER: return luaO_equalnumber(key->value.id, value->id);
    default: return key->value.p == value->p;
  }
}

int luaO_equalObj(const TObject* t1, const TObject* t2) {
  return luaO_equalTypedValue(t1, ttype(t2), &t2->value);
}

char* luaO_openspace(lua_State* L, size_t n) {
  if (n > L->Mbuffsize) {
    L->Mbuffer = (char*)luaM_realloc_sized(L, L->Mbuffer, n, L->Mbuffsize);
    L->nblocks += (lu_mem)(n - L->Mbuffsize);
    L->Mbuffsize = n;
  }
  return L->Mbuffer;
}

int luaO_str2d(const char* s, Number* result) {
  char* endptr;
  double res = strtod(s, &endptr);
  if (endptr == s) return 0;
  while (isspace((unsigned char)*endptr)) endptr++;
  if (*endptr != '\0') return 0;
  *result = (Number)res;
  return 1;
}

void luaO_verror(lua_State* L, const char* fmt, ...) {
  char buff[MAXVERROR];
  va_list argp;
  va_start(argp, fmt);
  vsnprintf(buff, sizeof(buff), fmt, argp);
  va_end(argp);
  lua_error(L, buff);
}

void luaO_chunkid(char* out, const char* source, int bufflen) {
  if (bufflen < 1) return;
  if (source == NULL) source = "=?";
  if (*source == '=') {
    strncpy(out, source + 1, (size_t)bufflen);
    out[bufflen - 1] = '\0';
  } else if (*source == '@') {
    source++;
    size_t l = strlen(source);
    size_t keep = (size_t)(bufflen > 13 ? bufflen - 13 : 0);
    if (l > keep)
      snprintf(out, (size_t)bufflen, "file `...%.99s'", source + (l - keep));
    else
      snprintf(out, (size_t)bufflen, "file `%.99s'", source);
  } else {
    size_t len = strcspn(source, "\n");
    size_t maxlen = (size_t)(bufflen > 17 ? bufflen - 17 : 0);
    int cut = source[len] != '\0';
    if (len > maxlen) {
      len = maxlen;
      cut = 1;
    }
    snprintf(out, (size_t)bufflen, "string \"%.*s%s\"", (int)len, source, cut ? "..." : "");
  }
}
