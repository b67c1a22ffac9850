// What a command-line program needs of its console on every target: its
// arguments as UTF-16, standard input, output and error as plain byte
// streams (no newline translation), so that its output is the same
// everywhere, and the ANSI code page where the program may choose it.
#pragma once

#include <string>
#include <vector>

#include "zanole/zanole.h"
#include "zanole/wstr.h"

// argv as the program was given it: UTF-8 elsewhere, the wide command line
// on Windows (argc and argv are then only used for their count).
std::vector<WString> CommandLineArguments(int argc, char** argv);
// Whether every argument is Unicode text, which CommandLineArguments gives
// as it stands. One that is not (bytes that are not UTF-8 elsewhere, half
// a surrogate pair on Windows) would arrive with U+FFFD in it: another
// value, another file name. *index and *why then say which and why.
bool CommandLineArgumentsAreText(int argc, char** argv, size_t* index, std::string* why);
void UseBinaryStdio();
// Whether this program may choose the code page CP_ACP stands for: on
// Linux it may (1252 until it does); on Windows the system's setting decides.
bool AnsiCodePageChoosable();
// Makes CP_ACP stand for codePage in this process and the libraries it
// loads; false where that cannot be chosen or the code page is not converted.
bool ChooseAnsiCodePage(UINT codePage);
