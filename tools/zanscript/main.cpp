// zanscript: inspect, convert and edit saved ZanScript files from a shell.
// The command line is parsed by CLI11; the commands see only a Request.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "output.h"
#include "zanole/console.h"

namespace {

const char kGuard[] =
    "A file is written only when saving it unedited gives back its bytes: a file\n"
    "the reader cannot take whole is refused; line ends, the last line break and\n"
    "blanks the format does not keep are listed and changed only with --normalize.\n"
    "A file without a byte order mark is read as ANSI unless --from names utf8 or\n"
    "utf16le (saving then adds the mark).\n"
    "\n"
    "Options come before the first argument: from there on, every argument is\n"
    "taken as it stands, so a KEY or VALUE may begin with a dash; -- ends the\n"
    "options earlier, for a FILE that begins with one. --to=utf8 and --to utf8\n"
    "are the same. A FILE of - is standard input, an OUT of - standard output.\n";

const char kExamples[] =
    "Examples:\n"
    "  $ zanscript show greeting.script\n"
    "  $ zanscript show --json greeting.script\n"
    "  $ zanscript cat greeting.script other.script\n"
    "  $ zanscript convert --to=utf16le greeting.script wide.script\n"
    "  $ zanscript convert --from=utf8 --to=utf8 - - <a.script >b.script\n"
    "  $ zanscript info list greeting.script 0\n"
    "  $ zanscript info set greeting.script 3 owner -h\n"
    "  $ zanscript info del --normalize -- -odd-name.script 0 owner\n";

const char kExitStatus[] = "Exit status: 0 done, 1 failed (no file changed), 2 wrong usage.\n";

std::string AnsiHelp() {
  std::string text = "ANSI here is code page " + std::to_string(GetACP()) + ".\n";
  if (AnsiCodePageChoosable())
    return text +
           "--code-page N, before or after the COMMAND, reads and writes ANSI in code\n"
           "page N instead (for example 1251 or 932).\n";
  return text +
         "It is the system's setting (the language for non-Unicode programs); the tool\n"
         "cannot choose another.\n";
}

// The usage line first, as help2man and readers expect, then what CLI11
// lists; the commands' names stand as COMMAND, their arguments as arguments.
class Help : public CLI::Formatter {
 public:
  Help() {
    label("SUBCOMMAND", "COMMAND");
    label("Positionals", "Arguments");
    column_width(26);
  }
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    std::string text = make_usage(app, name) + "\n" + app->get_description() + "\n" + make_positionals(app) +
                       make_groups(app, mode) + make_subcommands(app, mode) + "\n" + make_footer(app);
    while (text.size() > 1 && text[text.size() - 2] == '\n') text.pop_back();
    return text;
  }
  // The tool's usage names every command's form, which the manual page
  // takes for its synopsis.
  std::string make_usage(const CLI::App* app, std::string name) const override {
    if (app->get_parent()) return CLI::Formatter::make_usage(app, name);
    return "Usage: zanscript [OPTIONS] COMMAND [ARGS]...\n"
           "  or:  zanscript cat FILE...\n"
           "  or:  zanscript show [--json] [--from ENC] FILE\n"
           "  or:  zanscript convert [--normalize] [--from ENC] --to ENC IN [OUT]\n"
           "  or:  zanscript info get|list [--from ENC] FILE LINE [KEY]\n"
           "  or:  zanscript info set|del [--normalize] [--from ENC] FILE LINE KEY [VALUE]\n";
  }
  // Arguments are all required and all text: the usage line says so.
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_positional() ? std::string() : CLI::Formatter::make_option_opts(option);
  }
};

// One line for a command line CLI11 refused, in the tool's words where
// CLI11's would puzzle.
std::string Explain(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App* deepest = &app;
  while (!deepest->get_subcommands().empty()) deepest = deepest->get_subcommands()[0];
  std::string path;
  for (const CLI::App* a = deepest; a->get_parent(); a = a->get_parent())
    path = a->get_name() + (path.empty() ? "" : " ") + path;
  std::vector<std::string> extra = app.remaining(true);
  if (deepest->get_require_subcommand_min() > 0 && deepest->get_subcommands().empty()) {
    if (extra.empty()) return path.empty() ? "a COMMAND is needed" : path + " needs a COMMAND";
    if (extra[0].size() > 1 && extra[0][0] == '-') return "unknown option " + extra[0];
    return "unknown command " + (path.empty() ? "" : path + " ") + extra[0];
  }
  std::string message = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    std::string usage = Help().make_usage(deepest, "zanscript " + path);
    message = "too many arguments: " + usage.substr(usage.find(' ') + 1);
    while (!message.empty() && message.back() == '\n') message.pop_back();
  }
  // Past the first argument an option is an argument: say so where one was taken for it.
  for (const CLI::Option* option : deepest->get_options([](const CLI::Option* o) { return o->get_positional(); }))
    for (const std::string& value : option->results())
      if (value.size() > 1 && value[0] == '-') return message + "; options go before the first argument";
  return message;
}

void Encodings(CLI::Option* option) {
  option->check(CLI::IsMember({"ansi", "utf16le", "utf8"}))->type_name("ENC");
}

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

int Usage(const std::string& message) {
  std::string line = message;
  for (char& c : line)
    if (c == '\n') c = ' ';
  PrintError(nullptr, line + " (see --help)");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStdio();
  std::vector<std::string> args;
  size_t untextual = 0;
  std::string why;
  if (!CommandLineArgumentsAreText(argc, argv, &untextual, &why))
    return Usage("argument " + std::to_string(untextual) + " " + why);
  for (const WString& arg : CommandLineArguments(argc, argv)) args.push_back(Utf8(arg));
  if (args.size() < 2) return Usage("a COMMAND is needed");

  CLI::App app("Inspect, convert and edit saved ZanScript files.", "zanscript");
  app.formatter(std::make_shared<Help>());
  app.require_subcommand(1);
  app.set_version_flag("--version", "zanscript " ZAN_VERSION, "Print the version and exit");
  app.footer([] { return std::string(kGuard) + "\n" + AnsiHelp() + "\n" + kExitStatus + "\n" + kExamples; });
  Request request;
  std::string codePage;
  if (AnsiCodePageChoosable())
    app.add_option("--code-page", codePage, "The code page ANSI stands for (1252 unless given)")->type_name("N");
  std::string from, to, line, key, value;
  std::vector<std::string> files;
  auto command = [&app](const char* name, const char* description, const char* footer) {
    CLI::App* sub = app.add_subcommand(name, description);
    // Once the first argument is seen, the rest are arguments: a VALUE of -h is a value.
    sub->positionals_at_end()->fallthrough()->footer(footer)->group("Commands");
    return sub;
  };
  auto fromOption = [&from](CLI::App* sub) {
    Encodings(sub->add_option("--from", from, "Read a file without a byte order mark in this encoding"));
  };

  CLI::App* cat = command("cat", "Print the plain text of saved scripts",
                          "Prints each script's text, a line feed after each line, without the\n"
                          "information saved after \" @@ \": every line show numbers, empty ones too.\n"
                          "What show notes on its first line cat says on standard error; a line it\n"
                          "could not read (not text in the file's encoding) makes it exit 1.\n"
                          "\nExamples:\n  $ zanscript cat greeting.script\n  $ zanscript cat - <greeting.script\n");
  cat->add_option("FILE", files, "Saved scripts (- for standard input)")->required();

  CLI::App* show = command("show", "Print the encoding read and each line with its index, text and information",
                           "Prints the encoding read, then each line's index (from 0, as LINE in info),\n"
                           "its text and its information. With --json: an object with the encoding,\n"
                           "whether the file has a byte order mark, and one object per line:\n"
                           "  {\"encoding\":\"utf8\",\"mark\":true,\"lines\":[\n"
                           "  {\"index\":0,\"text\":\"...\",\"info\":{\"key\":\"value\"}}]}\n"
                           "\nExamples:\n  $ zanscript show greeting.script\n"
                           "  $ zanscript show --json --from=utf8 - <plain.script\n");
  show->add_flag("--json", request.json, "Print JSON");
  fromOption(show);
  show->add_option("FILE", files, "A saved script (- for standard input)")->required()->expected(1);

  CLI::App* convert =
      command("convert", "Save a script in another encoding",
              "Loads IN and saves it, lines and information, in the encoding given: to OUT,\n"
              "or in place. IN of - reads standard input and, without OUT, writes standard\n"
              "output, as does OUT of -. The old file stays whole if the save fails. Text\n"
              "the ANSI code page cannot hold is refused rather than replaced, and so is a\n"
              "file that would not save back as it was read (see zanscript --help).\n"
              "\nExamples:\n  $ zanscript convert --to utf16le greeting.script\n"
              "  $ zanscript convert --to=utf8 --from=ansi old.script new.script\n");
  convert->add_flag("--normalize", request.normalize, "Accept what only the format changes");
  fromOption(convert);
  Encodings(convert->add_option("--to", to, "The encoding to save in")->required());
  std::string in, out;
  convert->add_option("IN", in, "The script to read (- for standard input)")->required();
  CLI::Option* outOption = convert->add_option("OUT", out, "Where to save it (- for standard output; IN if not given)");

  CLI::App* info = command("info", "Read, list, set or delete a line's information",
                           "Lines count from 0, as show numbers them. set and del save the file in its\n"
                           "own encoding, in place: their FILE cannot be - (standard input).\n"
                           "\nExamples:\n  $ zanscript info list greeting.script 0\n"
                           "  $ zanscript info set greeting.script 3 owner Ann\n");
  info->require_subcommand(1);
  struct Action {
    const char* name;
    const char* description;
    bool edits, keyed, valued;
    const char* footer;
  };
  const Action actions[] = {
      {"get", "Print one piece of a line's information", false, true, false,
       "Prints the value KEY has on line LINE; exit 1 if it has none.\n"
       "\nExamples:\n  $ zanscript info get greeting.script 0 \"script comments\"\n"},
      {"list", "Print a line's information, one KEY = VALUE a line", false, false, false,
       "Prints each piece of information of line LINE as KEY = VALUE, one a line, in\n"
       "the order the file keeps them; nothing for a line without information (exit\n"
       "0), and exit 1 for a LINE the script does not have.\n"
       "\nExamples:\n  $ zanscript info list greeting.script 0\n"},
      {"set", "Set one piece of a line's information and save the file", true, true, true,
       "Sets KEY to VALUE on line LINE and saves the file in its own encoding. The\n"
       "saved format has no escaping, so a key or value it could not read back as\n"
       "given is refused: an empty key, one holding \"_;_\", \" @@ \" or a line break,\n"
       "or blanks at either end. The key \"script source\" holds the line's text,\n"
       "which info does not change.\n"
       "\nExamples:\n  $ zanscript info set greeting.script 3 owner Ann\n"
       "  $ zanscript info set greeting.script 3 flag -h\n"},
      {"del", "Delete one piece of a line's information and save the file", true, true, false,
       "Deletes KEY from line LINE and saves the file in its own encoding.\n"
       "\nExamples:\n  $ zanscript info del greeting.script 3 owner\n"},
  };
  for (const Action& action : actions) {
    CLI::App* sub = info->add_subcommand(action.name, action.description);
    sub->positionals_at_end()->fallthrough()->footer(action.footer)->group("Commands");
    if (action.edits) sub->add_flag("--normalize", request.normalize, "Accept what only the format changes");
    fromOption(sub);
    sub->add_option("FILE", files, action.edits ? "A saved script" : "A saved script (- for standard input)")
        ->required()
        ->expected(1);
    sub->add_option("LINE", line, "The line's index, from 0")->required();
    if (action.keyed) sub->add_option("KEY", key, "The information's key")->required();
    if (action.valued) sub->add_option("VALUE", value, "Its new value")->required();
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    Print(app.help());
    return Flushed(0);
  } catch (const CLI::CallForVersion& version) {
    Print(std::string(version.what()) + "\n");
    return Flushed(0);
  } catch (const CLI::ParseError& error) {
    return Usage(Explain(app, error));
  }

  if (!codePage.empty()) {
    char* end = nullptr;
    unsigned long page = std::strtoul(codePage.c_str(), &end, 10);
    // UTF-16 and UTF-7 are no ANSI code page: bytes of a line are no line of theirs.
    if (page == 1200 || page == 1201 || page == 65000)
      return Usage("code page " + codePage + " is not an ANSI code page (--from utf16le reads UTF-16LE)");
    if (*end || codePage[0] == '-' || page > 65535 || !ChooseAnsiCodePage(static_cast<UINT>(page)))
      return Usage("code page " + codePage + " is not one this system converts");
  }
  if (!from.empty()) {
    request.hasFrom = true;
    ParseEncoding(Wide(from), &request.from);
  }
  if (!to.empty()) ParseEncoding(Wide(to), &request.to);
  if (convert->parsed()) {
    files = {in};
    if (outOption->count()) files.push_back(out);
  }
  for (const std::string& file : files) request.files.push_back(Wide(file));
  request.line = Wide(line);
  request.key = Wide(key);
  request.value = Wide(value);

  int (*run)(const Component&, const Request&) = nullptr;
  if (cat->parsed()) run = &CatCommand;
  if (show->parsed()) run = &ShowCommand;
  if (convert->parsed()) run = &ConvertCommand;
  for (const Action& action : actions) {
    if (!info->get_subcommand(action.name)->parsed()) continue;
    request.action = action.name;
    run = &InfoCommand;
  }
  if (!run) return Usage("a COMMAND is needed");
  Component component;
  if (!component.Load()) return 1;
  return Flushed(run(component, request));
}
