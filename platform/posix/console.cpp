#include "zanole/console.h"

#include "utf8_text.h"

std::vector<WString> CommandLineArguments(int argc, char** argv) {
  std::vector<WString> args;
  for (int i = 0; i < argc; ++i) args.push_back(zanole::WideFromUtf8(argv[i]));
  return args;
}

bool CommandLineArgumentsAreText(int argc, char** argv, size_t* index, std::string* why) {
  for (int i = 0; i < argc; ++i) {
    std::string back;
    if (zanole::Utf8FromWide(zanole::WideFromUtf8(argv[i]).c_str(), &back) && back == argv[i]) continue;
    *index = static_cast<size_t>(i);
    *why = "is not valid UTF-8";
    return false;
  }
  return true;
}

void UseBinaryStdio() {}

bool AnsiCodePageChoosable() { return true; }

bool ChooseAnsiCodePage(UINT codePage) { return ZanSetAnsiCodePage(codePage) != FALSE; }
