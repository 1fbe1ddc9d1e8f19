// The math library, in degrees, with the "pow" method that carries "^" for
// numbers. Arguments are floats; the work is done in double precision.
#include <math.h>
#include <stdlib.h>

#include "lauxlib.h"
#include "lualib.h"

// 3.14159 as a float (bits 0x40490FD0), the value scripts know as PI.
static const float kPI = 3.14159f;
// Radians per degree, from that PI.
static const float kRadiansPerDegree = kPI / 180.0f;

static void pushdouble(lua_State* L, double d) {
  lua_pushnumber(L, (lua_Number)d);
}

static double torad(lua_Number degrees) {
  return (double)(degrees * kRadiansPerDegree);
}

static double todeg(double radians) {
  return radians / (double)kRadiansPerDegree;
}

static int math_abs(lua_State* L) {
  pushdouble(L, fabs((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_sin(lua_State* L) {
  pushdouble(L, sin(torad(luaL_check_number(L, 1))));
  return 1;
}

static int math_cos(lua_State* L) {
  pushdouble(L, cos(torad(luaL_check_number(L, 1))));
  return 1;
}

static int math_tan(lua_State* L) {
  pushdouble(L, tan(torad(luaL_check_number(L, 1))));
  return 1;
}

static int math_asin(lua_State* L) {
  pushdouble(L, todeg(asin((double)luaL_check_number(L, 1))));
  return 1;
}

static int math_acos(lua_State* L) {
  pushdouble(L, todeg(acos((double)luaL_check_number(L, 1))));
  return 1;
}

static int math_atan(lua_State* L) {
  pushdouble(L, todeg(atan((double)luaL_check_number(L, 1))));
  return 1;
}

static int math_atan2(lua_State* L) {
  double y = luaL_check_number(L, 1);
  double x = luaL_check_number(L, 2);
  pushdouble(L, todeg(atan2(y, x)));
  return 1;
}

static int math_ceil(lua_State* L) {
  pushdouble(L, ceil((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_floor(lua_State* L) {
  pushdouble(L, floor((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_mod(lua_State* L) {
  double a = luaL_check_number(L, 1);
  double b = luaL_check_number(L, 2);
  pushdouble(L, fmod(a, b));
  return 1;
}

static int math_sqrt(lua_State* L) {
  pushdouble(L, sqrt((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_pow(lua_State* L) {
  double a = luaL_check_number(L, 1);
  double b = luaL_check_number(L, 2);
  pushdouble(L, pow(a, b));
  return 1;
}

static int math_log(lua_State* L) {
  pushdouble(L, log((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_log10(lua_State* L) {
  pushdouble(L, log10((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_exp(lua_State* L) {
  pushdouble(L, exp((double)luaL_check_number(L, 1)));
  return 1;
}

static int math_deg(lua_State* L) {
  lua_pushnumber(L, luaL_check_number(L, 1) / kRadiansPerDegree);
  return 1;
}

static int math_rad(lua_State* L) {
  lua_pushnumber(L, luaL_check_number(L, 1) * kRadiansPerDegree);
  return 1;
}

static int math_frexp(lua_State* L) {
  int e;
  pushdouble(L, frexp((double)luaL_check_number(L, 1), &e));
  lua_pushnumber(L, (lua_Number)e);
  return 2;
}

static int math_ldexp(lua_State* L) {
  double m = luaL_check_number(L, 1);
  int e = luaL_check_int(L, 2);
  pushdouble(L, ldexp(m, e));
  return 1;
}

static int math_min(lua_State* L) {
  int n = lua_gettop(L);
  lua_Number dmin = luaL_check_number(L, 1);
  for (int i = 2; i <= n; i++) {
    lua_Number d = luaL_check_number(L, i);
    if (d < dmin) dmin = d;
  }
  lua_pushnumber(L, dmin);
  return 1;
}

static int math_max(lua_State* L) {
  int n = lua_gettop(L);
  lua_Number dmax = luaL_check_number(L, 1);
  for (int i = 2; i <= n; i++) {
    lua_Number d = luaL_check_number(L, i);
    if (d > dmax) dmax = d;
  }
  lua_pushnumber(L, dmax);
  return 1;
}

// The fraction of one generator step: the generator's range over the float
// nearest to its largest value. That rounding turns the largest results
// into 1, which would put random(u) at u + 1; the fraction stays below 1.
static float random_fraction() {
  float r = (float)(rand() % 2147483647) / 2147483648.0f;
  if (r >= 1.0f) r = nextafterf(1.0f, 0.0f);
  return r;
}

static int math_random(lua_State* L) {
  double r = random_fraction();
  switch (lua_gettop(L)) {
    case 0:
      lua_pushnumber(L, (lua_Number)r);
      break;
    case 1: {
      int u = luaL_check_int(L, 1);
      luaL_arg_check(L, u > 0, 1, "interval is empty");
      pushdouble(L, trunc(r * u) + 1);
      break;
    }
    case 2: {
      int l = luaL_check_int(L, 1);
      int u = luaL_check_int(L, 2);
      luaL_arg_check(L, l <= u, 2, "interval is empty");
      pushdouble(L, (double)l + trunc(r * ((double)u - l + 1)));
      break;
    }
    default:
      lua_error(L, "wrong number of arguments");
  }
  return 1;
}

static int math_randomseed(lua_State* L) {
  srand((unsigned int)luaL_check_int(L, 1));
  return 0;
}

static const struct luaL_reg mathlib[] = {
  {"abs", math_abs},
  {"sin", math_sin},
  {"cos", math_cos},
  {"tan", math_tan},
  {"asin", math_asin},
  {"acos", math_acos},
  {"atan", math_atan},
  {"atan2", math_atan2},
  {"ceil", math_ceil},
  {"floor", math_floor},
  {"mod", math_mod},
  {"frexp", math_frexp},
  {"ldexp", math_ldexp},
  {"sqrt", math_sqrt},
  {"min", math_min},
  {"max", math_max},
  {"log", math_log},
  {"log10", math_log10},
  {"exp", math_exp},
  {"deg", math_deg},
  {"rad", math_rad},
  {"random", math_random},
  {"randomseed", math_randomseed},
};

void lua_mathlibopen(lua_State* L) {
  luaL_openl(L, mathlib);
  lua_pushcfunction(L, math_pow);
  lua_settagmethod(L, LUA_TNUMBER, "pow");
  lua_pushnumber(L, kPI);
  lua_setglobal(L, "PI");
}
