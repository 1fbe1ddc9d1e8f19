#include "NonTW/IAUDEng/IAUDTranslator.h"

#include <cstring>

#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "TWUtil/ErrorManager.h"

namespace {

float TranslatorLevel(uint32_t value) { return (float)(value & 0xFF) / 255.0f; }

float TranslatorFloat(uint32_t value) {
  float f;
  memcpy(&f, &value, 4);
  return f;
}

}  // namespace

IAUDTranslator::IAUDTranslator() { memset(m_aValues, 0, sizeof(m_aValues)); }

IAUDTranslator::~IAUDTranslator() {}

int32_t IAUDTranslator::BufferIndex(void* handle) {
  uintptr_t h = reinterpret_cast<uintptr_t>(handle);
  if (h == 0 || h > (uintptr_t)kBuffers) return -1;
  return (int32_t)h - 1;
}

void* IAUDTranslator::OpenCommandBuffer() {
  for (int32_t i = 0; i < kBuffers; ++i)
    if (!(m_dwInUse & (1u << i))) return reinterpret_cast<void*>((uintptr_t)(i + 1));
  return nullptr;
}

// A full buffer drops further records: a step that produces more commands
// loses its last ones rather than the program.
void IAUDTranslator::BufferCommand(void* handle, uint32_t command, uint32_t value) {
  int32_t b = BufferIndex(handle);
  if (b < 0) return;
  if (m_anCounts[b] >= kRecords) {
    g_ErrorManager.TraceMessagef("IAUDTranslator::BufferCommand, command buffer %d full: command 0x%08X dropped\n",
                                 b + 1, command);
    return;
  }
  m_aCommands[b][m_anCounts[b]++] = SCommand{command, value};
}

void IAUDTranslator::FlushCommandBuffer(void* handle) {
  int32_t b = BufferIndex(handle);
  if (b >= 0) m_anCounts[b] = 0;
}

int32_t IAUDTranslator::GetRecordCount(void* handle) const {
  int32_t b = BufferIndex(handle);
  return b < 0 ? 0 : m_anCounts[b];
}

void IAUDTranslator::ProcessCommandBuffer(void* handle, int32_t trackCount, void* voice) {
  int32_t b = BufferIndex(handle);
  if (b < 0) return;
  // Decode: merge per track, the last value of each kind wins.
  for (int32_t i = 0; i < m_anCounts[b]; ++i) {
    const SCommand& c = m_aCommands[b][i];
    uint32_t t = (c.dwCommand >> 8) & 0xFF;
    uint32_t send = (c.dwCommand >> 24) & 0x1F;
    m_adwTrackMarks[t] |= kTouched;
    STrackValues& v = m_aValues[t];
    switch (c.dwCommand & 0xC00000FFu) {
      case kPlaySample:
        m_adwTrackMarks[t] |= kSample;
        v.dwSample = c.dwValue;
        break;
      case kStop:
        m_adwTrackMarks[t] |= kStopMark;
        break;
      case kPositionX:
      case kPositionY:
      case kPositionZ: {
        uint32_t axis = (c.dwCommand & 0xFF) - kPositionX;
        m_adwTrackMarks[t] |= 0x20u << axis;
        v.aflPosition[axis] = TranslatorFloat(c.dwValue);
        break;
      }
      case kPathX:
      case kPathY:
      case kPathZ: {
        uint32_t axis = (c.dwCommand & 0xFF) - kPathX;
        m_adwTrackMarks[t] |= 0x04u << axis;
        v.aflPath[axis] = TranslatorFloat(c.dwValue);
        break;
      }
      case kActiveSends:
        m_adwTrackMarks[t] |= kSendsMark;
        v.dwSends = c.dwValue;
        break;
      case kLevel:
        m_adwTrackMarks[t] |= kLevelMark;
        v.flLevel = TranslatorLevel(c.dwValue);
        break;
      case kSendLevel:
        m_adwTrackMarks[t] |= kSendMark;
        m_adwSendMarks[t] |= 1u << send;
        v.aflSend[send] = TranslatorLevel(c.dwValue);
        break;
      case kSendHFLevel:
        m_adwTrackMarks[t] |= kSendHFMark;
        m_adwSendHFMarks[t] |= 1u << send;
        v.aflSendHF[send] = TranslatorLevel(c.dwValue);
        break;
      case kDirectLevel:
        m_adwTrackMarks[t] |= kDirectMark;
        v.flDirect = TranslatorLevel(c.dwValue);
        break;
      case kDirectHFLevel:
        m_adwTrackMarks[t] |= kDirectHFMark;
        v.flDirectHF = TranslatorLevel(c.dwValue);
        break;
      default:
        break;
    }
  }

  IAUDVoiceController* vc = GetVoiceController();
  long stops[kTracks], starts[kTracks];
  long nStops = 0, nStarts = 0;
  int32_t count = trackCount < 0 ? 0 : (trackCount > kTracks ? kTracks : trackCount);
  for (int32_t t = 0; t < count; ++t) {
    uint32_t marks = m_adwTrackMarks[t];
    if (!(marks & kTouched)) continue;
    const STrackValues& v = m_aValues[t];
    if (marks & kStopMark) stops[nStops++] = t;
    if (marks & kSample) {
      starts[nStarts++] = t;
      if (vc) vc->AttachSample(t, v.dwSample, voice);
    }
    if (vc) {
      if (marks & (kPathMarks | kPositionMarks)) {
        IAUDTrackState state;
        memset(&state, 0, sizeof(state));
        vc->GetTrackState(t, &state, voice);
        float* position[3] = {&state.vPosition.x, &state.vPosition.y, &state.vPosition.z};
        float* path[3] = {&state.vPathOffset.x, &state.vPathOffset.y, &state.vPathOffset.z};
        for (int a = 0; a < 3; ++a) {
          if (marks & (0x20u << a)) *position[a] = v.aflPosition[a];
          if (marks & (0x04u << a)) *path[a] = v.aflPath[a];
        }
        vc->SetTrackPositionPath(t, &state.vPosition, &state.vPathOffset, voice);
      }
      if (marks & kLevelMark) vc->SetTrackLevel(t, v.flLevel, voice);
      if (marks & kDirectMark) vc->SetTrackDirectLevel(t, v.flDirect, voice);
      if (marks & kDirectHFMark) vc->SetTrackDirectHFLevel(t, v.flDirectHF, voice);
      if (marks & kSendMark)
        for (long s = 0; s < 32; ++s)
          if (m_adwSendMarks[t] & (1u << s)) vc->SetTrackSendLevel(t, s, v.aflSend[s], voice);
      if (marks & kSendHFMark)
        for (long s = 0; s < 4; ++s)
          if (m_adwSendHFMarks[t] & (1u << s)) vc->SetTrackSendHFLevel(t, s, v.aflSendHF[s], voice);
      if (marks & kSendsMark) vc->SetTrackActiveSends(t, v.dwSends, voice);
    }
    m_adwTrackMarks[t] = m_adwSendMarks[t] = m_adwSendHFMarks[t] = 0;
  }
  // Tracks beyond the count were not applied: nothing of them carries over.
  for (int32_t t = count; t < kTracks; ++t) m_adwTrackMarks[t] = m_adwSendMarks[t] = m_adwSendHFMarks[t] = 0;
  if (vc && nStops) vc->StopTracks(stops, nStops, voice);
  if (vc && nStarts) vc->PlayTracks(starts, nStarts, voice);
  m_anCounts[b] = 0;
  m_dwInUse &= ~(1u << b);
}
