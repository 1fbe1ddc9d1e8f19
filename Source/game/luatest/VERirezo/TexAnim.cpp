#include "VERirezo/TexAnim.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

ETexAnimInfo::ETexAnimInfo()
    : m_iNumFrames(1), m_fCurFrame(0.0f), m_fLoopFrame(0.0f), m_fStartTime(0.0f), m_fFrameRate(0.0f),
      m_eMode(kANIMTEXMODE_LOOP), m_bForward(1), m_aPad{0, 0, 0} {}

void ETexAnimInfo::Advance(float nowMs) {
  float t = nowMs - m_fStartTime;
  if (t < 0.0f) t = 0.0f;
  const float r = m_fFrameRate;
  if (r == 0.0f) return;
  const float n = (float)m_iNumFrames;
  const float D = n * 1000.0f / r;  // one pass over all frames, ms
  const float m = 2.0f * (n - 1.0f);
  const float E = m * 1000.0f / r;  // one full swing, ms

  // Frame and direction of a swing position s.
  auto swing = [&](float s) {
    if (s < n) {
      m_fCurFrame = s;
      m_bForward = 1;
    } else {
      m_fCurFrame = m - s;
      m_bForward = 0;
    }
  };

  switch (m_eMode) {
    case kANIMTEXMODE_LOOP:
      m_fCurFrame = floorf(n * fmodf(t, D) / D);
      m_bForward = 1;
      break;
    case kANIMTEXMODE_LOOPONCE:
      if (m_fCurFrame < n - 1.0f) {
        m_fCurFrame = floorf(n * fminf(t, D - 1.0f) / D);
        m_bForward = 1;
      } else {
        m_eMode = kANIMTEXMODE_STOP;
      }
      break;
    case kANIMTEXMODE_LOOPTAIL: {
      float L = m_fLoopFrame * 1000.0f / r;
      if (t > L) t = L + fmodf(t - L, D - L);
      m_fCurFrame = floorf(n * t / D);
      m_bForward = 1;
      break;
    }
    case kANIMTEXMODE_OSCILLATEONCE:
      if (m_fCurFrame == 1.0f && !m_bForward) break;  // the swing is over
      swing(floorf(m * fmodf(t, E) / E));
      break;
    case kANIMTEXMODE_OSCILLATE:
      swing(floorf(m * fmodf(t, E) / E));
      break;
    case kANIMTEXMODE_OSCILLATEOUTONCE:
      if (m_fCurFrame == n - 1.0f && m_bForward) {
        m_eMode = kANIMTEXMODE_STOP;
        break;
      }
      swing(floorf(m * fminf(t, E - 1.0f) / E));
      break;
    case kANIMTEXMODE_OSCILLATEBACKONCE:
      if (m_fCurFrame == 1.0f && !m_bForward) {
        m_eMode = kANIMTEXMODE_STOP;
        break;
      }
      swing(floorf(m * fminf(t, E - 1.0f) / E));
      break;
    default:  // stop, and modes that are no play mode, stand still
      break;
  }
  if (m_fCurFrame >= n) m_fCurFrame -= 1.0f;
}

void ETexAnimInfo::SetPlayMode(int mode, float startTimeMs, int frame) {
  m_eMode = mode;
  m_fStartTime = startTimeMs;
  switch (mode) {
    case kANIMTEXMODE_LOOP:
    case kANIMTEXMODE_LOOPONCE:
    case kANIMTEXMODE_OSCILLATE:
    case kANIMTEXMODE_OSCILLATEONCE:
    case kANIMTEXMODE_OSCILLATEOUTONCE:
      m_fCurFrame = 0.0f;
      m_bForward = 1;
      break;
    case kANIMTEXMODE_OSCILLATEBACKONCE:
      m_fCurFrame = (float)(m_iNumFrames - 1);
      m_bForward = 0;
      break;
    case kANIMTEXMODE_LOOPTAIL:
      m_fCurFrame = 0.0f;
      m_bForward = 1;
      if (frame >= 0 && frame < m_iNumFrames) m_fLoopFrame = (float)frame;
      else if (frame < 0) m_fLoopFrame = (float)(m_iNumFrames - 1);
      break;
    default:
      break;
  }
}

int ETexAnimInfo::GetFrameIndex() const {
  int last = m_iNumFrames - 1;
  // A frame that the arithmetic left out of range (or not a number) is
  // drawn as the nearest frame there is.
  if (last <= 0 || !(m_fCurFrame >= 1.0f)) return 0;
  if (m_fCurFrame >= (float)last) return last;
  return (int)m_fCurFrame;
}

void StreamTexAnimInfo(EStream& s, ETexAnimInfo& info) {
  int frames = info.m_iNumFrames, mode = info.m_eMode;
  s << frames << info.m_fCurFrame << info.m_fLoopFrame << info.m_fStartTime << info.m_fFrameRate << mode;
  unsigned char forward = info.m_bForward;
  s << forward;
  unsigned char pad[3] = {0, 0, 0};
  s.Stream(pad, 3);
  info.m_iNumFrames = frames;
  info.m_eMode = mode;
  info.m_bForward = forward;
}

void CopyTexAnimInfo(ETexAnimInfo& to, const ETexAnimInfo& from) {
  to.m_iNumFrames = from.m_iNumFrames;
  to.m_fCurFrame = from.m_fCurFrame;
  to.m_fLoopFrame = from.m_fLoopFrame;
  to.m_fStartTime = from.m_fStartTime;
  to.m_fFrameRate = from.m_fFrameRate;
  to.m_eMode = from.m_eMode;
  to.m_bForward = from.m_bForward;
}

int ParseAnimTexMode(const char* keyword) {
  static const char* const kKeywords[] = {"loop",          "looponce",         "looptail",          "oscillate",
                                          "oscillateonce", "oscillateoutonce", "oscillatebackonce", "stop"};
  for (int i = 0; i < 8; ++i)
    if (!strcasecmp(keyword, kKeywords[i])) return i;
  return -1;
}

bool ReadATXText(const char* text, const char* atxName, const char* textureName, ETexAnimInfo& info,
                 EATXSink& sink) {
  int frameCount = -1;  // -1 until "numframes"
  int loaded = 0;
  std::string line;
  const char* p = text;
  while (*p) {
    const char* end = strchr(p, '\n');
    size_t len = end ? (size_t)(end - p) : strlen(p);
    line.assign(p, len);
    p += len;
    if (*p) ++p;

    char key[256], value[256];
    if (sscanf(line.c_str(), "%255s %255s", key, value) != 2) continue;

    if (!strcasecmp(key, "numframes")) {
      if (frameCount >= 0) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> specifies 'numframes' twice.\n", atxName);
        return false;
      }
      int count = atoi(value);
      if (count < 1 || count > kMAX_ATX_FRAMES) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> has invalid 'numframes' <%s>.\n", atxName, value);
        return false;
      }
      frameCount = count;
      info.m_iNumFrames = count;
      sink.SetFrameCount(count);
    } else if (!strcasecmp(key, "texture")) {
      if (frameCount < 0) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> must specify 'numframes' before 'texture'.\n",
                                     atxName);
        return false;
      }
      if (loaded >= frameCount) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> has more frames than specified", atxName);
        return false;
      }
      // The frame lives beside the ".atx" file.
      std::string frame;
      if (const char* slash = strrchr(atxName, '\\')) frame.assign(atxName, (size_t)(slash - atxName) + 1);
      frame += value;
      if (frame.find('.') == std::string::npos) frame += ".dds";
      if (!sink.LoadFrame(loaded, frame.c_str())) return false;
      ++loaded;
    } else if (!strcasecmp(key, "framerate")) {
      info.m_fFrameRate = (float)atof(value);
    } else if (!strcasecmp(key, "startframe") || !strcasecmp(key, "loopframe")) {
      bool start = !strcasecmp(key, "startframe");
      if (frameCount < 0) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> must specify 'numframes' before '%s'.\n", atxName,
                                     start ? "startframe" : "loopframe");
        return false;
      }
      float f = (float)atof(value);
      if (!(f >= 0.0f && f <= (float)(frameCount - 1))) {
        if (start)
          g_ErrorManager.TraceMessagef(
              TT_Warning, "Atx file <%s> must have 'startframe' between 0 and 'numframes' - 1.\n", atxName);
        else
          g_ErrorManager.TraceMessagef(TT_Warning,
                                       "Atx file <%s> must have 'loopframe' between 0 and 'numframes'-1.\n", atxName);
        return false;
      }
      if (start) info.m_fCurFrame = f;
      else info.m_fLoopFrame = f;
    } else if (!strcasecmp(key, "playmode")) {
      int mode = ParseAnimTexMode(value);
      if (mode < 0) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> has invalid playmode <%s>\n", atxName, value);
        return false;
      }
      info.m_eMode = mode;
    }
  }
  if (loaded != frameCount) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Atx file <%s> specifies <%d> frames but names <%d> textures.\n",
                                 textureName, frameCount < 0 ? info.m_iNumFrames : frameCount, loaded);
    return false;
  }
  return true;
}
