// The tool's commands. Each takes its own arguments (after the command
// name) and returns the exit status: 0 done, 1 failed (nothing changed),
// 2 wrong usage.
#pragma once

#include <vector>

#include "component.h"
#include "zanole/wstr.h"

using Arguments = std::vector<WString>;

int CatCommand(const Component& component, const Arguments& args);
int ShowCommand(const Component& component, const Arguments& args);
int ConvertCommand(const Component& component, const Arguments& args);
int InfoCommand(const Component& component, const Arguments& args);
