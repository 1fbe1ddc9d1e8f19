#include "TWUtil/DataArray.h"

#include <cstdlib>

namespace DataArrayDetail {

void OutOfMemory(const char* fmt, const char* name, const char* file, int line) {
  g_ErrorManager.ErrorReportFileLine(file, line, false);
  g_ErrorManager.ErrorMessagef(fmt, name);
  exit(-1);  // only reached when the report itself was re-entered
}

void TraceResizeRefused(int count, const char* name, int highest) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Couldn't resize array to %d; out-of-bounds elements are still in use: %s, %i",
                               count, name, highest);
}

int FirstSortGap(int n) {
  if (n <= 13) return 1;
  if (n > 29524) return 3280;
  int h = 1;
  while (h * 3 + 1 < n) h = h * 3 + 1;
  return h / 9;
}

}  // namespace DataArrayDetail
