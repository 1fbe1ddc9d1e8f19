// Helpers that let Windows-style file names work on a case-sensitive POSIX
// file system.
#pragma once

// Copies source into destination turning every '\\' into '/', then repairs
// the letter case of each path component against the disk. The destination
// must hold strlen(source) + 1 bytes; it may be the source itself. Each
// repair is reported on standard error. Returns destination.
char* convertUnixFilename(char* destination, const char* source);

// Compares two texts ignoring the case of the ASCII letters only.
int AsciiCaseCompare(const char* a, const char* b);
