#include "imaging/io/codecs/tiff_tag_list.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/core/ie_lists.h"
#include "imaging/core/ie_numbers.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/core/ie_tags_handler.h"
#include "imaging/core/ie_text_codepages.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

bool Passes(const TIEIntegerList* filter, uint16_t tag) {
  if (!filter) return true;
  for (int32_t i = 0; i < filter->Count(); ++i)
    if ((*filter)[i] == tag) return true;
  return false;
}

uint32_t InlineWord(const std::string& s) {
  uint32_t v = 0;
  for (size_t i = 0; i < s.size() && i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(s[i])) << (8 * i);
  return v;
}

void PutRational(uint8_t* p, double x, bool isSigned) {
  if (!isSigned && !(x >= 0)) x = 0;  // NaN too
  int32_t num = 0, den = 1;
  FloatToRational(x, 5e-9, num, den);
  if (den < 0) {
    num = -num;
    den = -den;
  }
  IEPutU32(p, static_cast<uint32_t>(num), false);
  IEPutU32(p + 4, static_cast<uint32_t>(den), false);
}

}  // namespace

void TTIFFTagList::Add(uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value) {
  for (TTIFFTagEntry& e : Entries)
    if (e.Tag == Tag) {
      e = {Tag, Type, Count, Value};
      return;
    }
  Entries.push_back({Tag, Type, Count, Value});
}

uint32_t TTIFFTagList::WriteData(const void* Data, int64_t Count) {
  TIFFWordAlign(*this);
  const uint32_t at = TIFFStreamOffset(*this);
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Count > 0 && !Failed) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, 1 << 30));
    SafeStreamWrite(Stream, Failed, p, n);
    p += n;
    Count -= n;
  }
  if (!Failed && Stream.Position() > UINT32_MAX) Failed = true;
  return Failed ? 0 : at;
}

void TIFFWordAlign(TTIFFTagList& List) {
  if (List.Failed) return;
  if (List.Stream.Position() & 1) {
    const uint8_t zero = 0;
    SafeStreamWrite(List.Stream, List.Failed, &zero, 1);
  }
}

uint32_t TIFFStreamOffset(TTIFFTagList& List) {
  const int64_t at = List.Stream.Position();
  if (at < 0 || at > UINT32_MAX) {
    List.Failed = true;
    return 0;
  }
  return static_cast<uint32_t>(at);
}

void TIFFAddLong(TTIFFTagList& List, uint16_t Tag, uint32_t V) { List.Add(Tag, ttLONG, 1, V); }

void TIFFAddShort(TTIFFTagList& List, uint16_t Tag, uint32_t V, const TIEIntegerList* Filter) {
  if (Passes(Filter, Tag)) List.Add(Tag, ttSHORT, 1, V & 0xFFFF);
}

void TIFFAddByte(TTIFFTagList& List, uint16_t Tag, uint32_t V) { List.Add(Tag, ttBYTE, 1, V & 0xFF); }

void TIFFAddUndefined(TTIFFTagList& List, uint16_t Tag, uint32_t V, const TIEIntegerList* Filter) {
  if (Passes(Filter, Tag)) List.Add(Tag, ttUNDEFINED, 1, V & 0xFF);
}

void TIFFAddInlineAscii(TTIFFTagList& List, uint16_t Tag, const std::string& S) {
  List.Add(Tag, ttASCII, static_cast<uint32_t>(std::min<size_t>(S.size(), 4)), InlineWord(S));
}

void TIFFAddInlineBytes(TTIFFTagList& List, uint16_t Tag, const std::string& S) {
  List.Add(Tag, ttBYTE, static_cast<uint32_t>(std::min<size_t>(S.size(), 4)), InlineWord(S));
}

void TIFFAddAscii(TTIFFTagList& List, uint16_t Tag, const std::string& S) {
  if (S.empty()) return;
  if (S.size() <= 4) {
    TIFFAddInlineAscii(List, Tag, S);
    return;
  }
  if (S.size() >= UINT32_MAX) return;
  const std::string withNul = S + '\0';
  const uint32_t at = List.WriteData(withNul.data(), static_cast<int64_t>(withNul.size()));
  List.Add(Tag, ttASCII, static_cast<uint32_t>(withNul.size()), at);
}

void TIFFAddRational(TTIFFTagList& List, uint16_t Tag, double X, const TIEIntegerList* Filter, bool Signed) {
  if (!Passes(Filter, Tag)) return;
  uint8_t b[8];
  PutRational(b, X, Signed);
  const uint32_t at = List.WriteData(b, 8);
  List.Add(Tag, Signed ? ttSRATIONAL : ttRATIONAL, 1, at);
}

void TIFFAddRationalArray(TTIFFTagList& List, uint16_t Tag, const std::vector<double>& Values) {
  if (Values.empty()) return;
  std::vector<uint8_t> b(Values.size() * 8);
  for (size_t i = 0; i < Values.size(); ++i) PutRational(b.data() + 8 * i, Values[i], false);
  const uint32_t at = List.WriteData(b.data(), static_cast<int64_t>(b.size()));
  List.Add(Tag, ttRATIONAL, static_cast<uint32_t>(Values.size()), at);
}

void TIFFAddShortArray(TTIFFTagList& List, uint16_t Tag, const std::vector<uint32_t>& Values) {
  if (Values.empty()) return;
  if (Values.size() <= 2) {
    uint32_t v = Values[0] & 0xFFFF;
    if (Values.size() == 2) v |= (Values[1] & 0xFFFF) << 16;
    List.Add(Tag, ttSHORT, static_cast<uint32_t>(Values.size()), v);
    return;
  }
  std::vector<uint8_t> b(Values.size() * 2);
  for (size_t i = 0; i < Values.size(); ++i) IEPutU16(b.data() + 2 * i, static_cast<uint16_t>(Values[i]), false);
  const uint32_t at = List.WriteData(b.data(), static_cast<int64_t>(b.size()));
  List.Add(Tag, ttSHORT, static_cast<uint32_t>(Values.size()), at);
}

void TIFFAddLongArray(TTIFFTagList& List, uint16_t Tag, const std::vector<uint32_t>& Values) {
  std::vector<uint8_t> b(Values.size() * 4);
  for (size_t i = 0; i < Values.size(); ++i) IEPutU32(b.data() + 4 * i, Values[i], false);
  const uint32_t at = b.empty() ? 0 : List.WriteData(b.data(), static_cast<int64_t>(b.size()));
  List.Add(Tag, ttLONG, static_cast<uint32_t>(Values.size()), at);
}

void TIFFAddWideString(TTIFFTagList& List, uint16_t Tag, const std::string& W) {
  if (W.empty()) return;
  std::string units = UTF8ToUTF16(W);
  units.append(2, '\0');
  if (units.size() <= 4) {
    List.Add(Tag, ttBYTE, static_cast<uint32_t>(units.size()), InlineWord(units));
    return;
  }
  const uint32_t at = List.WriteData(units.data(), static_cast<int64_t>(units.size()));
  List.Add(Tag, ttBYTE, static_cast<uint32_t>(units.size()), at);
}

void TIFFAddUserComment(TTIFFTagList& List, const std::string& Code, const std::string& W) {
  static const std::string kUnicode("UNICODE\0", 8), kAscii("ASCII\0\0\0", 8);
  const std::string code = Code.empty() ? kUnicode : Code;
  if (W.empty() || code.size() != 8) return;
  std::string data = code;
  if (code == kUnicode) {
    data += UTF8ToUTF16(W);
    data.append(2, '\0');
  } else if (code == kAscii) {
    data += UTF8ToWindows1252(W);
    data += '\0';
  } else {
    return;  // a code of neither kind: its text's encoding is not known
  }
  const uint32_t at = List.WriteData(data.data(), static_cast<int64_t>(data.size()));
  List.Add(tagUserComment, ttUNDEFINED, static_cast<uint32_t>(data.size()), at);
}

void TIFFAddMakerNote(TTIFFTagList& List, uint16_t Tag, TIETagsHandler& Handler) {
  if (Handler.EntryStream().Size() < 13 || List.Failed) return;
  TIFFWordAlign(List);
  const uint32_t at = TIFFStreamOffset(List);
  int32_t written = 0;
  try {
    written = Handler.WriteToStream(List.Stream);
  } catch (const std::exception&) {
    List.Failed = true;
    return;
  }
  if (written > 0) List.Add(Tag, ttUNDEFINED, static_cast<uint32_t>(written), at);
}

void TIFFAddIPTC(TTIFFTagList& List, TIOParamsVals& Params) {
  if (Params.IPTC.GetCount() == 0) return;
  void* block = nullptr;
  int32_t size = 0;
  Params.IPTC.SaveToBuffer(block, size, false);
  std::unique_ptr<void, decltype(&std::free)> owned(block, &std::free);
  if (size <= 0) return;
  // The LONG count covers whole words: the block is padded with zeros to the next multiple of 4.
  std::vector<uint8_t> padded(static_cast<const uint8_t*>(block), static_cast<const uint8_t*>(block) + size);
  padded.resize((padded.size() + 3) & ~size_t{3}, 0);
  const uint32_t at = List.WriteData(padded.data(), static_cast<int64_t>(padded.size()));
  List.Add(tagIPTC, ttLONG, static_cast<uint32_t>(padded.size() / 4), at);
}

void TIFFAddXMP(TTIFFTagList& List, TIOParamsVals& Params) {
  if (Params.XmpInfo.empty()) return;
  const uint32_t at = List.WriteData(Params.XmpInfo.data(), static_cast<int64_t>(Params.XmpInfo.size()));
  List.Add(tagXMP, ttBYTE, static_cast<uint32_t>(Params.XmpInfo.size()), at);
}

void TIFFAddAnnotations(TTIFFTagList& List, TIOParamsVals& Params) {
  TIEImagingAnnot* annot = Params.ImagingAnnot();
  if (!annot || annot->ObjectCount() == 0) return;
  std::vector<uint8_t> block;
  annot->SaveToBuffer(block);
  if (block.empty()) return;
  const uint32_t at = List.WriteData(block.data(), static_cast<int64_t>(block.size()));
  List.Add(tagWangAnnotation, ttBYTE, static_cast<uint32_t>(block.size()), at);
}

void TIFFAddICC(TTIFFTagList& List, TIOParamsVals& Params) {
  TIEICC* icc = Params.InputICCProfile();
  if (!icc || !icc->IsValid() || icc->Applied() || icc->RawLength() <= 0) return;
  const uint32_t at = List.WriteData(icc->Raw(), icc->RawLength());
  List.Add(tagICCProfile, ttUNDEFINED, static_cast<uint32_t>(icc->RawLength()), at);
}

uint32_t TIFFWriteIFD(TTIFFTagList& List, uint32_t Next) {
  std::stable_sort(List.Entries.begin(), List.Entries.end(),
                   [](const TTIFFTagEntry& a, const TTIFFTagEntry& b) { return a.Tag < b.Tag; });
  const size_t count = std::min<size_t>(List.Entries.size(), 0xFFFF);
  std::vector<uint8_t> b(2 + 12 * count + 4);
  IEPutU16(b.data(), static_cast<uint16_t>(count), false);
  for (size_t i = 0; i < count; ++i) {
    const TTIFFTagEntry& e = List.Entries[i];
    uint8_t* p = b.data() + 2 + 12 * i;
    IEPutU16(p, e.Tag, false);
    IEPutU16(p + 2, e.FieldType, false);
    IEPutU32(p + 4, e.Count, false);
    IEPutU32(p + 8, e.Value, false);
  }
  IEPutU32(b.data() + 2 + 12 * count, Next, false);
  return List.WriteData(b.data(), static_cast<int64_t>(b.size()));
}
