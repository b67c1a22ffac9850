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

bool CommandLineArgumentsAreText(int, char**, size_t* index, std::string* why) {
  const std::vector<WString> args = CommandLineArguments(0, nullptr);
  for (size_t i = 0; i < args.size(); ++i) {
    const WString& arg = args[i];
    for (size_t at = 0; at < arg.size(); ++at) {
      const bool high = arg[at] >= 0xD800 && arg[at] < 0xDC00, low = arg[at] >= 0xDC00 && arg[at] < 0xE000;
      if (high && at + 1 < arg.size() && arg[at + 1] >= 0xDC00 && arg[at + 1] < 0xE000) {
        ++at;
      } else if (high || low) {
        *index = i;
        *why = "holds half a surrogate pair";
        return false;
      }
    }
  }
  return true;
}

void UseBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool AnsiCodePageChoosable() { return false; }

bool ChooseAnsiCodePage(UINT) { return false; }
