// A random sequence of host calls on a script (IScript, IScriptData and
// IPersistFile's dirty flag), each checked against a plain model of the
// document: the results, the line count, every line's text, the dirty flag,
// the current line and the events a subscriber hears. Line objects are
// shared between scripts, so the model shares its lines too.
#include <memory>
#include <string>
#include <vector>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "script/script.h"

namespace {

using zan::ComPtr;
using Text = std::shared_ptr<WString>;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  unsigned Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A number from low to high.
  LONG In(LONG low, LONG high) { return low + static_cast<LONG>(Byte() % static_cast<unsigned>(high - low + 1)); }
  WString Chars(LONG most, bool breaks) {
    static const WCHAR* const pieces[] = {u"a", u"b", u"ab", u" ", u"é", u"\U0001F3B5", u"\r", u"\n"};
    WString s;
    for (LONG n = In(0, most); n > 0; --n) s += pieces[Byte() % (breaks ? 8 : 6)];
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class Sink : public _IScriptDataEvents {
 public:
  ULONG refs = 1;
  int events = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID__IScriptDataEvents)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<_IScriptDataEvents*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnScriptUpdate(ScriptUpdateInfo*, IUnknown*) noexcept override { return ++events, S_OK; }
  HRESULT STDMETHODCALLTYPE OnCurrentLineChange(LONG) noexcept override { return ++events, S_OK; }
};

struct Model {
  std::vector<Text> lines;
  bool dirty = false;
  LONG current = -1;
  int events = 0;

  LONG size() const { return static_cast<LONG>(lines.size()); }
  bool Valid(LONG p) const { return p >= 0 && p <= size(); }
};

// The lines a text makes: cut at every run of CR and LF, no empty ones.
std::vector<WString> Tokens(const WString& text) {
  std::vector<WString> out;
  WString current;
  for (WCHAR c : text) {
    if (c == u'\r' || c == u'\n') {
      if (!current.empty()) out.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

WString Replaced(const WString& text, const WString& from, const WString& to) {
  WString out;
  for (size_t at = 0;;) {
    size_t hit = text.find(from, at);
    if (hit == WString::npos) return out + text.substr(at);
    out += text.substr(at, hit - at) + to;
    at = hit + from.size();
  }
}

zan::UniqueBstr B(const WString& s) { return zan::UniqueBstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))); }

class Session {
 public:
  explicit Session(Input* in) : in_(in) {}

  bool Start() {
    if (FAILED(zan::CreateInstance<CScript>(nullptr, IID_IScript4, script_.put_void())) ||
        FAILED(zan::CreateInstance<CScript>(nullptr, IID_IScript4, other_.put_void())) ||
        FAILED(script_->QueryInterface(IID_IScriptData, data_.put_void())) ||
        FAILED(script_->QueryInterface(IID_IPersistFile, file_.put_void())))
      return false;
    for (const WCHAR* s : {u"x", u"y z"}) {
      Check(other_->AppendScriptLine(B(s).get()) == S_OK);
      otherModel_.push_back(std::make_shared<WString>(s));
    }
    ComPtr<IConnectionPointContainer> container;
    Check(script_->QueryInterface(IID_IConnectionPointContainer, container.put_void()) == S_OK);
    Check(container->FindConnectionPoint(IID__IScriptDataEvents, point_.put()) == S_OK);
    Check(point_->Advise(&sink_, &cookie_) == S_OK);
    return true;
  }

  void Finish() {
    Check(point_->Unadvise(cookie_) == S_OK);
    point_.Reset();
    data_.Reset();
    file_.Reset();
    script_.Reset();
    other_.Reset();
    Check(sink_.refs == 1);
  }

  void Step() {
    const WString source = u"script source";
    switch (in_->Byte() % 14) {
      case 0: {  // AppendScriptLine
        WString t = in_->Chars(6, true);
        Check(script_->AppendScriptLine(B(t).get()) == S_OK);
        std::vector<WString> tokens = t.empty() ? std::vector<WString>{WString()} : Tokens(t);
        for (const WString& token : tokens) m_.lines.push_back(std::make_shared<WString>(token));
        if (!tokens.empty()) m_.dirty = true;
        break;
      }
      case 1: {  // InsertScriptLine
        LONG at = in_->In(-1, m_.size() + 1);
        WString t = in_->Chars(6, true);
        std::vector<WString> tokens = t.empty() ? std::vector<WString>{WString()} : Tokens(t);
        HRESULT want = tokens.empty() || m_.Valid(at) ? S_OK : E_FAIL;
        Check(script_->InsertScriptLine(at, B(t).get()) == want);
        if (want == S_OK)
          for (const WString& token : tokens) m_.lines.insert(m_.lines.begin() + at++, std::make_shared<WString>(token));
        break;
      }
      case 2: {  // RemoveLine
        LONG at = in_->In(-1, m_.size());
        bool ok = at >= 0 && at < m_.size();
        Check(script_->RemoveLine(at) == (ok ? S_OK : E_FAIL));
        if (ok) m_.lines.erase(m_.lines.begin() + at), m_.dirty = true;
        break;
      }
      case 3: {  // Resize
        LONG n = in_->In(-2, m_.size() + 3);
        Check(script_->Resize(n) == S_OK);
        if (n == m_.size()) break;
        m_.dirty = true;
        if (n <= 0) m_.lines.clear();
        while (m_.size() < n) m_.lines.push_back(std::make_shared<WString>());
        if (n > 0) m_.lines.resize(static_cast<size_t>(n));
        break;
      }
      case 4: {  // SetLineInfo of the text, writing into a (maybe shared) line
        LONG at = in_->In(-1, m_.size() + 1);
        WString t = in_->Chars(4, true);
        bool ok = m_.Valid(at);
        Check(script_->SetLineInfo(at, B(source).get(), B(t).get()) == (ok ? S_OK : E_FAIL));
        if (!ok) break;
        if (at == m_.size()) m_.lines.push_back(std::make_shared<WString>(t));
        else *m_.lines[static_cast<size_t>(at)] = t;
        m_.dirty = true;
        break;
      }
      case 5:
        Check(script_->Empty() == S_OK);
        m_.lines.clear();
        break;
      case 6:
        Check(script_->SetNoDirty() == S_OK);
        m_.dirty = false;
        break;
      case 7: {
        LONG flag = in_->In(0, 2);
        Check(script_->SetDirty(flag) == S_OK);
        m_.dirty = flag != 0;
        break;
      }
      case 8: {  // ReplaceScriptStr in one line or all
        WString from = in_->Chars(2, false), to = in_->Chars(3, false);
        if (from.empty()) from = u"a";
        // Repeated replacements grow texts exponentially, and one over all
        // lines meets a shared line once per reference; that measures
        // nothing but the machine. So texts stay small, and only a
        // replacement in one line may lengthen them.
        if (TextLength() > 4096) break;
        LONG at = in_->In(-1, m_.size() - 1);
        if (at == -1 && to.size() > from.size()) to.resize(from.size());
        Check(script_->ReplaceScriptStr(B(from).get(), B(to).get(), at) == S_OK);
        for (LONG i = 0; i < m_.size(); ++i) {
          if (at == -1 || at == i) *m_.lines[static_cast<size_t>(i)] = Replaced(*m_.lines[static_cast<size_t>(i)], from, to);
        }
        m_.dirty = true;
        break;
      }
      case 9: {
        LONG line = in_->In(-2, m_.size() + 2);
        Check(data_->SetCurrentLine(line) == S_OK);
        m_.current = line;
        ++m_.events;
        break;
      }
      case 10: {  // ApplyUpdate: delete a range
        LONG first = in_->In(-1, m_.size() + 1), count = in_->In(0, 3);
        ScriptUpdateInfo info = {1, 0, count, first, 2, 0};
        Check(data_->ApplyUpdate(&info, nullptr) == S_OK);
        if (m_.Valid(first) && m_.Valid(first + count)) {
          m_.lines.erase(m_.lines.begin() + first, m_.lines.begin() + first + count);
          m_.dirty = true;
        }
        ++m_.events;
        break;
      }
      case 11: {  // get_Script, -1 being the current line
        LONG at = in_->In(-2, m_.size());
        LONG line = at == -1 ? m_.current : at;
        bool ok = at >= -1 && line >= 0 && line < m_.size();
        zan::UniqueBstr text;
        Check(script_->get_Script(at, text.put()) == (ok ? S_OK : E_FAIL));
        if (ok) Check(WString(text.get(), text.length()) == *m_.lines[static_cast<size_t>(line)]);
        break;
      }
      case 12: {  // ApplyUpdate: insert the other script's lines, shared
        LONG first = in_->In(0, m_.size() + 2);
        ScriptUpdateInfo info = {1, 0, 0, first, 0, 0};
        Check(data_->ApplyUpdate(&info, other_.get()) == S_OK);
        if (first > m_.size()) first = m_.size();
        m_.lines.insert(m_.lines.begin() + first, otherModel_.begin(), otherModel_.end());
        m_.dirty = true;
        ++m_.events;
        break;
      }
      default:
        CheckAll();
        break;
    }
    LONG size = -1;
    Check(script_->get_Size(&size) == S_OK && size == m_.size());
    Check(file_->IsDirty() == (m_.dirty ? S_OK : S_FALSE));
    Check(sink_.events == m_.events);
  }

  size_t TextLength() const {
    size_t n = 0;
    for (const Text& line : m_.lines) n += line->size();
    return n;
  }

  void CheckAll() {
    for (LONG i = 0; i < m_.size(); ++i) {
      zan::UniqueBstr text;
      Check(script_->get_Script(i, text.put()) == S_OK);
      Check(WString(text.get(), text.length()) == *m_.lines[static_cast<size_t>(i)]);
    }
    LONG current = 0;
    Check(data_->GetCurrentLine(&current) == S_OK && current == m_.current);
  }

 private:
  Input* in_;
  ComPtr<IScript4> script_, other_;
  ComPtr<IScriptData> data_;
  ComPtr<IPersistFile> file_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
  Sink sink_;
  Model m_;
  std::vector<Text> otherModel_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const LONG strings = ZanLiveBstrCount();
  {
    Input in(data, size);
    Session session(&in);
    if (!session.Start()) return 0;
    for (int steps = 0; !in.empty() && steps < 2000; ++steps) session.Step();
    session.CheckAll();
    session.Finish();
  }
  Check(ZanLiveBstrCount() == strings);
  return 0;
}
