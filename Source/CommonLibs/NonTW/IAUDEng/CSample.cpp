#include "NonTW/IAUDEng/CSample.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CAudioBuffer.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/IAUDVorbis.h"
#include "TWUtil/ByteOrder.h"

uint8_t g_bVorbisSupport = 0;
int (*fn_ov_clear)(OggVorbis_File*) = nullptr;
long (*fn_ov_read)(OggVorbis_File*, char*, int, int, int, int, int*) = nullptr;
ogg_int64_t (*fn_ov_pcm_total)(OggVorbis_File*, int) = nullptr;
vorbis_info* (*fn_ov_info)(OggVorbis_File*, int) = nullptr;
vorbis_comment* (*fn_ov_comment)(OggVorbis_File*, int) = nullptr;
int (*fn_ov_open_callbacks)(void*, OggVorbis_File*, const char*, long, ov_callbacks) = nullptr;

// Shared by every in-memory Vorbis decode (the decodes run on one thread).
static char g_cPCMBuffer[4096];

void InitVorbisFile() {
  fn_ov_clear = ov_clear;
  fn_ov_read = ov_read;
  fn_ov_pcm_total = ov_pcm_total;
  fn_ov_info = ov_info;
  fn_ov_comment = ov_comment;
  fn_ov_open_callbacks = ov_open_callbacks;
  g_bVorbisSupport = 1;
}

void ShutdownVorbisFile() {}

namespace {

const int16_t kSampleStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t kSampleIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
const int8_t kSampleNibbleFactor[16] = {1, 3, 5, 7, 9, 11, 13, 15, -1, -3, -5, -7, -9, -11, -13, -15};

const uint32_t kSampleMonoBlock = 36, kSampleMonoOut = 130;
const uint32_t kSampleStereoBlock = 72, kSampleStereoOut = 260;

struct SampleChannelState {
  int32_t predictor;
  int32_t index;
};

SampleChannelState SampleReadHeader(const uint8_t* p) {
  SampleChannelState s;
  s.predictor = (int16_t)GetLE16(p);
  s.index = (int16_t)GetLE16(p + 2);
  if (s.index < 0) s.index = 0;
  if (s.index > 88) s.index = 88;
  return s;
}

int16_t SampleDecodeNibble(SampleChannelState& s, unsigned nibble) {
  int32_t step = kSampleStepTable[s.index];
  s.predictor += (kSampleNibbleFactor[nibble] * step) / 8;
  if (s.predictor > 32767) s.predictor = 32767;
  if (s.predictor < -32768) s.predictor = -32768;
  s.index += kSampleIndexTable[nibble];
  if (s.index < 0) s.index = 0;
  if (s.index > 88) s.index = 88;
  return (int16_t)s.predictor;
}

size_t SampleOggReadMemory(void* dest, size_t size, size_t count, void* source) {
  return static_cast<CSample*>(source)->ReadMemory(dest, size * count);
}
int SampleOggSeekMemory(void*, ogg_int64_t, int) { return -1; }
int SampleOggCloseMemory(void*) { return 0; }
long SampleOggTellMemory(void*) { return 0; }

}  // namespace

// ---------------------------------------------------------------- life cycle

CSample::CSample(IAUDSampleBank* bank) : IAUDContentObject(bank), m_dwBufferIndex(kIAUD_NO_INDEX) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("samp"));
  memset(&m_Info, 0, sizeof(m_Info));
  memset(&m_Compression, 0, sizeof(m_Compression));
  m_Compression.flStored = 0.4f;
}

CSample::~CSample() {
  if (IAUDSampleBank* bank = GetSampleBank()) bank->NullOutSample(this);
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  if (m_pHandle && driver) driver->FreeAudioSample(m_pHandle);
  m_pHandle = nullptr;
  FreeData();
}

void CSample::FreeData() {
  free(m_pData);
  m_pData = nullptr;
  m_dwDataSize = 0;
}

IAUDSampleBank* CSample::GetSampleBank() const {
  IAUDBankObject* bank = GetBank();
  if (!bank || bank->GetObjectType() != IAUDFourCC("isbf")) return nullptr;
  return static_cast<IAUDSampleBank*>(bank);
}

uint32_t CSample::GetSampleIndex() const {
  IAUDSampleBank* bank = GetSampleBank();
  uint32_t upper = 0;
  if (bank && bank->GetResourceIndex() <= 256) upper = (bank->GetResourceIndex() + 1) << 16;
  return upper | (GetResourceIndex() & 0xFFFF);
}

IAUDSoundDistance* CSample::GetSampleDistanceInfo() const {
  IAUDSampleBank* bank = GetSampleBank();
  CAudioBuffer* buffer = bank ? bank->GetAudioBuffer(m_dwBufferIndex) : nullptr;
  return buffer ? buffer->GetDistanceInfo() : nullptr;
}

IAUDSoundCone* CSample::GetSampleSoundConeInfo() const {
  IAUDSampleBank* bank = GetSampleBank();
  CAudioBuffer* buffer = bank ? bank->GetAudioBuffer(m_dwBufferIndex) : nullptr;
  return buffer ? buffer->GetSoundConeInfo() : nullptr;
}

void CSample::CalcTimeLength() {
  double frameBytes = (double)m_dwChannels * (double)(m_Info.wBits / 8);
  double perMs = m_Info.dwRate / 1000.0;
  double ms = (frameBytes > 0 && perMs > 0) ? (double)m_Info.dwPCMSize / frameBytes / perMs : 0.0;
  m_Info.dwDuration = ms >= (double)UINT32_MAX ? UINT32_MAX : (uint32_t)ms;
}

void CSample::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  if (pMin) *pMin = m_Info.dwDuration;
  if (pMax) *pMax = m_Info.dwDuration;
}

// ---------------------------------------------------------------- files

void CSample::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  const uint32_t id = chunk.dwChunkId;
  IAUDFileSeek(file, chunk.dwDataPosition);
  uint8_t b[28];
  if (id == IAUDFourCC("sinf") && chunk.dwSize >= 20) {
    if (IAUDFileRead(b, 20, 1, file) != 1) return;
    m_Info.dwFormat = GetLE32(b);
    m_Info.dwDuration = GetLE32(b + 4);
    m_Info.dwRate = GetLE32(b + 8);
    m_Info.dwPCMSize = GetLE32(b + 12);
    m_Info.wBits = GetLE16(b + 16);
    m_Info.wStored = GetLE16(b + 18);
  } else if (id == IAUDFourCC("spif") && chunk.dwSize >= 28) {
    if (IAUDFileRead(b, 28, 1, file) != 1) return;
    m_Info.dwFormat = GetLE32(b);
    m_Info.dwDuration = GetLE32(b + 12);
    m_Info.dwRate = GetLE32(b + 16);
    m_Info.dwPCMSize = GetLE32(b + 20);
    m_Info.wBits = GetLE16(b + 24);
    m_Info.wStored = GetLE16(b + 26);
  } else if (id == IAUDFourCC("cmpi") && (chunk.dwSize == 20 || chunk.dwSize == 24)) {
    if (IAUDFileRead(b, chunk.dwSize, 1, file) != 1) return;
    m_Compression.dwKind = GetLE32(b);
    m_Compression.dwStored = GetLE32(b + 4);
    m_Compression.dwCompressedSize = GetLE32(b + 8);
    m_Compression.dwBlockSize = GetLE32(b + 12);
    m_Compression.flRatio = GetLEFloat(b + 16);
    if (chunk.dwSize == 24) m_Compression.flStored = GetLEFloat(b + 20);
  } else if (id == IAUDFourCC("s3di")) {
    ReadChunkLongs(file, chunk, &m_dwBufferIndex, 1);
  } else if (id == IAUDFourCC("chnk")) {
    ReadChunkLongs(file, chunk, &m_dwChannels, 1);
  } else if (id == IAUDFourCC("prel")) {
    ReadChunkLongs(file, chunk, &m_dwPreload, 1);
    if (IAUDSampleBank* bank = GetSampleBank()) {
      if (bank->GetForcePreLoad() == 1) m_dwPreload = 1;
      if (bank->GetForcePreLoad() == 2) m_dwPreload = 0;
    }
  } else if (id == IAUDFourCC("data") && chunk.dwSize) {
    ReadData(file, chunk);
  }
}

void CSample::ReadData(void* file, const RiffChunk& chunk) {
  m_dwDataOffset = IAUDFileTell(file);
  FreeData();
  IAUDSampleBank* bank = GetSampleBank();
  uint32_t size = chunk.dwSize;
  if (bank && bank->GetStreamPacketTimeLength()) {
    if (!m_dwPreload || m_Compression.dwKind == kSampleVorbis) return;
    uint32_t packet = m_Compression.dwKind == kSampleADPCM
                          ? bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits,
                                                      m_Compression.dwBlockSize, m_Compression.flRatio)
                          : bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits, 32, 1.0f);
    if (packet < size) size = packet;
  }
  if (!size) return;
  m_pData = static_cast<uint8_t*>(malloc(size));
  if (!m_pData) return;
  if (IAUDFileRead(m_pData, 1, size, file) != size) {
    FreeData();
    return;
  }
  m_dwDataSize = size;
}

// ------------------------------------------------------- played as content

namespace {
uint32_t SampleContentNow() {
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  return s ? s->GetMilliseconds() : 0;
}
}  // namespace

void CSample::InitObject(void** ppInstance) {
  if (ppInstance) *ppInstance = std::calloc(1, sizeof(uint32_t));
}

void CSample::StartObject(void* voice, IAUDContentMarker*, void* instance, uint32_t loops, CPlayer*) {
  IAUDVoiceController* vc = GetVoiceController();
  if (!vc) return;
  IAUDVector zero{0.0f, 0.0f, 0.0f};
  IAUDVector front{0.0f, 0.0f, 1.0f};
  vc->AttachSample(0, GetSampleIndex(), voice);
  vc->SetTrackPosition(0, zero, voice);
  vc->SetTrackVelocity(0, zero, voice);
  vc->SetTrackOrientation(0, front, voice);
  vc->SetTrackLevel(0, 1.0f, voice);
  vc->SetTrackPitch(0, 1.0f, voice);
  vc->SetTrackDirectLevel(0, 1.0f, voice);
  vc->SetTrackDirectHFLevel(0, 1.0f, voice);
  for (long send = 0; send < 4; ++send) {
    vc->SetTrackSendLevel(0, send, 0.0f, voice);
    vc->SetTrackSendHFLevel(0, send, 1.0f, voice);
  }
  vc->SetTrackActiveSends(0, 0, voice);
  vc->PlayVoiceTrack(0, voice, loops);
  if (instance) *static_cast<uint32_t*>(instance) = SampleContentNow();
}

int32_t CSample::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  IAUDVoiceController* vc = GetVoiceController();
  long owner = loops ? (long)*loops : 0;
  bool playing = vc && vc->IsTrackPlaying(0, voice, loops ? &owner : nullptr);
  if (playing && player) {
    player->ProcessRealTimeCode();
    if (!ProcessMetricClocks(player)) return false;
  }
  uint32_t now = SampleContentNow();
  uint32_t* started = static_cast<uint32_t*>(instance);
  if (loops && *loops != 0 && started && now - *started > m_Info.dwDuration) {
    // One pass ended: the next starts its clocks afresh.
    if (player) player->ResetAllTimeCode();
    if (*loops > 0) --*loops;
    *started = now;
    return true;
  }
  return playing;
}

bool CSample::StopObject(void* voice, void*) {
  if (IAUDVoiceController* vc = GetVoiceController()) vc->StopVoice(voice);
  return true;
}

void CSample::ReleaseObject(void* instance) { std::free(instance); }

void CSample::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t b[24];
  PutLE32(b, m_Info.dwFormat);
  PutLE32(b + 4, m_Info.dwDuration);
  PutLE32(b + 8, m_Info.dwRate);
  PutLE32(b + 12, m_Info.dwPCMSize);
  PutLE16(b + 16, m_Info.wBits);
  PutLE16(b + 18, m_Info.wStored);
  WriteObjectData(file, IAUDFourCC("sinf"), b, 20);
  WriteLongChunk(file, IAUDFourCC("s3di"), m_dwBufferIndex);
  WriteLongChunk(file, IAUDFourCC("chnk"), m_dwChannels);
  WriteLongChunk(file, IAUDFourCC("prel"), m_dwPreload);
  PutLE32(b, m_Compression.dwKind);
  PutLE32(b + 4, m_Compression.dwStored);
  PutLE32(b + 8, m_Compression.dwCompressedSize);
  PutLE32(b + 12, m_Compression.dwBlockSize);
  PutLEFloat(b + 16, m_Compression.flRatio);
  PutLEFloat(b + 20, m_Compression.flStored);
  WriteObjectData(file, IAUDFourCC("cmpi"), b, 24);
  if (m_pData) {
    // The data chunk holds the PCM size; bytes beyond what is held are zeros.
    RiffChunk data{0, IAUDFourCC("data"), 0, 0};
    CreateArchiveObject(file, &data);
    m_dwDataOffset = IAUDFileTell(file);
    uint32_t held = m_dwDataSize < m_Info.dwPCMSize ? m_dwDataSize : m_Info.dwPCMSize;
    IAUDFileWrite(m_pData, 1, held, file);
    static const uint8_t zeros[256] = {};
    for (uint32_t left = m_Info.dwPCMSize - held; left;) {
      uint32_t n = left < sizeof(zeros) ? left : (uint32_t)sizeof(zeros);
      IAUDFileWrite(zeros, 1, n, file);
      left -= n;
    }
    AscendArchiveObject(file, &data);
  }
}

// ---------------------------------------------------------------- loading

bool CSample::LoadPCM(uint32_t size, const void* data, void** handle, bool streaming, bool temporary) {
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  if (!driver || !size || !data) return false;
  if (streaming)
    return driver->LoadAudioStreamingSample(m_dwChannels, m_Info.wBits, m_Info.dwRate, size, data, handle, temporary);
  return driver->LoadAudioSample(m_dwChannels, m_Info.wBits, m_Info.dwRate, size, data, handle, temporary);
}

void CSample::ProcessUnArchivedObject() {
  IAUDSampleBank* bank = GetSampleBank();
  if (!bank) {
    CalcTimeLength();
    return;
  }
  if (GetResourceIndex() & 0x80000000u)
    SetResourceIndex((uint32_t)bank->AddNewSample(this));
  else
    bank->AddSample(this, GetResourceIndex());
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  if (!m_pHandle && m_pData && driver) {
    driver->BeginExclusiveMode();
    if (!bank->GetStreamPacketTimeLength()) {
      if (m_Compression.dwKind == kSampleADPCM) {
        LoadADPCMSample();
      } else if (m_Compression.dwKind == kSampleVorbis) {
        LoadOggSample(false);
      } else {
        uint32_t size = m_Info.dwPCMSize < m_dwDataSize ? m_Info.dwPCMSize : m_dwDataSize;
        LoadPCM(size, m_pData, &m_pHandle, false, false);
      }
    } else if (m_dwPreload) {
      if (m_Compression.dwKind == kSamplePCM) {
        uint32_t packet = bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits, 32, 1.0f);
        if (m_Info.dwPCMSize <= packet)
          LoadPCM(m_Info.dwPCMSize < m_dwDataSize ? m_Info.dwPCMSize : m_dwDataSize, m_pData, &m_pHandle, false, false);
        else
          LoadPCM(m_dwDataSize, m_pData, &m_pHandle, true, false);
      } else if (m_Compression.dwKind == kSampleADPCM) {
        uint32_t packet = bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits,
                                                    m_Compression.dwBlockSize, m_Compression.flRatio);
        if (m_Compression.dwCompressedSize <= packet) {
          LoadADPCMSample();
        } else if (uint32_t room = GetIMA4ADPCMDecodeSize(m_dwDataSize)) {
          int16_t* pcm = static_cast<int16_t*>(malloc(room));
          uint32_t decoded = pcm ? DecodeIMA4ADPCM(m_pData, m_dwDataSize, pcm, room) : 0;
          if (decoded) LoadPCM(decoded, pcm, &m_pHandle, true, false);
          free(pcm);
        }
      }
    }
    driver->EndExclusiveMode();
  }
  FreeData();
  CalcTimeLength();
}

void CSample::UpdateFromAudioBuffer(const IAUDSoundData* sound, const void* data, uint32_t fileOffset,
                                    const uint16_t* title, uint32_t index) {
  if (!sound) return;
  uint32_t size = sound->dwValues[6];
  uint8_t* copy = nullptr;
  if (size && data) {
    copy = static_cast<uint8_t*>(malloc(size));
    if (!copy) return;
    memcpy(copy, data, size);
  }
  FreeData();
  m_pData = copy;
  m_dwDataSize = copy ? size : 0;
  m_dwDataOffset = fileOffset;
  m_Info.dwFormat = sound->dwValues[1];
  m_Info.dwRate = sound->dwValues[2];
  m_Info.dwPCMSize = size;
  m_Info.wBits = sound->wValues[0];
  m_dwChannels = sound->wValues[1] ? sound->wValues[1] : 1;
  SetBaseTempo(sound->dwValues[3]);
  SetBaseTimeSignature(sound->dwValues[4]);
  CalcTimeLength();
  SetTitle(title);
  SetResourceIndex(index & 0xFFFF);
  m_dwBufferIndex = index;
  ProcessUnArchivedObject();
}

// ---------------------------------------------------------------- playing

void CSample::AttachSample(int32_t track) {
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  IAUDSampleBank* bank = GetSampleBank();
  if (!driver || !bank) return;
  void* handle = m_pHandle;
  bool streams = bank->GetStreamPacketTimeLength() != 0;
  uint32_t packet = 0, total = 0;
  if (streams && m_Compression.dwKind == kSamplePCM) {
    total = m_Info.dwPCMSize;
    packet = bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits, 32, 1.0f);
    if (packet > total) packet = total;
    if (packet > bank->GetPacketBufferSize()) packet = bank->GetPacketBufferSize();
    if (!m_dwPreload && !handle && packet) {
      const uint8_t* first = bank->LoadFirstSamplePacket(m_dwDataOffset, packet);
      if (first) LoadPCM(packet, first, &handle, packet < total, true);
    }
  } else if (streams && m_Compression.dwKind == kSampleADPCM) {
    total = m_Compression.dwCompressedSize;
    packet = bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits, m_Compression.dwBlockSize,
                                       m_Compression.flRatio);
    if (packet > total) packet = total;
    if (packet > bank->GetPacketBufferSize()) packet = bank->GetPacketBufferSize();
    if (!m_dwPreload && !handle && packet) {
      const uint8_t* first = bank->LoadFirstSamplePacket(m_dwDataOffset, packet);
      uint32_t decoded = first ? DecodeIMA4ADPCM(first, packet, reinterpret_cast<int16_t*>(bank->GetDecodeBuffer()),
                                                 bank->GetDecodeBufferSize())
                               : 0;
      if (decoded) LoadPCM(decoded, bank->GetDecodeBuffer(), &handle, packet < total, true);
    }
  } else if (streams && m_Compression.dwKind == kSampleVorbis && g_bVorbisSupport) {
    packet = bank->GetStreamPacketSize(m_Info.dwRate, m_dwChannels, m_Info.wBits, 32, 1.0f);
    if (m_Compression.dwCompressedSize > packet) {
      bank->LoadAndCreateTrackOggStreamInstance(track, packet, this, &handle);
    } else if (FILE* f = bank->GetBankFileHandle()) {
      uint32_t size = m_Compression.dwCompressedSize;
      uint8_t* data = size ? static_cast<uint8_t*>(malloc(size)) : nullptr;
      if (data && IAUDFileSeek(f, m_dwDataOffset) && IAUDFileRead(data, 1, size, f) == size) {
        FreeData();
        m_pData = data;
        m_dwDataSize = size;
        data = nullptr;
        LoadOggSample(true);
        handle = m_pHandle;
        m_pHandle = nullptr;
        FreeData();
      }
      free(data);
    }
  }
  if (handle) driver->AttachSample(track, handle, GetSampleDistanceInfo(), GetSampleSoundConeInfo());
  if (streams && packet && packet < total &&
      (m_Compression.dwKind == kSamplePCM || m_Compression.dwKind == kSampleADPCM))
    bank->CreateTrackStreamInstance(track, m_dwDataOffset, total, packet, this);
}

// ---------------------------------------------------------------- decoding

uint32_t CSample::GetIMA4ADPCMDecodeSize(uint32_t size) const {
  if (m_dwChannels == 1 && size % kSampleMonoBlock == 0) return size / kSampleMonoBlock * kSampleMonoOut;
  if (m_dwChannels == 2 && size % kSampleStereoBlock == 0) return size / kSampleStereoBlock * kSampleStereoOut;
  return 0;
}

uint32_t CSample::DecodeIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize) const {
  if (m_dwChannels == 1) return DecodeMonoIMA4ADPCM(data, size, out, outSize);
  if (m_dwChannels == 2) return DecodeStereoIMA4ADPCM(data, size, out, outSize);
  return 0;
}

uint32_t CSample::DecodeMonoIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize) {
  if (!data || !out || size % kSampleMonoBlock) return 0;
  uint32_t blocks = size / kSampleMonoBlock;
  if ((uint64_t)blocks * kSampleMonoOut > outSize) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  for (uint32_t b = 0; b < blocks; ++b, in += kSampleMonoBlock) {
    SampleChannelState s = SampleReadHeader(in);
    *out++ = (int16_t)s.predictor;
    for (int i = 4; i < 36; ++i) {
      *out++ = SampleDecodeNibble(s, in[i] & 0x0F);
      *out++ = SampleDecodeNibble(s, in[i] >> 4);
    }
  }
  return blocks * kSampleMonoOut;
}

uint32_t CSample::DecodeStereoIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize) {
  if (!data || !out || size % kSampleStereoBlock) return 0;
  uint32_t blocks = size / kSampleStereoBlock;
  if ((uint64_t)blocks * kSampleStereoOut > outSize) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  for (uint32_t b = 0; b < blocks; ++b, in += kSampleStereoBlock, out += kSampleStereoOut / 2) {
    SampleChannelState ch[2] = {SampleReadHeader(in), SampleReadHeader(in + 4)};
    out[0] = (int16_t)ch[0].predictor;
    out[1] = (int16_t)ch[1].predictor;
    for (int g = 0; g < 8; ++g) {
      const uint8_t* group = in + 8 + 8 * g;
      for (int c = 0; c < 2; ++c) {
        int16_t* o = out + 2 + 16 * g + c;
        for (int k = 0; k < 4; ++k) {
          uint8_t byte = group[4 * c + k];
          o[(2 * k) * 2] = SampleDecodeNibble(ch[c], byte & 0x0F);
          o[(2 * k + 1) * 2] = SampleDecodeNibble(ch[c], byte >> 4);
        }
      }
    }
  }
  return blocks * kSampleStereoOut;
}

// The PCM handed over is what was decoded, without the last block's padding.
void CSample::LoadADPCMSample() {
  uint32_t size = m_Compression.dwCompressedSize < m_dwDataSize ? m_Compression.dwCompressedSize : m_dwDataSize;
  uint32_t room = GetIMA4ADPCMDecodeSize(size);
  if (!room || !m_pData) return;
  int16_t* pcm = static_cast<int16_t*>(malloc(room));
  if (!pcm) return;
  uint32_t decoded = DecodeIMA4ADPCM(m_pData, size, pcm, room);
  if (decoded && m_Info.dwPCMSize && m_Info.dwPCMSize < decoded) decoded = m_Info.dwPCMSize;
  if (decoded) LoadPCM(decoded, pcm, &m_pHandle, false, false);
  free(pcm);
}

size_t CSample::ReadMemory(void* dest, size_t bytes) {
  size_t held = m_Compression.dwCompressedSize < m_dwDataSize ? m_Compression.dwCompressedSize : m_dwDataSize;
  size_t at = m_nReadPosition > 0 ? (size_t)m_nReadPosition : 0;
  if (at >= held || !m_pData) return 0;
  size_t n = held - at < bytes ? held - at : bytes;
  memcpy(dest, m_pData + at, n);
  m_nReadPosition += (int32_t)n;
  return n;
}

// Decodes the whole data into at most PCM size + 1000 bytes; the output grows
// as the decode goes, so a damaged size costs no more than the data gives.
void CSample::LoadOggSample(bool streaming) {
  if (!g_bVorbisSupport || !m_pData) return;
  const size_t limit = (size_t)m_Info.dwPCMSize + 1000;
  size_t capacity = limit < 65536 ? limit : 65536, done = 0;
  uint8_t* out = static_cast<uint8_t*>(malloc(capacity));
  if (!out) return;
  OggVorbis_File vf;
  ov_callbacks callbacks = {SampleOggReadMemory, SampleOggSeekMemory, SampleOggCloseMemory, SampleOggTellMemory};
  m_nReadPosition = 0;
  if (fn_ov_open_callbacks(this, &vf, nullptr, 0, callbacks) != 0) {
    free(out);
    return;
  }
  int section = 0;
  bool ok = true;
  while (done < limit) {
    long got = fn_ov_read(&vf, g_cPCMBuffer, (int)sizeof(g_cPCMBuffer), 0, 2, 1, &section);
    if (got <= 0) break;
    size_t n = (size_t)got < limit - done ? (size_t)got : limit - done;
    if (done + n > capacity) {
      size_t grown = capacity * 2 < limit ? capacity * 2 : limit;
      if (grown < done + n) grown = done + n;
      uint8_t* bigger = static_cast<uint8_t*>(realloc(out, grown));
      if (!bigger) {
        ok = false;
        break;
      }
      out = bigger;
      capacity = grown;
    }
    memcpy(out + done, g_cPCMBuffer, n);
    done += n;
  }
  if (ok && done) LoadPCM((uint32_t)done, out, &m_pHandle, streaming, streaming);
  fn_ov_clear(&vf);
  free(out);
}

uint32_t CSample::DecodeOggVorbis(void* vorbisFile, char* buffer, uint32_t size) {
  if (!vorbisFile || !buffer || !fn_ov_read) return 0;
  OggVorbis_File* vf = static_cast<OggVorbis_File*>(vorbisFile);
  uint32_t done = 0;
  int section = 0;
  while (done < size) {
    long got = fn_ov_read(vf, buffer + done, (int)(size - done), 0, 2, 1, &section);
    if (got <= 0) break;
    done += (uint32_t)got;
  }
  return done;
}
