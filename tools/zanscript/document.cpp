#include "document.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/unique_any.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "output.h"
#include "zanole/scripting.h"

const WCHAR kSourceKey[] = OLESTR("script source");

namespace {

const WCHAR kNeverSavedKey[] = OLESTR("with id");

// The encoding its byte order mark names; none is ANSI.
Encoding EncodingOf(const std::string& bytes) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return kUtf16le;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return kUtf8;
  return kAnsi;
}

const char* MarkOf(Encoding encoding) { return encoding == kUtf16le ? "\xFF\xFE" : "\xEF\xBB\xBF"; }

std::string LineWord(size_t line) { return "line " + std::to_string(line) + " (lines count from 0)"; }

// The reader drops a CR that ends no line, joining a file of CR line ends
// into one line.
const char kLoneCr[] = " holds a CR without a line feed after it (CR alone does not end a line here)";

// Why the file's bytes are not text the reader takes whole in the encoding
// its mark names, with the first line (from 0) at fault; empty when they are.
std::string NotText(const std::string& bytes, Encoding encoding) {
  if (encoding == kUtf16le) {
    size_t line = 0;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      unsigned unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
      if (unit == 0) return LineWord(line) + " holds a NUL character";
      bool high = unit >= 0xD800 && unit < 0xDC00, low = unit >= 0xDC00 && unit < 0xE000;
      unsigned next = i + 3 < bytes.size()
                          ? (static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8)
                          : 0;
      if (low || (high && !(next >= 0xDC00 && next < 0xE000))) return LineWord(line) + " is not valid UTF-16LE";
      if (unit == u'\r' && next != u'\n') return LineWord(line) + kLoneCr;
      if (high) i += 2;
      if (unit == u'\n') ++line;
    }
    if (bytes.size() % 2) return LineWord(line) + " ends in half a UTF-16 unit";
    return std::string();
  }
  if (encoding == kAnsi && bytes.compare(0, 2, "\xFE\xFF") == 0)
    return LineWord(0) + " starts with a UTF-16 big-endian mark, an encoding that is not read";
  size_t start = encoding == kUtf8 ? 3 : 0, line = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const char* text = bytes.data() + start;
    int length = static_cast<int>(end - start);
    for (int i = 0; i < length; ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == 0)
        return LineWord(line) + (encoding == kUtf8 ? " holds a NUL byte"
                                                   : " holds NUL bytes: a binary file or UTF-16 without a mark");
      if (encoding == kAnsi && c < 0x20 && c != '\t' && c != '\r')
        return LineWord(line) + " holds control bytes: a binary file, not ANSI text";
      if (c == '\r' && (i + 1 < length || end == bytes.size())) return LineWord(line) + kLoneCr;
    }
    if (length > 0 &&
        MultiByteToWideChar(encoding == kUtf8 ? CP_UTF8 : CP_ACP, MB_ERR_INVALID_CHARS, text, length, nullptr, 0) <= 0)
      return LineWord(line) + (encoding == kUtf8 ? " is not valid UTF-8" : " is not text in the ANSI code page");
    start = end + 1;
    ++line;
  }
  return std::string();
}

WString Decode(const std::string& bytes, Encoding encoding) {
  WString out;
  if (encoding == kUtf16le) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      out += static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return out;
  }
  size_t start = encoding == kUtf8 ? 3 : 0;
  if (bytes.size() <= start) return out;
  UINT page = encoding == kUtf8 ? CP_UTF8 : CP_ACP;
  int length = static_cast<int>(bytes.size() - start);
  int n = MultiByteToWideChar(page, 0, bytes.data() + start, length, nullptr, 0);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(page, 0, bytes.data() + start, length, out.data(), n);
  return out;
}

// A file's lines as the format splits them: at line feeds, with whether
// each ended in CR LF, and whether the file ended in a line break.
struct Lines {
  std::vector<WString> text;
  size_t crlf = 0, lf = 0;
  bool lastBreak = false;
};

Lines Split(const WString& all) {
  Lines lines;
  size_t start = 0;
  for (;;) {
    size_t end = all.find(u'\n', start);
    if (end == WString::npos) {
      if (start < all.size() || lines.text.empty()) lines.text.push_back(all.substr(start));
      lines.lastBreak = start == all.size() && !lines.text.empty() && start > 0;
      return lines;
    }
    WString line = all.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') {
      line.pop_back();
      ++lines.crlf;
    } else {
      ++lines.lf;
    }
    lines.text.push_back(line);
    start = end + 1;
  }
}

WString WithoutBlanks(const WString& text) {
  WString out;
  for (WCHAR c : text)
    if (!IsWSpace(c)) out += c;
  return out;
}

// A bare failure of the library leaves its cause for GetLastError.
HRESULT WithCause(HRESULT result) {
  DWORD error = GetLastError();
  return result == E_FAIL && error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : result;
}

// Far beyond any script, and within what the conversions' int lengths
// take: a device such as /dev/zero never ends, and is refused here.
constexpr size_t kMaxFileBytes = 0x3FFFFFFF;

bool ReadFrom(FILE* file, std::string* bytes, int* error) {
  char buffer[65536];
  size_t n;
  bytes->clear();
  errno = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (bytes->size() + n > kMaxFileBytes) {
      *error = EFBIG;
      return false;
    }
    bytes->append(buffer, n);
  }
  *error = std::ferror(file) ? (errno ? errno : EIO) : 0;
  return *error == 0;
}

// A path of "-" is standard input.
bool ReadAll(const WString& path, std::string* bytes, int* error) {
  if (path == OLESTR("-")) return ReadFrom(stdin, bytes, error);
  zan::UniqueFile file;
  if ((*error = WFOpen(file.put(), path.c_str(), OLESTR("rb"))) != 0) return false;
  return ReadFrom(file.get(), bytes, error);
}

std::string ErrnoReason(int error) {
  switch (error) {
    case ENOENT: return "no such file";
    case ENOTDIR: return "no such folder";
    case EACCES:
    case EPERM: return "permission denied";
    case EISDIR: return "is a folder";
    case ENOSPC: return "disk full";
    case EFBIG: return "too large for a script";
    default: return std::strerror(error);
  }
}

// Where a mark-less file holds UTF-8 that is not ASCII, the line (from 0)
// of its first such character; -1 when it holds none or is no UTF-8.
long FirstUtf8Line(const std::string& bytes) {
  size_t first = 0;
  while (first < bytes.size() && static_cast<unsigned char>(bytes[first]) < 0x80) ++first;
  if (first == bytes.size() ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) <= 0)
    return -1;
  long line = 0;
  for (size_t i = 0; i < first; ++i) line += bytes[i] == '\n';
  return line;
}

// A private file in the temporary folder, for a moment: removed when it
// goes.
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() {
    if (!name_.empty()) WRemoveFile(name_.c_str());
  }

  // Makes the file and opens it for writing; false when none could be made.
  bool Open(zan::UniqueFile* stream) {
    error_ = WCreateScratchFile(stream->put(), &name_);
    return error_ == 0;
  }
  // Makes the file, empty and closed: a save over it keeps its rights.
  bool Create() {
    zan::UniqueFile stream;
    if (!Open(&stream)) return false;
    if (std::fclose(stream.release()) == 0) return true;
    error_ = errno;
    return false;
  }
  const WString& Name() const { return name_; }
  // Why Open or Create failed: the fault is the temporary folder's, not the
  // script's.
  std::string Failure() const {
    return "no copy can be made in the temporary folder: " + (error_ == ENOENT ? "no such folder" : ErrnoReason(error_));
  }

 private:
  WString name_;
  int error_ = 0;
};

std::vector<WString> Strings(VARIANT* array) {
  std::vector<WString> out;
  if (V_VT(array) != (VT_ARRAY | VT_VARIANT)) return out;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(V_ARRAY(array), 1, &lower);
  SafeArrayGetUBound(V_ARRAY(array), 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    zan::UniqueVariant element;
    SafeArrayGetElement(V_ARRAY(array), &i, element.get());
    zan::UniqueVariant text;
    VariantChangeType(text.get(), element.get(), 0, VT_BSTR);
    out.emplace_back(V_VT(text.get()) == VT_BSTR && V_BSTR(text.get()) ? V_BSTR(text.get()) : OLESTR(""));
  }
  return out;
}

}  // namespace

void Document::HoldForEdit(const WString& path) { hold_.reset(WHoldForEdit(path.c_str(), true)); }

bool Document::Load(const Component& component, const WString& path, const Encoding* from) {
  int error = 0;
  if (!ReadAll(path, &bytes_, &error)) {
    PrintError(path.c_str(), "cannot read it: " + ErrnoReason(error));
    return false;
  }
  encoding_ = EncodingOf(bytes_);
  marked_ = encoding_ != kAnsi;
  told_ = from && !marked_;
  if (from && marked_ && *from != encoding_) {
    PrintError(path.c_str(), std::string("its byte order mark says ") + NameOf(encoding_) +
                                 "; --from is for a file without one");
    return false;
  }
  // The library reads files, and a mark-less one as ANSI: standard input,
  // and another encoding, it reads from a copy, which carries the mark the
  // document then saves.
  ScratchFile copy;
  const bool copied = path == OLESTR("-") || (told_ && *from != kAnsi);
  if (copied) {
    if (told_ && *from != kAnsi) {
      encoding_ = *from;
      bytes_.insert(0, MarkOf(encoding_));
      added_ = std::char_traits<char>::length(MarkOf(encoding_));
    }
    zan::UniqueFile file;
    bool written = copy.Open(&file);
    if (written) {
      written = std::fwrite(bytes_.data(), 1, bytes_.size(), file.get()) == bytes_.size();
      written = std::fclose(file.release()) == 0 && written;
    }
    if (!written) {
      PrintError(path.c_str(), "cannot read it: no temporary copy");
      return false;
    }
  }
  component_ = &component;
  script_ = component.NewScript();
  zan::ComPtr<IPersistFile> persist;
  HRESULT result = E_FAIL;
  SetLastError(ERROR_SUCCESS);
  if (!script_ || FAILED(result = script_.As(&persist)) ||
      FAILED(result = persist->Load((copied ? copy.Name() : path).c_str(), 0)))
    result = WithCause(result);
  if (FAILED(result)) {
    PrintError(path.c_str(), "cannot load the script: " + ReasonOf(result));
    return false;
  }
  return true;
}

std::string Document::Doubt() const {
  std::string why = NotText(bytes_, encoding_);
  long utf8 = why.empty() && encoding_ == kAnsi && !told_ && GetACP() != CP_UTF8 ? FirstUtf8Line(bytes_) : -1;
  if (utf8 >= 0)
    why = LineWord(static_cast<size_t>(utf8)) +
          " reads as UTF-8, but without a byte order mark the file is taken as ANSI; "
          "choose with --from utf8 or --from ansi";
  return why;
}

bool Document::ReportDoubt(const WString& path) const {
  const std::string doubt = Doubt();
  if (doubt.empty()) return true;
  PrintError(path.c_str(), doubt);
  return NotText(bytes_, encoding_).empty();
}

std::string Document::Described() const {
  std::string name = NameOf(encoding_);
  if (encoding_ == kAnsi) name += " (code page " + std::to_string(GetACP()) + ")";
  return name + (marked_ ? ", with a byte order mark" : ", without a byte order mark") +
         (told_ ? " (as --from said)" : "");
}

bool Document::SaveCopy(Encoding encoding, std::string* saved, std::string* why) {
  ScratchFile copy;
  zan::ComPtr<IPersistFile> persist;
  HRESULT result = E_FAIL;
  int error = 0;
  SetLastError(ERROR_SUCCESS);
  if (!copy.Create()) {
    *why = copy.Failure();
    return false;
  }
  if (FAILED(result = script_->put_SaveEncoding(encoding)) ||
      FAILED(result = script_.As(&persist)) || FAILED(result = persist->Save(copy.Name().c_str(), FALSE))) {
    *why = ReasonOf(WithCause(result));
    return false;
  }
  if (!ReadAll(copy.Name(), saved, &error)) {
    *why = ErrnoReason(error);
    return false;
  }
  return true;
}

bool Document::Save(const WString& path, Encoding encoding) {
  if (path == OLESTR("-")) {
    std::string saved, why;
    if (!SaveCopy(encoding, &saved, &why)) {
      PrintError(nullptr, "cannot save the script to the output (" + why + ")");
      return false;
    }
    Print(saved);
    return true;
  }
  zan::ComPtr<IPersistFile> persist;
  HRESULT result;
  SetLastError(ERROR_SUCCESS);
  if (FAILED(result = script_->put_SaveEncoding(encoding)) || FAILED(result = script_.As(&persist)) ||
      FAILED(result = persist->Save(path.c_str(), TRUE))) {
    result = WithCause(result);
    std::string reason = ReasonOf(result);
    // A save creates the file when it is missing, so only its folder can be.
    if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) reason = "no such folder";
    const WFileKind kind = WGetFileKind(path.c_str());
    if (result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) && kind == WFileKind::kFolder) reason = "is a folder";
    if (result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) && kind == WFileKind::kOther)
      reason = "is a device or a pipe, not a file";
    PrintError(path.c_str(), "cannot save the script (" + reason + "); " +
                                 (kind == WFileKind::kFile ? "the file is unchanged" : "nothing was written"));
    return false;
  }
  return true;
}

bool Document::Unchanged(const WString& path) const {
  std::string now;
  int error = 0;
  if (ReadAll(path, &now, &error) && bytes_.compare(added_, std::string::npos, now) == 0) return true;
  PrintError(path.c_str(), error ? "cannot read it again: " + ErrnoReason(error) + "; nothing was written"
                                 : std::string("it changed since it was read (another program wrote it); nothing was written"));
  return false;
}

bool Document::SavesAsRead(const WString& path, bool normalize) {
  std::string why = Doubt();
  if (!why.empty()) {
    PrintError(path.c_str(), why + "; nothing was written");
    return false;
  }
  std::string saved, failure;
  if (!SaveCopy(encoding_, &saved, &failure)) {
    PrintError(path.c_str(), "cannot check what a save would write (" + failure + "); nothing was written");
    return false;
  }
  if (saved == bytes_) return true;
  Lines before = Split(Decode(bytes_, encoding_)), after = Split(Decode(saved, encoding_));
  size_t blanks = 0, firstBlanks = 0;
  for (size_t i = 0; i < before.text.size(); ++i) {
    if (i < after.text.size() && before.text[i] == after.text[i]) continue;
    if (i == after.text.size() && i + 1 == before.text.size() && before.text[i].empty()) {
      PrintError(path.c_str(), LineWord(i) + " is an empty last line, which the format does not save"
                                             " (remove it to edit the file); nothing was written");
      return false;
    }
    if (i >= after.text.size() || after.text.size() != before.text.size() ||
        WithoutBlanks(before.text[i]) != WithoutBlanks(after.text[i])) {
      PrintError(path.c_str(), LineWord(i) + " was not read as it stands and a save would " +
                                   (i < after.text.size() ? "write it as \"" + Utf8(after.text[i]) + "\"" : "lose it") +
                                   "; nothing was written");
      return false;
    }
    if (blanks++ == 0) firstBlanks = i;
  }
  if (after.text.size() != before.text.size()) {
    PrintError(path.c_str(), "a save would add " + LineWord(before.text.size()) + "; nothing was written");
    return false;
  }
  if (normalize) return true;
  std::string changes;
  auto add = [&changes](const std::string& change) { changes += (changes.empty() ? "" : "; ") + change; };
  if (before.lf && after.crlf) add("LF line ends become CR LF");
  if (before.crlf && after.lf) add("CR LF line ends become LF");
  if (before.lastBreak && !after.lastBreak) add("the last line break goes");
  if (!before.lastBreak && after.lastBreak) add("a last line break is added");
  if (blanks)
    add("blanks at the ends of information are trimmed on " + std::to_string(blanks) + " line" +
        (blanks > 1 ? "s" : "") + ", the first " + LineWord(firstBlanks));
  if (changes.empty()) add("its bytes change");
  PrintError(path.c_str(), "a save would change what the format does not keep: " + changes +
                               "; --normalize accepts this; nothing was written");
  return false;
}

bool Document::SaveEdit(const WString& path) {
  return ReadsBackAsEdited(path) && Unchanged(path) && Save(path, encoding_);
}

bool Document::ReadsBackAsEdited(const WString& path) {
  ScratchFile copy;
  Document back;
  back.script_ = component_->NewScript();
  zan::ComPtr<IPersistFile> persist, reread;
  HRESULT result = E_FAIL;
  SetLastError(ERROR_SUCCESS);
  if (!copy.Create()) {
    PrintError(path.c_str(), "cannot check what a save would write (" + copy.Failure() + "); nothing was written");
    return false;
  }
  if (!back.script_ || FAILED(result = script_->put_SaveEncoding(encoding_)) ||
      FAILED(result = script_.As(&persist)) || FAILED(result = persist->Save(copy.Name().c_str(), FALSE)) ||
      FAILED(result = back.script_.As(&reread)) || FAILED(result = reread->Load(copy.Name().c_str(), 0))) {
    PrintError(path.c_str(),
               "cannot check what a save would write (" + ReasonOf(WithCause(result)) + "); nothing was written");
    return false;
  }
  for (LONG i = 0, n = Size(); i < n || i < back.Size(); ++i) {
    if (i < n && i < back.Size() && Text(i) == back.Text(i) && Info(i) == back.Info(i)) continue;
    std::string now;
    if (i >= back.Size()) {
      now = i + 1 == n && Text(i).empty() ? "it would be an empty last line, which the format does not save"
                                          : "it would be lost";
    } else if (i >= n || Text(i) != back.Text(i)) {
      now = "its text would read back as \"" + Utf8(back.Text(i)) + "\"";
    } else {
      for (const auto& [key, value] : back.Info(i)) now += (now.empty() ? "" : "; ") + Utf8(key) + " = " + Utf8(value);
      now = "its information would read back as " + (now.empty() ? std::string("none") : now);
    }
    PrintError(path.c_str(), LineWord(static_cast<size_t>(i)) + " does not fit the format as edited: " + now +
                                 "; nothing was written");
    return false;
  }
  return true;
}

LONG Document::Size() const {
  LONG size = 0;
  script_->get_Size(&size);
  return size;
}

WString Document::Text(LONG line) const {
  zan::UniqueBstr text;
  script_->get_Script(line, text.put());
  return text.get() ? WString(text.get()) : WString();
}

std::vector<std::pair<WString, WString>> Document::Info(LONG line) const {
  std::vector<std::pair<WString, WString>> info;
  zan::ComPtr<IDispatch> object;
  zan::ComPtr<Scripting::IDictionary> dictionary;
  if (FAILED(script_->get_Line(line, object.put())) || !object ||
      FAILED(object.As(&dictionary)))
    return info;
  zan::UniqueVariant keys, items;
  dictionary->Keys(keys.get());
  dictionary->Items(items.get());
  std::vector<WString> k = Strings(keys.get()), v = Strings(items.get());
  for (size_t i = 0; i < k.size() && i < v.size(); ++i)
    if (k[i] != kSourceKey) info.emplace_back(k[i], v[i]);
  return info;
}

const char* NameOf(Encoding encoding) {
  return encoding == kAnsi ? "ansi" : encoding == kUtf16le ? "utf16le" : "utf8";
}

bool ParseEncoding(const WString& name, Encoding* encoding) {
  for (Encoding e : {kAnsi, kUtf16le, kUtf8}) {
    const char* n = NameOf(e);
    if (name == WString(n, n + std::char_traits<char>::length(n))) {
      *encoding = e;
      return true;
    }
  }
  return false;
}

std::string WhyNotSavable(const WString& text, bool isKey) {
  if (isKey && text.empty()) return "an empty key is not saved";
  if (isKey && text == kNeverSavedKey) return "the key \"with id\" is never saved";
  if (!isKey && text.empty()) return "an empty value is not saved";
  if (text.find(OLESTR("_;_")) != WString::npos) return "\"_;_\" separates keys and values in the file";
  if (text.find(OLESTR(" @@ ")) != WString::npos) return "\" @@ \" starts the information in the file";
  if (text.find_first_of(OLESTR("\r\n")) != WString::npos) return "a line break would split the line";
  if (!text.empty() && (IsWSpace(text.front()) || IsWSpace(text.back())))
    return "blanks at either end are not read back";
  return std::string();
}

std::string ReasonOf(HRESULT result) {
  if (result == E_OUTOFMEMORY) return "out of memory";
  if (((result >> 16) & 0x1FFF) == FACILITY_WIN32) {
    switch (HRESULT_CODE(result)) {
      case ERROR_FILE_NOT_FOUND: return "no such file";
      case ERROR_PATH_NOT_FOUND: return "no such folder";
      case ERROR_ACCESS_DENIED: return "permission denied";
      case ERROR_SHARING_VIOLATION: return "the file is in use";
      case ERROR_HANDLE_DISK_FULL:
      case ERROR_DISK_FULL: return "disk full";
      case ERROR_WRITE_FAULT: return "input/output error";
      case ERROR_INVALID_NAME: return "a name not valid here";
      case ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
      case ERROR_NO_UNICODE_TRANSLATION: return "text not in the file's encoding";
      default: break;
    }
  }
  char code[32];
  std::snprintf(code, sizeof code, "error 0x%08X", static_cast<unsigned>(result));
  return code;
}

bool FitsAnsi(const WString& text) {
  if (text.empty()) return true;
  // UTF-8 as the ANSI code page (a Windows option) holds every text, and
  // takes no flags and no default character.
  if (GetACP() == CP_UTF8)
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                               nullptr, nullptr) > 0;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}
