// 256-entry palettes of P8 textures, the elements of the "Palettes" pool.
#pragma once

#include <cstdint>

#include "TWUtil/DataArray.h"

class EPalette : public EDataElement {
public:
  EPalette() : m_dwLockCount(0), m_pColors(nullptr) {}
  ~EPalette();

  enum { kNUM_ENTRIES = 256 };

  unsigned m_dwLockCount;
  uint32_t* m_pColors;  // kNUM_ENTRIES entries, owned
};

// The NeuQuant colour quantiser (Dekker's neural network) that chooses the
// palette of a palettised texture. Its state is process-wide: one picture
// at a time, on the main thread. The picture holds three bytes per pixel;
// components are called first, second and third in its order.
void initnet(const unsigned char* picture, int lengthcount, int samplefac);
void learn();
void unbiasnet();
// Each neuron's third, second and first component: 3 x 256 bytes.
void writecolourmap(unsigned char* map);
void inxbuild();
// The neuron (its index before inxbuild sorted them) nearest to a colour.
int inxsearch(int first, int second, int third);
int contest(int first, int second, int third);
void altersingle(int alpha, int i, int first, int second, int third);
void alterneigh(int rad, int i, int first, int second, int third);
