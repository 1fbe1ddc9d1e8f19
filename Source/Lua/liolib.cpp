// The I/O and system library: plain files through the standard I/O
// library, time, environment, process and file-system calls, a debug
// prompt and the traceback message handler.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "lauxlib.h"
#include "lualib.h"

#define INFILE 0
#define OUTFILE 1

static const char* const filenames[] = {"_INPUT", "_OUTPUT"};

// Shared by the file functions as their one upvalue.
struct IOCtrl {
  int ref[2];     // references of the strings "_INPUT" and "_OUTPUT"
  int iotag;      // tag of open file handles
  int closedtag;  // tag of closed file handles
};

static const char kIOError[] = "generic I/O error";

// Results of an operation: a true value, or nil, a message and -1.
static int pushresult(lua_State* L, int ok) {
  if (ok) {
    lua_pushuserdata(L, NULL);
    return 1;
  }
  lua_pushnil(L);
  lua_pushstring(L, kIOError);
  lua_pushnumber(L, -1);
  return 3;
}

// Takes the control record from the top of the stack (the upvalue).
static IOCtrl* getctrl(lua_State* L) {
  IOCtrl* ctrl = (IOCtrl*)lua_touserdata(L, -1);
  lua_pop(L, 1);
  return ctrl;
}

// The file of a handle argument; null when the value is no handle.
static FILE* gethandle(lua_State* L, IOCtrl* ctrl, int f) {
  if (lua_type(L, f) != LUA_TUSERDATA) return NULL;
  int tag = lua_tag(L, f);
  if (tag == ctrl->iotag) return (FILE*)lua_touserdata(L, f);
  if (tag == ctrl->closedtag) lua_error(L, "cannot access a closed file");
  return NULL;
}

static FILE* getnonullfile(lua_State* L, IOCtrl* ctrl, int arg) {
  FILE* f = gethandle(L, ctrl, arg);
  luaL_arg_check(L, f != NULL, arg, "invalid file handle");
  return f;
}

// The current input or output file ("_INPUT" or "_OUTPUT").
static FILE* getfilebyref(lua_State* L, IOCtrl* ctrl, int inout) {
  lua_getglobals(L);
  lua_getref(L, ctrl->ref[inout]);
  lua_rawget(L, -2);
  FILE* f = gethandle(L, ctrl, -1);
  if (f == NULL) luaL_verror(L, "global variable `%.10s' is not a file handle", filenames[inout]);
  lua_pop(L, 2);
  return f;
}

static void pushfile(lua_State* L, IOCtrl* ctrl, FILE* f) {
  lua_pushusertag(L, f, ctrl->iotag);
}

static void setfilebyname(lua_State* L, IOCtrl* ctrl, FILE* f, const char* name) {
  pushfile(L, ctrl, f);
  lua_setglobal(L, name);
}

static int isstdstream(FILE* f) {
  return f == stdin || f == stdout || f == stderr;
}

// Closes a file and marks its handle closed; the standard streams stay open.
static int closefile(lua_State* L, IOCtrl* ctrl, FILE* f) {
  if (isstdstream(f)) return 1;
  pushfile(L, ctrl, f);
  lua_settag(L, ctrl->closedtag);
  lua_pop(L, 1);
  return fclose(f) == 0;
}

// Makes f the current input or output and returns its handle, or the
// failure results when f is null.
static int setreturn(lua_State* L, IOCtrl* ctrl, FILE* f, int inout) {
  if (f == NULL) return pushresult(L, 0);
  pushfile(L, ctrl, f);
  lua_setglobal(L, filenames[inout]);
  pushfile(L, ctrl, f);
  return 1;
}

static int io_open(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  FILE* f = fopen(luaL_check_string(L, 1), luaL_check_string(L, 2));
  if (f == NULL) return pushresult(L, 0);
  pushfile(L, ctrl, f);
  return 1;
}

static int io_close(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  return pushresult(L, closefile(L, ctrl, getnonullfile(L, ctrl, 1)));
}

// Opens a named file for readfrom, writeto and appendto; pipes are not
// supported.
static FILE* openbyname(const char* name, const char* mode) {
  if (name[0] == '|') return NULL;
  return fopen(name, mode);
}

static int io_fromto(lua_State* L, int inout, const char* mode) {
  IOCtrl* ctrl = getctrl(L);
  FILE* current;
  if (lua_type(L, 1) == LUA_TNONE) {
    closefile(L, ctrl, getfilebyref(L, ctrl, inout));
    current = (inout == INFILE) ? stdin : stdout;
  } else {
    current = gethandle(L, ctrl, 1);
    if (current == NULL) current = openbyname(luaL_check_string(L, 1), mode);
  }
  return setreturn(L, ctrl, current, inout);
}

static int io_readfrom(lua_State* L) {
  return io_fromto(L, INFILE, "r");
}

static int io_writeto(lua_State* L) {
  return io_fromto(L, OUTFILE, "w");
}

static int io_appendto(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  FILE* current = openbyname(luaL_check_string(L, 1), "a");
  return setreturn(L, ctrl, current, OUTFILE);
}

// Reading.

static int read_number(lua_State* L, FILE* f) {
  double d;
  if (fscanf(f, "%lf", &d) == 1) {
    lua_pushnumber(L, (lua_Number)d);
    return 1;
  }
  return 0;
}

static int read_word(lua_State* L, FILE* f) {
  int c;
  do {
    c = getc(f);
  } while (c != EOF && isspace(c));
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  size_t n = 0;
  while (c != EOF && !isspace(c)) {
    luaL_putchar(&b, c);
    n++;
    c = getc(f);
  }
  if (c != EOF) ungetc(c, f);  // the white space after the word
  luaL_pushresult(&b);
  return n > 0;
}

static int read_line(lua_State* L, FILE* f) {
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  size_t n = 0;
  int c = EOF;
  for (;;) {
    char* p = luaL_prepbuffer(&b);
    size_t i = 0;
    while (i < LUAL_BUFFERSIZE && (c = getc(f)) != EOF && c != '\n') p[i++] = (char)c;
    luaL_addsize(&b, i);
    n += i;
    if (i < LUAL_BUFFERSIZE) break;  // line end or file end
  }
  luaL_pushresult(&b);
  return c == '\n' || n > 0;
}

static void read_file(lua_State* L, FILE* f) {
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  size_t n;
  do {
    char* p = luaL_prepbuffer(&b);
    n = fread(p, 1, LUAL_BUFFERSIZE, f);
    luaL_addsize(&b, n);
  } while (n == LUAL_BUFFERSIZE);
  luaL_pushresult(&b);
}

// Reads up to n bytes; fails when nothing was read unless n is 0. A
// negative count reads nothing.
static int read_chars(lua_State* L, FILE* f, int n) {
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  size_t total = 0;
  size_t left = n > 0 ? (size_t)n : 0;
  while (left > 0) {
    size_t want = left < LUAL_BUFFERSIZE ? left : LUAL_BUFFERSIZE;
    char* p = luaL_prepbuffer(&b);
    size_t got = fread(p, 1, want, f);
    luaL_addsize(&b, got);
    total += got;
    left -= got;
    if (got < want) break;
  }
  luaL_pushresult(&b);
  return total > 0 || n == 0;
}

static int io_read(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  int lastarg = lua_gettop(L);
  int firstarg = 1;
  FILE* f = gethandle(L, ctrl, firstarg);
  if (f)
    firstarg++;
  else
    f = getfilebyref(L, ctrl, INFILE);
  if (firstarg > lastarg) {  // no formats: read a line
    lua_pushstring(L, "*l");
    lastarg = firstarg;
  }
  luaL_checkstack(L, lastarg - firstarg + 1, "too many arguments");
  int n;
  for (n = firstarg; n <= lastarg; n++) {
    int success;
    if (lua_isnumber(L, n)) {
      success = read_chars(L, f, luaL_check_int(L, n));
    } else {
      const char* p = luaL_check_string(L, n);
      if (p[0] != '*') lua_error(L, "read patterns are deprecated");
      switch (p[1]) {
        case 'n':
          success = read_number(L, f);
          break;
        case 'l':
          success = read_line(L, f);
          break;
        case 'a':
          read_file(L, f);
          success = 1;
          break;
        case 'w':
          success = read_word(L, f);
          break;
        default:
          luaL_argerror(L, n, "invalid format");
      }
    }
    if (!success) {
      // a failed number pushed nothing; the others pushed a partial result
      if (lua_gettop(L) > lastarg + (n - firstarg)) lua_pop(L, 1);
      break;
    }
  }
  return n - firstarg;
}

// Writing.

static int io_write(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  int lastarg = lua_gettop(L);
  int arg = 1;
  FILE* f = gethandle(L, ctrl, arg);
  if (f)
    arg++;
  else
    f = getfilebyref(L, ctrl, OUTFILE);
  int status = 1;
  for (; arg <= lastarg; arg++) {
    if (lua_type(L, arg) == LUA_TNUMBER) {
      status = status && fprintf(f, "%.16g", (double)lua_tonumber(L, arg)) > 0;
    } else {
      size_t l;
      const char* s = luaL_check_lstr(L, arg, &l);
      status = status && fwrite(s, 1, l, f) == l;
    }
  }
  return pushresult(L, status);
}

static int io_seek(lua_State* L) {
  static const int mode[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  static const char* const modenames[] = {"set", "cur", "end", NULL};
  IOCtrl* ctrl = getctrl(L);
  FILE* f = getnonullfile(L, ctrl, 1);
  int op = luaL_findstring(luaL_opt_string(L, 2, "cur"), modenames);
  long offset = luaL_opt_long(L, 3, 0);
  luaL_arg_check(L, op != -1, 2, "invalid mode");
  if (fseek(f, offset, mode[op]) != 0) return pushresult(L, 0);
  lua_pushnumber(L, (lua_Number)ftell(f));
  return 1;
}

static int io_flush(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  FILE* f = gethandle(L, ctrl, 1);
  luaL_arg_check(L, f != NULL || lua_type(L, 1) == LUA_TNONE, 1, "invalid file handle");
  return pushresult(L, fflush(f) == 0);
}

// System functions.

static int io_execute(lua_State* L) {
  lua_pushnumber(L, (lua_Number)system(luaL_check_string(L, 1)));
  return 1;
}

static int io_remove(lua_State* L) {
  return pushresult(L, remove(luaL_check_string(L, 1)) == 0);
}

static int io_rename(lua_State* L) {
  return pushresult(L, rename(luaL_check_string(L, 1), luaL_check_string(L, 2)) == 0);
}

static int io_tmpname(lua_State* L) {
  char name[] = "/tmp/lua_XXXXXX";
  int fd = mkstemp(name);
  if (fd == -1) {
    lua_pushstring(L, "???");
    return 1;
  }
  close(fd);
  lua_pushstring(L, name);
  return 1;
}

static int io_getenv(lua_State* L) {
  lua_pushstring(L, getenv(luaL_check_string(L, 1)));  // null pushes nil
  return 1;
}

static int io_clock(lua_State* L) {
  lua_pushnumber(L, (lua_Number)((double)clock() / 1000000.0));
  return 1;
}

static int io_date(lua_State* L) {
  const char* s = luaL_opt_string(L, 1, "%c");
  time_t t = time(NULL);
  struct tm* stm = localtime(&t);
  char b[256];
  size_t n = stm ? strftime(b, sizeof(b), s, stm) : 0;
  if (n == 0) lua_error(L, "invalid `date' format");
  lua_pushlstring(L, b, n);
  return 1;
}

static int setloc(lua_State* L) {
  static const char* const catnames[] = {"all", "collate", "ctype", "monetary", "numeric", "time",
                                         NULL};
  const char* locale = luaL_opt_string(L, 1, NULL);
  int op = luaL_findstring(luaL_opt_string(L, 2, "all"), catnames);
  luaL_arg_check(L, op != -1, 2, "invalid option");
  // the process locale is never changed; only "C" is reported as set
  lua_pushstring(L, (locale && strcmp(locale, "C") == 0) ? "C" : NULL);
  return 1;
}

static int io_exit(lua_State* L) {
  exit(luaL_opt_int(L, 1, EXIT_SUCCESS));
}

// Interactive prompt on the standard streams.
static int io_debug(lua_State* L) {
  for (;;) {
    char buffer[250];
    fprintf(stderr, "lua_debug> ");
    if (fgets(buffer, sizeof(buffer), stdin) == NULL || strcmp(buffer, "cont\n") == 0) return 0;
    lua_dostring(L, buffer);
    lua_settop(L, 0);
  }
}

// The traceback message handler.

#define LEVELS1 11  // levels shown from the top
#define LEVELS2 10  // levels shown from the bottom of a deep stack
#define CUTLEVEL 23 // a stack this deep is cut

static void addlevel(lua_State* L, luaL_Buffer* b, int level, lua_Debug* ar) {
  char buff[120];
  snprintf(buff, sizeof(buff), "%4d:  ", level);
  luaL_addstring(b, buff);
  lua_getinfo(L, "Snl", ar);
  const char* namewhat = ar->namewhat ? ar->namewhat : "";
  int named = 1;
  switch (*namewhat) {
    case 'g':  // global
    case 'l':  // local
      snprintf(buff, sizeof(buff), "function `%.50s'", ar->name ? ar->name : "?");
      break;
    case 'f':  // field
      snprintf(buff, sizeof(buff), "method `%.50s'", ar->name ? ar->name : "?");
      break;
    case 't':  // tag method
      snprintf(buff, sizeof(buff), "`%.50s' tag method", ar->name ? ar->name : "?");
      break;
    default:
      named = 0;
      if (*ar->what == 'm')
        snprintf(buff, sizeof(buff), "main of %.70s", ar->short_src);
      else if (*ar->what == 'C')
        snprintf(buff, sizeof(buff), "%.70s", ar->short_src);
      else
        snprintf(buff, sizeof(buff), "function <%d:%.70s>", ar->linedefined, ar->short_src);
      break;
  }
  luaL_addstring(b, buff);
  if (ar->currentline > 0) {
    snprintf(buff, sizeof(buff), " at line %d", ar->currentline);
    luaL_addstring(b, buff);
  }
  if (named) {
    snprintf(buff, sizeof(buff), " [%.70s]", ar->short_src);
    luaL_addstring(b, buff);
  }
  luaL_addstring(b, "\n");
}

static int errorfb(lua_State* L) {
  lua_Debug ar;
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  luaL_addstring(&b, "error: ");
  luaL_addstring(&b, luaL_check_string(L, 1));
  luaL_addstring(&b, "\n");
  int deepest = 0;
  while (lua_getstack(L, deepest + 1, &ar)) deepest++;
  for (int level = 1; level <= deepest; level++) {
    if (level == 1) luaL_addstring(&b, "stack traceback:\n");
    if (level == LEVELS1 + 1 && deepest >= CUTLEVEL) {
      luaL_addstring(&b, "       ...\n");
      level = deepest - LEVELS2 + 1;
    }
    lua_getstack(L, level, &ar);
    addlevel(L, &b, level, &ar);
  }
  luaL_pushresult(&b);
  lua_getglobal(L, LUA_ALERT);
  if (lua_isfunction(L, -1)) {
    lua_insert(L, -2);
    lua_rawcall(L, 1, 0);
  }
  return 0;
}

static int file_collect(lua_State* L) {
  IOCtrl* ctrl = getctrl(L);
  FILE* f = (FILE*)lua_touserdata(L, 1);
  if (f != NULL && lua_tag(L, 1) == ctrl->iotag && !isstdstream(f)) fclose(f);
  return 0;
}

static const struct luaL_reg iolib[] = {
  {LUA_ERRORMESSAGE, errorfb},
  {"clock", io_clock},
  {"date", io_date},
  {"debug", io_debug},
  {"execute", io_execute},
  {"exit", io_exit},
  {"getenv", io_getenv},
  {"remove", io_remove},
  {"rename", io_rename},
  {"setlocale", setloc},
  {"tmpname", io_tmpname},
};

static const struct luaL_reg iolibtag[] = {
  {"appendto", io_appendto},
  {"closefile", io_close},
  {"flush", io_flush},
  {"openfile", io_open},
  {"read", io_read},
  {"readfrom", io_readfrom},
  {"seek", io_seek},
  {"write", io_write},
  {"writeto", io_writeto},
};

void lua_iolibopen(lua_State* L) {
  luaL_openl(L, iolib);
  IOCtrl* ctrl = (IOCtrl*)lua_newuserdata(L, sizeof(IOCtrl));
  ctrl->iotag = lua_newtag(L);
  ctrl->closedtag = lua_newtag(L);
  for (const luaL_reg& r : iolibtag) {
    lua_pushvalue(L, -1);
    lua_pushcclosure(L, r.func, 1);
    lua_setglobal(L, r.name);
  }
  lua_pushstring(L, filenames[INFILE]);
  ctrl->ref[INFILE] = lua_ref(L, 1);
  lua_pushstring(L, filenames[OUTFILE]);
  ctrl->ref[OUTFILE] = lua_ref(L, 1);
  setfilebyname(L, ctrl, stdin, filenames[INFILE]);
  setfilebyname(L, ctrl, stdout, filenames[OUTFILE]);
  setfilebyname(L, ctrl, stdin, "_STDIN");
  setfilebyname(L, ctrl, stdout, "_STDOUT");
  setfilebyname(L, ctrl, stderr, "_STDERR");
  lua_pushcclosure(L, file_collect, 1);  // takes the control record
  lua_settagmethod(L, ctrl->iotag, "gc");
}
