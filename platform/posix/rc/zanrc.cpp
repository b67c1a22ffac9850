// The Linux platform's resource compiler: reads a preprocessed .rc file (the
// subset our modules use: LANGUAGE, STRINGTABLE, and file resources of a
// named or numbered type) and writes C++ that defines the module's exported
// resource directory, string tables in the published block format.
//
//   zanrc <input.rc> <output.cpp> [search dir...]
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Token {
  enum Kind { Word, Number, String, Punct, End } kind;
  std::string text;
  long value = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string text) : s_(std::move(text)) {}

  Token Next() {
    Skip();
    if (i_ >= s_.size()) return {Token::End, ""};
    char c = s_[i_];
    if (c == '"') return ReadString();
    if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t start = i_;
      while (i_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[i_]))) ++i_;
      std::string digits = s_.substr(start, i_ - start);
      if (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l')) digits.pop_back();
      return {Token::Number, digits, std::stol(digits, nullptr, 0)};
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = i_;
      while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) ++i_;
      return {Token::Word, s_.substr(start, i_ - start)};
    }
    ++i_;
    return {Token::Punct, std::string(1, c)};
  }

 private:
  void Skip() {
    for (;;) {
      while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
      if (i_ < s_.size() && s_[i_] == '#') {  // preprocessor leftovers
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
        continue;
      }
      if (s_.compare(i_, 2, "//") == 0) {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
        continue;
      }
      return;
    }
  }

  Token ReadString() {
    std::string out;
    ++i_;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') {
        if (i_ < s_.size() && s_[i_] == '"') {
          out += '"';
          ++i_;
          continue;
        }
        break;
      }
      if (c == '\\' && i_ < s_.size()) {
        char e = s_[i_++];
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
        continue;
      }
      out += c;
    }
    return {Token::String, out};
  }

  std::string s_;
  size_t i_ = 0;
};

struct Resource {
  std::string typeName;  // empty: typeId
  int typeId = 0;
  std::string name;  // empty: nameId
  int nameId = 0;
  int language = 0;
  std::vector<unsigned char> data;
};

[[noreturn]] void Die(const std::string& message) {
  std::cerr << "zanrc: " << message << "\n";
  std::exit(1);
}

// UTF-8 text to UTF-16 units.
std::u16string Widen(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp;
    int extra;
    if (c < 0x80) cp = c, extra = 0;
    else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, extra = 1;
    else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, extra = 2;
    else cp = c & 0x07, extra = 3;
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::vector<unsigned char> ReadFile(const std::string& name, const std::vector<std::string>& dirs) {
  for (const std::string& dir : dirs) {
    std::ifstream in(dir.empty() ? name : dir + "/" + name, std::ios::binary);
    if (in) return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
  }
  Die("cannot find resource file " + name);
}

int Language(Lexer& lex) {
  Token primary = lex.Next();
  Token comma = lex.Next();
  Token sub = lex.Next();
  if (primary.kind != Token::Number || comma.text != "," || sub.kind != Token::Number)
    Die("LANGUAGE takes two numbers");
  return static_cast<int>(primary.value | (sub.value << 10));
}

void StringTable(Lexer& lex, int language, std::map<std::pair<int, int>, std::vector<std::u16string>>* blocks) {
  Token t = lex.Next();
  while (t.kind == Token::Word && t.text != "BEGIN") t = lex.Next();  // options
  if (t.text != "BEGIN" && t.text != "{") Die("STRINGTABLE without BEGIN");
  for (t = lex.Next(); t.text != "END" && t.text != "}"; t = lex.Next()) {
    if (t.kind != Token::Number) Die("string id expected, got " + t.text);
    Token s = lex.Next();
    if (s.text == ",") s = lex.Next();
    if (s.kind != Token::String) Die("string expected");
    auto& block = (*blocks)[{static_cast<int>(t.value / 16 + 1), language}];
    block.resize(16);
    block[static_cast<size_t>(t.value % 16)] = Widen(s.text);
  }
}

std::string WideLiteral(const std::string& s) {
  std::ostringstream out;
  out << "u\"";
  for (char16_t c : Widen(s)) {
    if (c < 0x80 && c != '"' && c != '\\' && std::isprint(c)) out << static_cast<char>(c);
    else out << "\\x" << std::hex << static_cast<unsigned>(c) << "\" u\"" << std::dec;
  }
  out << "\"";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) Die("usage: zanrc input.rc output.cpp [search dir...]");
  std::ifstream in(argv[1]);
  if (!in) Die(std::string("cannot read ") + argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> dirs = {""};
  for (int i = 3; i < argc; ++i) dirs.push_back(argv[i]);

  Lexer lex(text.str());
  int language = 0;
  std::vector<Resource> resources;
  std::map<std::pair<int, int>, std::vector<std::u16string>> blocks;
  for (Token t = lex.Next(); t.kind != Token::End; t = lex.Next()) {
    if (t.kind == Token::Word && t.text == "LANGUAGE") {
      language = Language(lex);
    } else if (t.kind == Token::Word && t.text == "STRINGTABLE") {
      StringTable(lex, language, &blocks);
    } else if (t.kind == Token::Word || t.kind == Token::Number) {
      Resource r;
      if (t.kind == Token::Number) r.nameId = static_cast<int>(t.value);
      else r.name = t.text;
      Token type = lex.Next();
      if (type.kind == Token::Number) r.typeId = static_cast<int>(type.value);
      else if (type.text == "RCDATA") r.typeId = 10;
      else r.typeName = type.text;
      Token file = lex.Next();
      if (file.kind != Token::String) Die("file name expected after " + t.text + " " + type.text);
      r.language = language;
      r.data = ReadFile(file.text, dirs);
      resources.push_back(std::move(r));
    } else {
      Die("unexpected " + t.text);
    }
  }
  for (auto& [key, strings] : blocks) {
    Resource r;
    r.typeId = 6;
    r.nameId = key.first;
    r.language = key.second;
    for (const std::u16string& s : strings) {
      r.data.push_back(static_cast<unsigned char>(s.size() & 0xFF));
      r.data.push_back(static_cast<unsigned char>(s.size() >> 8));
      for (char16_t c : s) {
        r.data.push_back(static_cast<unsigned char>(c & 0xFF));
        r.data.push_back(static_cast<unsigned char>(c >> 8));
      }
    }
    resources.push_back(std::move(r));
  }

  std::ofstream out(argv[2]);
  out << "// Generated by zanrc from " << argv[1] << "; do not edit.\n"
      << "#include \"zanole/zanole.h\"\n#include \"zanole/posix/zanres.h\"\n\nnamespace {\n";
  for (size_t i = 0; i < resources.size(); ++i) {
    out << "alignas(4) const unsigned char data" << i << "[] = {";
    for (size_t k = 0; k < resources[i].data.size(); ++k) out << (k % 24 ? "" : "\n ") << int(resources[i].data[k]) << ",";
    out << "0};\n";
  }
  out << "const ZanResourceEntry entries[] = {\n";
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    out << "  {" << (r.typeName.empty() ? "nullptr" : WideLiteral(r.typeName)) << ", " << r.typeId << ", "
        << (r.name.empty() ? "nullptr" : WideLiteral(r.name)) << ", " << r.nameId << ", " << r.language
        << ", data" << i << ", " << r.data.size() << "},\n";
  }
  if (resources.empty()) out << "  {nullptr, 0, nullptr, 0, 0, nullptr, 0},\n";
  out << "};\n}  // namespace\n\n"
      << "extern \"C\" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) __attribute__((weak));\n"
      << "extern \"C\" __attribute__((visibility(\"default\"))) const ZanResourceDirectory zan_resources = {"
      << resources.size() << ", entries, reinterpret_cast<ZanDllMainFn>(&DllMain)};\n";
  return out ? 0 : 1;
}
