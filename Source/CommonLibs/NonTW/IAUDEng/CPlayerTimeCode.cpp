// The player's clocks: metric (bars, beats, clocks from a tempo and a time
// signature) and real time (hours to subframes from a frame rate), earned per
// scheduler period and counted by the content objects as they cycle.
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {

constexpr uint32_t kTimeCodeResetFlags = 0x10007C07u;
constexpr uint32_t kMetricBoundaryBits = 0x7u;
constexpr uint32_t kRealBoundaryBits = 0x7C00u;
constexpr uint32_t kDefaultTempo = 500000u;
constexpr uint32_t kDefaultSignature = 0x00040004u;
constexpr uint32_t kDefaultTimeCode = 0x00190028u;

// Rescales pending units earned at the old increment to the new one; the
// remainder joins the accumulator.
void TimeCodeRescale(uint32_t oldIncrement, uint32_t newIncrement, uint32_t* pending, uint32_t* accumulator) {
  if (oldIncrement == 0 || newIncrement == 0) return;
  uint32_t x = *pending * oldIncrement;
  x = newIncrement * x / oldIncrement;
  *pending = x / newIncrement;
  *accumulator += x % newIncrement;
}

// One period of credit; whole thresholds become pending units.
void TimeCodeAccumulate(uint32_t* accumulator, uint32_t increment, uint32_t threshold, uint32_t* pending) {
  *accumulator += increment;
  if (threshold == 0) return;
  while (*accumulator >= threshold) {
    *accumulator -= threshold;
    ++*pending;
  }
}

// Runs f with the render driver's exclusive mode held.
template <class F>
void TimeCodeExclusive(F f) {
  CPlayer::BeginExclusiveMode();
  f();
  CPlayer::EndExclusiveMode();
}

}  // namespace

bool CPlayer::SelectedTimeCode(SMetricTime** metric, SRealTime** real, SStatusFlags** flags, uint32_t** elapsed) {
  bool primary = m_nProcess == 1;
  if (!primary && m_nProcess != 2) return false;
  if (metric) *metric = primary ? &m_PrimaryMetric : &m_TransitionMetric;
  if (real) *real = primary ? &m_PrimaryReal : &m_TransitionReal;
  if (flags) *flags = primary ? &m_PrimaryFlags : &m_TransitionFlags;
  if (elapsed) *elapsed = primary ? &m_dwPrimaryElapsed : &m_dwTransitionElapsed;
  return true;
}

IAUDContentObject* CPlayer::SelectedContent() const {
  return m_nProcess == 1 ? m_pPrimary : m_nProcess == 2 ? m_pTransition : nullptr;
}

void CPlayer::ResetTimeCodeOf(int32_t selector) {
  int32_t previous = SetProcessSelector(selector);
  ResetAllTimeCode();
  SetProcessSelector(previous);
}

void CPlayer::ResetAllTimeCode() {
  SMetricTime* m;
  SRealTime* r;
  SStatusFlags* f;
  uint32_t* elapsed;
  if (!SelectedTimeCode(&m, &r, &f, &elapsed)) return;
  m->dwAccumulator = m->dwPending = m->dwBar = m->dwBeat = m->dwClock = m->dwTotalClocks = 0;
  r->dwAccumulator = r->dwPending = r->dwHours = r->dwMinutes = r->dwSeconds = 0;
  r->dwFrame = r->dwSubframe = r->dwTotalSubframes = 0;
  *elapsed = 0;
  f->dwLatched = f->dwInProcess = kTimeCodeResetFlags;
  if (IAUDContentObject* content = SelectedContent()) {
    ProcessTempo(content->GetBaseTempo());
    ProcessTimeSignature(content->GetBaseTimeSignature());
    ProcessTimeCode(content->GetBaseTimeCode());
  } else {
    ProcessTempo(kDefaultTempo);
    ProcessTimeSignature(kDefaultSignature);
    ProcessTimeCode(kDefaultTimeCode);
  }
}

void CPlayer::ResetAllTimeCodeToMarker(IAUDContentMarker* marker) {
  SMetricTime* m;
  SRealTime* r;
  if (!marker || !SelectedTimeCode(&m, &r, nullptr, nullptr)) return;
  m->dwBar = marker->dwMusicalPosition >> 16;
  m->dwBeat = (marker->dwMusicalPosition >> 8) & 0xFFu;
  m->dwClock = marker->dwMusicalPosition & 0xFFu;
  m->dwTotalClocks = marker->dwMetricPosition;
  r->dwHours = marker->dwTimeCode >> 17;
  r->dwMinutes = (marker->dwTimeCode >> 11) & 0x3Fu;
  r->dwSeconds = (marker->dwTimeCode >> 5) & 0x3Fu;
  r->dwFrame = marker->dwTimeCode & 0x1Fu;
  r->dwSubframe = marker->dwSubframe;
  r->dwTotalSubframes = marker->dwTotalSubframes;
  ProcessTimeSignature(marker->dwTimeSignature);
  ProcessTempo(marker->dwTempo);
}

IAUDContentMarker* CPlayer::EstablishPrimaryMarker(IAUDContentMarker* marker) {
  if (!m_pPrimary || !marker) return nullptr;
  const SMetricTime& m = m_PrimaryMetric;
  const SRealTime& r = m_PrimaryReal;
  marker->dwMusicalPosition = ((m.dwBar & 0xFFFFu) << 16) | ((m.dwBeat & 0xFFu) << 8) | (m.dwClock & 0xFFu);
  marker->dwMetricPosition = m.dwTotalClocks;
  marker->dwClock = m.dwClock;
  marker->dwTempo = m.dwTempo;
  marker->dwTimeSignature = m.dwTimeSignature;
  marker->dwTimeCode = (r.dwHours << 17) | ((r.dwMinutes & 0x3Fu) << 11) | ((r.dwSeconds & 0x3Fu) << 5) | (r.dwFrame & 0x1Fu);
  marker->dwTotalSubframes = r.dwTotalSubframes;
  marker->dwSubframe = r.dwSubframe;
  m_pPrimary->EstablishMarker(marker, m_pPrimaryInstance);
  return marker;
}

void CPlayer::ProcessTimeSignature(uint32_t signature) {
  SMetricTime* m;
  SStatusFlags* f;
  if (!SelectedTimeCode(&m, nullptr, &f, nullptr)) return;
  uint32_t denominator = signature & 0xFFFFu;
  // A denominator of 0 or above 384 gives no clocks per beat: the previous
  // signature stays.
  if (denominator == 0 || 384u / denominator == 0) return;
  uint32_t beats = signature >> 16;
  m->dwBeatsPerBar = (beats == 0 || beats > 64) ? 4u : beats;
  m->dwClocksPerBeat = 384u / denominator;
  m->dwThreshold = m->dwClocksPerBeat * 1000u / 96u;
  m->dwTimeSignature = signature;
  f->dwInProcess |= 0x10u;
  ProcessTempo(m->dwTempo);
}

void CPlayer::ProcessTempo(uint32_t tempo) {
  SMetricTime* m;
  SStatusFlags* f;
  // A zero tempo keeps the previous rate.
  if (!m_papiResourceManager || tempo == 0 || !SelectedTimeCode(&m, nullptr, &f, nullptr)) return;
  uint32_t period = IAUDResourceManager::GetMicrosPerPeriod();
  uint32_t old = m->dwIncrement;
  m->dwIncrement = m->dwClocksPerBeat * period * 1000u / tempo;
  TimeCodeRescale(old, m->dwIncrement, &m->dwPending, &m->dwAccumulator);
  m->dwTempo = tempo;
  f->dwInProcess |= 0x8u;
}

void CPlayer::ProcessTimeCode(uint32_t timeCode) {
  SRealTime* r;
  if (!m_papiResourceManager || !SelectedTimeCode(nullptr, &r, nullptr, nullptr)) return;
  uint32_t fps = (timeCode >> 16) & 0x7FFFu;
  // A rate of 0 or above a million frames a second keeps the previous rate.
  if (fps == 0 || fps > 1000000u) return;
  uint32_t period = IAUDResourceManager::GetMicrosPerPeriod();
  r->dwSubframesPerFrame = timeCode & 0xFFFFu;
  r->dwThreshold = 1000u;
  r->dwFramesPerSecond = fps;
  r->bDropFrame = (timeCode >> 31) ? 1 : 0;
  uint32_t old = r->dwIncrement;
  r->dwIncrement = r->dwSubframesPerFrame * period * 1000u / (1000000u / fps);
  TimeCodeRescale(old, r->dwIncrement, &r->dwPending, &r->dwAccumulator);
}

void CPlayer::AdvanceTimeCode() {
  SMetricTime* m;
  SRealTime* r;
  if (!SelectedTimeCode(&m, &r, nullptr, nullptr)) return;
  TimeCodeAccumulate(&m->dwAccumulator, m->dwIncrement, m->dwThreshold, &m->dwPending);
  TimeCodeAccumulate(&r->dwAccumulator, r->dwIncrement, r->dwThreshold, &r->dwPending);
}

void CPlayer::CountClocks(bool all, uint32_t* before) {
  SMetricTime* m;
  SStatusFlags* f;
  if (before) *before = 0;
  if (!SelectedTimeCode(&m, nullptr, &f, nullptr)) return;
  if (before) *before = m->dwPending;
  if (m->dwPending) f->dwInProcess &= ~kMetricBoundaryBits;
  while (m->dwPending) {
    --m->dwPending;
    ++m->dwTotalClocks;
    ++m->dwClock;
    f->dwInProcess |= 0x1u;
    if (m->dwClock == m->dwClocksPerBeat) {
      m->dwClock = 0;
      ++m->dwBeat;
      f->dwInProcess |= 0x2u;
      if (m->dwBeat == m->dwBeatsPerBar) {
        m->dwBeat = 0;
        ++m->dwBar;
        f->dwInProcess |= 0x4u;
      }
    }
    if (!all) break;
  }
  f->dwLatched |= f->dwInProcess & kMetricBoundaryBits;
}

void CPlayer::CountSubframes(bool all, uint32_t* before) {
  SRealTime* r;
  SStatusFlags* f;
  if (before) *before = 0;
  if (!SelectedTimeCode(nullptr, &r, &f, nullptr)) return;
  if (before) *before = r->dwPending;
  // The boundaries of this counting only: old ones are not reported again.
  if (r->dwPending) f->dwInProcess &= ~kRealBoundaryBits;
  while (r->dwPending) {
    f->dwInProcess &= ~kResetPosition;
    --r->dwPending;
    ++r->dwTotalSubframes;
    ++r->dwSubframe;
    f->dwInProcess |= 0x400u;
    if (r->dwSubframe == r->dwSubframesPerFrame) {
      r->dwSubframe = 0;
      ++r->dwFrame;
      f->dwInProcess |= 0x800u;
    }
    if (r->dwFrame == r->dwFramesPerSecond) {
      r->dwFrame = 0;
      ++r->dwSeconds;
      f->dwInProcess |= 0x1000u;
      if (r->dwSeconds == 60) {
        r->dwSeconds = 0;
        ++r->dwMinutes;
        f->dwInProcess |= 0x2000u;
        if (r->dwMinutes == 60) {
          r->dwMinutes = 0;
          ++r->dwHours;
          f->dwInProcess |= 0x4000u;
        }
      }
      if (r->bDropFrame && r->dwSeconds % 10 != 0) r->dwFrame = 2;
    }
    if (!all) break;
  }
  f->dwLatched |= f->dwInProcess & kRealBoundaryBits;
}

uint32_t CPlayer::GetMetricProcessClockCount() {
  uint32_t before;
  CountClocks(false, &before);
  return before;
}

void CPlayer::ProcessMetricTimeCode() { CountClocks(true, nullptr); }

uint32_t CPlayer::GetRealProcessClockCount() {
  uint32_t before;
  CountSubframes(false, &before);
  return before;
}

void CPlayer::ProcessRealTimeCode() { CountSubframes(true, nullptr); }

uint32_t CPlayer::GetInProcessStatusFlags() {
  SStatusFlags* f;
  return SelectedTimeCode(nullptr, nullptr, &f, nullptr) ? f->dwInProcess : 0;
}

uint32_t CPlayer::GetProcessBars() {
  SMetricTime* m;
  return SelectedTimeCode(&m, nullptr, nullptr, nullptr) ? m->dwBar : 0;
}

uint32_t CPlayer::GetProcessBeats() {
  SMetricTime* m;
  return SelectedTimeCode(&m, nullptr, nullptr, nullptr) ? m->dwBeat : 0;
}

uint32_t CPlayer::GetProcessClocks() {
  SMetricTime* m;
  return SelectedTimeCode(&m, nullptr, nullptr, nullptr) ? m->dwClock : 0;
}

uint32_t CPlayer::GetProcessMetricTotalClock() {
  SMetricTime* m;
  return SelectedTimeCode(&m, nullptr, nullptr, nullptr) ? m->dwTotalClocks : 0;
}

uint32_t CPlayer::GetProcessRealTotalClock() {
  SRealTime* r;
  return SelectedTimeCode(nullptr, &r, nullptr, nullptr) ? r->dwTotalSubframes : 0;
}

namespace {

void TimeCodeMetricReport(const SMetricTime& m, SStatusFlags& f, SPlayerMetricTime* out) {
  if (!out) return;
  TimeCodeExclusive([&] {
    out->dwBar = m.dwBar + 1;
    out->dwBeat = m.dwBeat + 1;
    out->dwClock = m.dwClock;
    out->dwTimeSignature = m.dwTimeSignature;
    out->dwTempo = m.dwTempo;
    out->dwTotalClocks = m.dwTotalClocks;
    out->dwStatus = f.dwLatched;
    f.dwLatched &= ~0x1Fu;
  });
}

void TimeCodeRealReport(const SRealTime& r, SStatusFlags& f, SPlayerRealTime* out) {
  if (!out) return;
  TimeCodeExclusive([&] {
    out->dwHours = r.dwHours;
    out->dwMinutes = r.dwMinutes;
    out->dwSeconds = r.dwSeconds;
    out->dwFrames = r.dwFrame;
    out->dwSubframes = r.dwSubframe;
    out->dwTotalSubframes = r.dwTotalSubframes;
    out->dwStatus = f.dwLatched;
    f.dwLatched &= ~kRealBoundaryBits;
  });
}

}  // namespace

void CPlayer::GetPrimaryMetricTime(SPlayerMetricTime* out) { TimeCodeMetricReport(m_PrimaryMetric, m_PrimaryFlags, out); }
void CPlayer::GetTransitionMetricTime(SPlayerMetricTime* out) {
  TimeCodeMetricReport(m_TransitionMetric, m_TransitionFlags, out);
}
void CPlayer::GetPrimaryRealTime(SPlayerRealTime* out) { TimeCodeRealReport(m_PrimaryReal, m_PrimaryFlags, out); }
void CPlayer::GetTransitionRealTime(SPlayerRealTime* out) { TimeCodeRealReport(m_TransitionReal, m_TransitionFlags, out); }

void CPlayer::BeginChildProcessStatusVariables(SMetricTime* savedMetric, SRealTime* savedReal, SStatusFlags* savedFlags,
                                               SMetricTime* childMetric, SRealTime* childReal,
                                               SStatusFlags* childFlags) {
  SMetricTime* m;
  SRealTime* r;
  SStatusFlags* f;
  if (!SelectedTimeCode(&m, &r, &f, nullptr)) return;
  if (savedMetric) *savedMetric = *m;
  if (savedReal) *savedReal = *r;
  if (savedFlags) *savedFlags = *f;
  if (childMetric) *m = *childMetric;
  if (childReal) *r = *childReal;
  if (childFlags) *f = *childFlags;
  m_bInChild = true;
}

void CPlayer::EndChildProcessStatusVariables(SMetricTime* savedMetric, SRealTime* savedReal, SStatusFlags* savedFlags,
                                             SMetricTime* childMetric, SRealTime* childReal, SStatusFlags* childFlags) {
  SMetricTime* m;
  SRealTime* r;
  SStatusFlags* f;
  if (!SelectedTimeCode(&m, &r, &f, nullptr)) return;
  if (childMetric) *childMetric = *m;
  if (childReal) *childReal = *r;
  if (childFlags) *childFlags = *f;
  if (savedMetric) *m = *savedMetric;
  if (savedReal) *r = *savedReal;
  if (savedFlags) *f = *savedFlags;
  m_dwFlags &= ~kCycleUpdateFlag;
  m_bInChild = false;
}

bool CPlayer::IsCycleUpdateTime() {
  if (!(m_dwFlags & kCycleUpdateFlag)) return false;
  if (!m_bInChild) m_dwFlags &= ~kCycleUpdateFlag;
  return true;
}
