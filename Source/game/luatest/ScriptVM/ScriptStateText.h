// Escaping for the script-state text (one "path<sep>value" line per value).
//
// A string or key that holds the separator or a line break would split its
// line when read back, so the writer replaces those characters by two-byte
// escapes that start with the byte 0x01, and the reader turns them back:
//   separator -> 0x01 's'    line feed -> 0x01 'n'
//   carriage return -> 0x01 'r'    0x01 itself -> 0x01 'e'
// Text without any of these characters is written unchanged, so older state
// text reads exactly as before.
#pragma once

class EString;

enum { kSTATE_TEXT_ESCAPE = 0x01 };

// Appends szText to out, escaped. szSeparator is the line's separator text
// (the save code uses "|"); an empty or null separator escapes only the
// line breaks and the escape byte.
void ScriptStateText_AppendEscaped(EString& out, const char* szText, const char* szSeparator);

// Appends the iLength bytes at szText (a name or value cut from one line) to
// out with the escapes decoded. An escape byte that ends the text, or one
// followed by an unknown letter, is kept as it stands.
void ScriptStateText_AppendUnescaped(EString& out, const char* szText, int iLength, const char* szSeparator);
