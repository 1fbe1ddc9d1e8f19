// Builds "ZPKG" packages: the directory block (header, sorted entries, name
// and extension tables, the trie over directory paths) and the file data.
#pragma once

class EPackageWriter {
public:
  EPackageWriter();
  ~EPackageWriter();
  EPackageWriter(const EPackageWriter&) = delete;
  EPackageWriter& operator=(const EPackageWriter&) = delete;

  // Adds a file under its package path, e.g. "Scripts\\Boot.lua"; the path is
  // stored lower case with '/' separators. A file must lie in a folder, and a
  // path may be added once. False (see GetError) when refused.
  bool AddFile(const char* path, const void* data, unsigned size);
  // Adds every file below folder, named by its path relative to folder. Files
  // directly in folder cannot be looked up in a package and are skipped
  // (see GetNumSkipped). False when the folder cannot be read.
  bool AddFolder(const char* folder);

  // Writes the package file; false (see GetError) when it cannot.
  bool Write(const char* packagePath);

  int GetNumFiles() const;
  int GetNumSkipped() const;
  const char* GetSkipped(int i) const;
  const char* GetError() const;

private:
  struct Impl;
  Impl* m_pImpl;
};
