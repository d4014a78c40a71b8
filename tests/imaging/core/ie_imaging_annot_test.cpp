#include "imaging/core/ie_imaging_annot.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_vect_link.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/ui/type_cast.h"
#include "tests/imaging/core/fake_view.h"

namespace {

using TAttributes = std::array<uint8_t, TIEImagingObject::kAttributeSize>;

void PutI32(TAttributes& a, size_t offset, int32_t value) { IEPutU32(a.data() + offset, uint32_t(value), false); }
int32_t GetI32(const TAttributes& a, size_t offset) { return int32_t(IEGetU32(a.data() + offset, false)); }

TIEImagingObject* AddMark(TIEImagingAnnot& annot, int32_t type, TRect bounds) {
  TIEImagingObject* o = annot.AddObject();
  PutI32(o->Attributes, 0, type);
  PutI32(o->Attributes, 4, bounds.Left);
  PutI32(o->Attributes, 8, bounds.Top);
  PutI32(o->Attributes, 12, bounds.Right);
  PutI32(o->Attributes, 16, bounds.Bottom);
  return o;
}

// Builds blocks byte by byte in either layout.
struct BlockBuilder {
  std::vector<uint8_t> bytes;
  bool wide = false;  // the 16-bit layout's 16-byte named-block headers
  explicit BlockBuilder(int32_t flag) : wide(flag == 0) {
    I32(0);
    I32(flag);
  }
  void I32(int32_t v) {
    uint8_t b[4];
    IEPutU32(b, uint32_t(v), false);
    bytes.insert(bytes.end(), b, b + 4);
  }
  void Raw(const void* p, size_t n) { bytes.insert(bytes.end(), (const uint8_t*)p, (const uint8_t*)p + n); }
  void Mark(const TAttributes& a) {
    I32(5);
    I32(164);
    Raw(a.data(), a.size());
  }
  void Named(int32_t type, const char* name, const std::vector<uint8_t>& data, int32_t statedSize = INT32_MIN) {
    I32(type);
    I32(12);
    char n[8] = {};
    std::memcpy(n, name, std::min<size_t>(8, std::strlen(name)));
    Raw(n, 8);
    I32(statedSize != INT32_MIN ? statedSize : int32_t(data.size()));
    if (wide) I32(0);
    Raw(data.data(), data.size());
  }
};

std::vector<uint8_t> I32s(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> out;
  for (int32_t v : values) {
    uint8_t b[4];
    IEPutU32(b, uint32_t(v), false);
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

std::vector<uint8_t> TextData(int32_t scale, const std::string& text, int32_t statedLength = -1) {
  std::vector<uint8_t> out = I32s({0, 1000, scale, statedLength >= 0 ? statedLength : int32_t(text.size())});
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
  return out;
}

TAttributes Attributes(int32_t type, int32_t fontHeight = 0) {
  TAttributes a{};
  PutI32(a, 0, type);
  PutI32(a, 48, fontHeight);
  return a;
}

}  // namespace

TEST(ImagingAnnot, SavedBlockReadsBackWithAttributesPointsTextsAndImage) {
  TIEImagingAnnot annot;
  TIEImagingObject* image = AddMark(annot, kIEMarkImageEmbedded, {10, 20, 14, 23});
  image->Image = std::make_unique<TIEBitmap>(4, 3, ie24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = image->Image->Row<uint8_t>(y) + x * 3;
      p[0] = uint8_t(x * 60);
      p[1] = uint8_t(y * 100);
      p[2] = 7;
    }
  AddMark(annot, kIEMarkStraightLine, {1, 2, 30, 40})->Points = {{0, 0}, {29, 38}};
  AddMark(annot, kIEMarkFreehandLine, {5, 5, 50, 50})->Points = {{0, 0}, {3, -4}, {40, 45}};
  AddMark(annot, kIEMarkFilledRect, {0, 0, 8, 8});
  TIEImagingObject* text = AddMark(annot, kIEMarkTypedText, {0, 0, 100, 20});
  text->Text = "Hello, annotations";
  PutI32(text->Attributes, 48, -20);
  TIEImagingObject* note = AddMark(annot, kIEMarkAttachNote, {0, 0, 100, 20});
  note->Text = "";
  PutI32(note->Attributes, 48, 33);

  std::vector<uint8_t> block;
  annot.SaveToBuffer(block);
  ASSERT_GT(block.size(), 8u);
  EXPECT_EQ(GetI32(*reinterpret_cast<const TAttributes*>(block.data()), 4), 1);  // 32-bit layout

  TIEImagingAnnot back;
  back.LoadFromBuffer(block.data(), int64_t(block.size()));
  EXPECT_FALSE(back.Changed());
  ASSERT_EQ(back.ObjectCount(), annot.ObjectCount());
  for (int32_t i = 0; i < annot.ObjectCount(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.Objects(i)->Attributes, annot.Objects(i)->Attributes);  // font heights unchanged too
    EXPECT_EQ(back.Objects(i)->Points, annot.Objects(i)->Points);
    EXPECT_EQ(back.Objects(i)->Text, annot.Objects(i)->Text);
  }
  TIEBitmap* img = back.Objects(0)->Image.get();
  ASSERT_NE(img, nullptr);
  ASSERT_EQ(img->Width(), 4);
  ASSERT_EQ(img->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(0, std::memcmp(img->Row<uint8_t>(y) + x * 3, image->Image->Row<uint8_t>(y) + x * 3, 3));
}

TEST(ImagingAnnot, ImageMarkStatesTheScreenResolutionInItsRotationRecord) {
  const int32_t oldX = ScreenDPIX, oldY = ScreenDPIY;
  ScreenDPIX = 120;
  ScreenDPIY = 144;
  TIEImagingAnnot annot;
  AddMark(annot, kIEMarkImageEmbedded, {0, 0, 1, 1});
  std::vector<uint8_t> block;
  annot.SaveToBuffer(block);
  ScreenDPIX = oldX;
  ScreenDPIY = oldY;
  const std::vector<uint8_t> expected = I32s({1, 1000, 120, 144, 120, 144, 0, 0, 0, 0, 0, 0, 0, 0});
  auto it = std::search(block.begin(), block.end(), expected.begin(), expected.end());
  EXPECT_NE(it, block.end());
}

TEST(ImagingAnnot, EmptySetGivesNoBlockAndAnEmptyBlockChangesNothing) {
  TIEImagingAnnot annot;
  std::vector<uint8_t> block{1, 2, 3};
  annot.SaveToBuffer(block);
  EXPECT_TRUE(block.empty());
  AddMark(annot, kIEMarkFilledRect, {});
  annot.LoadFromBuffer(block.data(), 0);
  EXPECT_EQ(annot.ObjectCount(), 1);
}

TEST(ImagingAnnot, SixteenBitLayoutReadsLongerNamedBlockHeaders) {
  BlockBuilder b(0);
  b.Named(2, "OiGroup", {'0', 0});
  b.Mark(Attributes(kIEMarkTypedText, -20));
  b.Named(6, "OiAnText", TextData(7500, "sixteen"));
  b.Mark(Attributes(kIEMarkFreehandLine));
  b.Named(6, "OiAnoDat", I32s({2, 2, 1, 2, 3, 4}));
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(b.bytes.data(), int64_t(b.bytes.size()));
  ASSERT_EQ(annot.ObjectCount(), 2);
  EXPECT_EQ(annot.Objects(0)->Text, "sixteen");
  EXPECT_EQ(annot.Objects(1)->Points, (std::vector<TPoint>{{1, 2}, {3, 4}}));
}

TEST(ImagingAnnot, TextHeightGoesToTheCommonScaleAndTextMarksIgnorePointBlocks) {
  BlockBuilder b(1);
  b.Mark(Attributes(kIEMarkTypedText, -40));
  b.Named(6, "OiAnoDat", I32s({1, 1, 9, 9}));
  b.Named(6, "OiAnText", TextData(15000, "half"));
  b.Mark(Attributes(kIEMarkTextStamp, 30));
  b.Named(6, "OiAnText", TextData(0, "scale zero"));  // stated 0: the common scale
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(b.bytes.data(), int64_t(b.bytes.size()));
  ASSERT_EQ(annot.ObjectCount(), 2);
  EXPECT_TRUE(annot.Objects(0)->Points.empty());
  EXPECT_EQ(GetI32(annot.Objects(0)->Attributes, 48), -20);
  EXPECT_EQ(GetI32(annot.Objects(1)->Attributes, 48), 30);
  EXPECT_EQ(annot.Objects(1)->Text, "scale zero");
}

TEST(ImagingAnnot, DefaultBlocksApplyToTheMarksThatFollow) {
  BlockBuilder b(1);
  b.Named(2, "OiAnText", TextData(7500, "default text"));
  b.Mark(Attributes(kIEMarkTypedText));
  b.Mark(Attributes(kIEMarkTypedText));
  b.Named(6, "OiAnText", TextData(7500, "own text"));
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(b.bytes.data(), int64_t(b.bytes.size()));
  ASSERT_EQ(annot.ObjectCount(), 2);
  EXPECT_EQ(annot.Objects(0)->Text, "default text");
  EXPECT_EQ(annot.Objects(1)->Text, "own text");
}

// Hostile blocks: every size inside them is checked against the block, so parsing stops (keeping
// what was read before) instead of reading past it.
TEST(ImagingAnnot, HostileBlocksKeepWhatFitsAndNeverReadPastTheEnd) {
  struct Case {
    const char* name;
    std::function<void(BlockBuilder&)> build;
    int32_t objects;
    std::vector<TPoint> points;  // of the last object
    std::string text;            // of the last object
  };
  const std::vector<Case> cases = {
      {"truncated attributes", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkFilledRect));
         b.I32(5);
         b.I32(164);
         b.I32(6);
       }, 1, {}, ""},
      {"named block beyond the end", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkTypedText));
         b.Named(6, "OiAnText", TextData(7500, "x"), 1 << 30);
       }, 1, {}, ""},
      {"negative named block size", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkTypedText));
         b.Named(6, "OiAnText", TextData(7500, "x"), -8);
       }, 1, {}, ""},
      {"point count beyond the block", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkFreehandLine));
         b.Named(6, "OiAnoDat", I32s({0x7FFFFFFF, 0x7FFFFFFF, 1, 2}));
       }, 1, {}, ""},
      {"text length beyond the block", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkTypedText));
         b.Named(6, "OiAnText", TextData(7500, "short", 1 << 30));
       }, 1, {}, "short"},
      {"unknown record passed over whole", [](BlockBuilder& b) {
         b.I32(99);
         b.I32(172);  // its data would read as a mark record if only its header were passed
         b.Mark(Attributes(kIEMarkFilledRect));
         b.I32(9);
         b.I32(0);
       }, 0, {}, ""},
      {"unknown record beyond the end", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkFilledRect));
         b.I32(99);
         b.I32(1000);
       }, 1, {}, ""},
      {"mark type zero is no mark", [](BlockBuilder& b) { b.Mark(Attributes(0)); }, 0, {}, ""},
      {"broken image data", [](BlockBuilder& b) {
         b.Mark(Attributes(kIEMarkImageEmbedded));
         b.Named(6, "OiDIB", I32s({40, 100000, 100000, 0x00180001}));
       }, 1, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockBuilder b(1);
    c.build(b);
    TIEImagingAnnot annot;
    annot.LoadFromBuffer(b.bytes.data(), int64_t(b.bytes.size()));
    ASSERT_EQ(annot.ObjectCount(), c.objects);
    if (c.objects) {
      EXPECT_EQ(annot.Objects(c.objects - 1)->Points, c.points);
      EXPECT_EQ(annot.Objects(c.objects - 1)->Text, c.text);
      EXPECT_EQ(annot.Objects(c.objects - 1)->Image, nullptr);
    }
  }
  // Shorter than the header.
  const uint8_t tiny[5] = {0, 0, 0, 0, 1};
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(tiny, 5);
  EXPECT_EQ(annot.ObjectCount(), 0);
}

// ---- Into a vector view ----

namespace {

// Records every call of the vector-view interface as text.
class RecordingVect : public TIEVectLink {
 public:
  std::vector<std::string> calls;
  int32_t next = 0;
  int32_t AddNewObject() override {
    calls.push_back("new " + std::to_string(next));
    return next++;
  }
  void Log(int32_t h, const std::string& what) { calls.push_back(std::to_string(h) + " " + what); }
  static std::string R(const TRect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
  }
  void SetObjKind(int32_t h, TIEVObjectKind v) override { Log(h, "kind " + std::to_string(v)); }
  void SetObjRect(int32_t h, const TRect& v) override { Log(h, "rect " + R(v)); }
  void SetObjBitmap(int32_t h, TIEBitmap* v) override {
    Log(h, "bitmap " + (v ? std::to_string(v->Width()) + "x" + std::to_string(v->Height()) : std::string("nil")));
  }
  void SetObjPenColor(int32_t h, TColor v) override { Log(h, "pen color " + std::to_string(v)); }
  void SetObjPenStyle(int32_t h, TPenStyle v) override { Log(h, "pen style " + std::to_string(v)); }
  void SetObjPenWidth(int32_t h, int32_t v) override { Log(h, "pen width " + std::to_string(v)); }
  void SetObjBrushColor(int32_t h, TColor v) override { Log(h, "brush color " + std::to_string(v)); }
  void SetObjBrushStyle(int32_t h, TBrushStyle v) override { Log(h, "brush style " + std::to_string(v)); }
  void SetObjTransparency(int32_t h, int32_t v) override { Log(h, "transparency " + std::to_string(v)); }
  void SetObjBeginShape(int32_t h, uint8_t v) override { Log(h, "begin shape " + std::to_string(v)); }
  void SetObjEndShape(int32_t h, uint8_t v) override { Log(h, "end shape " + std::to_string(v)); }
  void SetObjBoxHighlight(int32_t h, bool v) override { Log(h, std::string("highlight ") + (v ? "1" : "0")); }
  void SetObjMemoBrushStyle(int32_t h, TBrushStyle v) override { Log(h, "memo brush " + std::to_string(v)); }
  void SetObjMemoBorderStyle(int32_t h, TPenStyle v) override { Log(h, "memo border " + std::to_string(v)); }
  void SetObjPolylinePoints(int32_t h, const TPoint* p, int32_t last) override {
    std::string s = "points";
    for (int32_t i = 0; i <= last; ++i) s += " " + std::to_string(p[i].X) + "," + std::to_string(p[i].Y);
    Log(h, s);
  }
  void SetObjFontHeight(int32_t h, int32_t v) override { Log(h, "font height " + std::to_string(v)); }
  void SetObjFontName(int32_t h, const std::string& v) override { Log(h, "font name " + v); }
  void SetObjFontStyles(int32_t h, TFontStyles v) override { Log(h, "font styles " + std::to_string(v.Bits())); }
  void SetObjTextAlign(int32_t h, uint8_t v) override { Log(h, "align " + std::to_string(v)); }
  void SetObjTextFixedAlign(int32_t h, bool v) override { Log(h, std::string("fixed align ") + (v ? "1" : "0")); }
  void SetObjText(int32_t h, const std::string& v) override { Log(h, "text " + v); }
};

// A vector view: the view link and the object interface in one.
class FakeVectView : public ietest::FakeView, public RecordingVect {
 public:
  FakeVectView() : ietest::FakeView(nullptr, ievkVectorView) {}
};

void PutColor(TAttributes& a, size_t offset, uint8_t r, uint8_t g, uint8_t b) {
  a[offset] = b;
  a[offset + 1] = g;
  a[offset + 2] = r;
}

}  // namespace

TEST(ImagingAnnotCopyToVect, EachMarkTypeBecomesItsVectorObject) {
  TIEImagingAnnot annot;
  TIEImagingObject* image = AddMark(annot, kIEMarkImageEmbedded, {1, 2, 3, 4});
  image->Image = std::make_unique<TIEBitmap>(5, 6, ie24RGB);
  TIEImagingObject* line = AddMark(annot, kIEMarkStraightLine, {10, 20, 0, 0});
  line->Points = {{1, 1}, {5, 7}};
  PutColor(line->Attributes, 20, 0x11, 0x22, 0x33);
  PutI32(line->Attributes, 28, 1);  // highlighted
  PutI32(line->Attributes, 36, 3);
  TIEImagingObject* poly = AddMark(annot, kIEMarkFreehandLine, {100, 200, 0, 0});
  poly->Points = {{0, 0}, {1, 2}, {3, 4}};
  PutI32(poly->Attributes, 36, 2);
  AddMark(annot, kIEMarkHollowRect, {0, 0, 9, 9});
  TIEImagingObject* filled = AddMark(annot, kIEMarkFilledRect, {1, 1, 9, 9});
  PutColor(filled->Attributes, 20, 0xFF, 0, 0);
  TIEImagingObject* text = AddMark(annot, kIEMarkTypedText, {0, 0, 50, 10});
  text->Text = "typed";
  PutI32(text->Attributes, 48, -150);   // LOGFONT height
  PutI32(text->Attributes, 64, 700);    // weight: bold
  text->Attributes[68] = 1;             // italic
  std::memcpy(text->Attributes.data() + 76, "Arial", 5);
  TIEImagingObject* note = AddMark(annot, kIEMarkAttachNote, {0, 0, 50, 10});
  note->Text = "note";
  PutColor(note->Attributes, 20, 0, 0xFF, 0);
  PutColor(note->Attributes, 24, 0, 0, 0xFF);
  AddMark(annot, kIEMarkForm, {});  // nothing

  RecordingVect vect;
  annot.CopyToVect(&vect);
  const std::vector<std::string> expected = {
      "new 0", "0 kind 5", "0 rect 1,2,3,4", "0 bitmap 5x6",
      "new 1", "1 kind 1", "1 rect 11,21,15,27", "1 pen color " + std::to_string(0x332211), "1 pen style 0",
      "1 pen width 3", "1 begin shape 0", "1 end shape 0", "1 transparency 127",
      "new 2", "2 kind 8", "2 points 100,200 101,202 103,204", "2 pen color 0", "2 pen style 0", "2 pen width 2",
      "2 transparency 255",
      "new 3", "3 kind 2", "3 rect 0,0,9,9", "3 pen color 0", "3 pen width 0", "3 pen style 0", "3 brush style 1",
      "3 memo brush 1", "3 highlight 0",
      "new 4", "4 kind 2", "4 rect 1,1,9,9", "4 brush color 255", "4 brush style 0", "4 memo brush 0",
      "4 pen style 5", "4 highlight 0",
      "new 5", "5 kind 10", "5 rect 0,0,50,10", "5 pen color 0", "5 brush color " + std::to_string(0xFFFFFF),
      "5 brush style 1", "5 memo brush 1", "5 memo border 5", "5 font height 20", "5 font name Arial",
      "5 font styles 3", "5 align 0", "5 fixed align 1", "5 text typed",
      "new 6", "6 kind 10", "6 rect 0,0,50,10", "6 pen color " + std::to_string(0xFF0000),
      "6 brush color " + std::to_string(0x00FF00), "6 brush style 0", "6 memo brush 0", "6 memo border 5",
      "6 font height 0", "6 font name ", "6 font styles 0", "6 align 0", "6 fixed align 1", "6 text note",
  };
  EXPECT_EQ(vect.calls, expected);
}

TEST(ImagingAnnotCopyToVect, WithoutAViewTheParentsVectorViewServesElseInvalidCast) {
  TIEImagingAnnot standalone;
  AddMark(standalone, kIEMarkFilledRect, {});
  try {
    standalone.CopyToVect(nullptr);
    FAIL() << "no exception";
  } catch (const EInvalidCast& e) {
    EXPECT_EQ(e.Message(), "Invalid class typecast");
  }

  TZodazUrIO io(nullptr);
  TIEImagingAnnot* annot = io.Params().GetImagingAnnot();
  AddMark(*annot, kIEMarkFilledRect, {});
  EXPECT_THROW(annot->CopyToVect(nullptr), EInvalidCast);  // no view attached

  ietest::FakeView plain(nullptr, ievkImageView);
  io.SetAttachedZodazUr(&plain);
  EXPECT_THROW(annot->CopyToVect(nullptr), EInvalidCast);  // not a vector view
  io.SetAttachedZodazUr(nullptr);

  FakeVectView vect;
  io.SetAttachedZodazUr(&vect);
  annot->CopyToVect(nullptr);
  io.SetAttachedZodazUr(nullptr);
  ASSERT_FALSE(vect.calls.empty());
  EXPECT_EQ(vect.calls.front(), "new 0");
}
