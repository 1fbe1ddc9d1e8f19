// Small storage templates that name records by handle or index.
//
// EHandleAllocator keeps records in one growable block and threads its free
// list through a tag word kept beside each record. A live record's tag is
// serial * 2, a free slot's tag is (next free index) * 2 + 1.
//
// EVirtualAllocator hands out fixed-size objects from a memory stack of its
// own; ESimpleAllocator keeps records in an array and names them by index,
// threading its free list through an int link word beside each record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "TWUtil/Array.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"

// Untyped record block that frees its memory but never destroys records.
class EHandleAllocatorArray : public EArrayBase {
public:
  explicit EHandleAllocatorArray(EMemType eType) : EArrayBase(eType, false) {}
  void* Data() const { return m_pData; }
};

// Layout of one slot: the record, then the allocator's word W.
template <class T, class W>
struct EAllocatorSlotLayout {
  static constexpr size_t Round(size_t n, size_t a) { return (n + a - 1) / a * a; }
  static constexpr size_t kWordOffset = Round(sizeof(T), alignof(W));
  static constexpr size_t kAlign = alignof(T) > alignof(W) ? alignof(T) : alignof(W);
  static constexpr unsigned kSize = (unsigned)Round(kWordOffset + sizeof(W), kAlign);
};

namespace HandleAllocatorDetail {
// Handle layout of each flavour, chosen by the widths of tag and handle.
template <class TagT, class HandleT> struct Flavour;

// 16-bit tags, 32-bit handles: the handle carries the serial.
template <> struct Flavour<uint16_t, uint32_t> {
  static const uint16_t kNoFree = 0x7FFF;
  static const uint16_t kFirstSerial = 0x4000;
  static const bool kHasSerial = true;
  static const unsigned kMaxSlots = 0x7FFF;
  static uint32_t Make(unsigned index, uint16_t serial) { return ((uint32_t)(serial & 0x7FFF) << 16) | (index & 0x7FFF); }
  static unsigned Index(uint32_t h) { return h & 0x7FFF; }
  static uint16_t Serial(uint32_t h) { return (uint16_t)((h >> 16) & 0x7FFF); }
};
// 16-bit tags, 16-bit handles: the handle is the index.
template <> struct Flavour<uint16_t, uint16_t> {
  static const uint16_t kNoFree = 0x7FFF;
  static const uint16_t kFirstSerial = 0;
  static const bool kHasSerial = false;
  static const unsigned kMaxSlots = 0x7FFF;
  static uint16_t Make(unsigned index, uint16_t) { return (uint16_t)(index & 0x7FFF); }
  static unsigned Index(uint16_t h) { return h & 0x7FFF; }
  static uint16_t Serial(uint16_t) { return 0; }
};
// 32-bit tags, 32-bit handles: the handle is the index, no slot limit.
template <> struct Flavour<uint32_t, uint32_t> {
  static const uint32_t kNoFree = 0x7FFFFFFF;
  static const uint16_t kFirstSerial = 0;
  static const bool kHasSerial = false;
  static const unsigned kMaxSlots = 0x7FFFFFFF;
  static uint32_t Make(unsigned index, uint16_t) { return index & 0x7FFFFFFF; }
  static unsigned Index(uint32_t h) { return h & 0x7FFFFFFF; }
  static uint16_t Serial(uint32_t) { return 0; }
};
}  // namespace HandleAllocatorDetail

// The third argument K is a tuning constant with no effect on behaviour.
template <class T, class TagT = uint16_t, class HandleT = uint32_t, unsigned K = 0>
class EHandleAllocator {
  typedef HandleAllocatorDetail::Flavour<TagT, HandleT> F;
  typedef EAllocatorSlotLayout<T, TagT> L;

public:
  typedef HandleT Handle;
  static constexpr HandleT kInvalidHandle = (HandleT)~(HandleT)0;

  explicit EHandleAllocator(EMemType eType = kMEMTYPE_Misc)
      : m_Records(eType), m_Live(0), m_FreeHead(F::kNoFree), m_Serial(F::kFirstSerial) {}
  // Frees the block; records still live are not destroyed.
  ~EHandleAllocator() {}

  EHandleAllocator(const EHandleAllocator&) = delete;
  EHandleAllocator& operator=(const EHandleAllocator&) = delete;

  // Takes a slot, marks it live and returns its storage for construction.
  void* Allocate(HandleT& h) {
    unsigned idx;
    if (m_FreeHead != F::kNoFree) {
      idx = m_FreeHead;
      unsigned m_Used = (unsigned)m_Records.Num();
      EASSERT(idx < m_Used);
      m_FreeHead = (TagT)(Tag(idx) >> 1);
    } else {
      if (F::kMaxSlots < 0x7FFFFFFF && (unsigned)m_Records.Num() >= F::kMaxSlots) {
        g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Exceeded hard array limit", false);
      }
      idx = (unsigned)m_Records.Add(L::kSize, 1, false);
    }
    uint16_t serial = m_Serial;
    SetTag(idx, (TagT)(serial * 2u));
    ++m_Serial;
    ++m_Live;
    h = F::Make(idx, serial);
    return Slot(idx);
  }

  HandleT New() {
    HandleT h;
    void* p = Allocate(h);
    new (p) T();
    return h;
  }

  void Delete(HandleT h) {
    EASSERT(IsValid(h));
    unsigned idx = F::Index(h);
    Slot(idx)->~T();
    SetTag(idx, (TagT)(m_FreeHead * 2u + 1u));
    m_FreeHead = (TagT)idx;
    --m_Live;
  }

  void DeleteAll() {
    for (int i = 0; i < m_Records.Num(); ++i)
      if (!(Tag((unsigned)i) & 1)) Slot((unsigned)i)->~T();
    DeallocateAll();
  }

  // Forgets every slot without destroying records; the serial continues.
  void DeallocateAll() {
    m_Records.Empty(L::kSize);
    m_FreeHead = F::kNoFree;
    m_Live = 0;
  }

  // A handle is valid while its slot is live and, where the handle carries a
  // serial, while the slot still holds the record it was made for.
  bool IsValid(HandleT h) const {
    unsigned idx = F::Index(h);
    if (idx >= (unsigned)m_Records.Num()) return false;
    TagT tag = Tag(idx);
    if (tag & 1) return false;
    return !F::kHasSerial || (TagT)(tag >> 1) == F::Serial(h);
  }

  T* Get(HandleT h) const { return Slot(F::Index(h)); }
  T& operator[](HandleT h) const { return *Slot(F::Index(h)); }

  HandleT ToHandle(const T* p) const {
    const char* base = static_cast<const char*>(m_Records.Data());
    const char* pc = reinterpret_cast<const char*>(p);
    if (!base || pc < base || pc >= base + (size_t)m_Records.Num() * L::kSize) return kInvalidHandle;
    size_t offset = (size_t)(pc - base);
    if (offset % L::kSize) return kInvalidHandle;
    unsigned idx = (unsigned)(offset / L::kSize);
    TagT tag = Tag(idx);
    if (tag & 1) return kInvalidHandle;
    return F::Make(idx, (uint16_t)(tag >> 1));
  }

  TagT Num() const { return m_Live; }
  EMemType GetMemType() const { return m_Records.GetMemType(); }
  int NumSlots() const { return m_Records.Num(); }
  bool IsSlotUsed(int idx) const { return !(Tag((unsigned)idx) & 1); }
  T* SlotAt(int idx) const { return Slot((unsigned)idx); }

private:
  char* Raw(unsigned idx) const { return static_cast<char*>(m_Records.Data()) + (size_t)idx * L::kSize; }
  T* Slot(unsigned idx) const { return reinterpret_cast<T*>(Raw(idx)); }
  TagT Tag(unsigned idx) const { return *reinterpret_cast<const TagT*>(Raw(idx) + L::kWordOffset); }
  void SetTag(unsigned idx, TagT v) { *reinterpret_cast<TagT*>(Raw(idx) + L::kWordOffset) = v; }

  EHandleAllocatorArray m_Records;
  TagT m_Live;
  TagT m_FreeHead;
  uint16_t m_Serial;
};

// new (allocator, handle) T(...) constructs a record in a new slot.
template <class T, class TagT, class HandleT, unsigned K>
inline void* operator new(size_t, EHandleAllocator<T, TagT, HandleT, K>& a, HandleT& h) {
  return a.Allocate(h);
}
template <class T, class TagT, class HandleT, unsigned K>
inline void operator delete(void*, EHandleAllocator<T, TagT, HandleT, K>&, HandleT&) {}

// Walks the live records in slot order.
template <class T, class TagT = uint16_t, class HandleT = uint32_t, unsigned K = 0>
class EHandleAllocatorIter {
public:
  typedef EHandleAllocator<T, TagT, HandleT, K> Allocator;

  explicit EHandleAllocatorIter(Allocator& a) : m_Alloc(a), m_iIndex(-1) { Advance(); }
  explicit operator bool() const { return m_iIndex < m_Alloc.NumSlots(); }
  EHandleAllocatorIter& operator++() {
    Advance();
    return *this;
  }
  void operator++(int) { Advance(); }
  T& operator*() const { return *m_Alloc.SlotAt(m_iIndex); }
  T* operator->() const { return m_Alloc.SlotAt(m_iIndex); }
  HandleT handle() const { return m_Alloc.ToHandle(m_Alloc.SlotAt(m_iIndex)); }
  void delete_cur() {
    m_Alloc.Delete(handle());
    Advance();
  }

private:
  void Advance() {
    ++m_iIndex;
    while (m_iIndex < m_Alloc.NumSlots() && !m_Alloc.IsSlotUsed(m_iIndex)) ++m_iIndex;
  }
  Allocator& m_Alloc;
  int m_iIndex;
};

// Fixed-size objects from a memory stack of their own, with a free list
// linked through each released object's first word. Memory never returns to
// the heap; an exhausted allocator gives null.
template <class T>
class EVirtualAllocator {
  static_assert(sizeof(T) >= sizeof(void*), "released objects hold a link");

public:
  explicit EVirtualAllocator(unsigned n) : m_Stack(n * (unsigned)sizeof(T)), m_pFree(nullptr) {}
  ~EVirtualAllocator() {}

  EVirtualAllocator(const EVirtualAllocator&) = delete;
  EVirtualAllocator& operator=(const EVirtualAllocator&) = delete;

  void* Allocate() {
    if (m_pFree) {
      void* p = m_pFree;
      m_pFree = *static_cast<void* volatile*>(p);
      return p;
    }
    const unsigned align = alignof(T) > 4 ? (unsigned)alignof(T) : 4u;
    unsigned long long offset = ((unsigned long long)m_Stack.GetUsedBytes() + align - 1) & ~(unsigned long long)(align - 1);
    if (offset + sizeof(T) > m_Stack.GetSize()) return nullptr;
    return m_Stack.Push((unsigned)sizeof(T), align);
  }

  void Delete(T* ptr) {
    const unsigned char* m_pBase = m_Stack.m_pBase;
    unsigned m_iUsed = m_Stack.GetUsedBytes();
    EASSERT((unsigned char*)ptr >= m_pBase && (unsigned char*)ptr < m_pBase+m_iUsed);
    ptr->~T();
    *reinterpret_cast<void* volatile*>(ptr) = m_pFree;
    m_pFree = ptr;
  }

  void DestructAll() {}

private:
  EMemStack m_Stack;
  void* m_pFree;
};

// new (allocator) T(...) gives null (and constructs nothing) when exhausted.
template <class T>
inline void* operator new(size_t, EVirtualAllocator<T>& a) noexcept {
  return a.Allocate();
}
template <class T>
inline void operator delete(void*, EVirtualAllocator<T>&) noexcept {}

// Records in an array named by plain index; freed slots are reused last in,
// first out and the array never shrinks.
template <class T>
class ESimpleAllocator {
public:
  static const int kNoFree = -2;
  static const int kLive = -1;

  explicit ESimpleAllocator(EMemType eType = kMEMTYPE_Misc) : m_Records(eType), m_iFirstFree(kNoFree) {}
  // Frees the array; records still live are not destroyed.
  ~ESimpleAllocator() {}

  ESimpleAllocator(const ESimpleAllocator&) = delete;
  ESimpleAllocator& operator=(const ESimpleAllocator&) = delete;

  void* Allocate(int* pIndex) {
    int idx;
    if (m_iFirstFree != kNoFree) {
      idx = m_iFirstFree;
      EASSERT(idx < Num());
      m_iFirstFree = Link(idx);
    } else {
      idx = m_Records.Add(L::kSize, 1, false);
    }
    SetLink(idx, kLive);
    if (pIndex) *pIndex = idx;
    return Slot(idx);
  }

  // Deleting a slot that is not live would put it on the free list twice.
  void Delete(int idx) {
    if (idx < 0) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "idx >= 0", false);
      return;
    }
    if (idx >= Num() || Link(idx) != kLive) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "idx < Num() && Link(idx) == kLive", false);
      return;
    }
    Slot(idx)->~T();
    SetLink(idx, m_iFirstFree);
    m_iFirstFree = idx;
  }

  T& operator[](int idx) const { return *Slot(idx); }
  int Num() const { return m_Records.Num(); }
  bool IsUsed(int idx) const { return Link(idx) == kLive; }

  void Reserve(unsigned n) {
    if (n > (unsigned)m_Records.Max()) m_Records.Realloc(L::kSize, n);
  }

private:
  typedef EAllocatorSlotLayout<T, int> L;
  char* Raw(int idx) const { return static_cast<char*>(m_Records.Data()) + (size_t)idx * L::kSize; }
  T* Slot(int idx) const { return reinterpret_cast<T*>(Raw(idx)); }
  int Link(int idx) const { return *reinterpret_cast<const int*>(Raw(idx) + L::kWordOffset); }
  void SetLink(int idx, int v) { *reinterpret_cast<int*>(Raw(idx) + L::kWordOffset) = v; }

  EHandleAllocatorArray m_Records;
  int m_iFirstFree;
};

template <class T>
inline void* operator new(size_t, ESimpleAllocator<T>& a, int* pIndex) {
  return a.Allocate(pIndex);
}
template <class T>
inline void operator delete(void*, ESimpleAllocator<T>&, int*) {}
