// Reads the input as a sequence of operations, each an operation byte
// followed by the value it reads, through a file reader and a memory reader.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"
#include "TWUtil/String.h"

namespace {

// The operation byte chooses the value kind (op % 10) and, for strings in
// fixed buffers, the buffer size ((op / 10) * 5 + 1 bytes).
void ReadOps(EStream& s, size_t limit) {
  for (size_t n = 0; n < limit && !s.Err(); ++n) {
    unsigned char op = 0;
    s << op;
    if (s.Err()) break;
    char buf[128];
    int bufferSize = (op / 10) * 5 + 1;
    switch (op % 10) {
      case 0: {
        char* text = nullptr;
        s << text;
        free(text);
        break;
      }
      case 1: {
        EString text("previous");
        s << text;
        break;
      }
      case 2: {
        EArray<unsigned char> bytes;
        s << bytes;
        break;
      }
      case 3: s.StreamString_1b(buf, bufferSize); break;
      case 4: s.StreamString_2b(buf, bufferSize); break;
      case 5: s.StreamString_4b(buf, bufferSize); break;
      case 6: free(s.StreamStringPooled_4b(kMEMTYPE_String)); break;
      case 7: {
        unsigned short u;
        s << u;
        break;
      }
      case 8: {
        long l;
        float f;
        s << l << f;
        break;
      }
      default: {
        const int skipped = 0;
        s << skipped;
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The buffer is borrowed by the memory file, which is only read.
  EFile* file = EAltMemFile::Open(const_cast<uint8_t*>(data), (unsigned)size, kMEMFILE_Borrow);
  {
    EFileReader reader(file, kAUTOCLOSE_Yes);
    ReadOps(reader, 256);
  }
  EMemReader mem(data, (unsigned)size);
  ReadOps(mem, 256);
  return 0;
}
