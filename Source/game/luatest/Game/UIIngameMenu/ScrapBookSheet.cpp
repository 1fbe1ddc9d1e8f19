#include "Game/UIIngameMenu/ScrapBookSheet.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"

namespace {

void CopyText(char* out, size_t size, const char* text) { snprintf(out, size, "%s", text ? text : ""); }

void AddItem(EArray<EScrapbookItem>& items, const char* szLabel, const char* szMessage) {
  EScrapbookItem item;
  CopyText(item.m_szLabel, sizeof(item.m_szLabel), szLabel);
  CopyText(item.m_szMessage, sizeof(item.m_szMessage), szMessage);
  items.AddData(item);
}

}  // namespace

EScrapbookEnvelope* EScrapBookSheet::FindEnvelope(const char* szPrefix) {
  if (!szPrefix) return nullptr;
  for (int i = 0; i < m_aEnvelopes.Num(); ++i) {
    if (!strncmp(m_aEnvelopes[i]->m_szPrefix, szPrefix, sizeof(m_aEnvelopes[i]->m_szPrefix) - 1))
      return m_aEnvelopes[i];
  }
  return nullptr;
}

void EScrapBookSheet::RegisterEnvelope(const char* szTitle, const char* szText, const char* szPrefix) {
  if (!szPrefix) return;
  EScrapbookEnvelope* envelope = FindEnvelope(szPrefix);
  if (!envelope) {
    envelope = new EScrapbookEnvelope();
    CopyText(envelope->m_szPrefix, sizeof(envelope->m_szPrefix), szPrefix);
    m_aEnvelopes.AddData(envelope);
  }
  // A title given as a line code shows its text.
  if (szTitle && szTitle[0] == '/' && gGameApp) szTitle = gGameApp->LookupLocalizedString(szTitle);
  CopyText(envelope->m_szTitle, sizeof(envelope->m_szTitle), szTitle);
  CopyText(envelope->m_szText, sizeof(envelope->m_szText), szText);
}

void EScrapBookSheet::RegisterScrapbookItem(const char* szLabel, const char* szMessage, const char* szPrefix) {
  if (!szLabel || !szMessage) {
    g_ErrorManager.TraceMessagef(TT_General, "RegisterScrapbookItem ERROR: label or message is == 0");
    return;
  }
  if (EScrapbookEnvelope* envelope = FindEnvelope(szPrefix)) AddItem(envelope->m_aVaultItems, szLabel, szMessage);
}

void EScrapBookSheet::RegisterEmoBagItem(const char* szLabel, const char* szMessage, const char* szPrefix) {
  if (!szLabel || !szMessage) return;
  if (EScrapbookEnvelope* envelope = FindEnvelope(szPrefix)) AddItem(envelope->m_aConceptItems, szLabel, szMessage);
}

void EScrapBookSheet::RegisterMovieToScrapbook(const char* szFileName, const char* szPrefix) {
  EScrapbookEnvelope* envelope = FindEnvelope(szPrefix);
  if (!envelope || !szFileName) return;
  for (int i = 0; i < envelope->m_aMovies.Num(); ++i) {
    if (!strcasecmp(envelope->m_aMovies[i].m_szFileName, szFileName)) return;
  }
  EScrapbookMovie movie;
  CopyText(movie.m_szFileName, sizeof(movie.m_szFileName), szFileName);
  envelope->m_aMovies.AddData(movie);
}

void EScrapBookSheet::RemoveAllScrapbookItems() {
  for (int i = 0; i < m_aEnvelopes.Num(); ++i) delete m_aEnvelopes[i];
  m_aEnvelopes.Empty();
}
