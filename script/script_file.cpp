#include "script_file.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "dictionary/zan_dictionary.h"
#include "saved_line.h"
#include "textio/encoded_file_line_reader.h"

namespace {

// A name beside target for the new file: the same folder, so the final
// rename stays on one file system.
WString TemporaryName(const WString& target) {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".zan-save-%llx-%u", static_cast<unsigned long long>(now),
                counter.fetch_add(1));
  WString name = target;
  for (const char* c = suffix; *c; ++c) name += static_cast<OLECHAR>(*c);
  return name;
}

// The target must be writable as it stands, by the platform's own
// permission and sharing rules, before anything is written beside it; a
// target that does not exist yet is judged when its folder is written.
bool TargetIsWritable(const WString& target) {
  FILE* probe = nullptr;
  const int error = WFOpen(&probe, target.c_str(), OLESTR("r+b"));
  if (probe) std::fclose(probe);
  return error == 0 || error == ENOENT;
}

// The new file beside the target: removed again unless it took the
// target's place, also when a failure is raised; the reason of the failure
// stays for GetLastError.
class TemporaryFile {
 public:
  explicit TemporaryFile(WString name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (name_.empty()) return;
    const DWORD reason = GetLastError();
    file_.Close();
    WRemoveFile(name_.c_str());
    SetLastError(reason);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  CEncodedFile_LineReader& file() { return file_; }
  const WString& name() const { return name_; }
  // Flushes and closes the new file and puts it in target's place.
  bool Commit(const WString& target) {
    if (!file_.Flush() || !file_.Close() || !WReplaceFile(name_.c_str(), target.c_str())) return false;
    name_.clear();
    return true;
  }

 private:
  WString name_;
  CEncodedFile_LineReader file_;
};

}  // namespace

HRESULT SaveScriptFile(const CLineArray& lines, const OLECHAR* name, LONG encoding) {
  if (!name || !IsFileEncoding(encoding)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  const WString target = WFinalPath(name);
  if (!TargetIsWritable(target)) return E_FAIL;
  TemporaryFile temporary(TemporaryName(target));
  CEncodedFile_LineReader& file = temporary.file();
  if (!file.Open(temporary.name().c_str(), OM_WRITE, encoding)) return E_FAIL;

  // Lines are separated as they always were: a line that is not a
  // dictionary is skipped without moving the count, and an empty last line
  // is not written. A line that cannot be rendered fails the save rather
  // than lose its text.
  const LONG count = lines.size();
  LONG written = 0;
  WString text;
  for (LONG i = 0; i < count; ++i) {
    zan::ComPtr<Scripting::IDictionary> line;
    IDispatch* object = lines.at(i);
    if (!object || FAILED(object->QueryInterface(Scripting::IID_IDictionary, line.put_void()))) continue;
    if (FAILED(RenderSavedLine(line.get(), &text))) return E_FAIL;
    if (text.empty() && i == count - 1) break;
    if (!file.WriteLine(text.c_str(), written < count - 1)) return E_FAIL;
    ++written;
  }
  return temporary.Commit(target) ? S_OK : E_FAIL;
}

HRESULT LoadScriptFile(const OLECHAR* name, CLineArray* lines) {
  CEncodedFile_LineReader file;
  if (!name || !file.Open(name, OM_READ, FE_UTF8)) return E_FAIL;
  WString read;  // one buffer for every line
  while (!file.AtEnd()) {
    if (!file.ReadLineText(&read, true)) continue;  // an unreadable line is left out
    zan::ComPtr<Scripting::IDictionary> line;
    if (FAILED(CreateLineDictionary(line.put()))) continue;
    if (FAILED(ParseSavedLine(read.c_str(), line.get()))) continue;
    if (!lines->Insert(lines->size(), line.get())) zan::ThrowHr(E_OUTOFMEMORY);
  }
  file.Close();
  return S_OK;
}
