// What a command-line program needs of its console on every target: its
// arguments as UTF-16, and standard output and error as plain byte streams
// (no newline translation), so that its output is the same everywhere.
#pragma once

#include <vector>

#include "zanole/zanole.h"
#include "zanole/wstr.h"

// argv as the program was given it: UTF-8 elsewhere, the wide command line
// on Windows (argc and argv are then only used for their count).
std::vector<WString> CommandLineArguments(int argc, char** argv);
void UseBinaryStdio();
