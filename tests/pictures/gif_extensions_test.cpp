// Extension blocks: the registries, what each class reads and writes, and damaged blocks.
#include <gtest/gtest.h>

#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

GifFile Screen() { return GifFile(4, 2, Colors(4)); }
const Bytes kPixels = {0, 1, 2, 3, 3, 2, 1, 0};

template <class T>
T* Find(TGIFSubImage* frame, int nth = 0) {
  for (int32_t i = 0; i < frame->Extensions()->Count(); ++i)
    if (auto* e = dynamic_cast<T*>(frame->Extensions()->Items(i)))
      if (nth-- == 0) return e;
  return nullptr;
}

TEST(GIFExtensions, EveryKindReadsBackAsItWasWritten) {
  GifFile f = Screen();
  f.Gce(2, 25, true, 3, true);
  f.Comment({"first line", "second"});
  f.PlainText(1, 2, 30, 40, 5, 6, 1, 2, {"hello"});
  f.Loop(7, "ANIMEXTS1.0");
  f.App("MYAPP   1.0", {"abc", std::string("\0\1\2", 3)});
  f.Frame(0, 0, 4, 2, kPixels);
  const Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.warnings.empty());
  const auto check = [](TGIFSubImage* frame) {
    ASSERT_EQ(frame->Extensions()->Count(), 5);
    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    ASSERT_NE(gce, nullptr);
    EXPECT_EQ(gce->Disposal(), 2);
    EXPECT_EQ(gce->Delay(), 25);
    EXPECT_TRUE(gce->Transparent());
    EXPECT_TRUE(gce->UserInput());
    EXPECT_EQ(gce->TransparentColorIndex(), 3);
    EXPECT_TRUE(frame->Transparent());
    EXPECT_EQ(Find<TGIFCommentExtension>(frame)->Text, (std::vector<std::string>{"first line", "second"}));
    TGIFTextExtension* text = Find<TGIFTextExtension>(frame);
    EXPECT_EQ(text->Left, 1);
    EXPECT_EQ(text->GridHeight, 40);
    EXPECT_EQ(text->CharHeight, 6);
    EXPECT_EQ(text->BackgroundColorIndex, 2);
    EXPECT_EQ(text->Text, std::vector<std::string>{"hello"});
    TGIFAppExtNSLoop* loop = Find<TGIFAppExtNSLoop>(frame);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops, 7);
    EXPECT_EQ(loop->IdentifierText(), "ANIMEXTS1.0");
    TGIFUnknownAppExtension* app = Find<TGIFUnknownAppExtension>(frame);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->IdentifierText(), "MYAPP   1.0");
    ASSERT_EQ(app->Blocks.size(), 2u);
    EXPECT_EQ(app->Blocks[1].Data, (Bytes{0, 1, 2}));
  };
  check(r.image->Images()->Items(0));
  for (TGIFEncoding encoding : {genLZW, genRunLength}) {
    r.image->SetEncoding(encoding);
    const Loaded back = Load(Save(*r.image));
    ASSERT_EQ(back.error, "");
    check(back.image->Images()->Items(0));
    EXPECT_EQ(FramePixels(back.image->Images()->Items(0)), kPixels);
  }
}

TEST(GIFExtensions, ApplicationBlocksOfOtherSizes) {
  struct Case {
    int size;
    std::string error;
    const char* kind;
  };
  // 10 bytes: an old form, kept as unknown data; 9 and 12 with an unknown identifier: refused.
  for (const Case& c : {Case{10, "", "unknown"}, Case{11, "", "unknown"}, Case{9, "Unsupported Application Extension block size", ""},
                        Case{12, "Unsupported Application Extension block size", ""}}) {
    GifFile f = Screen();
    f.App("SOMEONE_1.0", {"data"}, c.size).Frame(0, 0, 4, 2, kPixels);
    const Loaded r = Load(f.Done());
    EXPECT_EQ(r.error, c.error) << c.size;
    if (c.error.empty()) {
      auto* app = Find<TGIFUnknownAppExtension>(r.image->Images()->Items(0));
      ASSERT_NE(app, nullptr) << c.size;
      EXPECT_EQ(app->Blocks.at(0).Data, (Bytes{'d', 'a', 't', 'a'}));
      EXPECT_EQ(FramePixels(r.image->Images()->Items(0)), kPixels);
    }
  }
  // A known identifier in a longer block: the extra bytes are stepped over.
  GifFile f = Screen();
  f.App("NETSCAPE2.0X", {std::string{1, 3, 0}}, 12).Frame(0, 0, 4, 2, kPixels);
  const Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(Find<TGIFAppExtNSLoop>(r.image->Images()->Items(0))->Loops, 3);
}

TEST(GIFExtensions, LoopingDataWithOtherSubBlocksAndABufferSize) {
  GifFile f = Screen();
  f.App("NETSCAPE2.0", {std::string{9, 'x', 'y'}, std::string("\x02\x10\x20\x30\x40", 5), std::string("\x01\x00\x00", 3)});
  f.Frame(0, 0, 4, 2, kPixels);
  Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  TGIFAppExtNSLoop* loop = Find<TGIFAppExtNSLoop>(r.image->Images()->Items(0));
  EXPECT_EQ(loop->Loops, 0);
  EXPECT_EQ(loop->BufferSize, 0x40302010u);
  const Loaded back = Load(Save(*r.image));
  EXPECT_EQ(Find<TGIFAppExtNSLoop>(back.image->Images()->Items(0))->BufferSize, 0x40302010u);
  // Loop sub-blocks too short for their field are invalid.
  GifFile bad = Screen();
  bad.App("NETSCAPE2.0", {std::string{1, 5}}).Frame(0, 0, 4, 2, kPixels);
  EXPECT_EQ(Load(bad.Done()).error, "Invalid GIF data");
}

TEST(GIFExtensions, TheFirstGraphicControlRulesTheFrame) {
  GifFile f = Screen();
  f.Gce(3, 10, false, 0).Gce(2, 20, true, 1).Frame(0, 0, 4, 2, kPixels);
  const Loaded r = Load(f.Done());
  TGIFSubImage* frame = r.image->Images()->Items(0);
  EXPECT_EQ(frame->Extensions()->Count(), 2);
  EXPECT_EQ(frame->GraphicControlExtension()->Disposal(), 3);
  EXPECT_FALSE(frame->Transparent());
}

TEST(GIFExtensions, DamagedExtensionBlocks) {
  struct Case {
    const char* name;
    Bytes file;
    std::string error;
    std::vector<std::string> warnings;
  };
  std::vector<Case> cases;
  {
    GifFile f = Screen();
    f.Raw({0x21, 0x77, 2, 'h', 'i', 0}).Frame(0, 0, 4, 2, kPixels);
    cases.push_back({"label not in the registry", f.Done(), "Unknown extension type", {}});
  }
  {
    GifFile f = Screen();
    f.Frame(0, 0, 4, 2, kPixels).Raw({0x21, 0xF9, 4, 1, 0});  // cut at the end of the file
    cases.push_back({"graphic control cut short", f.data, "", {"Premature end of data"}});
  }
  {
    GifFile f = Screen();
    f.Raw({0x21, 0xFE, 10, 'a', 'b'});
    cases.push_back({"comment cut short", f.data, "Premature end of data", {}});
  }
  {
    GifFile f = Screen();
    f.Raw({0x21, 0xFE, 1, 'a', 0, 0x66}).Frame(0, 0, 4, 2, kPixels);
    cases.push_back({"stray byte after an extension", f.Done(), "", {"Invalid extension introducer", "Unknown GIF block type", "Invalid Image trailer"}});
  }
  {
    // A graphic control block of another size than 4 ends where its size says.
    GifFile f = Screen();
    f.Raw({0x21, 0xF9, 6, 1, 9, 0, 2, 7, 7, 0}).Frame(0, 0, 4, 2, kPixels);
    cases.push_back({"graphic control of size 6", f.Done(), "", {}});
  }
  {
    GifFile f = Screen();
    f.Raw({0x21, 0xFF});
    cases.push_back({"application label at the end", f.data, "Unknown extension type", {}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded r = Load(c.file);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.warnings, c.warnings);
  }
  const Loaded sized = Load(cases[4].file);
  ASSERT_EQ(sized.image->Images()->Count(), 1);
  EXPECT_EQ(sized.image->Images()->Items(0)->GraphicControlExtension()->Delay(), 9);
  EXPECT_EQ(FramePixels(sized.image->Images()->Items(0)), kPixels);
}

TEST(GIFExtensions, RegistrationsWinInReverseOrderAndAreFreedAtTheEnd) {
  // Reading "TESTAPP 1.0" as a looping extension once it is registered so.
  GifFile f = Screen();
  f.App("TESTAPP 1.0", {std::string{1, 4, 0}}).Frame(0, 0, 4, 2, kPixels);
  const Bytes file = f.Done();
  EXPECT_NE(Find<TGIFUnknownAppExtension>(Load(file).image->Images()->Items(0)), nullptr);
  RegisterAppExtension("TESTAPP 1.0", &TGIFAppExtNSLoop::ClassInfo);
  EXPECT_EQ(Find<TGIFAppExtNSLoop>(Load(file).image->Images()->Items(0))->Loops, 4);
  RegisterExtension(0xFE, &TGIFUnknownAppExtension::ClassInfo);
  EXPECT_EQ(FindExtension(0xFE), &TGIFUnknownAppExtension::ClassInfo);
  FreeExtensionRegistries();
  EXPECT_EQ(FindExtension(0xFE), &TGIFCommentExtension::ClassInfo);
  EXPECT_EQ(FindAppExtension("TESTAPP 1.0"), nullptr);
}

TEST(GIFExtensions, ATransparentIndexOutsideTheTableWarnsAndStoresZero) {
  const Loaded r = Load([] {
    GifFile f = Screen();
    f.Frame(0, 0, 4, 2, kPixels);
    return f.Done();
  }());
  TGIFSubImage* frame = r.image->Images()->Items(0);
  std::vector<std::string> warnings;
  r.image->OnGIFWarning = [&](TObject*, int32_t, const std::string& m) { warnings.push_back(m); };
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetTransparentColorIndex(3);
  EXPECT_EQ(gce->TransparentColorIndex(), 3);
  gce->SetTransparentColorIndex(4);
  EXPECT_EQ(gce->TransparentColorIndex(), 0);
  EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
  gce->SetDisposal(5);
  gce->SetTransparent(true);
  EXPECT_EQ(gce->Packed(), 5 << 2 | 1);
}

}  // namespace
