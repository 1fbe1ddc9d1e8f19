#include "TWGraphics/Color.h"

EVec4 ColorVectorFromRGBA(uint32_t color) {
  return EVec4((float)((color >> 16) & 0xFF) / 255.0f, (float)((color >> 8) & 0xFF) / 255.0f,
               (float)(color & 0xFF) / 255.0f, (float)(color >> 24) / 255.0f);
}
