// The UTF-8 codec of script files. Encoding writes each UTF-16 unit on its
// own (a surrogate becomes a three-byte sequence) so older readers of our
// files can read them; decoding accepts that form, the standard four-byte
// form, and overlong two- and three-byte forms. All strings are
// NUL-terminated and every count includes the terminator.
#pragma once

#include <cstddef>
#include <memory>

#include "zanole/zanole.h"

// Units written (or needed, for a null destination); -1 for invalid input.
int Utf8Decode(const char* source, WCHAR* destination);
// Bytes written (or needed); cannot fail.
int Utf8Encode(const WCHAR* source, char* destination);

// Decodes count bytes, none of them NUL, into destination, which has room
// for count units; the units written, or -1 for invalid input (the same
// forms as Utf8Decode). Eight ASCII bytes a step.
int Utf8DecodeUnits(const char* source, size_t count, WCHAR* destination);

// Encodes count units into destination, which has room for three bytes a
// unit, as Utf8Encode does (each unit on its own); the bytes written. Four
// ASCII units a step.
size_t Utf8EncodeUnits(const WCHAR* source, size_t count, char* destination);

// Bounded forms: 0 for a null or invalid source, for source == destination,
// or when capacity is below the needed count (then nothing is written); the
// needed count for a null destination; otherwise the written count.
int Utf8ToWide(const char* source, WCHAR* destination, int capacity);
int WideToUtf8(const WCHAR* source, char* destination, int capacity);

// Allocate exactly the needed array; -1 (nothing allocated) for invalid input.
int Utf8ToWideAlloc(const char* source, std::unique_ptr<WCHAR[]>* out);
int WideToUtf8Alloc(const WCHAR* source, std::unique_ptr<char[]>* out);
