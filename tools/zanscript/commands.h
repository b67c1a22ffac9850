// The tool's commands. Each takes what the command line asked for and
// returns the exit status: 0 done, 1 failed (nothing changed), 2 wrong
// usage.
#pragma once

#include <string>
#include <vector>

#include "component.h"
#include "document.h"
#include "zanole/wstr.h"

// A parsed command line; a FILE of "-" is standard input, an OUT of "-"
// standard output.
struct Request {
  std::vector<WString> files;  // cat: FILE...; show, info: FILE; convert: IN [OUT]
  bool json = false;
  bool normalize = false;
  bool hasFrom = false;
  Encoding from = kAnsi;
  Encoding to = kUtf8;
  std::string action;  // info: get, list, set or del
  WString line, key, value;
};

int CatCommand(const Component& component, const Request& request);
int ShowCommand(const Component& component, const Request& request);
int ConvertCommand(const Component& component, const Request& request);
int InfoCommand(const Component& component, const Request& request);
