#include "zanole/console.h"

#include "utf8_text.h"

std::vector<WString> CommandLineArguments(int argc, char** argv) {
  std::vector<WString> args;
  for (int i = 0; i < argc; ++i) args.push_back(zanole::WideFromUtf8(argv[i]));
  return args;
}

void UseBinaryStdio() {}

bool AnsiCodePageChoosable() { return true; }

bool ChooseAnsiCodePage(UINT codePage) { return ZanSetAnsiCodePage(codePage) != FALSE; }
