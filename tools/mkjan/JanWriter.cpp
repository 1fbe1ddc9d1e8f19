#include "JanWriter.h"

#include <sstream>

#include "TWMath/Quaternion.h"
#include "TWUtil/ByteOrder.h"

namespace {

int JanValueCount(int kind) { return (kind == 1 || kind == 3) ? 4 : 3; }

int JanKind(const std::string& word) {
  if (word == "pos") return 0;
  if (word == "rot") return 1;
  if (word == "scale") return 2;
  if (word == "rotcomp") return 3;
  return -1;
}

void JanPut16(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[2];
  PutLE16(b, (uint16_t)v);
  out.insert(out.end(), b, b + 2);
}
void JanPut32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}
void JanPutFloat(std::vector<uint8_t>& out, float f) {
  uint8_t b[4];
  PutLEFloat(b, f);
  out.insert(out.end(), b, b + 4);
}

void JanPutValue(std::vector<uint8_t>& out, int kind, const JanKey& k) {
  if (kind == 3) {
    ECompQuat q;
    q.Set(EQuat(k.v[0], k.v[1], k.v[2], k.v[3]));
    JanPut32(out, q.GetWord32());
    JanPut16(out, q.GetWord16());
    return;
  }
  for (int i = 0; i < JanValueCount(kind); ++i) JanPutFloat(out, k.v[i]);
}

bool JanPutJoint(const JanAnim& anim, size_t& i, std::vector<uint8_t>& out, std::string& error) {
  const JanJoint& j = anim.joints[i];
  JanPut32(out, (uint32_t)j.name.size() + 1);
  out.insert(out.end(), j.name.begin(), j.name.end());
  out.push_back(0);
  JanPut16(out, (uint32_t)j.channels.size());
  for (const JanChannel& c : j.channels) {
    JanPut16(out, (uint32_t)c.kind);
    if (c.constant) {
      if (anim.version != 200) {
        error = "constant channels exist only in version 200";
        return false;
      }
      JanPut16(out, 0);
      JanPutValue(out, c.kind, c.keys.at(0));
      continue;
    }
    if (c.keys.empty() || c.keys.size() > 0xffff) {
      error = "a channel needs 1 to 65535 keys";
      return false;
    }
    JanPut16(out, (uint32_t)c.keys.size());
    for (const JanKey& k : c.keys) {
      if (anim.version == 200) JanPut32(out, k.time);
      else JanPut16(out, k.time);
      JanPutValue(out, c.kind, k);
    }
  }
  std::vector<size_t> children;
  for (size_t n = i + 1; n < anim.joints.size() && anim.joints[n].depth > j.depth; ++n) {
    if (anim.joints[n].depth == j.depth + 1) children.push_back(n);
  }
  JanPut16(out, (uint32_t)children.size());
  size_t next = i + 1;
  for (size_t c = 0; c < children.size(); ++c) {
    if (next != children[c]) {
      error = "joint depths skip a level";
      return false;
    }
    if (!JanPutJoint(anim, next, out, error)) return false;
  }
  i = next;
  return true;
}

}  // namespace

bool ParseJanText(const std::string& text, JanAnim& anim, std::string& error) {
  anim = JanAnim();
  std::istringstream lines(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(lines, line)) {
    ++lineNo;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    for (char& c : line) {
      if (c == ':' || c == ',') c = ' ';
    }
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) continue;
    bool ok = true;
    if (word == "version") ok = static_cast<bool>(in >> anim.version) && (anim.version == 200 || anim.version == 201);
    else if (word == "mode") ok = static_cast<bool>(in >> anim.mode);
    else if (word == "flags") ok = static_cast<bool>(in >> anim.flags);
    else if (word == "length") ok = static_cast<bool>(in >> anim.length);
    else if (word == "joint") {
      JanJoint j;
      ok = static_cast<bool>(in >> j.name >> j.depth);
      anim.joints.push_back(j);
    } else {
      JanChannel c;
      if (word == "const") {
        c.constant = true;
        in >> word;
      }
      c.kind = JanKind(word);
      ok = c.kind >= 0 && !anim.joints.empty();
      if (ok && c.constant) {
        JanKey k;
        for (int v = 0; v < JanValueCount(c.kind) && ok; ++v) ok = static_cast<bool>(in >> k.v[v]);
        c.keys.push_back(k);
      } else if (ok) {
        long t = 0;
        while (ok && in >> t) {
          JanKey k;
          k.time = (uint32_t)t;
          for (int v = 0; v < JanValueCount(c.kind) && ok; ++v) ok = static_cast<bool>(in >> k.v[v]);
          c.keys.push_back(k);
        }
        ok = ok && !c.keys.empty();
      }
      if (ok) anim.joints.back().channels.push_back(c);
    }
    if (!ok) {
      error = "line " + std::to_string(lineNo) + ": cannot read '" + line + "'";
      return false;
    }
  }
  if (anim.joints.empty()) {
    error = "no joints";
    return false;
  }
  return true;
}

bool WriteJan(const JanAnim& anim, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (anim.joints.empty() || anim.joints.size() > 255 || anim.joints[0].depth != 0) {
    error = "1 to 255 joints, the first at depth 0";
    return false;
  }
  uint32_t counts[3] = {0, 0, 0}, nulls[3] = {0, 0, 0};
  for (const JanJoint& j : anim.joints) {
    for (const JanChannel& c : j.channels) {
      ++counts[c.kind == 0 ? 0 : c.kind == 2 ? 2 : 1];
      if (c.constant && c.kind < 3) ++nulls[c.kind];
    }
  }
  if (counts[0] > 255 || counts[1] > 255 || counts[2] > 255) {
    error = "more than 255 channels of a kind";
    return false;
  }
  JanPut32(out, 0x504A4158);
  JanPut32(out, (uint32_t)anim.version);
  if (anim.version == 201) {
    JanPut16(out, (uint32_t)anim.mode);
    JanPut16(out, (uint32_t)anim.length);
    out.push_back((uint8_t)anim.flags);
    out.push_back((uint8_t)anim.joints.size());
    for (uint32_t c : counts) out.push_back((uint8_t)c);
    out.push_back(0);
  } else {
    out.insert(out.end(), 28, 0);
    JanPut32(out, (uint32_t)anim.joints.size());
    for (uint32_t c : counts) JanPut32(out, c);
    out.insert(out.end(), 12, 0);
    for (uint32_t n : nulls) JanPut32(out, n);
    JanPut32(out, (uint32_t)(anim.mode | anim.flags));
  }
  size_t i = 0;
  if (!JanPutJoint(anim, i, out, error)) return false;
  if (i != anim.joints.size()) {
    error = "joints after the root's tree";
    return false;
  }
  return true;
}
