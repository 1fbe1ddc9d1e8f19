// Hash tables from text keys to pointer-sized values: separate chaining over
// a bucket array sized from a ladder of primes, entries kept in a handle
// allocator and chained by handle. Keys are copied into the table and
// compared case-sensitively; a table never shrinks.
#pragma once

#include <cstdint>
#include <cstring>

#include "TWUtil/HandleAllocator.h"
#include "TWUtil/MemType.h"

class EHashBase {
public:
  static const int kNoEntry = -1;

  struct _TableEntry {
    _TableEntry() : m_uHash(0), m_szKey(nullptr), m_pValue(nullptr), m_iNext(kNoEntry) {}
    ~_TableEntry();
    unsigned m_uHash;     // HashKey of the key, compared before the text
    char* m_szKey;
    void* m_pValue;
    int m_iNext;
  };
  typedef EHandleAllocator<_TableEntry, uint32_t, uint32_t, 2> EntryAllocator;

  explicit EHashBase(EMemType eType = kMEMTYPE_Misc);
  ~EHashBase();

  EHashBase(const EHashBase&) = delete;
  EHashBase& operator=(const EHashBase&) = delete;

  // Inserts, or replaces the value of an existing key and returns the
  // previous value (null for a new key).
  void* Set(const char* szKey, void* pValue);
  void* Find(const char* szKey, void* pDefault) const {
    int h = Lookup(szKey);
    return h == kNoEntry ? pDefault : Entry(h).m_pValue;
  }
  // Stores the value through pValue only when the key is present.
  bool Contains(const char* szKey, void** pValue) const {
    int h = Lookup(szKey);
    if (h == kNoEntry) return false;
    if (pValue) *pValue = Entry(h).m_pValue;
    return true;
  }
  void* Remove(const char* szKey, void* pDefault);
  void RemoveAll();
  // Rebuilds the buckets; 0 picks the size from the prime ladder.
  void Rehash(unsigned uNumBuckets);

  // h = h * 31 + c over the key's bytes (unsigned, 32 bits). Four bytes are
  // folded at a time, which gives the same value with a shorter chain.
  static unsigned HashKey(const char* szKey) {
    const unsigned char* p = (const unsigned char*)szKey;
    unsigned h = 0;
    while (p[0] && p[1] && p[2] && p[3]) {
      h = h * (31u * 31u * 31u * 31u) + p[0] * (31u * 31u * 31u) + p[1] * (31u * 31u) + p[2] * 31u + p[3];
      p += 4;
    }
    for (; *p; ++p) h = h * 31u + *p;
    return h;
  }

  unsigned GetNumEntries() const { return m_Entries.Num(); }
  unsigned GetNumBuckets() const { return m_uNumBuckets; }
  EMemType GetMemType() const { return m_Entries.GetMemType(); }

  // Walking the chains (used by EHashIter).
  int GetBucketHead(unsigned b) const { return m_piBuckets[b]; }
  const _TableEntry& Entry(int h) const { return *m_Entries.Get((uint32_t)h); }
  // Unlinks entry h from bucket b's chain, deletes it and returns its value.
  void* RemoveFromBucket(unsigned b, int h);

private:
  int Lookup(const char* szKey) const {
    unsigned uHash = HashKey(szKey);
    int h = m_piBuckets[uHash % m_uNumBuckets];
    while (h != kNoEntry) {
      const _TableEntry& e = Entry(h);
      if (e.m_uHash == uHash && strcmp(e.m_szKey, szKey) == 0) return h;
      h = e.m_iNext;
    }
    return kNoEntry;
  }

  EntryAllocator m_Entries;
  int* m_piBuckets;
  unsigned m_uNumBuckets;
};

namespace HashTableDetail {
template <class T> inline void* ToValue(T v) {
  static_assert(sizeof(T) <= sizeof(void*), "hash-table values are pointer-sized");
  void* p = nullptr;
  memcpy(&p, &v, sizeof(T));
  return p;
}
template <class T> inline T FromValue(void* p) {
  T v;
  memcpy(&v, &p, sizeof(T));
  return v;
}
}  // namespace HashTableDetail

template <class T>
class EHashTable {
public:
  explicit EHashTable(EMemType eType = kMEMTYPE_Misc) : m_Base(eType) {}

  T Set(const char* szKey, T value) {
    return HashTableDetail::FromValue<T>(m_Base.Set(szKey, HashTableDetail::ToValue(value)));
  }
  T Find(const char* szKey, T def = T()) const {
    return HashTableDetail::FromValue<T>(m_Base.Find(szKey, HashTableDetail::ToValue(def)));
  }
  T Remove(const char* szKey, T def = T()) {
    return HashTableDetail::FromValue<T>(m_Base.Remove(szKey, HashTableDetail::ToValue(def)));
  }
  bool Contains(const char* szKey, T* pValue = nullptr) const {
    void* p;
    if (!m_Base.Contains(szKey, &p)) return false;
    if (pValue) *pValue = HashTableDetail::FromValue<T>(p);
    return true;
  }
  void RemoveAll() { m_Base.RemoveAll(); }
  void Rehash(unsigned n) { m_Base.Rehash(n); }
  unsigned GetNumEntries() const { return m_Base.GetNumEntries(); }
  unsigned GetNumBuckets() const { return m_Base.GetNumBuckets(); }
  EMemType GetMemType() const { return m_Base.GetMemType(); }

  EHashBase& GetBase() { return m_Base; }

private:
  EHashBase m_Base;
};

// Untyped walk over a table, bucket by bucket and within a bucket from the
// most recently chained entry.
class EHashIterBase {
public:
  enum { kNotStarted = 0, kOnEntry = 1, kFinished = 2 };

  explicit EHashIterBase(EHashBase& table) : m_Table(table), m_uBucket(0), m_hCur(EHashBase::kNoEntry), m_iState(kNotStarted) {
    Next();
  }
  explicit operator bool() const { return m_iState != kFinished; }
  void Next();
  void* Value() const { return m_Table.Entry(m_hCur).m_pValue; }
  const char* key() const { return m_Table.Entry(m_hCur).m_szKey; }
  // Removes the current entry, moves on to the following one and returns
  // the removed value.
  void* RemoveCurrent();

private:
  EHashBase& m_Table;
  unsigned m_uBucket;
  int m_hCur;
  int m_iState;
};

template <class T>
class EHashIter : public EHashIterBase {
public:
  explicit EHashIter(EHashTable<T>& table) : EHashIterBase(table.GetBase()) {}
  EHashIter& operator++() {
    Next();
    return *this;
  }
  void operator++(int) { Next(); }
  T operator*() const { return HashTableDetail::FromValue<T>(Value()); }
  T operator->() const { return HashTableDetail::FromValue<T>(Value()); }
  T remove_cur() { return HashTableDetail::FromValue<T>(RemoveCurrent()); }
};
