#include "platform/system/filer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ErrorText;

// A streamable object with one property of each kind, and one it defines itself.
class TSample : public TObject, public TStreamable {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  void DefineProperties(TFiler& filer) override {
    filer.DefineProperty(
        "Notes", [this](TReader& r) { Notes = r.ReadString(); }, [this](TWriter& w) { w.WriteString(Notes); },
        !Notes.empty());
  }
  int32_t Count = 7;
  bool Flag = false;
  int32_t Mode = 0;
  std::string Name;
  TComponent* Link = nullptr;
  std::string Notes;
};

TSample* Sample(TStreamable* o) { return static_cast<TSample*>(o); }
constexpr const char* kModes[] = {"mdOff", "mdOn", "mdAuto"};
constexpr TPropInfo kSampleProperties[] = {
    {.Name = "Count",
     .Type = ptInteger,
     .GetOrdinal = [](TStreamable* o) { return Sample(o)->Count; },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Sample(o)->Count = v; },
     .HasDefault = true,
     .Default = 7},
    {.Name = "Flag",
     .Type = ptBoolean,
     .GetOrdinal = [](TStreamable* o) -> int32_t { return Sample(o)->Flag; },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Sample(o)->Flag = v != 0; }},
    {.Name = "Mode",
     .Type = ptEnum,
     .GetOrdinal = [](TStreamable* o) { return Sample(o)->Mode; },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Sample(o)->Mode = v; },
     .EnumNames = kModes,
     .EnumCount = 3,
     .HasDefault = true,
     .Default = 0},
    {.Name = "Name",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return Sample(o)->Name; },
     .SetString = [](TStreamable* o, const std::string& v) { Sample(o)->Name = v; },
     .Stored = [](TStreamable* o) { return !Sample(o)->Name.empty(); }},
    {.Name = "Link",
     .Type = ptComponent,
     .GetComponent = [](TStreamable* o) { return Sample(o)->Link; },
     .SetComponent = [](TStreamable* o, TComponent* c) { Sample(o)->Link = c; }},
};
const TClassRecord TSample::ClassInfo{"TSample", nullptr, [](TObject*) -> TObject* { return new TSample; },
                                      kSampleProperties, 5};

std::vector<uint8_t> Bytes(TMemoryStream& s) {
  auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

// The properties of obj as the writer writes them, ended.
std::vector<uint8_t> Written(TSample& obj, const std::string& prefix = "") {
  TMemoryStream s;
  TWriter w(s);
  w.SetPropPath(prefix);
  w.WriteProperties(&obj);
  w.WriteListEnd();
  return Bytes(s);
}

// Reads properties up to the end of the list into obj, then fixes the references up.
void ReadInto(TSample& obj, const std::vector<uint8_t>& bytes, TComponent* root = nullptr) {
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  TReader r(s);
  r.SetRoot(root);
  r.ReadProperties(&obj);
  r.ReadListEnd();
  r.FixupReferences();
}

// A property name as the stream holds it: its length, then its bytes.
std::vector<uint8_t> Name(const char* n) {
  const size_t length = std::strlen(n);
  std::vector<uint8_t> b(length + 1);
  b[0] = static_cast<uint8_t>(length);
  std::copy(n, n + length, b.begin() + 1);
  return b;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> r;
  for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

TEST(Filer, DefaultsAreNotWrittenAndTheRestIsByteForByteTheFormat) {
  TSample defaults;
  EXPECT_EQ(Written(defaults), Cat({Name("Flag"), {vaFalse}, {vaNull}}));

  TSample s;
  s.Count = -2;
  s.Flag = true;
  s.Mode = 2;
  s.Name = "ab";
  s.Notes = "n";
  const std::vector<uint8_t> expected = Cat({Name("Count"), {vaInt32, 0xFE, 0xFF, 0xFF, 0xFF}, Name("Flag"), {vaTrue},
                                             Name("Mode"), {vaIdent}, Name("mdAuto"), Name("Name"),
                                             {vaString, 2, 0, 0, 0, 'a', 'b'}, Name("Notes"),
                                             {vaString, 1, 0, 0, 0, 'n'}, {vaNull}});
  EXPECT_EQ(Written(s), expected);

  TSample back;
  ReadInto(back, expected);
  EXPECT_EQ(back.Count, -2);
  EXPECT_TRUE(back.Flag);
  EXPECT_EQ(back.Mode, 2);
  EXPECT_EQ(back.Name, "ab");
  EXPECT_EQ(back.Notes, "n");
}

TEST(Filer, ThePathPrefixGoesBeforeEveryNameWritten) {
  TSample s;
  s.Notes = "x";
  const std::vector<uint8_t> bytes = Written(s, "Owner.");
  EXPECT_EQ(bytes, Cat({Name("Owner.Flag"), {vaFalse}, Name("Owner.Notes"), {vaString, 1, 0, 0, 0, 'x'}, {vaNull}}));
}

TEST(Filer, NamesAndEnumerationValuesAreReadWithoutRegardToCase) {
  TSample s;
  ReadInto(s, Cat({Name("COUNT"), {vaInt32, 5, 0, 0, 0}, Name("mode"), {vaIdent}, Name("MDON"), Name("notes"),
                   {vaString, 0, 0, 0, 0}, {vaNull}}));
  EXPECT_EQ(s.Count, 5);
  EXPECT_EQ(s.Mode, 1);
}

TEST(Filer, ComponentReferencesAreResolvedAtTheEndAgainstTheRoot) {
  TComponent root(nullptr);
  root.SetName("Form1");
  auto* images = new TComponent(&root);
  images->SetName("Images1");
  TSample s;
  s.Link = images;
  const std::vector<uint8_t> bytes = Written(s);
  EXPECT_EQ(bytes, Cat({Name("Flag"), {vaFalse}, Name("Link"), {vaIdent}, Name("Images1"), {vaNull}}));

  TSample back;
  {
    TCustomMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    TReader r(stream);
    r.SetRoot(&root);
    r.ReadProperties(&back);
    EXPECT_EQ(back.Link, nullptr) << "not before the end of the read";
    r.FixupReferences();
  }
  EXPECT_EQ(back.Link, images);

  // The root itself, by its own name; a name that names nothing leaves the property as it is.
  TSample toRoot;
  ReadInto(toRoot, Cat({Name("Link"), {vaIdent}, Name("form1"), {vaNull}}), &root);
  EXPECT_EQ(toRoot.Link, &root);
  TSample missing;
  missing.Link = images;
  ReadInto(missing, Cat({Name("Link"), {vaIdent}, Name("Nobody"), {vaNull}}), &root);
  EXPECT_EQ(missing.Link, images);
  TSample cleared;
  cleared.Link = images;
  ReadInto(cleared, Cat({Name("Link"), {vaNil}, {vaNull}}), &root);
  EXPECT_EQ(cleared.Link, nullptr);
}

TEST(Filer, AnObjectFreedDuringTheReadDropsItsPendingReference) {
  TComponent root(nullptr);
  auto* other = new TComponent(&root);
  other->SetName("Other");
  const std::vector<uint8_t> bytes = Cat({Name("Link"), {vaIdent}, Name("Other"), {vaNull}});
  TCustomMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  TReader r(stream);
  r.SetRoot(&root);
  auto gone = std::make_unique<TSample>();
  r.ReadProperties(gone.get());
  gone.reset();
  r.FixupReferences();  // nothing is written through the freed object (the sanitizer build checks)
}

TEST(Filer, BadStreamsRaiseReadErrorsWithoutAllocatingBeyondTheBytes) {
  const std::vector<uint8_t> huge = Cat({Name("Name"), {vaString, 0xF0, 0xFF, 0xFF, 0x7F, 'a'}, {vaNull}});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* error;
  } cases[] = {
      {"empty stream", {}, "Stream read error"},
      {"truncated integer", Cat({Name("Count"), {vaInt32, 1, 2}}), "Stream read error"},
      {"string longer than the stream", huge, "Stream read error"},
      {"truncated name", {9, 'C', 'o'}, "Stream read error"},
      {"empty name", {0x00, vaNull}, "<no exception>"},  // a zero byte first is the end of the list
      {"wrong type", Cat({Name("Count"), {vaString, 0, 0, 0, 0}, {vaNull}}), "Invalid property value"},
      {"unknown enumeration value", Cat({Name("Mode"), {vaIdent}, Name("mdMaybe"), {vaNull}}), "Invalid property value"},
      {"not a Boolean", Cat({Name("Flag"), {vaInt32, 1, 0, 0, 0}, {vaNull}}), "Invalid property value"},
      {"unknown property", Cat({Name("Colour"), {vaInt32, 1, 0, 0, 0}, {vaNull}}), "Property Colour does not exist"},
      {"reference not a name", Cat({Name("Link"), {vaInt32, 1, 0, 0, 0}, {vaNull}}), "Invalid property value"},
      {"no end", Cat({Name("Flag"), {vaTrue}}), "Stream read error"},
  };
  for (const Case& c : cases) {
    TSample s;
    EXPECT_EQ(ErrorText<EReadError>([&] { ReadInto(s, c.bytes); }), c.error) << c.what;
  }
}

// An object whose one defined property holds another of its kind: streams that nest without end.
class TNested : public TObject, public TStreamable {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  void DefineProperties(TFiler& filer) override {
    filer.DefineProperty(
        "Inner",
        [this](TReader& r) {
          inner = std::make_unique<TNested>();
          r.ReadListBegin();
          r.ReadProperties(inner.get());
          r.ReadListEnd();
        },
        [](TWriter&) {}, false);
  }
  int Depth() const { return inner ? inner->Depth() + 1 : 0; }
  std::unique_ptr<TNested> inner;
};
const TClassRecord TNested::ClassInfo{"TNested", nullptr, nullptr, nullptr, 0};

std::vector<uint8_t> Nested(int depth) {
  std::vector<uint8_t> b;
  for (int i = 0; i < depth; ++i) {
    auto n = Name("Inner");
    b.insert(b.end(), n.begin(), n.end());
    b.push_back(vaList);
  }
  b.insert(b.end(), static_cast<size_t>(depth) + 1, vaNull);
  return b;
}

TEST(Filer, NestingIsBoundedSoTheStackIsNot) {
  for (int depth : {TReader::kMaxNesting, TReader::kMaxNesting + 1}) {
    const std::vector<uint8_t> bytes = Nested(depth);
    TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    TReader r(s);
    TNested root;
    const std::string error = ErrorText<EReadError>([&] {
      r.ReadProperties(&root);
      r.ReadListEnd();
    });
    if (depth == TReader::kMaxNesting) {
      EXPECT_EQ(error, "<no exception>");
      EXPECT_EQ(root.Depth(), depth);
    } else {
      EXPECT_EQ(error, "Properties nested too deeply");
    }
  }
}

TEST(ClassRegistry, NamesAreFoundWithoutRegardToCaseAndTakenOnce) {
  static const TClassRecord base{"TRegBase", nullptr, nullptr, nullptr, 0};
  static const TClassRecord derived{"TRegDerived", &base, nullptr, nullptr, 0};
  static const TClassRecord impostor{"tregbase", nullptr, nullptr, nullptr, 0};
  EXPECT_EQ(GetClass("TRegBase"), nullptr);
  RegisterClass(&base);
  RegisterClass(&base);  // again: nothing
  RegisterClass(&derived);
  EXPECT_EQ(GetClass("tregBASE"), &base);
  EXPECT_EQ(FindClass("TRegDerived"), &derived);
  EXPECT_TRUE(IsClassRegistered(&derived));
  EXPECT_FALSE(IsClassRegistered(&impostor));
  EXPECT_EQ(ErrorText<EFilerError>([&] { RegisterClass(&impostor); }), "A class named tregbase already exists");
  EXPECT_TRUE(derived.InheritsFrom(&base));
  EXPECT_TRUE(derived.InheritsFrom(&derived));
  EXPECT_FALSE(base.InheritsFrom(&derived));
  UnRegisterClass(&derived);
  UnRegisterClass(&base);
  EXPECT_EQ(ErrorText<EClassNotFound>([] { FindClass("TRegDerived"); }), "Class TRegDerived not found");
}

}  // namespace
