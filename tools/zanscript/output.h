// The tool's output: UTF-8 on standard output, one-line messages on
// standard error, and JSON strings.
#pragma once

#include <string>

#include "zanole/zanole.h"
#include "zanole/wstr.h"

std::string Utf8(const WCHAR* text, size_t length);
inline std::string Utf8(const WString& text) { return Utf8(text.data(), text.size()); }
WString Wide(const std::string& utf8);
void Print(const std::string& text);
// "zanscript: SUBJECT: REASON"; a SUBJECT of "-" is standard input.
void PrintError(const WCHAR* subject, const std::string& reason);
// A JSON string literal, quotes included.
std::string JsonString(const WString& text);
