// One drawn fragment of a mesh: this mesh's own use of a shared model
// fragment. Drawing and the fragment pool build on this.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"

class EMesh;
class EModelFrag;
class EStream;

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
  // Makes this fragment an instance of the model fragment.
  EMeshFrag& operator=(EModelFrag& modelFrag);
  // Reads a model-fragment record into a fragment from the pool, owned by
  // the mesh's model; a failed read gives the fragment back.
  bool Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType);

  EModelFrag* m_pModelFrag;
  EMesh* m_pMesh;
  uint32_t m_dwFlags;
};
