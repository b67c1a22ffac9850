// Injected faults (hooks.h): the platform's allocators and file calls ask
// here whether this one is to fail.
#pragma once

#include <cstdio>

namespace zanole {

// Counts one allocation; false when the armed fault falls on it.
bool AllocationMayProceed();

// The stream WFOpen hands out for a file it just opened with the fopen
// mode given: the file itself, or a stream over it that fails as the armed
// file fault says. Write faults meet files opened to be written anew ("w",
// "a"), read faults files opened only to be read; a probe ("r+") neither.
FILE* StreamWithFaults(FILE* file, const char* mode);
// The descriptor to sync for a stream WFOpen handed out; -1 with errno set
// when an injected fault fails the sync.
int DescriptorToSync(FILE* stream);
// True when an injected fault is to fail the replacement of a file.
bool ReplaceFails();

}  // namespace zanole
