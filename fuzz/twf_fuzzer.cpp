// Reads the input as a ".twf" bitmap font and, when it loads, measures and
// wraps text with it; then reads the same bytes as an icon list.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "VERirezo/Font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    EFont font;
    if (font.LoadFromMemory(data, size)) {
      volatile unsigned sum = font.TextLength("Abc /x/ m\tM\r\n\xA0/");
      int ascent = 0, descent = 0;
      volatile float h = font.GetStringHeight("Mg/", ascent, descent);
      (void)h;
      for (int c = 0; c < 256; ++c) {
        float ul, vt, ur, vb;
        unsigned base, adv;
        font.SetUV((unsigned char)c, ul, vt, ur, vb, base, adv);
        sum = sum + base + adv;
      }
      EArray<EString> lines;
      font.WordWrap("a long line of text/with-breaks here", 40.0f, lines, 1.0f);
    }
  }
  {
    EFont icons;
    std::vector<char> text(data, data + size);
    icons.ParseIconList(text.data(), text.size());
    std::vector<char> z(text);
    z.push_back('\0');
    volatile bool found = icons.FindIconInString(z.data());
    (void)found;
    volatile bool slash = icons.slashIsIcon(z.data(), 0);
    (void)slash;
  }
  return 0;
}
