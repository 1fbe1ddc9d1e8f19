// Writes a RIFF file from a text description:  mkriff <description> <output>
//
// One item a line; '#' starts a comment.
//   RIFF <type>  /  LIST <type>     opens a list with that form type
//   end                             closes the innermost list
//   chunk <id> [size=N] <fields>    a plain chunk
// Fields: a type word, then values of that type until the next type word:
//   u8 u16 i32 u32 f32 fourcc      numbers (decimal or 0x hex), "v*n" repeats v n times
//   text "..."                      UTF-16, zero-terminated
//   text:N "..."                    UTF-16 padded with zeros to N units
//   file <path>                     the bytes of a file (relative to the description)
// In quotes, \" \\ and \uXXXX escape. Every size and odd-size pad byte is
// filled in; size=N stores N as the chunk's size instead (for damaged files).

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TWUtil/ByteOrder.h"

namespace {

struct RiffError {
  std::string text;
};

void Fail(int line, const std::string& text) { throw RiffError{"line " + std::to_string(line) + ": " + text}; }

std::vector<std::string> Tokens(const std::string& text, int line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    std::string tok;
    if (c == '"') {
      tok = "\"";
      ++i;
      bool closed = false;
      while (i < text.size()) {
        char d = text[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < text.size()) {
          tok += d;
          d = text[i++];
        }
        tok += d;
      }
      if (!closed) Fail(line, "unterminated text");
    } else {
      while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '#') tok += text[i++];
    }
    out.push_back(tok);
  }
  return out;
}

uint32_t FourCC(const std::string& s, int line) {
  if (s.size() > 4) Fail(line, "four-character code too long: " + s);
  std::string c = s;
  while (c.size() < 4) c += ' ';
  return GetLE32(reinterpret_cast<const uint8_t*>(c.data()));
}

// Units of a quoted token (which keeps its leading quote).
std::vector<uint16_t> Utf16(const std::string& tok, int line) {
  if (tok.empty() || tok[0] != '"') Fail(line, "text expected in quotes");
  std::vector<uint16_t> units;
  for (size_t i = 1; i < tok.size(); ++i) {
    unsigned char c = (unsigned char)tok[i];
    if (c == '\\' && i + 1 < tok.size()) {
      char e = tok[++i];
      if (e == 'u') {
        std::string hex = i + 4 < tok.size() ? tok.substr(i + 1, 4) : std::string();
        char* end = nullptr;
        unsigned long u = strtoul(hex.c_str(), &end, 16);
        if (hex.size() != 4 || *end) Fail(line, "bad \\u escape");
        units.push_back((uint16_t)u);
        i += 4;
      } else {
        units.push_back((uint16_t)(unsigned char)e);
      }
    } else {
      units.push_back(c);
    }
  }
  return units;
}

void Append(std::vector<uint8_t>& out, const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  out.insert(out.end(), b, b + n);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  Append(out, b, 4);
}

void Field(std::vector<uint8_t>& out, const std::string& type, const std::string& tok, int line) {
  std::string value = tok;
  long repeat = 1;
  size_t star = tok.rfind('*');
  if (star != std::string::npos) {
    value = tok.substr(0, star);
    char* end = nullptr;
    repeat = strtol(tok.c_str() + star + 1, &end, 0);
    if (*end || repeat < 0) Fail(line, "bad repeat count: " + tok);
  }
  uint8_t b[4];
  size_t width = 0;
  if (type == "fourcc") {
    PutLE32(b, FourCC(value, line));
    width = 4;
  } else if (type == "f32") {
    char* end = nullptr;
    float f = strtof(value.c_str(), &end);
    if (value.empty() || *end) Fail(line, "bad number: " + value);
    PutLEFloat(b, f);
    width = 4;
  } else {
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(value.c_str(), &end, 0);
    if (value.empty() || *end || errno) Fail(line, "bad number: " + value);
    if (type == "u8") {
      if (v < 0 || v > 0xFF) Fail(line, "u8 out of range: " + value);
      b[0] = (uint8_t)v;
      width = 1;
    } else if (type == "u16") {
      if (v < 0 || v > 0xFFFF) Fail(line, "u16 out of range: " + value);
      PutLE16(b, (uint16_t)v);
      width = 2;
    } else if (type == "u32") {
      if (v < 0 || v > 0xFFFFFFFFLL) Fail(line, "u32 out of range: " + value);
      PutLE32(b, (uint32_t)v);
      width = 4;
    } else if (type == "i32") {
      if (v < INT32_MIN || v > INT32_MAX) Fail(line, "i32 out of range: " + value);
      PutLE32(b, (uint32_t)(int32_t)v);
      width = 4;
    } else {
      Fail(line, "no field type before " + tok);
    }
  }
  for (long i = 0; i < repeat; ++i) Append(out, b, width);
}

std::vector<uint8_t> ChunkData(const std::vector<std::string>& toks, size_t from, const std::string& dir, int line) {
  std::vector<uint8_t> out;
  std::string type;
  for (size_t i = from; i < toks.size(); ++i) {
    const std::string& t = toks[i];
    if (t == "u8" || t == "u16" || t == "i32" || t == "u32" || t == "f32" || t == "fourcc") {
      type = t;
    } else if (t == "text" || t.compare(0, 5, "text:") == 0) {
      if (i + 1 >= toks.size()) Fail(line, "text expected");
      std::vector<uint16_t> units = Utf16(toks[++i], line);
      if (t == "text") {
        units.push_back(0);
      } else {
        char* end = nullptr;
        long n = strtol(t.c_str() + 5, &end, 0);
        if (*end || n < 0 || (size_t)n < units.size()) Fail(line, "bad unit count in " + t);
        units.resize((size_t)n, 0);
      }
      for (uint16_t u : units) {
        uint8_t b[2];
        PutLE16(b, u);
        Append(out, b, 2);
      }
      type.clear();
    } else if (t == "file") {
      if (i + 1 >= toks.size()) Fail(line, "file name expected");
      std::string name = toks[++i];
      if (!name.empty() && name[0] == '"') name = name.substr(1);
      if (name.empty() || name[0] != '/') name = dir + name;
      std::ifstream in(name, std::ios::binary);
      if (!in) Fail(line, "cannot read " + name);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      Append(out, bytes.data(), bytes.size());
      type.clear();
    } else {
      Field(out, type, t, line);
    }
  }
  return out;
}

std::vector<uint8_t> Build(std::istream& in, const std::string& dir) {
  std::vector<uint8_t> out;
  std::vector<size_t> open;  // offsets of the open lists' size fields
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    std::vector<std::string> toks = Tokens(text, line);
    if (toks.empty()) continue;
    const std::string& kw = toks[0];
    if (kw == "RIFF" || kw == "LIST") {
      if (toks.size() != 2) Fail(line, kw + " needs one form type");
      Put32(out, FourCC(kw, line));
      open.push_back(out.size());
      Put32(out, 0);
      Put32(out, FourCC(toks[1], line));
    } else if (kw == "end") {
      if (open.empty()) Fail(line, "end without a list");
      size_t at = open.back();
      open.pop_back();
      size_t size = out.size() - at - 4;
      PutLE32(&out[at], (uint32_t)size);
      if (size & 1) out.push_back(0);
    } else if (kw == "chunk") {
      if (toks.size() < 2) Fail(line, "chunk needs an id");
      size_t from = 2;
      bool forced = false;
      uint32_t forcedSize = 0;
      if (toks.size() > 2 && toks[2].compare(0, 5, "size=") == 0) {
        char* end = nullptr;
        forcedSize = (uint32_t)strtoul(toks[2].c_str() + 5, &end, 0);
        if (*end) Fail(line, "bad size: " + toks[2]);
        forced = true;
        from = 3;
      }
      std::vector<uint8_t> data = ChunkData(toks, from, dir, line);
      Put32(out, FourCC(toks[1], line));
      Put32(out, forced ? forcedSize : (uint32_t)data.size());
      Append(out, data.data(), data.size());
      if (data.size() & 1) out.push_back(0);
    } else {
      Fail(line, "unknown item: " + kw);
    }
  }
  if (!open.empty()) Fail(line, "list not closed at the end");
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkriff <description> <output>\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    fprintf(stderr, "mkriff: cannot read %s\n", argv[1]);
    return 1;
  }
  std::string path = argv[1];
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::vector<uint8_t> bytes;
  try {
    bytes = Build(in, dir);
  } catch (const RiffError& e) {
    fprintf(stderr, "mkriff: %s: %s\n", argv[1], e.text.c_str());
    return 1;
  }
  FILE* out = fopen(argv[2], "wb");
  if (!out || (bytes.size() && fwrite(bytes.data(), bytes.size(), 1, out) != 1) || fclose(out) != 0) {
    fprintf(stderr, "mkriff: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%zu bytes\n", bytes.size());
  return 0;
}
