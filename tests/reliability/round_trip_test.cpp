// Seeded random scripts saved and loaded in every encoding: what the saved
// format holds comes back exactly, and what it does not hold is changed
// only in the ways the format says (empty and non-string values and the
// key "with id" are not saved, white space at the ends of keys and values
// and before the information goes, an empty last line is not written,
// ANSI keeps what its code page has).
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/module_fixture.h"
#include "support/temp_folder.h"

namespace zantest {
namespace {

using zan::ComPtr;
using zan::UniqueBstr;

struct Line {
  WString text;
  std::map<WString, WString> info;  // string values, as set
  std::vector<WString> numbers;     // keys whose value is a number
};

// Pieces the generator joins: ASCII, Latin-1 and other BMP letters, a
// character beyond the BMP (a surrogate pair), and blanks. None can make
// the marker " @@ " or the separator "_;_", which no text may hold.
const std::vector<WString>& Pieces() {
  static const std::vector<WString> pieces = {
      OLESTR("a"), OLESTR("Z"),      OLESTR("7"),  OLESTR("."), OLESTR("\""), OLESTR(" "), OLESTR("\t"),
      OLESTR("a@b"), OLESTR("_"),      OLESTR("é"),  OLESTR("ß"), OLESTR("Ω"),  OLESTR("ж"), OLESTR("中"),
      OLESTR("€"), OLESTR("\U0001F3B5"), OLESTR("ق"), OLESTR("print"), OLESTR("if x = 1 then")};
  return pieces;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::vector<Line> Script() {
    std::vector<Line> lines(Below(201));
    for (Line& line : lines) {
      line.text = Words(Below(6));
      const int pairs = Below(11);
      for (int j = 0; j < pairs; ++j) {
        switch (Below(12)) {
          case 0: line.info[OLESTR("with id")] = Words(1 + Below(3)); break;  // never saved
          case 1: line.info[Key(j)] = OLESTR(""); break;                      // empty: not saved
          case 2: line.numbers.push_back(Key(j)); break;                      // not a string: not saved
          case 3: line.info[OLESTR("script comments")] = Words(1 + Below(4)); break;
          default: line.info[Key(j)] = Words(1 + Below(5)); break;
        }
      }
    }
    return lines;
  }

 private:
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  WString Words(int n) {
    WString s;
    for (int i = 0; i < n; ++i) s += Pieces()[static_cast<size_t>(Below(static_cast<int>(Pieces().size())))];
    return s;
  }
  // Unique within the line whatever the dictionary's comparison.
  WString Key(int j) {
    WString key = Words(1 + Below(2));
    for (WCHAR& c : key) {
      if (c == u' ' || c == u'\t') c = u'-';
    }
    const std::string number = "#" + std::to_string(j);
    return key + WString(number.begin(), number.end());
  }
  std::mt19937 random_;
};

bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

WString Trim(const WString& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// What the ANSI code page keeps of s.
WString ThroughAnsi(const WString& s) {
  if (s.empty()) return s;
  const int n = static_cast<int>(s.size());
  int bytes = WideCharToMultiByte(CP_ACP, 0, s.c_str(), n, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, s.c_str(), n, &ansi[0], bytes, nullptr, nullptr);
  int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
  WString back(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, &back[0], units);
  return back;
}

// The script as the saved file gives it back.
std::vector<Line> Expected(const std::vector<Line>& lines, LONG encoding) {
  auto keep = [encoding](const WString& s) { return encoding == 0 ? ThroughAnsi(s) : s; };
  std::vector<Line> out;
  for (const Line& line : lines) {
    Line saved;
    for (const auto& [key, value] : line.info) {
      if (key != OLESTR("with id") && !value.empty()) saved.info[Trim(keep(key))] = Trim(keep(value));
    }
    saved.text = keep(line.text);
    if (!saved.info.empty()) {
      while (!saved.text.empty() && IsBlank(saved.text.back())) saved.text.pop_back();
    }
    out.push_back(saved);
  }
  if (!out.empty() && out.back().text.empty() && out.back().info.empty()) out.pop_back();
  return out;
}

class RoundTripTest : public ModuleTest {
 protected:
  static UniqueBstr B(const WString& s) {
    return UniqueBstr(SysAllocStringLen(s.c_str(), static_cast<UINT>(s.size())));
  }

  void Fill(IScript4* script, const std::vector<Line>& lines) {
    UniqueBstr source = B(OLESTR("script source"));
    for (size_t i = 0; i < lines.size(); ++i) {
      const LONG at = static_cast<LONG>(i);
      ASSERT_HR(S_OK, script->SetLineInfoBSTR(at, source.get(), B(lines[i].text).get()));
      for (const auto& [key, value] : lines[i].info)
        ASSERT_HR(S_OK, script->SetLineInfoBSTR(at, B(key).get(), B(value).get()));
      if (lines[i].numbers.empty()) continue;
      ComPtr<IDispatch> object;
      ComPtr<Scripting::IDictionary> line;
      ASSERT_HR(S_OK, script->get_Line(at, object.put()));
      ASSERT_HR(S_OK, object.As(Scripting::IID_IDictionary, &line));
      for (const WString& key : lines[i].numbers) {
        zan::UniqueVariant k = String(key.c_str());
        ASSERT_HR(S_OK, line->put_Item(k.get(), Long(42).get()));
      }
    }
  }

  void ExpectLines(IScript4* script, const std::vector<Line>& expected, const std::string& where) {
    LONG size = -1;
    ASSERT_HR(S_OK, script->get_Size(&size));
    ASSERT_EQ(static_cast<LONG>(expected.size()), size) << where;
    UniqueBstr source = B(OLESTR("script source"));
    for (LONG i = 0; i < size; ++i) {
      const Line& want = expected[static_cast<size_t>(i)];
      UniqueBstr text;
      ASSERT_HR(S_OK, script->GetLineInfo(i, source.get(), text.put())) << where << ", line " << i;
      EXPECT_EQ(Narrow(want.text.c_str()), Narrow(text.get())) << where << ", line " << i;
      ComPtr<IDispatch> object;
      ComPtr<Scripting::IDictionary> line;
      ASSERT_HR(S_OK, script->get_Line(i, object.put()));
      ASSERT_HR(S_OK, object.As(Scripting::IID_IDictionary, &line));
      LONG count = 0;
      ASSERT_HR(S_OK, line->get_Count(&count));
      EXPECT_EQ(static_cast<LONG>(want.info.size() + 1), count) << where << ", line " << i;
      for (const auto& [key, value] : want.info) {
        UniqueBstr got;
        ASSERT_HR(S_OK, script->GetLineInfo(i, B(key).get(), got.put()))
            << where << ", line " << i << ", key " << Narrow(key.c_str());
        EXPECT_EQ(Narrow(value.c_str()), Narrow(got.get())) << where << ", line " << i;
      }
      if (HasFailure()) return;
    }
  }
};

// 1,000 scripts of 0 to 200 lines with 0 to 10 pieces of information each,
// through every encoding.
TEST_F(RoundTripTest, GeneratedScriptsComeBackAsTheFormatHoldsThem) {
  TempFolder folder;
  const WString path = folder.WidePath("round.script");
  constexpr unsigned kScripts = 1000;
  size_t lines = 0;
  for (unsigned seed = 1; seed <= kScripts; ++seed) {
    const std::vector<Line> script = Generator(seed).Script();
    lines += script.size();
    ComPtr<IScript4> written;
    ComPtr<IPersistFile> saver;
    ASSERT_HR(S_OK, Create(CLSID_Script, &written));
    ASSERT_HR(S_OK, written.As(IidOf<IPersistFile>(), &saver));
    Fill(written.get(), script);
    if (HasFatalFailure()) return;
    for (LONG encoding : {0, 1, 2}) {
      const std::string where = "seed " + std::to_string(seed) + ", encoding " + std::to_string(encoding);
      ASSERT_HR(S_OK, written->put_SaveEncoding(encoding));
      ASSERT_HR(S_OK, saver->Save(path.c_str(), TRUE)) << where;
      ComPtr<IScript4> loaded;
      ComPtr<IPersistFile> loader;
      ASSERT_HR(S_OK, Create(CLSID_Script, &loaded));
      ASSERT_HR(S_OK, loaded.As(IidOf<IPersistFile>(), &loader));
      ASSERT_HR(S_OK, loader->Load(path.c_str(), STGM_READ)) << where;
      ExpectLines(loaded.get(), Expected(script, encoding), where);
      if (HasFailure()) return;
    }
  }
  std::printf("[ ROUND TRIP ] %u scripts, %zu lines, each through 3 encodings\n", kScripts, lines);
}

}  // namespace
}  // namespace zantest
