// The PDF object model.
#include "imaging/io/codecs/pdf_objects.h"

#include <algorithm>
#include <cstdio>

#include "imaging/core/ie_streams.h"
#include "imaging/core/ie_text_codepages.h"
#include "imaging/core/ie_text_utils.h"
#include "platform/system/streams.h"

namespace {

bool IsPlainAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

std::string Octal(uint8_t b) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "\\%03o", b);
  return buf;
}

}  // namespace

void TIEPDFRefObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  StreamWriteStr(Stream, std::to_string(Number) + " " + std::to_string(Generation) + " R");
}

void TIEPDFNumericObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  StreamWriteStr(Stream, FloatToDotStr(Value));
}

void TIEPDFBooleanObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  StreamWriteStr(Stream, Value ? "true" : "false");
}

void TIEPDFStringObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  std::string out = "(";
  if (IsPlainAscii(Text)) {
    for (char c : Text) {
      switch (c) {
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        case '(': out += "\\("; break;
        case ')': out += "\\)"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
      }
    }
  } else {
    const std::string utf16 = "\xFE\xFF" + UTF8ToUTF16(Text, true);
    for (char c : utf16) {
      const auto b = static_cast<uint8_t>(c);
      if (b < 32 || b > 126 || c == '(' || c == ')' || c == '\\')
        out += Octal(b);
      else
        out += c;
    }
  }
  out += ')';
  StreamWriteStr(Stream, out);
}

void TIEPDFNameObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  static const std::string kDelimiters = "#()<>[]{}/%";
  std::string out = "/";
  for (char c : Name) {
    const auto b = static_cast<uint8_t>(c);
    if (b < '!' || b > '~' || kDelimiters.find(c) != std::string::npos) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "#%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  StreamWriteStr(Stream, out);
}

void TIEPDFArrayObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  StreamWriteStr(Stream, "[");
  for (auto& item : Items) {
    item->Write(Stream);
    StreamWriteStr(Stream, " ");
  }
  StreamWriteStr(Stream, "]");
}

TIEPDFObject* TIEPDFArrayObject::Add(std::unique_ptr<TIEPDFObject> Item) {
  Items.push_back(std::move(Item));
  return Items.back().get();
}

void TIEPDFDictionaryObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  StreamWriteStr(Stream, "<< ");
  for (auto& [key, value] : Entries) {
    StreamWriteStr(Stream, "/" + key + " ");
    value->Write(Stream);
    StreamWriteStr(Stream, "\n");
  }
  StreamWriteStr(Stream, ">>");
}

TIEPDFObject* TIEPDFDictionaryObject::Add(const std::string& Key, std::unique_ptr<TIEPDFObject> Value) {
  Entries.emplace_back(Key, std::move(Value));
  return Entries.back().second.get();
}

TIEPDFObject* TIEPDFDictionaryObject::Insert(size_t Index, const std::string& Key,
                                             std::unique_ptr<TIEPDFObject> Value) {
  Index = std::min(Index, Entries.size());
  auto it = Entries.emplace(Entries.begin() + static_cast<std::ptrdiff_t>(Index), Key, std::move(Value));
  return it->second.get();
}

TIEPDFObject* TIEPDFDictionaryObject::Set(const std::string& Key, std::unique_ptr<TIEPDFObject> Value) {
  for (auto& [key, value] : Entries) {
    if (key == Key) {
      value = std::move(Value);
      return value.get();
    }
  }
  return Add(Key, std::move(Value));
}

TIEPDFObject* TIEPDFDictionaryObject::Find(const std::string& Key) const {
  for (auto& [key, value] : Entries)
    if (key == Key) return value.get();
  return nullptr;
}

TIEPDFStreamObject::TIEPDFStreamObject() : Dictionary(std::make_unique<TIEPDFDictionaryObject>()) {
  Dictionary->Add("Length", std::make_unique<TIEPDFNumericObject>(0));
}

TIEPDFStreamObject::TIEPDFStreamObject(const void* Data, size_t Length) : TIEPDFStreamObject() {
  const auto* bytes = static_cast<const uint8_t*>(Data);
  if (Length > 0) this->Data.assign(bytes, bytes + Length);
}

void TIEPDFStreamObject::Write(TStream& Stream) {
  Offset = Stream.Position();
  Dictionary->Set("Length", std::make_unique<TIEPDFNumericObject>(static_cast<double>(Data.size())));
  Dictionary->Write(Stream);
  StreamWriteStr(Stream, "\nstream\n");
  // Written in pieces an int32 count can hold.
  size_t done = 0;
  while (done < Data.size()) {
    const auto piece = static_cast<int32_t>(std::min<size_t>(Data.size() - done, 1 << 30));
    Stream.WriteBuffer(Data.data() + done, piece);
    done += static_cast<size_t>(piece);
  }
  StreamWriteStr(Stream, "\nendstream");
}

void AddPDFObject(TIEPDFObjectList& Objects, TIEPDFObject* Object) {
  Objects.push_back(Object);
  Object->ObjectNumber = static_cast<int32_t>(Objects.size());
}

void WritePDFHeader(TStream& Stream) {
  StreamWriteLineLF(Stream, "%PDF-1.4");
  StreamWriteLineLF(Stream, "%\xC8\xD2\xF0\xFE");
}

void WritePDFObjects(TStream& Stream, const TIEPDFObjectList& Objects) {
  for (TIEPDFObject* object : Objects) {
    const int64_t p = Stream.Position();
    StreamWriteLineLF(Stream, std::to_string(object->ObjectNumber) + " 0 obj");
    object->Write(Stream);
    StreamWriteStr(Stream, "\nendobj\n");
    object->Offset = p;
  }
}

bool WritePDFXrefTrailer(TStream& Stream, const TIEPDFObjectList& Objects, const TIEPDFObject& Info) {
  constexpr int64_t kMaxXrefOffset = 9999999999;
  const int64_t x = Stream.Position();
  if (x > kMaxXrefOffset) return false;
  for (const TIEPDFObject* object : Objects)
    if (object->Offset < 0 || object->Offset > kMaxXrefOffset) return false;
  const std::string count = std::to_string(Objects.size() + 1);
  std::string table = "xref\n0 " + count + "\n0000000000 65535 f \n";
  for (const TIEPDFObject* object : Objects) table += PadLeft(std::to_string(object->Offset), 10, '0') + " 00000 n \n";
  table += "trailer\n<< /Size " + count + "\n/Root 1 0 R\n/Info " + std::to_string(Info.ObjectNumber) +
           " 0 R\n>>\nstartxref\n" + std::to_string(x) + "\n%%EOF\n";
  StreamWriteStr(Stream, table);
  return true;
}

std::unique_ptr<TIEPDFDictionaryObject> CreatePDFCatalog(TIEPDFObjectList& Objects) {
  auto catalog = std::make_unique<TIEPDFDictionaryObject>();
  catalog->Add("Type", std::make_unique<TIEPDFNameObject>("Catalog"));
  AddPDFObject(Objects, catalog.get());
  return catalog;
}

std::unique_ptr<TIEPDFDictionaryObject> CreatePDFPages(TIEPDFObjectList& Objects,
                                                       const std::vector<TIEPDFDictionaryObject*>& Pages) {
  auto tree = std::make_unique<TIEPDFDictionaryObject>();
  tree->Add("Type", std::make_unique<TIEPDFNameObject>("Pages"));
  AddPDFObject(Objects, tree.get());
  auto kids = std::make_unique<TIEPDFArrayObject>();
  for (TIEPDFDictionaryObject* page : Pages) {
    kids->Add(std::make_unique<TIEPDFRefObject>(page->ObjectNumber, 0));
    page->Set("Parent", std::make_unique<TIEPDFRefObject>(tree->ObjectNumber, 0));
  }
  tree->Add("Kids", std::move(kids));
  tree->Add("Count", std::make_unique<TIEPDFNumericObject>(static_cast<double>(Pages.size())));
  if (auto* catalog = dynamic_cast<TIEPDFDictionaryObject*>(Objects.front()))
    catalog->Set("Pages", std::make_unique<TIEPDFRefObject>(tree->ObjectNumber, 0));
  return tree;
}

std::unique_ptr<TIEPDFDictionaryObject> CreatePDFPage(TIEPDFObjectList& Objects,
                                                      std::vector<TIEPDFDictionaryObject*>& Pages,
                                                      const TIEPDFDictionaryObject* Resources, int32_t Contents,
                                                      std::unique_ptr<TIEPDFArrayObject> MediaBox) {
  auto page = std::make_unique<TIEPDFDictionaryObject>();
  page->Add("Type", std::make_unique<TIEPDFNameObject>("Page"));
  if (Resources) page->Add("Resources", std::make_unique<TIEPDFRefObject>(Resources->ObjectNumber, 0));
  page->Add("MediaBox", std::move(MediaBox));
  page->Add("Contents", std::make_unique<TIEPDFRefObject>(Contents, 0));
  AddPDFObject(Objects, page.get());
  Pages.push_back(page.get());
  return page;
}

std::string PadLeft(const std::string& Text, size_t Length, char Fill) {
  if (Text.size() >= Length) return Text;
  return std::string(Length - Text.size(), Fill) + Text;
}
