// The journal's scrapbook sheet: envelopes of collected vault items,
// concept items and movies.
#pragma once

#include "TWUtil/Array.h"

struct EScrapbookItem {
  char m_szLabel[255];
  char m_szMessage[255];
};

struct EScrapbookMovie {
  char m_szFileName[255];
};

struct EScrapbookEnvelope {
  char m_szPrefix[10];  // the envelope's key
  char m_szTitle[255];
  char m_szText[255];
  EArray<EScrapbookItem> m_aVaultItems;
  EArray<EScrapbookItem> m_aConceptItems;
  EArray<EScrapbookMovie> m_aMovies;
};

class EScrapBookSheet {
public:
  EScrapBookSheet() {}
  ~EScrapBookSheet() { RemoveAllScrapbookItems(); }
  EScrapBookSheet(const EScrapBookSheet&) = delete;
  EScrapBookSheet& operator=(const EScrapBookSheet&) = delete;

  EArray<EScrapbookEnvelope*>& GetScrapbookEnvelopes() { return m_aEnvelopes; }
  // The envelope with the prefix, or null.
  EScrapbookEnvelope* FindEnvelope(const char* szPrefix);

  // Adds an envelope, or updates the title and text of the one with the
  // prefix.
  void RegisterEnvelope(const char* szTitle, const char* szText, const char* szPrefix);
  // Adds a vault item to the envelope with the prefix (nothing when there is
  // none).
  void RegisterScrapbookItem(const char* szLabel, const char* szMessage, const char* szPrefix);
  // Adds a concept item to the envelope with the prefix.
  void RegisterEmoBagItem(const char* szLabel, const char* szMessage, const char* szPrefix);
  // Adds the movie to the envelope unless it holds it already.
  void RegisterMovieToScrapbook(const char* szFileName, const char* szPrefix);
  // Empties every envelope and then the envelope array.
  void RemoveAllScrapbookItems();

private:
  EArray<EScrapbookEnvelope*> m_aEnvelopes;
};
