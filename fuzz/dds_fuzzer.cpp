// Reads the input as a DDS file; what reads back must write and read again
// to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TWGraphics/DDS.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TextureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback([](const char*) {});
  EMemReader reader(data, (unsigned)size);
  ETextureImage image;
  if (!ReadDDSImage(reader, "fuzz.dds", 0, image)) return 0;
  fuzzsupport::TouchSurfaces(image);
  if (image.m_eFormat == kTEXTUREFORMAT_V8U8) return 0;  // read, never written
  fuzzsupport::VecWriter first;
  WriteDDSImage(first, image);
  EMemReader again(first.m_Bytes.data(), (unsigned)first.m_Bytes.size());
  ETextureImage back;
  if (!ReadDDSImage(again, "again.dds", 0, back)) abort();
  fuzzsupport::VecWriter second;
  WriteDDSImage(second, back);
  if (second.m_Bytes != first.m_Bytes) abort();
  return 0;
}
