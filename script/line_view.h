// How the script reads a line, whoever made it: a line of ours is read in
// place, with no call out of the module; any other dictionary (a host's
// line, a host's wrapper of one of ours) through its IDictionary, opened
// once. Saving, both concatenations and text replacement read lines only
// through this view.
#pragma once

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "dictionary/zan_dictionary.h"

class CLineView {
 public:
  // object is a line as the script holds it: null, or anything that is no
  // dictionary, is no line. The view holds no reference to a line of ours:
  // it lasts no longer than the caller's hold on the line.
  explicit CLineView(IDispatch* object) noexcept;

  bool IsLine() const noexcept { return own_ || host_; }

  // The string under key (a VT_BSTR), read in place, without a call out of
  // the module: true with *found telling whether the line holds key (*text
  // is null when it does not); false for a line that is not ours, or a
  // value that is not a string.
  bool PeekText(const VARIANT* key, BSTR* text, bool* found) const noexcept;

  // The value under key as text: S_OK with *text set (null for a value that
  // has no text form; *textual, when asked, tells a null string from no
  // text form), S_FALSE when the line lacks key, or the line's failure. A
  // host's line is asked Exists, then get_Item.
  HRESULT Text(VARIANT* key, zan::UniqueBstr* text, bool* textual = nullptr) const;

  // The number of entries.
  HRESULT Count(LONG* count) const noexcept;

  // Calls visit(key, value) for each entry in key order: in place for a
  // line of ours, else from one call each to Keys and Items. A failure of
  // the host's dictionary is returned.
  template <class Visit>
  HRESULT ForEachEntry(Visit visit) const {
    if (own_) {
      for (UINT i = 0, n = own_->EntryCount(); i < n; ++i) {
        const VARIANT* key = nullptr;
        const VARIANT* value = nullptr;
        own_->EntryAt(i, &key, &value);
        visit(key, value);
      }
      return S_OK;
    }
    if (!host_) return S_OK;
    HostEntries entries;
    HRESULT hr = entries.Read(host_.get());
    ZAN_RETURN_IF_FAILED(hr);
    for (LONG i = 0; i < entries.count(); ++i) {
      zan::UniqueVariant key, value;
      hr = entries.Get(i, &key, &value);
      ZAN_RETURN_IF_FAILED(hr);
      visit(key.get(), value.get());
    }
    return S_OK;
  }

 private:
  // A host's keys and items as two arrays, index by index.
  class HostEntries {
   public:
    HRESULT Read(Scripting::IDictionary* line);
    LONG count() const noexcept { return count_; }
    HRESULT Get(LONG index, zan::UniqueVariant* key, zan::UniqueVariant* value);

   private:
    zan::UniqueVariant keys_, items_;
    LONG lower_ = 0, count_ = 0;
  };

  CZanDictionaryImpl* own_ = nullptr;
  zan::ComPtr<Scripting::IDictionary> host_;
};
