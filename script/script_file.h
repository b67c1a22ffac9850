// Script files: the lines of a script written to a file in one of the
// three encodings, and read back. A save goes through the platform's file
// save (WBeginSave), which keeps the file what it is (its links, owner,
// group and permissions) and its old bytes until the new ones are on the
// disk, so a failed save leaves the old file as it was.
#pragma once

#include "line_array.h"

// Writes lines to name in encoding. E_FAIL when the encoding is not one of
// the three, when the target may not be written (a read-only file, a
// folder, a file held open without sharing) or when any write, flush or
// the replacement fails; the reason stays for GetLastError. Raises
// E_OUTOFMEMORY.
HRESULT SaveScriptFile(const CLineArray& lines, const OLECHAR* name, LONG encoding);

// Appends the lines of the file name to lines; a line that cannot be read
// or parsed is left out. E_FAIL when the file cannot be opened (the reason
// stays for GetLastError). Raises E_OUTOFMEMORY.
HRESULT LoadScriptFile(const OLECHAR* name, CLineArray* lines);
