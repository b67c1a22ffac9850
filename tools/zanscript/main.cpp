// zanscript: inspect, convert and edit saved ZanScript files from a shell.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "output.h"
#include "zanole/console.h"

namespace {

const char kToolHelp[] =
    "usage: zanscript COMMAND [ARGS]\n"
    "\n"
    "Inspect, convert and edit saved ZanScript files.\n"
    "\n"
    "commands:\n"
    "  cat FILE...                      the plain text of saved scripts\n"
    "  show [--json] [--from ENC] FILE  the encoding read, each line with its index,\n"
    "                                   text and information\n"
    "  convert [--normalize] [--from ENC] --to ENC IN [OUT]\n"
    "                                   save in another encoding (ansi, utf16le, utf8)\n"
    "  info get|set|del [--normalize] [--from ENC] FILE LINE KEY [VALUE]\n"
    "                                   read, set or delete one piece of a line's information\n"
    "\n"
    "A file is written only when saving it unedited gives back its bytes: a file\n"
    "the reader cannot take whole is refused; line ends, the last line break and\n"
    "blanks the format does not keep are listed and changed only with --normalize.\n"
    "A file without a byte order mark is read as ANSI unless --from names utf8 or\n"
    "utf16le (saving then adds the mark).\n"
    "\n"
    "zanscript COMMAND --help tells more; --version tells the version.\n"
    "Exit status: 0 done, 1 failed (no file changed), 2 wrong usage.\n";

struct Command {
  const char* name;
  int (*run)(const Component&, const Arguments&);
  const char* help;
};

const Command kCommands[] = {
    {"cat", &CatCommand,
     "usage: zanscript cat FILE...\n"
     "\n"
     "Prints the text of each saved script, a line feed after each line, without\n"
     "the information saved after \" @@ \": every line show numbers, empty ones too.\n"},
    {"show", &ShowCommand,
     "usage: zanscript show [--json] [--from ansi|utf16le|utf8] FILE\n"
     "\n"
     "Prints the encoding read, then each line's index (from 0, as LINE in info),\n"
     "its text and its information. With --json: an object with the encoding,\n"
     "whether the file has a byte order mark, and one object per line:\n"
     "  {\"encoding\":\"utf8\",\"mark\":true,\"lines\":[\n"
     "  {\"index\":0,\"text\":\"...\",\"info\":{\"key\":\"value\"}}]}\n"
     "--from reads a file without a byte order mark in that encoding.\n"},
    {"convert", &ConvertCommand,
     "usage: zanscript convert [--normalize] [--from ENC] --to ansi|utf16le|utf8 IN [OUT]\n"
     "\n"
     "Loads IN and saves it, lines and information, in the encoding given: to OUT,\n"
     "or in place. The old file stays whole if the save fails. Text that the ANSI\n"
     "code page cannot hold is refused rather than replaced, and so is a file that\n"
     "would not save back as it was read (see zanscript --help).\n"},
    {"info", &InfoCommand,
     "usage: zanscript info get [--from ENC] FILE LINE KEY\n"
     "       zanscript info set [--normalize] [--from ENC] FILE LINE KEY VALUE\n"
     "       zanscript info del [--normalize] [--from ENC] FILE LINE KEY\n"
     "\n"
     "Reads, sets or deletes one piece of information of line LINE (from 0) and\n"
     "saves the file in its own encoding. The saved format has no escaping, so a\n"
     "key or value it could not read back as given is refused: an empty key, one\n"
     "holding \"_;_\", \" @@ \" or a line break, or blanks at either end.\n"},
};

// A command's output counts only when it reached its destination: a full
// disk or a closed pipe is a failure, not a success with nothing written.
int Flushed(int status) {
  errno = 0;
  SetLastError(ERROR_SUCCESS);
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  int error = errno;
  DWORD system = GetLastError();  // where the C library keeps no errno
  bool full = error == ENOSPC || system == ERROR_DISK_FULL || system == ERROR_HANDLE_DISK_FULL;
  PrintError(nullptr, std::string("cannot write the output: ") +
                          (full ? "disk full" : error ? std::strerror(error) : "write error"));
  return 1;
}

bool IsHelp(const WString& arg) { return arg == OLESTR("--help") || arg == OLESTR("-h"); }

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStdio();
  Arguments args = CommandLineArguments(argc, argv);
  if (args.size() < 2) {
    PrintError(nullptr, "a COMMAND is needed (see --help)");
    return 2;
  }
  if (IsHelp(args[1])) {
    Print(kToolHelp + std::string("ANSI here is code page ") + std::to_string(GetACP()) + ".\n");
    return Flushed(0);
  }
  if (args[1] == OLESTR("--version")) {
    Print("zanscript " ZAN_VERSION "\n");
    return Flushed(0);
  }
  std::string name = Utf8(args[1]);
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    Arguments rest(args.begin() + 2, args.end());
    // Only in first place: later, -h may be a FILE, KEY or VALUE.
    if (!rest.empty() && IsHelp(rest[0])) {
      Print(command.help);
      return Flushed(0);
    }
    Component component;
    if (!component.Load()) return 1;
    return Flushed(command.run(component, rest));
  }
  PrintError(nullptr, "unknown command " + name + " (see --help)");
  return 2;
}
