// Bounded helpers for the zero-terminated UTF-16 buffers of the player. Every
// call is given the buffer's size in characters and never writes past it;
// a result that does not fit is cut and still terminated.
#pragma once

#include "platform/base.h"

int lstrlenW(const WCHAR* text);
// Copy and append; false when the text had to be cut.
bool StringCchCopyW(WCHAR* dst, size_t size, const WCHAR* src);
bool StringCchCopyNW(WCHAR* dst, size_t size, const WCHAR* src, size_t count);
bool StringCchCatW(WCHAR* dst, size_t size, const WCHAR* src);
// Ordinal comparison: <0, 0, >0.
int lstrcmpW(const WCHAR* a, const WCHAR* b);
// The order of sorted lists, the same under any locale: letters by their base
// letter, case and accents aside ("Çà" between "B" and "cz"), then accents
// break ties; 0 only for texts that differ in letter case alone.
int lstrcmpiW(const WCHAR* a, const WCHAR* b);
// Case-insensitive comparison of at most count characters (simple case folding).
int StrCmpNIW(const WCHAR* a, const WCHAR* b, int count);
// Formats with %d, %u, %s (a wide string), %02d-style widths and %%.
bool StringCchPrintfW(WCHAR* dst, size_t size, const WCHAR* format, ...);
