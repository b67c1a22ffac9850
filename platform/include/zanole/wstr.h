// UTF-16 text helpers for what the C library offers only for wchar_t on
// Windows. The system calls these names on every target; Windows forwards
// to its CRT, elsewhere they are implemented over UTF-16 code units.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// wcslen: units before the first NUL.
size_t WcsLen(const WCHAR* s);
// wcsnlen: units before the first NUL among the first max, or max. Reads
// nothing beyond them, so a BSTR's recorded length bounds it.
size_t WcsNLen(const WCHAR* s, size_t max);
// wcsstr: first occurrence of needle, or null; an empty needle matches at s.
const WCHAR* WcsStr(const WCHAR* s, const WCHAR* needle);
// wcstok_s: splits at any unit of delim, skipping runs of delimiters;
// state carries the position between calls (pass s only on the first).
WCHAR* WcsTok(WCHAR* s, const WCHAR* delim, WCHAR** state);
// iswspace on one UTF-16 unit, with the platform's white-space class.
bool IsWSpace(WCHAR c);
// vswprintf with Windows semantics (%s/%ls and %c are wide, %hs/%S and
// %hc/%C narrow). Writes at most count units including the NUL; returns the
// units written, or -1 when the text does not fit (buf then holds "").
int VSWPrintf(WCHAR* buf, size_t count, const WCHAR* fmt, va_list args);
// The length VSWPrintf needs, without the NUL; -1 for a bad format.
int VSWPrintfCount(const WCHAR* fmt, va_list args);
// _wfopen_s: opens a file named in UTF-16; returns 0 or an errno value,
// whose Win32 form it also records for GetLastError.
int WFOpen(FILE** file, const WCHAR* name, const WCHAR* mode);
// fgetwc on a binary stream: one little-endian UTF-16 unit, or -1 (WEOF)
// at end of file or when only one byte remains.
int FGetWUnit(FILE* file);
constexpr int kWEof = -1;
// getc without taking the stream's lock: every stream the system reads
// belongs to one call on one thread.
#if defined(ZAN_PLATFORM_WINDOWS)
inline int FGetByte(FILE* file) { return _getc_nolock(file); }
#else
inline int FGetByte(FILE* file) { return getc_unlocked(file); }
#endif

#include <string>
// A string of UTF-16 units in the platform's WCHAR type.
using WString = std::basic_string<WCHAR>;
