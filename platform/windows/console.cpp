#include "zanole/console.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

std::vector<WString> CommandLineArguments(int, char**) {
  std::vector<WString> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; ++i) args.emplace_back(wide[i]);
  LocalFree(wide);
  return args;
}

void UseBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool AnsiCodePageChoosable() { return false; }

bool ChooseAnsiCodePage(UINT) { return false; }
