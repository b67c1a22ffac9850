// Code-page conversion through ICU converters, with the Windows calling
// contract: -1 source lengths include the NUL, a zero destination size asks
// for the size, a short buffer fails with ERROR_INSUFFICIENT_BUFFER.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/utrans.h>
#include <unicode/utf16.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "errors.h"
#include "zanole/zanole.h"

using zanole::Fail;

namespace {

std::atomic<UINT> g_ansiCodePage{1252};

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

UConverter* OpenConverter(UINT codePage) {
  if (codePage == CP_UTF8) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open("UTF-8", &status);
    return U_SUCCESS(status) ? c : nullptr;
  }
  const std::string n = std::to_string(codePage);
  for (const std::string& name : {"windows-" + n, "cp" + n, "ibm-" + n}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name.c_str(), &status);
    if (U_SUCCESS(status) && status != U_USING_DEFAULT_WARNING) return c;
    if (c) ucnv_close(c);
  }
  return nullptr;
}

UINT ResolveCodePage(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP: return g_ansiCodePage.load();
    case CP_OEMCP: return 437;
    case CP_MACCP: return 10000;
    default: return codePage;
  }
}

// Converters are stateful, so each thread keeps its own, one per code page.
UConverter* Converter(UINT codePage) {
  thread_local std::map<UINT, ConverterPtr> cache;
  UConverter* c;
  auto it = cache.find(codePage);
  if (it != cache.end()) {
    c = it->second.get();
    ucnv_reset(c);
  } else {
    c = OpenConverter(codePage);
    if (!c) return nullptr;
    cache.emplace(codePage, ConverterPtr(c));
  }
  // A previous call's callbacks point at its own, finished context; hand
  // the converter out with ICU's plain ones and no fallbacks.
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
  ucnv_setFallback(c, FALSE);
  return c;
}

struct ToUnicodeContext {
  bool strict = false;
  bool failed = false;
  bool singleByte = false;
};

// Invalid input becomes U+FFFD (or, in a single-byte code page, the byte's
// own code point, as Windows maps its unassigned bytes), or fails the call
// under MB_ERR_INVALID_CHARS.
void U_CALLCONV ToUnicodeCallback(const void* context, UConverterToUnicodeArgs* args,
                                  const char* codeUnits, int32_t length, UConverterCallbackReason reason,
                                  UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* ctx = static_cast<ToUnicodeContext*>(const_cast<void*>(context));
  if (ctx->strict) {
    ctx->failed = true;
    return;  // leaves the error set, which stops the conversion
  }
  *err = U_ZERO_ERROR;
  for (int32_t i = 0; i < (ctx->singleByte ? length : 1); ++i) {
    UChar unit = ctx->singleByte ? static_cast<UChar>(static_cast<unsigned char>(codeUnits[i])) : 0xFFFD;
    ucnv_cbToUWriteUChars(args, &unit, 1, 0, err);
  }
}

struct FromUnicodeContext {
  UINT codePage = 0;
  bool bestFit = false;
  std::string defaultChar;
  bool strict = false;
  bool failed = false;
  bool usedDefault = false;
  ConverterPtr probe;  // opened on the first best-fit attempt
};

struct TransliteratorCloser {
  void operator()(UTransliterator* t) const { utrans_close(t); }
};

// The runtime's best fit for a character the code page lacks: the one Latin
// letter, digit or sign it reads as (a letter without its accent or stroke,
// the ASCII form of a full-width character), when that one maps. Characters
// that would need several in its place get the default character.
bool BestFit(FromUnicodeContext* ctx, UChar32 codePoint, std::string* bytes) {
  thread_local std::unique_ptr<UTransliterator, TransliteratorCloser> latin = [] {
    UErrorCode status = U_ZERO_ERROR;
    UTransliterator* t = utrans_openU(u"Latin-ASCII", -1, UTRANS_FORWARD, nullptr, 0, nullptr, &status);
    return std::unique_ptr<UTransliterator, TransliteratorCloser>(U_SUCCESS(status) ? t : nullptr);
  }();
  if (!latin) return false;
  UChar text[8];
  int32_t length = 0;
  U16_APPEND_UNSAFE(text, length, codePoint);
  int32_t limit = length;
  UErrorCode status = U_ZERO_ERROR;
  utrans_transUChars(latin.get(), text, &length, 8, 0, &limit, &status);
  if (U_FAILURE(status) || length != 1 || text[0] >= 0x80 || text[0] == static_cast<UChar>(codePoint))
    return false;
  if (!ctx->probe) {
    ctx->probe.reset(OpenConverter(ctx->codePage));
    if (!ctx->probe) return false;
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(ctx->probe.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  char out[8];
  status = U_ZERO_ERROR;
  int32_t m = ucnv_fromUChars(ctx->probe.get(), out, sizeof out, text, 1, &status);
  if (U_FAILURE(status) || m <= 0) return false;
  bytes->assign(out, static_cast<size_t>(m));
  return true;
}

void U_CALLCONV FromUnicodeCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                                    int32_t length, UChar32 codePoint, UConverterCallbackReason reason,
                                    UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* ctx = static_cast<FromUnicodeContext*>(const_cast<void*>(context));
  if (ctx->strict) {
    ctx->failed = true;
    return;
  }
  *err = U_ZERO_ERROR;
  std::string fit;
  if (reason == UCNV_UNASSIGNED && ctx->bestFit && BestFit(ctx, codePoint, &fit)) {
    ucnv_cbFromUWriteBytes(args, fit.data(), static_cast<int32_t>(fit.size()), 0, err);
    return;
  }
  ctx->usedDefault = true;
  // A lone surrogate or unmappable character takes one default per unit.
  for (int32_t i = 0; i < length; ++i) {
    ucnv_cbFromUWriteBytes(args, ctx->defaultChar.data(), static_cast<int32_t>(ctx->defaultChar.size()), 0,
                           err);
  }
}

// UTF-8 is decoded here rather than by ICU because the runtime groups
// malformed input differently: a lead byte takes one following continuation
// byte with it even when that byte is outside the lead's range, so each
// such pair becomes a single U+FFFD.
bool DecodeUtf8(const unsigned char* s, size_t n, bool strict, std::vector<WCHAR>* out) {
  auto isTrail = [](unsigned char b) { return b >= 0x80 && b <= 0xBF; };
  for (size_t i = 0; i < n;) {
    unsigned char b = s[i];
    if (b < 0x80) {
      out->push_back(b);
      ++i;
      continue;
    }
    size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    uint32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) need = 1, cp = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) need = 2, cp = b & 0x0F, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
    else if (b >= 0xF0 && b <= 0xF4) need = 3, cp = b & 0x07, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
    size_t used = 1;
    bool valid = need > 0 && i + 1 < n && s[i + 1] >= lo && s[i + 1] <= hi;
    if (need > 0 && i + 1 < n && isTrail(s[i + 1])) used = 2;
    if (valid) {
      cp = (cp << 6) | (s[i + 1] & 0x3F);
      for (size_t k = 2; k <= need; ++k) {
        if (i + k >= n || !isTrail(s[i + k])) {
          valid = false;
          break;
        }
        cp = (cp << 6) | (s[i + k] & 0x3F);
        used = k + 1;
      }
    }
    if (!valid) {
      if (strict) return false;
      out->push_back(0xFFFD);
      i += used;
      continue;
    }
    if (cp >= 0x10000) {
      out->push_back(static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10)));
      out->push_back(static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out->push_back(static_cast<WCHAR>(cp));
    }
    i += used;
  }
  return true;
}

template <typename T>
INT Deliver(const T* out, size_t count, T* dst, INT dstLen) {
  if (count > 0x7FFFFFFF) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
  INT n = static_cast<INT>(count);
  if (dstLen == 0) return n;
  if (n > dstLen) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
  if (n) std::memcpy(dst, out, count * sizeof(T));
  return n;
}

}  // namespace

extern "C" {

BOOL WINAPI ZanSetAnsiCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP) return FALSE;
  UConverter* c = OpenConverter(codePage);
  if (!c) return FALSE;
  ucnv_close(c);
  g_ansiCodePage.store(codePage);
  return TRUE;
}

UINT WINAPI GetACP() { return g_ansiCodePage.load(); }
UINT WINAPI GetOEMCP() { return 437; }

BOOL WINAPI IsValidCodePage(UINT CodePage) {
  if (CodePage == CP_ACP || CodePage == CP_OEMCP) return FALSE;
  return Converter(CodePage) != nullptr;
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
  UINT cp = ResolveCodePage(CodePage);
  if (cp == CP_UTF8) return FALSE;
  UConverter* c = Converter(cp);
  if (!c) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (ucnv_getMaxCharSize(c) < 2) return FALSE;
  UBool starters[256];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_getStarters(c, starters, &status);
  if (U_FAILURE(status)) return FALSE;
  // ucnv_getStarters also marks single-byte characters; a lead byte is one
  // that alone converts to nothing.
  if (!starters[TestChar]) return FALSE;
  UChar unit[2];
  char byte = static_cast<char>(TestChar);
  status = U_ZERO_ERROR;
  ucnv_reset(c);
  int32_t n = ucnv_toUChars(c, unit, 2, &byte, 1, &status);
  ucnv_reset(c);
  return (n == 0 || status == U_TRUNCATED_CHAR_FOUND || unit[0] == 0xFFFD || unit[0] == 0x1A) ? TRUE
                                                                                                : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }

INT WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, INT cbMultiByte,
                               LPWSTR lpWideCharStr, INT cchWideChar) {
  if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 ||
      (cchWideChar && !lpWideCharStr) ||
      (cchWideChar && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
    return Fail(ERROR_INVALID_PARAMETER, 0);
  size_t srcLen = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  UINT cp = ResolveCodePage(CodePage);
  if (cp == CP_UTF8) {
    std::vector<WCHAR> out;
    out.reserve(srcLen);
    if (!DecodeUtf8(reinterpret_cast<const unsigned char*>(lpMultiByteStr), srcLen,
                    (dwFlags & MB_ERR_INVALID_CHARS) != 0, &out))
      return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    return Deliver<WCHAR>(out.data(), out.size(), lpWideCharStr, cchWideChar);
  }
  UConverter* c = Converter(cp);
  if (!c) return Fail(ERROR_INVALID_PARAMETER, 0);

  ToUnicodeContext ctx;
  ctx.strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  ctx.singleByte = ucnv_getMaxCharSize(c) == 1;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(c, ToUnicodeCallback, &ctx, nullptr, nullptr, &status);
  static_assert(std::is_same_v<UChar, WCHAR>, "ICU works on our UTF-16 units directly");
  // Per-thread scratch space: conversions come a line at a time.
  thread_local std::vector<WCHAR> out;
  out.resize(srcLen * 2 + 1);
  UChar* target = out.data();
  const char* source = lpMultiByteStr;
  status = U_ZERO_ERROR;
  ucnv_toUnicode(c, &target, out.data() + out.size(), &source, lpMultiByteStr + srcLen, nullptr, TRUE,
                 &status);
  if (ctx.failed || U_FAILURE(status)) {
    return Fail(ctx.failed ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER, 0);
  }
  return Deliver<WCHAR>(out.data(), static_cast<size_t>(target - out.data()), lpWideCharStr, cchWideChar);
}

INT WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, INT cchWideChar,
                               LPSTR lpMultiByteStr, INT cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte && !lpMultiByteStr) ||
      (cbMultiByte && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
    return Fail(ERROR_INVALID_PARAMETER, 0);
  UINT cp = ResolveCodePage(CodePage);
  if (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) return Fail(ERROR_INVALID_PARAMETER, 0);
  size_t srcLen = cchWideChar < 0 ? WcsLen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  UConverter* c = Converter(cp);
  if (!c) return Fail(ERROR_INVALID_PARAMETER, 0);

  FromUnicodeContext ctx;
  ctx.codePage = cp;
  ctx.bestFit = cp != CP_UTF8 && !(dwFlags & WC_NO_BEST_FIT_CHARS);
  ctx.strict = cp == CP_UTF8 && (dwFlags & WC_ERR_INVALID_CHARS);
  ctx.defaultChar = cp == CP_UTF8 ? "\xEF\xBF\xBD" : lpDefaultChar ? std::string(1, *lpDefaultChar) : "?";
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(c, FromUnicodeCallback, &ctx, nullptr, nullptr, &status);
  ucnv_setFallback(c, ctx.bestFit ? TRUE : FALSE);
  thread_local std::vector<char> out;
  out.resize(srcLen * static_cast<size_t>(ucnv_getMaxCharSize(c) + 3) + 4);
  char* target = out.data();
  const UChar* source = lpWideCharStr;
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(c, &target, out.data() + out.size(), &source, lpWideCharStr + srcLen, nullptr, TRUE,
                   &status);
  if (ctx.failed || U_FAILURE(status)) {
    return Fail(ctx.failed ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER, 0);
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = ctx.usedDefault ? TRUE : FALSE;
  return Deliver<char>(out.data(), static_cast<size_t>(target - out.data()), lpMultiByteStr, cbMultiByte);
}

}  // extern "C"
