#pragma once
// A small object model for writing PDF 1.4 files: one class per object kind, each writing its own
// syntax, and the document-level routines that number the objects, write them as indirect objects
// and write the header, the cross-reference table and the trailer. Lines end with LF.
//
// Ownership: containers own their children. The objects list holds the indirect objects without
// owning them; whoever builds the document keeps them alive until the file is written.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TStream;

class TIEPDFObject {
 public:
  virtual ~TIEPDFObject() = default;
  // 0 until the object is listed as an indirect object (AddPDFObject).
  int32_t ObjectNumber = 0;
  // Where the object was last written; for a listed object, after WritePDFObjects, the position of
  // the line that opens it ("n 0 obj").
  int64_t Offset = 0;
  // Writes the object's syntax; every form first stores the stream position in Offset.
  virtual void Write(TStream& Stream) = 0;
};

using TIEPDFObjectList = std::vector<TIEPDFObject*>;

// "n g R".
class TIEPDFRefObject : public TIEPDFObject {
 public:
  TIEPDFRefObject(int32_t Number, int32_t Generation) : Number(Number), Generation(Generation) {}
  void Write(TStream& Stream) override;
  int32_t Number, Generation;
};

// The shortest decimal form with "." (595, 0.5), never the locale's.
class TIEPDFNumericObject : public TIEPDFObject {
 public:
  explicit TIEPDFNumericObject(double Value) : Value(Value) {}
  void Write(TStream& Stream) override;
  double Value;
};

class TIEPDFBooleanObject : public TIEPDFObject {
 public:
  explicit TIEPDFBooleanObject(bool Value) : Value(Value) {}
  void Write(TStream& Stream) override;
  bool Value;
};

// A literal string. Plain ASCII text is written between parentheses, backspace, tab, LF, form
// feed, CR, parentheses and the backslash escaped with a backslash; other (UTF-8) text is written as UTF-16BE after the byte order mark FE FF, the bytes
// that are not printable ASCII as \ooo, so that readers never take UTF-8 bytes for PDFDocEncoding.
class TIEPDFStringObject : public TIEPDFObject {
 public:
  explicit TIEPDFStringObject(std::string Text) : Text(std::move(Text)) {}
  void Write(TStream& Stream) override;
  std::string Text;
};

// "/" and the name, every byte outside "!".."~" and each of # ( ) < > [ ] { } / % as "#" and two
// upper-case hex digits.
class TIEPDFNameObject : public TIEPDFObject {
 public:
  explicit TIEPDFNameObject(std::string Name) : Name(std::move(Name)) {}
  void Write(TStream& Stream) override;
  std::string Name;
};

// "[" + each item and one blank + "]".
class TIEPDFArrayObject : public TIEPDFObject {
 public:
  void Write(TStream& Stream) override;
  TIEPDFObject* Add(std::unique_ptr<TIEPDFObject> Item);
  std::vector<std::unique_ptr<TIEPDFObject>> Items;
};

// "<< " + "/key value" LF per entry in insertion order + ">>". Keys are written as they are.
class TIEPDFDictionaryObject : public TIEPDFObject {
 public:
  void Write(TStream& Stream) override;
  // Appends an entry (a key given twice is written twice: use Set to replace).
  TIEPDFObject* Add(const std::string& Key, std::unique_ptr<TIEPDFObject> Value);
  // Inserts an entry at Index (clipped to the entry count).
  TIEPDFObject* Insert(size_t Index, const std::string& Key, std::unique_ptr<TIEPDFObject> Value);
  // Replaces the value of Key (the old one is freed), or appends the entry.
  TIEPDFObject* Set(const std::string& Key, std::unique_ptr<TIEPDFObject> Value);
  // The value of Key; nil when absent.
  TIEPDFObject* Find(const std::string& Key) const;
  std::vector<std::pair<std::string, std::unique_ptr<TIEPDFObject>>> Entries;
};

// The dictionary, LF, "stream" LF, the data, LF, "endstream". Writing sets "Length" to the data
// length whatever it held before.
class TIEPDFStreamObject : public TIEPDFObject {
 public:
  TIEPDFStreamObject();
  TIEPDFStreamObject(const void* Data, size_t Length);
  void Write(TStream& Stream) override;
  std::vector<uint8_t> Data;
  std::unique_ptr<TIEPDFDictionaryObject> Dictionary;
};

// Appends Object and numbers it with the new list count (the first listed object is number 1).
void AddPDFObject(TIEPDFObjectList& Objects, TIEPDFObject* Object);
// "%PDF-1.4" LF and the binary comment "%" C8 D2 F0 FE LF.
void WritePDFHeader(TStream& Stream);
// Each listed object as "n 0 obj" LF, its syntax, LF, "endobj" LF; Offset := the opening line.
void WritePDFObjects(TStream& Stream, const TIEPDFObjectList& Objects);
// The cross-reference table of the listed objects (the catalog first: /Root 1 0 R) and the trailer
// naming Info. False, with nothing written, when an offset does not fit the table's 10 digits.
bool WritePDFXrefTrailer(TStream& Stream, const TIEPDFObjectList& Objects, const TIEPDFObject& Info);
// A listed dictionary /Type /Catalog.
std::unique_ptr<TIEPDFDictionaryObject> CreatePDFCatalog(TIEPDFObjectList& Objects);
// The listed page tree: /Type /Pages, /Kids of the pages (each gets /Parent), /Count; the first
// listed object (the catalog) gets /Pages.
std::unique_ptr<TIEPDFDictionaryObject> CreatePDFPages(TIEPDFObjectList& Objects,
                                                       const std::vector<TIEPDFDictionaryObject*>& Pages);
// A listed /Type /Page with /Resources (when given), /MediaBox and /Contents, appended to Pages.
std::unique_ptr<TIEPDFDictionaryObject> CreatePDFPage(TIEPDFObjectList& Objects,
                                                      std::vector<TIEPDFDictionaryObject*>& Pages,
                                                      const TIEPDFDictionaryObject* Resources, int32_t Contents,
                                                      std::unique_ptr<TIEPDFArrayObject> MediaBox);
// Text with Fill put in front until it is Length characters long.
std::string PadLeft(const std::string& Text, size_t Length, char Fill);
