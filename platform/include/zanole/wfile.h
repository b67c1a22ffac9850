// Whole-file operations for saving a file without ever leaving it half
// written and without changing which file it is. Each failure records its
// reason for GetLastError (through the errno table or the kernel's own).
// Windows implements them over its CRT and kernel, elsewhere over POSIX.
#pragma once

#include <cstdio>
#include <string>

// Writes the stream's buffer and the system's cache of the file to the
// disk (fflush, then _commit / fsync); fails too when any earlier write to
// the stream failed, whether or not its caller heard of it.
bool FFlushToDisk(FILE* file);

// One save of a file's whole content in progress. The new bytes go where
// they keep the file what it is:
// - into a new file beside it, created exclusively under a random name
//   with the target's permissions, group (and attributes) before the first
//   byte, which then takes the target's place in one step; chosen when
//   that changes nothing a user sees: a plain file with one link, whose
//   owner and group the new file can keep, in a folder that takes it;
// - otherwise into the target itself, whose old bytes are kept aside and
//   written back should any step fail.
// A name that leads through symbolic links saves the file at their end,
// created there when it does not exist yet; the links stay.
struct WFileSave;
// Starts the save of name; null when the target may not be written as it
// stands (read-only, a folder or device, a file held open, a folder that
// takes no new file for a new name), with the reason recorded.
WFileSave* WBeginSave(const WCHAR* name) noexcept;
// The stream that takes the new content, empty and at its start.
FILE* WSaveStream(WFileSave* save) noexcept;
// Puts the new content on the disk in the target's place and ends the
// save; when a step fails, the target keeps its old content and the
// failing step's reason stays for GetLastError.
bool WCommitSave(WFileSave* save) noexcept;
// Ends a save without a change to the target; GetLastError keeps the
// reason the caller gave up for.
void WAbandonSave(WFileSave* save) noexcept;
