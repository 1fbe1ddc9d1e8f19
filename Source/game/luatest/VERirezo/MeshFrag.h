// One drawn fragment of a mesh: this mesh's own use of a shared model
// fragment. Drawing and the fragment pool build on this.
#pragma once

#include <cstdint>

class EMesh;
class EModelFrag;

class EMeshFrag {
public:
  EMeshFrag() : m_pModelFrag(nullptr), m_pMesh(nullptr), m_dwFlags(0) {}
  // Shares the source's model fragment; the owner mesh stays.
  EMeshFrag& operator=(const EMeshFrag& other) {
    m_pModelFrag = other.m_pModelFrag;
    m_dwFlags = other.m_dwFlags;
    return *this;
  }
  void DestroyInstance() {}

  EModelFrag* m_pModelFrag;
  EMesh* m_pMesh;
  uint32_t m_dwFlags;
};
