// Reads the input as an ".asd" action table and, when it loads, asks for
// every transition's list and walks it to its end item.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "TWUtil/EFile.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/ActionTable.h"

namespace {
void AsdFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&AsdFuzzQuiet);
  std::vector<uint8_t> bytes(data, data + size);
  EMemFile file;
  file.Open(bytes.data(), (unsigned)bytes.size(), false, false);
  EActionTable table;
  if (!table.ReadActionTable(file)) return 0;
  volatile int sum = 0;
  const int n = table.GetNumStates() < 64 ? table.GetNumStates() : 64;
  for (int from = -1; from <= n; ++from) {
    for (int to = -1; to <= n; ++to) {
      for (EActionListItem* p = table.GetEntry(from, to); p; ++p) {
        sum = sum + p->m_iKind;
        if (p->m_iKind == kACTION_End) break;
      }
    }
    sum = sum + (table.GetStateName(from) ? 1 : 0) + (table.GetBeginStateEntry(from) ? 1 : 0);
  }
  return 0;
}
