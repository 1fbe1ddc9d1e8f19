// Reads the input as a run of texture-pack records; each record that reads
// must write and read again to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "TWGraphics/DDS.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TextureFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback([](const char*) {});
  EMemReader reader(data, (unsigned)size);
  for (int i = 0; i < 16 && reader.GetPos() < size; ++i) {
    ETextureImage image;
    if (!ReadTextureRecord(reader, image)) {
      if (!reader.Err()) abort();  // a failed record leaves the stream failed
      break;
    }
    fuzzsupport::TouchSurfaces(image);
    fuzzsupport::VecWriter first;
    WriteTextureRecord(first, image, 7);
    EMemReader again(first.m_Bytes.data(), (unsigned)first.m_Bytes.size());
    ETextureImage back;
    if (!ReadTextureRecord(again, back) || again.GetPos() != first.m_Bytes.size()) abort();
    fuzzsupport::VecWriter second;
    WriteTextureRecord(second, back, 7);
    if (second.m_Bytes != first.m_Bytes) abort();
  }
  return 0;
}
