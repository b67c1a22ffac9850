// The encoding codes of script files and the open modes of the line-reader
// facade; the codes are stored in hosts' settings, so their values are fixed.
#pragma once

enum FileEncoding { FE_ANSI = 0, FE_UTF16LE = 1, FE_UTF8 = 2 };

enum OpenMode { OM_READ = 0, OM_WRITE = 1, OM_APPEND = 2 };

inline bool IsFileEncoding(int code) { return code == FE_ANSI || code == FE_UTF16LE || code == FE_UTF8; }
