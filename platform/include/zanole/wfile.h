// Whole-file operations for saving a file without ever leaving it half
// written: write a new file beside it, flush it to the disk, then put it in
// the old one's place. Each failure records its reason for GetLastError
// through the errno table. Windows forwards to its CRT and kernel,
// elsewhere they are implemented over POSIX.
#pragma once

#include <cstdio>
#include <string>

// Writes the stream's buffer and the system's cache of the file to the
// disk (fflush, then _commit / fsync); fails too when any earlier write to
// the stream failed, whether or not its caller heard of it.
bool FFlushToDisk(FILE* file);
// Puts the file source in target's place in one step, keeping target's
// permissions when it exists; source's name is gone afterwards. A target
// that exists but is no plain file (a device, a folder) is refused.
bool WReplaceFile(const WCHAR* source, const WCHAR* target);
// _wremove.
bool WRemoveFile(const WCHAR* name);
// The name of the file that name leads to through symbolic links; name
// itself when it leads nowhere yet or the platform does not say.
std::basic_string<WCHAR> WFinalPath(const WCHAR* name);
