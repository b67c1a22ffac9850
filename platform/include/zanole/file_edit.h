// What a program that edits a file in place needs beside the save itself:
// what a name stands for, private scratch files, and a hold that keeps
// other editors of the same file waiting. Failures record their reason for
// GetLastError (through the errno table or the kernel's own).
#pragma once

#include <cstdio>

#include "zanole/zanole.h"
#include "zanole/wstr.h"

// What a name stands for, asked of the name alone: opening a pipe would
// wait for a writer, and reading a device may never end.
enum class WFileKind { kMissing, kFile, kFolder, kOther };
WFileKind WGetFileKind(const WCHAR* name) noexcept;
// Whether both names lead to one existing regular file, however they are
// spelt: "a" and "./a", or two hard links of one file.
bool WIsSameFile(const WCHAR* first, const WCHAR* second) noexcept;

// Creates a new, empty file under a random name in the temporary folder
// (TMPDIR, else /tmp; on Windows the user's own), readable by its owner
// alone, and opens it for writing; its name goes to *name. 0, or the
// failure's errno.
int WCreateScratchFile(FILE** file, WString* name) noexcept;
// Removes the file name names. 0, or the failure's errno.
int WRemoveFile(const WCHAR* name) noexcept;

// An exclusive hold on a file for an edit: while one is held, another hold
// of the same file waits, or, without wait, fails with ERROR_LOCK_VIOLATION.
// Reads and writes of the file go on as before: only holds wait for holds.
// A save that puts a new file in the old one's place leaves the hold on
// the old one, so a hold is taken on the file the name leads to once it
// is had. A hold belongs to the thread that took it, which lets it go;
// a second hold of a file by the thread that holds it fails at once with
// ERROR_LOCK_VIOLATION, as it would wait for itself.
// Null, with the reason recorded, when the name is no regular file.
struct WEditHold;
WEditHold* WHoldForEdit(const WCHAR* name, bool wait) noexcept;
void WReleaseHold(WEditHold* hold) noexcept;
