// A saved script as the tool reads and edits it: a Script object loaded
// from the file, and the encoding the file was written in, so that an edit
// saves it the way it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/unique_any.h"
#include "component.h"
#include "zanole/file_edit.h"
#include "zanole/wstr.h"

enum Encoding : LONG { kAnsi = 0, kUtf16le = 1, kUtf8 = 2 };

class Document {
 public:
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Before Load, for an edit in place: waits until no other zanscript
  // edits the file, and keeps others waiting until the document goes, so
  // that no edit saves over another made meanwhile. Where the file cannot
  // be held (none there, or no plain file), it does nothing.
  void HoldForEdit(const WString& path);
  // False, with the reason on stderr, when the file cannot be read. A file
  // without a byte order mark is read as ANSI unless from names another
  // encoding. A path of "-" is standard input.
  bool Load(const Component& component, const WString& path, const Encoding* from = nullptr);
  // Crash-safe: the old file stays whole when the save fails. A path of
  // "-" is standard output.
  bool Save(const WString& path, Encoding encoding);
  // Whether the file at path still holds the bytes Load read: another
  // program may have written it since. False, with the reason on stderr,
  // when it does not.
  bool Unchanged(const WString& path) const;
  // Whether saving the document as read gives back the file it was read
  // from, before any edit is saved. What the reader could not take whole
  // (undecodable or skipped lines, NUL bytes, bytes that are not text in
  // the file's encoding) is refused; what only the format changes (line
  // ends, the last line break, trailing blanks) is refused unless
  // normalize. False, with the reason on stderr, when refused.
  bool SavesAsRead(const WString& path, bool normalize);

  // Saves an edit in place in the file's encoding, once the document reads
  // back as edited and the file still holds what was read. False, with the
  // reason on stderr, when it does not or the save fails.
  bool SaveEdit(const WString& path);

  LONG Size() const;
  WString Text(LONG line) const;
  // A line's information but its text, in key order.
  std::vector<std::pair<WString, WString>> Info(LONG line) const;
  IScript4* Script() const { return script_.get(); }
  Encoding FileEncoding() const { return encoding_; }
  // What was read: "utf8, with a byte order mark" and the like.
  std::string Described() const;
  bool Marked() const { return marked_; }
  // Why the file may not be what it was read as (not text in its encoding,
  // or UTF-8 taken as ANSI), naming the first line at fault; empty if none.
  std::string Doubt() const;
  // Says on stderr why the file may not be what it was read as, if it may
  // not; whether the reader took every line whole (none undecodable or
  // skipped) all the same.
  bool ReportDoubt(const WString& path) const;

 private:
  // Whether the document, saved now, reads back line for line as it
  // stands: the format has no escaping, and an edit can give a line what it
  // cannot hold. False, with the line at fault on stderr, when not.
  bool ReadsBackAsEdited(const WString& path);
  // The bytes a save in this encoding writes, through a temporary copy
  // in the temporary folder; false with the reason.
  bool SaveCopy(Encoding encoding, std::string* saved, std::string* why);

  static void Release(WEditHold* hold) noexcept { WReleaseHold(hold); }
  zan::UniqueAny<zan::HandleTraits<WEditHold*, &Document::Release>> hold_;  // HoldForEdit's
  const Component* component_ = nullptr;
  zan::ComPtr<IScript4> script_;
  Encoding encoding_ = kUtf8;
  bool marked_ = true;  // the file's own mark named the encoding
  bool told_ = false;   // --from named it
  size_t added_ = 0;    // the length of a mark --from put before the bytes read
  // The file's bytes as read.
  std::string bytes_;
};

// "ansi", "utf16le", "utf8": the names the options take.
const char* NameOf(Encoding encoding);
// The encoding an option names; false for none.
bool ParseEncoding(const WString& name, Encoding* encoding);

// The key that holds a line's text.
extern const WCHAR kSourceKey[];

// Why the saved format cannot hold this key or value as given (it has no
// escaping), or an empty string when it can.
std::string WhyNotSavable(const WString& text, bool isKey);
// The reason the system gave for a failed file operation, in words.
std::string ReasonOf(HRESULT result);
// Whether the ANSI code page holds every character of the text.
bool FitsAnsi(const WString& text);
