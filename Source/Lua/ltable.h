// Tables: chained scatter tables with Brent's variation.
#pragma once

#include "lobject.h"

#define node(t, i) (&(t)->node[i])

// Largest slot count of a table vector.
#define MAX_TABLE_SLOTS 32765

// Reads the value of a slot into an object.
inline void getnodeval(TObject* o, const Node* n) { o->ttype = n->val_tt; o->value = n->val; }
inline void getnodekey(TObject* o, const Node* n) { o->ttype = n->key_tt; o->value = n->key; }
// Writes an object as the value of a slot.
inline void setnodeval(Node* n, const TObject* o) { n->val_tt = (signed char)o->ttype; n->val = o->value; }

Hash* luaH_new(lua_State* L, int nhash);
void luaH_free(lua_State* L, Hash* t);
const Node* luaH_get(lua_State* L, const Hash* t, const TObject* key);
const Node* luaH_getnum(const Hash* t, Number key);
// Lookup of a number key given by its 32 bits (ids included).
const Node* luaH_getnumbits(const Hash* t, uint32_t bits);
const Node* luaH_getstr(const Hash* t, TString* key);
void luaH_remove(Hash* t, Node* n);
Node* luaH_set(lua_State* L, Hash* t, const TObject* key);
Node* luaH_next(lua_State* L, const Hash* t, const TObject* r);
Node* luaH_setint(lua_State* L, Hash* t, int key);
void luaH_setstrnum(lua_State* L, Hash* t, TString* key, Number val);
uint32_t luaH_hash(int tag, const Value* value);
int luaH_mainposition2(const Hash* t, int tag, const Value* value);
Node* luaH_mainposition(const Hash* t, const TObject* key);
const Node* luaH_getglobal(lua_State* L, const char* name);
