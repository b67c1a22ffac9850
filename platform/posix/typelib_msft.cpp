// The binary type-library format ("MSFT") as IDL compilers write it: a
// header, the offsets of the type records, a directory of fifteen segments
// (type records, imports, import files, references, GUIDs, names, strings,
// type descriptions, ...) and, after them, each type's member records.
// Every offset is checked: a library file is input like any other.
#include <cstring>

#include "typelib_data.h"

namespace zanole {
namespace {

constexpr INT kMagic = 0x5446534D;  // "MSFT"
constexpr INT kHelpDllFlag = 0x100;
constexpr int kHeaderInts = 21;
constexpr INT kImportOffsetIsGuid = 0x10000;

enum Segment { kTypeInfos, kImpInfo, kImpFiles, kRefTab, kGuidHash, kGuids, kNameHash, kNames, kStrings,
               kTypeDescs, kArrayDescs, kCustData, kCustGuids, kReserved0e, kReserved0f, kSegments };

class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

  bool Int(size_t at, INT* v) const { return Copy(at, v, 4); }
  bool Short(size_t at, SHORT* v) const { return Copy(at, v, 2); }
  bool Bytes(size_t at, void* out, size_t n) const { return Copy(at, out, n); }
  bool Has(size_t at, size_t n) const { return at <= size_ && n <= size_ - at; }
  const BYTE* At(size_t at) const { return data_ + at; }

 private:
  bool Copy(size_t at, void* out, size_t n) const {
    if (!Has(at, n)) return false;
    std::memcpy(out, data_ + at, n);  // little-endian, as the format and this target are
    return true;
  }
  const BYTE* data_;
  size_t size_;
};

struct SegmentEntry {
  INT offset, length;
};

class MsftReader {
 public:
  MsftReader(const BYTE* data, size_t size) : r_(data, size) {}

  bool Read(TypeLibData* out);

 private:
  bool SegmentOffset(Segment s, INT within, size_t need, size_t* at) const {
    const SegmentEntry& e = segments_[s];
    if (within < 0 || e.offset < 0 || e.length < 0 || static_cast<size_t>(within) + need > static_cast<size_t>(e.length))
      return false;
    *at = static_cast<size_t>(e.offset) + static_cast<size_t>(within);
    return r_.Has(*at, need);
  }
  bool Guid(INT offset, GUID* guid) const {
    size_t at;
    return SegmentOffset(kGuids, offset, 24, &at) && r_.Bytes(at, guid, sizeof(GUID));
  }
  // Names are ANSI: their length is the low byte of the third word.
  bool Name(INT offset, std::u16string* name) const {
    name->clear();
    if (offset < 0) return true;
    size_t at;
    INT lengthWord;
    if (!SegmentOffset(kNames, offset, 12, &at) || !r_.Int(at + 8, &lengthWord)) return false;
    size_t length = static_cast<size_t>(lengthWord & 0xff);
    if (!SegmentOffset(kNames, offset, 12 + length, &at)) return false;
    for (size_t i = 0; i < length; ++i) name->push_back(static_cast<char16_t>(r_.At(at + 12)[i]));
    return true;
  }
  bool String(INT offset, std::u16string* text) const {
    text->clear();
    if (offset < 0) return true;
    size_t at;
    SHORT length;
    if (!SegmentOffset(kStrings, offset, 2, &at) || !r_.Short(at, &length) || length < 0) return false;
    if (!SegmentOffset(kStrings, offset, 2 + static_cast<size_t>(length), &at)) return false;
    for (SHORT i = 0; i < length; ++i) text->push_back(static_cast<char16_t>(r_.At(at + 2)[i]));
    return true;
  }
  bool TypeDesc(INT encoded, TlbTypeDesc* desc, int depth = 0) const;
  bool Import(HREFTYPE href, TypeLibData* out) const;
  bool Href(HREFTYPE href, TypeLibData* out) const {
    return IsLocalHref(href) ? href / kTypeRecordSize < typeCount_ : Import(href, out);
  }
  bool Type(INT recordOffset, TlbType* type, TypeLibData* out) const;
  bool Funcs(INT memberOffset, int funcCount, int varCount, TlbType* type, TypeLibData* out) const;

  Reader r_;
  SegmentEntry segments_[kSegments]{};
  size_t typeCount_ = 0;
};

bool MsftReader::TypeDesc(INT encoded, TlbTypeDesc* desc, int depth) const {
  if (depth > 16) return false;
  if (encoded < 0) {
    desc->vt = static_cast<VARTYPE>(encoded & VT_TYPEMASK);
    return true;
  }
  size_t at;
  SHORT words[4];
  if (!SegmentOffset(kTypeDescs, encoded, 8, &at) || !r_.Bytes(at, words, sizeof words)) return false;
  desc->vt = static_cast<VARTYPE>(words[0] & VT_TYPEMASK);
  if (desc->vt == VT_PTR || desc->vt == VT_SAFEARRAY) {
    desc->inner = std::make_shared<TlbTypeDesc>();
    if (words[3] < 0) {
      desc->inner->vt = static_cast<VARTYPE>(words[2] & VT_TYPEMASK);
      return true;
    }
    return TypeDesc(static_cast<INT>(static_cast<USHORT>(words[2])), desc->inner.get(), depth + 1);
  }
  if (desc->vt == VT_USERDEFINED)
    desc->href = static_cast<HREFTYPE>(static_cast<USHORT>(words[2]) | (static_cast<USHORT>(words[3]) << 16));
  return true;
}

bool MsftReader::Import(HREFTYPE href, TypeLibData* out) const {
  if (out->imports.count(href)) return true;
  size_t at;
  INT info[3];  // flags, import file, GUID offset
  if (!SegmentOffset(kImpInfo, static_cast<INT>(href & ~3u), 12, &at) || !r_.Bytes(at, info, sizeof info))
    return false;
  TlbImport import;
  // A type named by index into the other library cannot be found without
  // reading that library; only types named by GUID are followed.
  if (!(info[0] & kImportOffsetIsGuid) || !Guid(info[2], &import.type)) return false;
  INT file[3];  // library GUID offset, locale, version (major, minor)
  if (!SegmentOffset(kImpFiles, info[1], 14, &at) || !r_.Bytes(at, file, sizeof file)) return false;
  if (!Guid(file[0], &import.library)) return false;
  import.lcid = static_cast<LCID>(file[1]);
  import.majorVersion = static_cast<WORD>(file[2] & 0xffff);
  import.minorVersion = static_cast<WORD>(static_cast<DWORD>(file[2]) >> 16);
  out->imports[href] = import;
  return true;
}

// Member records: a block of function records (each sized by its first
// word), then member ids, name offsets and record offsets, one per member.
bool MsftReader::Funcs(INT memberOffset, int funcCount, int varCount, TlbType* type, TypeLibData* out) const {
  INT blockLength;
  if (memberOffset < 0 || !r_.Int(static_cast<size_t>(memberOffset), &blockLength) || blockLength < 0) return false;
  size_t base = static_cast<size_t>(memberOffset);
  size_t tables = base + 4 + static_cast<size_t>(blockLength);
  size_t record = base + 4;
  int members = funcCount + varCount;
  if (!r_.Has(tables, static_cast<size_t>(members) * 12)) return false;
  for (int i = 0; i < funcCount; ++i) {
    INT info, dataType, flags, fkccic, nameOffset, memid;
    SHORT vtableOffset, args, optionalArgs;
    if (!r_.Int(record, &info)) return false;
    size_t length = static_cast<size_t>(info & 0xffff);
    if (length < 24 || record + length > tables || !r_.Int(record + 4, &dataType) || !r_.Int(record + 8, &flags) ||
        !r_.Short(record + 12, &vtableOffset) || !r_.Int(record + 16, &fkccic) || !r_.Short(record + 20, &args) ||
        !r_.Short(record + 22, &optionalArgs) || args < 0 || !r_.Int(tables + 4 * static_cast<size_t>(i), &memid) ||
        !r_.Int(tables + 4 * static_cast<size_t>(members + i), &nameOffset))
      return false;
    size_t paramBytes = static_cast<size_t>(args) * 12 + ((fkccic & 0x1000) ? static_cast<size_t>(args) * 4 : 0);
    if (paramBytes > length - 24) return false;
    size_t optional = length - static_cast<size_t>(args) * 12 - ((fkccic & 0x1000) ? static_cast<size_t>(args) * 4 : 0);
    TlbFunc f;
    f.memid = memid;
    f.funckind = static_cast<FUNCKIND>(fkccic & 7);
    f.invkind = static_cast<INVOKEKIND>((fkccic >> 3) & 0xf);
    f.callconv = static_cast<CALLCONV>((fkccic >> 8) & 0xf);
    f.paramsOptional = optionalArgs;
    f.vtableOffset = static_cast<SHORT>(vtableOffset & ~1);
    f.flags = static_cast<WORD>(flags & 0xffff);
    // The optional words after the fixed part: help context, help string.
    INT word;
    if (optional > 24 && r_.Int(record + 24, &word)) f.helpContext = static_cast<DWORD>(word);
    if (optional > 28 && r_.Int(record + 28, &word) && !String(word, &f.doc)) return false;
    // A property's second accessor may leave its name to the first.
    if (nameOffset == -1 && !type->funcs.empty())
      f.name = type->funcs.back().name;
    else if (!Name(nameOffset, &f.name))
      return false;
    if (!TypeDesc(dataType, &f.result)) return false;
    if (f.result.vt == VT_USERDEFINED && !Href(f.result.href, out)) return false;
    size_t param = record + length - static_cast<size_t>(args) * 12;
    for (SHORT j = 0; j < args; ++j, param += 12) {
      INT p[3];  // type, name offset, flags
      TlbParam parameter;
      if (!r_.Bytes(param, p, sizeof p) || !Name(p[1], &parameter.name) || !TypeDesc(p[0], &parameter.type))
        return false;
      parameter.flags = static_cast<WORD>(p[2]);
      f.params.push_back(std::move(parameter));
    }
    type->funcs.push_back(std::move(f));
    record += length;
  }
  return true;
}

bool MsftReader::Type(INT recordOffset, TlbType* type, TypeLibData* out) const {
  size_t at;
  INT w[25];
  if (!SegmentOffset(kTypeInfos, recordOffset, kTypeRecordSize, &at) || !r_.Bytes(at, w, sizeof w)) return false;
  type->kind = static_cast<TYPEKIND>(w[0] & 0xf);
  if (type->kind >= TKIND_MAX) return false;
  type->alignment = static_cast<WORD>((w[0] >> 11) & 0x1f);
  if (w[11] >= 0 && !Guid(w[11], &type->guid)) return false;
  type->flags = static_cast<WORD>(w[12]);
  if (!Name(w[13], &type->name)) return false;
  type->majorVersion = static_cast<WORD>(w[14] & 0xffff);
  type->minorVersion = static_cast<WORD>(static_cast<DWORD>(w[14]) >> 16);
  if (!String(w[15], &type->doc)) return false;
  type->helpContext = static_cast<DWORD>(w[17]);
  SHORT implCount = static_cast<SHORT>(w[19] & 0xffff);
  type->vtableSize = static_cast<WORD>(static_cast<DWORD>(w[19]) >> 16);
  type->instanceSize = static_cast<ULONG>(w[20]);
  INT datatype1 = w[21];
  if (type->kind == TKIND_COCLASS) {
    // Implemented interfaces: a linked list of reference records.
    for (INT ref = datatype1, seen = 0; ref != -1; ++seen) {
      INT rec[4];  // href, flags, custom data, next
      if (seen > 1024 || !SegmentOffset(kRefTab, ref, 16, &at) || !r_.Bytes(at, rec, sizeof rec)) return false;
      if (!Href(static_cast<HREFTYPE>(rec[0]), out)) return false;
      type->implTypes.push_back({static_cast<HREFTYPE>(rec[0]), rec[1]});
      ref = rec[3];
    }
  } else if (implCount > 0 && datatype1 != -1) {
    if (!Href(static_cast<HREFTYPE>(datatype1), out)) return false;
    type->implTypes.push_back({static_cast<HREFTYPE>(datatype1), 0});
  }
  int funcCount = w[6] & 0xffff, varCount = static_cast<int>(static_cast<DWORD>(w[6]) >> 16);
  // Variables (of records and modules) are skipped: no type this platform
  // serves has any.
  return funcCount == 0 || Funcs(w[1], funcCount, varCount, type, out);
}

bool MsftReader::Read(TypeLibData* out) {
  INT h[kHeaderInts];
  if (!r_.Bytes(0, h, sizeof h) || h[0] != kMagic) return false;
  size_t at = sizeof h + ((h[5] & kHelpDllFlag) ? 4 : 0);
  INT typeCount = h[8];
  if (typeCount < 0 || typeCount > 0xffff) return false;
  typeCount_ = static_cast<size_t>(typeCount);
  size_t offsets = at;
  at += typeCount_ * 4;
  for (SegmentEntry& e : segments_) {
    INT entry[4];
    if (!r_.Bytes(at, entry, sizeof entry)) return false;
    e = {entry[0], entry[1]};
    at += sizeof entry;
  }
  TLIBATTR& attr = out->attr;
  if (!Guid(h[2], &attr.guid)) return false;
  attr.lcid = static_cast<LCID>(h[4]);  // the second locale word is the one libraries report
  attr.syskind = static_cast<SYSKIND>(h[5] & 0xf);
  attr.wMajorVerNum = static_cast<WORD>(h[6] & 0xffff);
  attr.wMinorVerNum = static_cast<WORD>(static_cast<DWORD>(h[6]) >> 16);
  attr.wLibFlags = static_cast<WORD>(h[7]);
  out->helpContext = static_cast<DWORD>(h[11]);
  if (!String(h[9], &out->doc) || !Name(h[14], &out->name) || !String(h[15], &out->helpFile)) return false;
  out->types.resize(typeCount_);
  for (size_t i = 0; i < typeCount_; ++i) {
    INT recordOffset;
    if (!r_.Int(offsets + 4 * i, &recordOffset) || recordOffset != static_cast<INT>(i * kTypeRecordSize) ||
        !Type(recordOffset, &out->types[i], out))
      return false;
  }
  return true;
}

}  // namespace

bool ReadMsftTypeLib(const BYTE* data, size_t size, TypeLibData* out) {
  *out = TypeLibData();
  return MsftReader(data, size).Read(out);
}

}  // namespace zanole
