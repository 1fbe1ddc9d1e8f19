#include "Event/EEventAnimManager.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Event/EEventAnim.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"

EEventAnimManager* EEventAnimManager::sm_pInstance = nullptr;

EEventAnimManager* EEventAnimManager::createEventAnimManager() {
  if (!sm_pInstance) sm_pInstance = new EEventAnimManager();
  return sm_pInstance;
}

bool EEventAnimManager::destroyEventAnimManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

EEventAnim* EEventAnimManager::LoadEventAnim(const char* szName) {
  EFile* pFile = szName ? gFile->Open(szName, FILE_READ, kFILELOC_Default) : nullptr;
  if (!pFile) return nullptr;
  const int iSize = pFile->GetFilesize();
  EMemStack& stack = *GetThreadLocalStack();
  if (iSize > 0 && (unsigned)iSize > (stack.GetSize() - stack.GetUsedBytes()) / 2) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad event track: %s is too big to read", szName);
    pFile->Close();
    return nullptr;
  }
  EMemMark mark(stack);
  uint8_t* pData = iSize > 0 ? stack.Push((unsigned)iSize, 4) : nullptr;
  const bool bRead = iSize > 0 && pFile->Read(pData, iSize) == iSize;
  pFile->Close();
  EEventAnim* pAnim = new EEventAnim;
  if (!bRead || !pAnim->loadFromMemory(pData, (uint32_t)iSize)) {
    delete pAnim;
    return nullptr;
  }
  return pAnim;
}

namespace EventConvertDetail {

enum { kCHANNELS = 16, kMAX_FRAMES = 255, kTEXT_BYTES = 4096, kLINE_BYTES = 256 };

struct Channel {
  int32_t aiFrames[kMAX_FRAMES];
  uint32_t nFrames;
  uint32_t uTextLength;  // without the NUL
  char szText[kTEXT_BYTES];
};

void Append(std::vector<uint8_t>& out, uint32_t u) {
  uint8_t b[4];
  PutLE32(b, u);
  out.insert(out.end(), b, b + 4);
}

}  // namespace EventConvertDetail

bool EEventAnimManager::CreateBinaryEventFile(const char* szTextPath, const char* szBinaryPath) {
  using namespace EventConvertDetail;
  FILE* pIn = fopen(szTextPath, "r");
  if (!pIn) g_ErrorManager.TraceMessagef(TT_None, "Failed to open '%s' file", szTextPath);
  FILE* pOut = fopen(szBinaryPath, "wb");
  if (!pOut) g_ErrorManager.TraceMessagef(TT_None, "Failed to open '%s' file", szBinaryPath);
  if (!pIn || !pOut) {
    if (pIn) fclose(pIn);
    if (pOut) fclose(pOut);
    return false;
  }
  g_ErrorManager.TraceMessagef(TT_None, "Reading ASCII file '%s'", szTextPath);
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  Channel* pChannels = reinterpret_cast<Channel*>(stack.Push(sizeof(Channel) * kCHANNELS, 4));
  for (int i = 0; i < kCHANNELS; ++i) {
    pChannels[i].nFrames = 0;
    pChannels[i].uTextLength = 0;
    pChannels[i].szText[0] = '\0';
  }
  bool bOk = true;
  while (!feof(pIn)) {
    int iChannel = 0, iFrame = 0;
    char szLine[kLINE_BYTES];
    szLine[0] = '\0';
    const long lBefore = ftell(pIn);
    const int n = fscanf(pIn, "%i %i %255[^\n]", &iChannel, &iFrame, szLine);
    if (ftell(pIn) == lBefore) break;  // nothing that reads as a record is left
    if (n != 3) continue;
    const int c = fgetc(pIn);
    if (c != '\n' && c != EOF) {
      g_ErrorManager.TraceMessagef(TT_None, "Event line cut to 255 characters: '%s'", szLine);
      int d;
      while ((d = fgetc(pIn)) != '\n' && d != EOF) {
      }
    }
    g_ErrorManager.TraceMessagef(TT_None, " Channel %i, Frame %i, String '%s'", iChannel, iFrame, szLine);
    if (iChannel < 0 || iChannel > 15) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Bad event channel %i: %s", iChannel, "channel>=0 && channel<=15");
      bOk = false;
      break;
    }
    Channel& ch = pChannels[iChannel];
    const size_t uLength = strlen(szLine);
    if (ch.nFrames >= kMAX_FRAMES || ch.uTextLength + uLength + 2 > kTEXT_BYTES) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Event channel %i is full, key at frame %i dropped", iChannel, iFrame);
      continue;
    }
    memcpy(ch.szText + ch.uTextLength, szLine, uLength);
    ch.uTextLength += (uint32_t)uLength;
    ch.szText[ch.uTextLength++] = '\t';
    ch.szText[ch.uTextLength] = '\0';
    ch.aiFrames[ch.nFrames++] = iFrame;
  }
  fclose(pIn);
  if (!bOk) {
    fclose(pOut);
    return false;
  }
  g_ErrorManager.TraceMessagef(TT_None, "Writing event file '%s'", szBinaryPath);
  std::vector<uint8_t> out;
  Append(out, 0x50455645);
  Append(out, 101);
  Append(out, 1);
  Append(out, kCHANNELS);
  for (int i = 0; i < kCHANNELS; ++i) {
    const uint32_t uLength = pChannels[i].uTextLength + 1;
    out.push_back((uint8_t)(uLength & 0xFF));
    out.push_back((uint8_t)(uLength >> 8));
    out.insert(out.end(), pChannels[i].szText, pChannels[i].szText + uLength);
  }
  Append(out, kCHANNELS);
  for (int i = 0; i < kCHANNELS; ++i) {
    Append(out, pChannels[i].nFrames);
    for (uint32_t k = 0; k < pChannels[i].nFrames; ++k) {
      Append(out, (uint32_t)pChannels[i].aiFrames[k]);
      Append(out, 0);
    }
  }
  const bool bWritten = fwrite(out.data(), 1, out.size(), pOut) == out.size();
  return (fclose(pOut) == 0) && bWritten;
}
