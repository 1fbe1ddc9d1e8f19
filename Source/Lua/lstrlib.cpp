// The string library: lengths, substrings, case, repetition, character
// codes, pattern search and substitution, and formatted output.
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "lauxlib.h"
#include "lualib.h"

#define uchar(c) ((unsigned char)(c))

static int str_len(lua_State* L) {
  size_t l;
  luaL_check_lstr(L, 1, &l);
  lua_pushnumber(L, (lua_Number)l);
  return 1;
}

// A position counted from the end when negative (-1 is the last byte).
static long long posrelat(long long pos, size_t len) {
  return (pos >= 0) ? pos : (long long)len + pos + 1;
}

static int str_sub(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  long long start = posrelat(luaL_check_int(L, 2), l);
  long long end = posrelat(luaL_opt_int(L, 3, -1), l);
  if (start < 1) start = 1;
  if (end > (long long)l) end = (long long)l;
  if (start <= end)
    lua_pushlstring(L, s + start - 1, (size_t)(end - start + 1));
  else
    lua_pushlstring(L, "", 0);
  return 1;
}

static int str_lower(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  for (size_t i = 0; i < l; i++) luaL_putchar(&b, tolower(uchar(s[i])));
  luaL_pushresult(&b);
  return 1;
}

static int str_upper(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  for (size_t i = 0; i < l; i++) luaL_putchar(&b, toupper(uchar(s[i])));
  luaL_pushresult(&b);
  return 1;
}

static int str_rep(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  int n = luaL_check_int(L, 2);
  if (l == 0) n = 0;  // nothing to repeat
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  while (n-- > 0) luaL_addlstring(&b, s, l);
  luaL_pushresult(&b);
  return 1;
}

static int str_byte(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  long long pos = posrelat(luaL_opt_int(L, 2, 1), l);
  luaL_arg_check(L, 0 < pos && pos <= (long long)l, 2, "out of range");
  lua_pushnumber(L, (lua_Number)uchar(s[pos - 1]));
  return 1;
}

static int str_char(lua_State* L) {
  int n = lua_gettop(L);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  for (int i = 1; i <= n; i++) {
    int c = luaL_check_int(L, i);
    luaL_arg_check(L, uchar(c) == c, i, "invalid value");
    luaL_putchar(&b, uchar(c));
  }
  luaL_pushresult(&b);
  return 1;
}

// Pattern matching.

#define MAX_CAPTURES 32
// Nesting of the matcher's own recursion; deeper patterns are refused
// before they can exhaust the native stack of a script thread.
#define MAX_MATCH_DEPTH 200

#define CAP_UNFINISHED (-1)
#define ESC '%'
#define SPECIALS "^$*+?.([%-"

struct MatchState {
  const char* src_init;  // start of the subject
  const char* src_end;   // end of the subject
  lua_State* L;
  int level;  // captures opened so far
  int depth;  // recursion of match
  struct {
    const char* init;
    long len;  // CAP_UNFINISHED while open
  } capture[MAX_CAPTURES];
};

static const char* match(MatchState* ms, const char* s, const char* p);

static int check_capture(MatchState* ms, int l) {
  l -= '1';
  if (l < 0 || l >= ms->level || ms->capture[l].len == CAP_UNFINISHED)
    lua_error(ms->L, "invalid capture index");
  return l;
}

static int capture_to_close(MatchState* ms) {
  for (int level = ms->level - 1; level >= 0; level--) {
    if (ms->capture[level].len == CAP_UNFINISHED) return level;
  }
  lua_error(ms->L, "invalid pattern capture");
}

// End of the single-character class that starts at p.
static const char* class_end(MatchState* ms, const char* p) {
  switch (*p++) {
    case ESC:
      if (*p == '\0') lua_error(ms->L, "malformed pattern (ends with `%')");
      return p + 1;
    case '[':
      if (*p == '^') p++;
      do {  // the first character of a set may be a ']' of its own
        if (*p == '\0') lua_error(ms->L, "malformed pattern (missing `]')");
        if (*(p++) == ESC && *p != '\0') p++;
      } while (*p != ']');
      return p + 1;
    default:
      return p;
  }
}

static int match_class(int c, int cl) {
  int res;
  switch (tolower(cl)) {
    case 'a': res = isalpha(c); break;
    case 'c': res = iscntrl(c); break;
    case 'd': res = isdigit(c); break;
    case 'l': res = islower(c); break;
    case 'p': res = ispunct(c); break;
    case 's': res = isspace(c); break;
    case 'u': res = isupper(c); break;
    case 'w': res = isalnum(c); break;
    case 'x': res = isxdigit(c); break;
    case 'z': res = (c == 0); break;
    default: return (cl == c);
  }
  if (isupper(cl)) res = !res;
  return res;
}

// p points at the '[' of a set and ec at its closing ']'.
static int matchbracketclass(int c, const char* p, const char* ec) {
  int sig = 1;
  if (*(p + 1) == '^') {
    sig = 0;
    p++;
  }
  while (++p < ec) {
    if (*p == ESC) {
      p++;
      if (match_class(c, uchar(*p))) return sig;
    } else if (*(p + 1) == '-' && p + 2 < ec) {
      p += 2;
      if (uchar(*(p - 2)) <= c && c <= uchar(*p)) return sig;
    } else if (uchar(*p) == c) {
      return sig;
    }
  }
  return !sig;
}

static int single_match(int c, const char* p, const char* ep) {
  switch (*p) {
    case '.': return 1;
    case ESC: return match_class(c, uchar(*(p + 1)));
    case '[': return matchbracketclass(c, p, ep - 1);
    default: return uchar(*p) == c;
  }
}

static const char* matchbalance(MatchState* ms, const char* s, const char* p) {
  if (*p == '\0' || *(p + 1) == '\0') lua_error(ms->L, "unbalanced pattern");
  if (s >= ms->src_end || *s != *p) return NULL;
  int b = *p;
  int e = *(p + 1);
  int cont = 1;
  while (++s < ms->src_end) {
    if (*s == e) {
      if (--cont == 0) return s + 1;
    } else if (*s == b) {
      cont++;
    }
  }
  return NULL;
}

static const char* max_expand(MatchState* ms, const char* s, const char* p, const char* ep) {
  long i = 0;
  while (s + i < ms->src_end && single_match(uchar(s[i]), p, ep)) i++;
  // try the longest run first, then shorter ones
  for (; i >= 0; i--) {
    const char* res = match(ms, s + i, ep + 1);
    if (res) return res;
  }
  return NULL;
}

static const char* min_expand(MatchState* ms, const char* s, const char* p, const char* ep) {
  for (;;) {
    const char* res = match(ms, s, ep + 1);
    if (res) return res;
    if (s < ms->src_end && single_match(uchar(*s), p, ep))
      s++;
    else
      return NULL;
  }
}

static const char* start_capture(MatchState* ms, const char* s, const char* p) {
  if (ms->level >= MAX_CAPTURES) lua_error(ms->L, "too many captures");
  ms->capture[ms->level].init = s;
  ms->capture[ms->level].len = CAP_UNFINISHED;
  ms->level++;
  const char* res = match(ms, s, p);
  if (res == NULL) ms->level--;
  return res;
}

static const char* end_capture(MatchState* ms, const char* s, const char* p) {
  int l = capture_to_close(ms);
  ms->capture[l].len = (long)(s - ms->capture[l].init);
  const char* res = match(ms, s, p);
  if (res == NULL) ms->capture[l].len = CAP_UNFINISHED;
  return res;
}

static const char* match_capture(MatchState* ms, const char* s, int l) {
  l = check_capture(ms, l);
  size_t len = (size_t)ms->capture[l].len;
  if ((size_t)(ms->src_end - s) >= len && memcmp(ms->capture[l].init, s, len) == 0)
    return s + len;
  return NULL;
}

// Matches pattern p at s; the end of the match, or null. Plain items are
// matched in a loop; only items that may need to backtrack recurse.
static const char* do_match(MatchState* ms, const char* s, const char* p) {
  for (;;) {
    switch (*p) {
      case '(':
        return start_capture(ms, s, p + 1);
      case ')':
        return end_capture(ms, s, p + 1);
      case '\0':
        return s;
      case ESC:
        if (*(p + 1) == 'b') {
          s = matchbalance(ms, s, p + 2);
          if (s == NULL) return NULL;
          p += 4;
          continue;
        }
        if (isdigit(uchar(*(p + 1)))) {
          s = match_capture(ms, s, uchar(*(p + 1)));
          if (s == NULL) return NULL;
          p += 2;
          continue;
        }
        break;
      case '$':
        if (*(p + 1) == '\0') return (s == ms->src_end) ? s : NULL;
        break;
      default:
        break;
    }
    const char* ep = class_end(ms, p);
    int m = s < ms->src_end && single_match(uchar(*s), p, ep);
    switch (*ep) {
      case '?': {
        if (m) {
          const char* res = match(ms, s + 1, ep + 1);
          if (res) return res;
        }
        p = ep + 1;
        continue;
      }
      case '*':
        return max_expand(ms, s, p, ep);
      case '+':
        return m ? max_expand(ms, s + 1, p, ep) : NULL;
      case '-':
        return min_expand(ms, s, p, ep);
      default:
        if (!m) return NULL;
        s++;
        p = ep;
        continue;
    }
  }
}

static const char* match(MatchState* ms, const char* s, const char* p) {
  if (++ms->depth > MAX_MATCH_DEPTH) lua_error(ms->L, "pattern too complex");
  const char* res = do_match(ms, s, p);
  ms->depth--;
  return res;
}

static void push_onecapture(MatchState* ms, int i) {
  long l = ms->capture[i].len;
  if (l == CAP_UNFINISHED) lua_error(ms->L, "unfinished capture");
  lua_pushlstring(ms->L, ms->capture[i].init, (size_t)l);
}

static int push_captures(MatchState* ms) {
  luaL_checkstack(ms->L, ms->level, "too many captures");
  for (int i = 0; i < ms->level; i++) push_onecapture(ms, i);
  return ms->level;
}

static void init_match(MatchState* ms, lua_State* L, const char* s, size_t l) {
  ms->L = L;
  ms->src_init = s;
  ms->src_end = s + l;
  ms->level = 0;
  ms->depth = 0;
}

// First occurrence of s2 (l2 bytes) in s1 (l1 bytes), or null.
static const char* lmemfind(const char* s1, size_t l1, const char* s2, size_t l2) {
  if (l2 == 0) return s1;
  if (l2 > l1) return NULL;
  const char* last = s1 + (l1 - l2);
  for (const char* p = s1; p <= last; p++) {
    p = (const char*)memchr(p, s2[0], (size_t)(last - p) + 1);
    if (p == NULL) return NULL;
    if (memcmp(p + 1, s2 + 1, l2 - 1) == 0) return p;
  }
  return NULL;
}

static int str_find(lua_State* L) {
  size_t l1, l2;
  const char* s = luaL_check_lstr(L, 1, &l1);
  const char* p = luaL_check_lstr(L, 2, &l2);
  long long init = posrelat(luaL_opt_int(L, 3, 1), l1) - 1;
  luaL_arg_check(L, 0 <= init && init <= (long long)l1, 3, "out of range");
  if (lua_gettop(L) > 3 || strpbrk(p, SPECIALS) == NULL) {
    const char* s2 = lmemfind(s + init, l1 - (size_t)init, p, l2);
    if (s2 == NULL) {
      lua_pushnil(L);
      return 1;
    }
    lua_pushnumber(L, (lua_Number)(s2 - s + 1));
    lua_pushnumber(L, (lua_Number)(s2 - s + l2));
    return 2;
  }
  MatchState ms;
  init_match(&ms, L, s, l1);
  int anchor = (*p == '^');
  if (anchor) p++;
  const char* s1 = s + init;
  do {
    ms.level = 0;
    const char* e = match(&ms, s1, p);
    if (e) {
      lua_pushnumber(L, (lua_Number)(s1 - s + 1));
      lua_pushnumber(L, (lua_Number)(e - s));
      return push_captures(&ms) + 2;
    }
  } while (s1++ < ms.src_end && !anchor);
  lua_pushnil(L);
  return 1;
}

// Appends the replacement of the match just found by gsub.
static void add_value(MatchState* ms, luaL_Buffer* b) {
  lua_State* L = ms->L;
  if (lua_isstring(L, 3)) {
    size_t l;
    const char* news = lua_tostring(L, 3);
    l = lua_strlen(L, 3);
    for (size_t i = 0; i < l; i++) {
      if (news[i] != ESC || i + 1 == l) {
        luaL_putchar(b, news[i]);
        continue;
      }
      i++;
      if (isdigit(uchar(news[i]))) {
        int level = check_capture(ms, news[i]);
        push_onecapture(ms, level);
        luaL_addvalue(b);
      } else {
        luaL_putchar(b, news[i]);
      }
    }
  } else {
    lua_pushvalue(L, 3);
    int n = push_captures(ms);
    lua_rawcall(L, n, 1);
    if (lua_isstring(L, -1))
      luaL_addvalue(b);
    else
      lua_pop(L, 1);
  }
}

static int str_gsub(lua_State* L) {
  size_t srcl;
  const char* src = luaL_check_lstr(L, 1, &srcl);
  const char* p = luaL_check_string(L, 2);
  int max_s = luaL_opt_int(L, 4, (int)(srcl < (size_t)INT32_MAX ? srcl + 1 : INT32_MAX));
  int anchor = (*p == '^');
  if (anchor) p++;
  luaL_arg_check(L, lua_isstring(L, 3) || lua_isfunction(L, 3), 3, "string or function expected");
  lua_settop(L, 4);  // the buffer's pieces go above the arguments
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  MatchState ms;
  init_match(&ms, L, src, srcl);
  int n = 0;
  while (n < max_s) {
    ms.level = 0;
    const char* e = match(&ms, src, p);
    if (e) {
      n++;
      add_value(&ms, &b);
    }
    if (e && e > src) {
      src = e;
    } else if (src < ms.src_end) {
      luaL_putchar(&b, *src++);
    } else {
      break;
    }
    if (anchor) break;
  }
  luaL_addlstring(&b, src, (size_t)(ms.src_end - src));
  luaL_pushresult(&b);
  lua_pushnumber(L, (lua_Number)n);
  return 2;
}

// Formatted output.

// Size of the buffer one item is formatted into.
#define MAX_ITEM 512
// Flags, width and precision of one item together.
#define MAX_FORMAT_SPEC 18

static void addquoted(lua_State* L, luaL_Buffer* b, int arg) {
  size_t l;
  const char* s = luaL_check_lstr(L, arg, &l);
  luaL_putchar(b, '"');
  for (size_t i = 0; i < l; i++) {
    switch (s[i]) {
      case '"':
      case '\\':
      case '\n':
        luaL_putchar(b, '\\');
        luaL_putchar(b, s[i]);
        break;
      case '\0':
        luaL_addlstring(b, "\\000", 4);
        break;
      default:
        luaL_putchar(b, s[i]);
        break;
    }
  }
  luaL_putchar(b, '"');
}

// Reads the flags, width and precision that follow '%' (and a position)
// into form as "%<spec>"; returns the conversion letter's position.
static const char* scanformat(lua_State* L, const char* strfrmt, char* form, int* hasprecision) {
  const char* p = strfrmt;
  while (*p != '\0' && strchr("-+ #0", *p)) p++;
  if (isdigit(uchar(*p))) p++;
  if (isdigit(uchar(*p))) p++;
  *hasprecision = 0;
  if (*p == '.') {
    *hasprecision = 1;
    p++;
    if (isdigit(uchar(*p))) p++;
    if (isdigit(uchar(*p))) p++;
  }
  if (isdigit(uchar(*p)) || p - strfrmt > MAX_FORMAT_SPEC)
    lua_error(L, "invalid format (width or precision too long)");
  form[0] = '%';
  memcpy(form + 1, strfrmt, (size_t)(p - strfrmt));
  form[1 + (p - strfrmt)] = '\0';
  return p;
}

// Appends a length modifier and the conversion letter to a scanned form.
static void finishform(char* form, const char* modifier, char conversion) {
  size_t l = strlen(form);
  size_t m = strlen(modifier);
  memcpy(form + l, modifier, m);
  form[l + m] = conversion;
  form[l + m + 1] = '\0';
}

static unsigned int low32(lua_Number n) {
  // truncation to a 64-bit integer; out of range gives the integer
  // indefinite value, whose low half is 0
  if (n >= -9223372036854775808.0f && n < 9223372036854775808.0f)
    return (unsigned int)(uint64_t)(int64_t)n;
  return 0;
}

static int str_format(lua_State* L) {
  int arg = 1;
  size_t sfl;
  const char* strfrmt = luaL_check_lstr(L, 1, &sfl);
  const char* strfrmt_end = strfrmt + sfl;
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  while (strfrmt < strfrmt_end) {
    if (*strfrmt != '%') {
      luaL_putchar(&b, *strfrmt++);
      continue;
    }
    if (*(strfrmt + 1) == '%') {
      luaL_putchar(&b, '%');
      strfrmt += 2;
      continue;
    }
    strfrmt++;
    int itemarg;
    if (*strfrmt >= '1' && *strfrmt <= '9' && *(strfrmt + 1) == '$') {
      itemarg = (*strfrmt - '0') + 1;
      strfrmt += 2;
    } else {
      itemarg = ++arg;
    }
    char form[MAX_FORMAT_SPEC + 8];
    int hasprecision;
    strfrmt = scanformat(L, strfrmt, form, &hasprecision);
    char buff[MAX_ITEM];
    int written = 0;
    char conversion = *strfrmt;
    switch (conversion) {
      case 'c':
      case 'd':
      case 'i': {
        lua_Number n = luaL_check_number(L, itemarg);
        int v = (n >= -2147483648.0f && n < 2147483648.0f) ? (int)n : INT32_MIN;
        finishform(form, "", conversion);
        written = snprintf(buff, sizeof(buff), form, v);
        break;
      }
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        finishform(form, "", conversion);
        written = snprintf(buff, sizeof(buff), form, low32(luaL_check_number(L, itemarg)));
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'g':
      case 'G':
        finishform(form, "", conversion);
        written = snprintf(buff, sizeof(buff), form, (double)luaL_check_number(L, itemarg));
        break;
      case 'H':
        luaL_check_number(L, itemarg);
        written = snprintf(buff, sizeof(buff), "%x", (unsigned int)lua_toid(L, itemarg));
        break;
      case 'q':
        addquoted(L, &b, itemarg);
        break;
      case 's': {
        size_t l;
        const char* s = luaL_check_lstr(L, itemarg, &l);
        if (!hasprecision && l >= 100) {
          // too long for the item buffer: copied as it is
          lua_pushvalue(L, itemarg);
          luaL_addvalue(&b);
        } else {
          finishform(form, "", conversion);
          written = snprintf(buff, sizeof(buff), form, s);
        }
        break;
      }
      default:
        lua_error(L, "invalid option in `format'");
    }
    strfrmt++;
    if (written > 0) luaL_addlstring(&b, buff, (size_t)written < sizeof(buff) ? (size_t)written : sizeof(buff) - 1);
  }
  luaL_pushresult(&b);
  return 1;
}

static const struct luaL_reg strlib[] = {
  {"strlen", str_len},
  {"strsub", str_sub},
  {"strlower", str_lower},
  {"strupper", str_upper},
  {"strchar", str_char},
  {"strrep", str_rep},
  {"ascii", str_byte},
  {"strbyte", str_byte},
  {"format", str_format},
  {"strfind", str_find},
  {"gsub", str_gsub},
};

void lua_strlibopen(lua_State* L) {
  luaL_openl(L, strlib);
}
