// DVD-Video information files and sectors: our check of VIDEO_TS.IFO and the title sets' IFO files
// (with their backups) on a folder authored at test time by dvdauthor, against lsdvd's reading of
// it, and on damaged copies (cut files, missing files, references out of range) that must be
// refused before libdvdread or libdvdnav see them; and the sector demuxer on the folder's VOBs and
// on sectors built byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/media/dvd_demux.h"
#include "platform/media/dvd_ifo.h"
#include "tests/support/dvd_fixture.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/video_fixture.h"

namespace fs = std::filesystem;

namespace {

const fs::path& DiscFolder() { return testsupport::DvdFixtureFolder(); }

fs::path CopyDisc(const testsupport::ScratchDir& scratch) {
  const fs::path copy = scratch.Path() / "disc";
  fs::copy(DiscFolder(), copy, fs::copy_options::recursive);
  return copy;
}

void CutFile(const fs::path& file, uintmax_t size) { fs::resize_file(file, size); }

uint32_t BigEndian32(const std::vector<uint8_t>& d, size_t o) {
  return static_cast<uint32_t>(d[o]) << 24 | d[o + 1] << 16 | d[o + 2] << 8 | d[o + 3];
}

}  // namespace

TEST(DvdIfoTest, AuthoredDiscPassesAndAgreesWithLsdvd) {
  TDvdVmgFacts facts;
  std::string why;
  ASSERT_TRUE(CheckDvd(DiscFolder().string(), facts, why)) << why;
  EXPECT_EQ(facts.Volumes, 1);
  EXPECT_EQ(facts.Volume, 1);
  EXPECT_EQ(facts.Side, 1);
  EXPECT_EQ(facts.TitleSets, 2);
  ASSERT_EQ(facts.Titles, 2);
  EXPECT_EQ(facts.TitleSetOfTitle, (std::vector<int32_t>{1, 2}));

  // lsdvd reads the same tables through libdvdread: titles and chapters must agree.
  const std::string lsdvd = testsupport::FindProgram({"lsdvd"});
  ASSERT_FALSE(lsdvd.empty()) << "lsdvd is needed (scripts/install-deps.sh installs it)";
  std::string out;
  ASSERT_EQ(testsupport::RunProgram("'" + lsdvd + "' '" + DiscFolder().string() + "'", &out), 0) << out;
  std::vector<int32_t> chapters;
  for (const auto& m : testsupport::RegexFindAll(out, R"(Title: (\d+), Length: [0-9:.]+ Chapters: (\d+))")) {
    chapters.push_back(std::stoi(m[2]));
  }
  EXPECT_EQ(chapters, facts.TitleChapters);
  EXPECT_EQ(facts.TitleChapters, (std::vector<int32_t>{2, 1}));

  // A VIDEO_TS folder given by its own path opens too (libdvdread takes either).
  TDvdVmgFacts again;
  EXPECT_TRUE(CheckDvd((DiscFolder() / "VIDEO_TS").string(), again, why)) << why;
  EXPECT_EQ(again.Titles, 2);
}

// Information files cut short, with and without their backups, and missing: each refuses the disc
// with a reason (libdvdread crashes on some of these even beside a good backup).
TEST(DvdIfoTest, CutAndMissingFilesAreRefused) {
  struct Case {
    const char* file;
    intmax_t cut;  // -1: the file is removed
    bool removeBackup;
  };
  std::vector<Case> cases;
  for (const char* file : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_02_0.IFO"}) {
    for (intmax_t cut : {0, 100, 2048, 3000}) {
      cases.push_back({file, cut, false});
      cases.push_back({file, cut, true});
    }
  }
  cases.push_back({"VTS_02_0.IFO", -1, false});
  cases.push_back({"VTS_01_0.IFO", -1, true});
  cases.push_back({"VTS_01_0.BUP", 3000, false});  // a damaged backup beside a good file
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " cut at " + std::to_string(c.cut) + (c.removeBackup ? " without backup" : ""));
    testsupport::ScratchDir scratch;
    const fs::path disc = CopyDisc(scratch) / "VIDEO_TS";
    const fs::path file = disc / c.file;
    if (c.cut < 0) {
      fs::remove(file);
    } else {
      CutFile(file, static_cast<uintmax_t>(c.cut));
    }
    if (c.removeBackup) fs::remove(fs::path(file).replace_extension(".BUP"));
    TDvdVmgFacts facts;
    std::string why;
    EXPECT_FALSE(CheckDvd(disc.parent_path().string(), facts, why));
    EXPECT_FALSE(why.empty());
  }

  TDvdVmgFacts facts;
  std::string why;
  EXPECT_FALSE(CheckDvd("/nonexistent/disc", facts, why));
  EXPECT_NE(why.find("/nonexistent/disc"), std::string::npos) << why;
}

// References and counts out of range in otherwise whole files, made by patching the authored ones.
TEST(DvdIfoTest, ReferencesOutOfRangeAreRefused) {
  const std::vector<uint8_t> vmg = testsupport::ReadFileBytes((DiscFolder() / "VIDEO_TS" / "VIDEO_TS.IFO").string());
  const std::vector<uint8_t> vts = testsupport::ReadFileBytes((DiscFolder() / "VIDEO_TS" / "VTS_01_0.IFO").string());
  ASSERT_GE(vmg.size(), 4096u);
  ASSERT_GE(vts.size(), 4096u);
  const uint64_t titles = uint64_t{BigEndian32(vmg, 0xC4)} * 2048;
  const uint64_t parts = uint64_t{BigEndian32(vts, 0xC8)} * 2048;
  const uint64_t chains = uint64_t{BigEndian32(vts, 0xCC)} * 2048;
  ASSERT_LT(titles + 20, vmg.size());
  ASSERT_LT(parts + 16, vts.size());
  ASSERT_LT(chains + 16, vts.size());
  const uint64_t firstParts = parts + BigEndian32(vts, parts + 8);
  const uint64_t firstChain = chains + BigEndian32(vts, chains + 12);
  const uint64_t firstCell = firstChain + ((vts[firstChain + 0xE8] << 8) | vts[firstChain + 0xE9]);
  ASSERT_NE(firstCell, firstChain);
  ASSERT_EQ(vts[firstCell] & 0xF0, 0);  // a cell in no block
  // The first-play chain's first command.
  const uint64_t firstPlay = BigEndian32(vmg, 0x84);
  ASSERT_LT(firstPlay + 0xEC, vmg.size());
  const uint64_t firstPlayCommands = firstPlay + ((vmg[firstPlay + 0xE4] << 8) | vmg[firstPlay + 0xE5]);
  ASSERT_NE(firstPlayCommands, firstPlay);
  ASSERT_GT((vmg[firstPlayCommands] << 8) | vmg[firstPlayCommands + 1], 0);  // pre-commands
  const uint64_t firstCommand = firstPlayCommands + 8;

  struct Case {
    const char* what;
    bool vmgFile;
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"file longer than it is", true, 0x1C, {0, 0, 0x10, 0}},
      {"header end past the file", true, 0x80, {0x7F, 0, 0, 0}},
      {"no title sets", true, 0x3E, {0, 0}},
      {"title table past the file", true, 0xC4, {0, 0, 0x40, 0}},
      {"65535 titles", true, titles, {0xFF, 0xFF}},
      {"title in title set 9", true, titles + 8 + 6, {9}},
      {"title number 0 in its set", true, titles + 8 + 7, {0}},
      {"chain table past the file", false, 0xCC, {0, 0, 0x40, 0}},
      {"part naming chain 7", false, firstParts, {0, 7}},
      {"part naming program 9", false, firstParts + 2, {0, 9}},
      {"chain with 200 cells", false, firstChain + 3, {200}},
      {"cell outside a block, of an angle block's type", false, firstCell, {0x10}},
      {"cell in a block of type 2", false, firstCell, {0x60}},
      {"chain offset past its table", false, chains + 12, {0, 0x10, 0, 0}},
      {"first play jumps to menu chain 122", true, firstCommand, {0x30, 0x06, 0, 0x7A, 0, 0xC0, 0, 0}},
      {"first play jumps to title 9", true, firstCommand, {0x30, 0x02, 0, 0, 0, 0x09, 0, 0}},
      {"first play calls a menu (titles only)", true, firstCommand, {0x30, 0x08, 0, 0, 0, 0x40, 0, 0}},
      {"first play links to chain 5", true, firstCommand, {0x20, 0x04, 0, 0, 0, 0, 0, 0x05}},
      {"first play links to part 1 (titles only)", true, firstCommand, {0x20, 0x05, 0, 0, 0, 0, 0, 0x01}},
      {"first play sets and links nowhere", true, firstCommand, {0x80, 0, 0, 0, 0, 0, 0, 0x0E}},
      // The first-play chain has no cells, programs or chain table: links that need one are refused.
      {"first play system-set links to chain 99", true, firstCommand, {0x40, 0x04, 0, 0, 0, 0, 0, 0x63}},
      {"first play set links to chain 1 (no chain table)", true, firstCommand, {0x60, 0x04, 0, 0, 0, 0, 0, 0x01}},
      {"first play set links to its top cell", true, firstCommand, {0x60, 0x01, 0, 0, 0, 0, 0, 0x01}},
      {"first play compare links to the next chain", true, firstCommand, {0x80, 0, 0, 0, 0, 0, 0, 0x0A}},
      {"first play compare-sets and stays (no cell to stay in)", true, firstCommand, {0x89, 0, 0, 0, 0, 0x01, 0, 0}},
      {"first play links to program 1", true, firstCommand, {0x20, 0x06, 0, 0, 0, 0, 0, 0x01}},
      {"first play links to cell 0", true, firstCommand, {0x20, 0x07, 0, 0, 0, 0, 0, 0x00}},
      {"first play jumps to the current title set's menu", true, firstCommand, {0x30, 0x06, 0, 1, 0, 0x83, 0, 0}},
      {"first play jumps to title set 9's menu", true, firstCommand, {0x30, 0x06, 0, 1, 9, 0x83, 0, 0}},
      {"first play jumps to manager menu 7", true, firstCommand, {0x30, 0x06, 0, 0, 0, 0x47, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> data = c.vmgFile ? vmg : vts;
    ASSERT_LE(c.offset + c.bytes.size(), data.size());
    std::copy(c.bytes.begin(), c.bytes.end(), data.begin() + static_cast<ptrdiff_t>(c.offset));
    std::string why;
    TDvdVmgFacts facts;
    EXPECT_FALSE(c.vmgFile ? CheckVmgIfo(data.data(), data.size(), facts, why)
                           : CheckVtsIfo(data.data(), data.size(), why));
    EXPECT_FALSE(why.empty());
  }
  // The files as authored pass, and every cut of them is refused without reading past the end.
  std::string why;
  TDvdVmgFacts facts;
  EXPECT_TRUE(CheckVmgIfo(vmg.data(), vmg.size(), facts, why)) << why;
  EXPECT_TRUE(CheckVtsIfo(vts.data(), vts.size(), why)) << why;
  for (size_t cut = 0; cut < vmg.size(); cut += 509) EXPECT_FALSE(CheckVmgIfo(vmg.data(), cut, facts, why)) << cut;
  for (size_t cut = 0; cut < vts.size(); cut += 509) EXPECT_FALSE(CheckVtsIfo(vts.data(), cut, why)) << cut;
}

// Navigation commands whose link sub-instruction names no link the navigator knows are refused
// (it stops the program on them); every other code, and commands without one, pass.
TEST(DvdIfoTest, CommandsLinkingNowhereAreRefused) {
  struct Case {
    const char* what;
    std::array<uint8_t, 8> command;
    bool safe;
  };
  const Case cases[] = {
      {"nop", {0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"set then link 4", {0x80, 0, 0, 0, 0, 0, 0, 0x04}, false},
      {"set then link 8", {0x60, 0x01, 0, 0, 0, 0, 0, 0x08}, false},
      {"system set then link 14", {0x40, 0x01, 0, 0, 0, 0, 0, 0x0E}, false},
      {"system set without a link", {0x40, 0, 0, 0, 0, 0, 0, 0x0E}, true},
      {"set then link to program 0", {0x60, 0x06, 0, 0, 0, 0, 0, 0x80}, false},
      {"link to cell 0", {0x20, 0x07, 0, 0, 0, 0, 0, 0}, false},
      {"link to cell 3", {0x20, 0x07, 0, 0, 0, 0, 0, 3}, true},
      {"compare-set then link 15", {0xC0, 0, 0, 0, 0, 0, 0, 0x0F}, false},
      {"set then top cell", {0x80, 0, 0, 0, 0, 0, 0, 0x01}, true},
      {"set then resume", {0x80, 0, 0, 0, 0, 0, 0, 0x10}, true},
      {"set then code 17 (ignored)", {0x80, 0, 0, 0, 0, 0, 0, 0x11}, true},
      {"link sub-instruction 8", {0x20, 0x01, 0, 0, 0, 0, 0, 0x08}, false},
      {"link to chain (not a sub-instruction)", {0x20, 0x04, 0, 0, 0, 0, 0, 0x08}, true},
      {"jump title", {0x30, 0x02, 0, 0, 0, 0, 0x01, 0x0F}, true},
      {"kind 7", {0xE0, 0, 0, 0, 0, 0, 0, 0x04}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(DvdCommandSafe(c.command.data()), c.safe) << c.what;
}

// The link a command makes, decoded for each kind that carries one (the navigator's reading, found
// by running each command in it): set and system-set commands choose their link by byte 1's low
// four bits, like the link commands; compare-and-set commands end in a link sub-instruction.
TEST(DvdIfoTest, CommandLinkOfEachKind) {
  struct Case {
    const char* what;
    std::array<uint8_t, 8> command;
    TDvdLinkKind kind;
    int32_t value;
  };
  const Case cases[] = {
      {"nop", {0, 0, 0, 0, 0, 0, 0, 0x05}, dlNone, 0},
      {"kind 7", {0xE0, 0x01, 0, 0, 0, 0, 0, 0x05}, dlNone, 0},
      {"link sub-instruction", {0x20, 0x01, 0, 0, 0, 0, 0x04, 0x0C}, dlSub, 12},
      {"link sub-instruction code 17 is passed over", {0x20, 0x01, 0, 0, 0, 0, 0, 0x11}, dlNone, 0},
      {"link to chain", {0x20, 0x04, 0, 0, 0, 0, 0x01, 0x02}, dlChain, 258},
      {"link to part", {0x20, 0x05, 0, 0, 0, 0, 0x07, 0x02}, dlPart, 770},
      {"link to program", {0x20, 0x06, 0, 0, 0, 0, 0x04, 0x85}, dlProgram, 5},
      {"link to cell", {0x20, 0x07, 0, 0, 0, 0, 0x04, 0xC8}, dlCell, 200},
      {"jump (no link)", {0x30, 0x04, 0, 0, 0, 0, 0, 0x01}, dlNone, 0},
      {"system set, link to chain", {0x40, 0x04, 0, 0, 0, 0, 0, 0x63}, dlChain, 99},
      {"system set, sub-instruction", {0x40, 0x01, 0, 0, 0, 0, 0, 0x0C}, dlSub, 12},
      {"system set, no link", {0x40, 0x00, 0, 0, 0, 0, 0, 0x0C}, dlNone, 0},
      {"set, link to cell", {0x60, 0x07, 0, 0, 0, 0, 0, 0x02}, dlCell, 2},
      {"set, sub-instruction", {0x70, 0x11, 0, 0, 0, 0, 0, 0x0A}, dlSub, 10},
      {"set and compare, sub-instruction", {0x80, 0x04, 0, 0, 0, 0, 0, 0x0A}, dlSub, 10},
      {"compare, set and link", {0xA0, 0, 0, 0, 0, 0, 0, 0x03}, dlSub, 3},
      {"compare, set, always link", {0xC0, 0, 0, 0, 0, 0, 0, 0x10}, dlSub, 16},
  };
  for (const Case& c : cases) {
    const TDvdLink link = DvdCommandLink(c.command.data());
    EXPECT_EQ(link.Kind, c.kind) << c.what;
    EXPECT_EQ(link.Value, c.value) << c.what;
  }
}

// A disc's commands may jump to a title set's menu only where that set has it: VIDEO_TS.IFO's
// first-play command is pointed at menus of the fixture's title sets (which have none), then at the
// manager's own title menu on a disc that has one.
TEST(DvdIfoTest, JumpsToMenusThatAreNotThereAreRefused) {
  const auto firstPlayCommand = [](const std::vector<uint8_t>& vmg) {
    const uint64_t firstPlay = BigEndian32(vmg, 0x84);
    return firstPlay + ((vmg[firstPlay + 0xE4] << 8) | vmg[firstPlay + 0xE5]) + 8;
  };
  testsupport::ScratchDir scratch;
  const fs::path disc = CopyDisc(scratch);
  for (const char* name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"}) {
    const fs::path file = disc / "VIDEO_TS" / name;
    std::vector<uint8_t> vmg = testsupport::ReadFileBytes(file.string());
    const uint64_t at = firstPlayCommand(vmg);
    const uint8_t jump[8] = {0x30, 0x06, 0, 1, 2, 0x83, 0, 0};  // title set 2's root menu
    std::copy(jump, jump + 8, vmg.begin() + static_cast<ptrdiff_t>(at));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(vmg.data()), static_cast<std::streamsize>(vmg.size()));
  }
  TDvdVmgFacts facts;
  std::string why;
  EXPECT_FALSE(CheckDvd(disc.string(), facts, why));
  EXPECT_NE(why.find("VTS_02_0.IFO"), std::string::npos) << why;

  // The manager's title menu (id 2) is there on the menu disc, its root menu (id 3) is not.
  const std::vector<uint8_t> menuVmg =
      testsupport::ReadFileBytes((testsupport::DvdMenuFixtureFolder() / "VIDEO_TS" / "VIDEO_TS.IFO").string());
  for (const auto& [menu, fits] : {std::pair<uint8_t, bool>{0x42, true}, {0x43, false}}) {
    std::vector<uint8_t> vmg = menuVmg;
    const uint8_t jump[8] = {0x30, 0x06, 0, 0, 0, menu, 0, 0};
    std::copy(jump, jump + 8, vmg.begin() + static_cast<ptrdiff_t>(firstPlayCommand(vmg)));
    EXPECT_EQ(CheckVmgIfo(vmg.data(), vmg.size(), facts, why), fits) << int{menu} << ": " << why;
  }
}

// Program chains whose commands go round for ever without a cell to show are refused (the
// navigator would spin in them, or recurse until its stack is gone): rounds no register value can
// leave, and rounds that write nothing on their way (the conditions that sent the navigator round
// once send it round again). Rounds that write (a counter), and gotos (the navigator runs a command
// list at most 100 000 lines), pass. A title set is authored by dvdauthor from the fixture's second
// title: two root menus whose pre-commands link to each other under conditions
// (`if (g0 eq 5) jump menu 2;`, `if (g1 eq 3) jump menu 1;`), patched.
TEST(DvdIfoTest, ChainsThatLoopWithoutACellAreRefused) {
  const std::string dvdauthor = testsupport::FindProgram({"dvdauthor"});
  ASSERT_FALSE(dvdauthor.empty()) << "dvdauthor is needed (scripts/install-deps.sh installs it)";
  testsupport::ScratchDir scratch;
  const fs::path vob = DiscFolder() / "VIDEO_TS" / "VTS_02_1.VOB";
  std::ofstream(scratch.Path() / "disc.xml")
      << "<dvdauthor dest=\"" << (scratch.Path() / "disc").string() << "\"><vmgm/><titleset><menus>"
      << "<pgc entry=\"root\"><pre>if (g0 eq 5) jump menu 2;</pre><vob file=\"" << vob.string() << "\"/></pgc>"
      << "<pgc><pre>if (g1 eq 3) jump menu 1;</pre><vob file=\"" << vob.string() << "\"/></pgc></menus>"
      << "<titles><pgc><vob file=\"" << vob.string() << "\"/></pgc></titles></titleset></dvdauthor>\n";
  std::string log;
  ASSERT_EQ(testsupport::RunProgram("VIDEO_FORMAT=PAL '" + dvdauthor + "' -x '" + (scratch.Path() / "disc.xml").string() +
                                        "'",
                                    &log),
            0)
      << log;
  const fs::path ifo = scratch.Path() / "disc" / "VIDEO_TS" / "VTS_01_0.IFO";
  const std::vector<uint8_t> vts = testsupport::ReadFileBytes(ifo.string());
  ASSERT_GE(vts.size(), 4096u);
  // The menus' first language, its chains 1 and 2 and their first pre- and post-commands.
  const uint64_t menus = uint64_t{BigEndian32(vts, 0xD0)} * 2048;
  ASSERT_GT(menus, 0u);
  const uint64_t language = menus + BigEndian32(vts, menus + 12);
  uint64_t chain[2], pre[2], post[2];
  for (int k = 0; k < 2; ++k) {
    chain[k] = language + BigEndian32(vts, language + 8 + 8 * k + 4);
    const uint64_t commands = chain[k] + ((vts[chain[k] + 0xE4] << 8) | vts[chain[k] + 0xE5]);
    ASSERT_NE(commands, chain[k]);
    ASSERT_EQ((vts[commands] << 8) | vts[commands + 1], 1);      // one pre-command
    ASSERT_GE((vts[commands + 2] << 8) | vts[commands + 3], 1);  // a post-command
    pre[k] = commands + 8;
    post[k] = commands + 16;
    ASSERT_EQ(vts[pre[k] + 1], 0xA4);  // a link to a chain under a condition
  }
  using Bytes = std::vector<uint8_t>;
  const Bytes linkTo1 = {0x20, 0x04, 0, 0, 0, 0, 0, 1}, linkTo2 = {0x20, 0x04, 0, 0, 0, 0, 0, 2};
  const Bytes tail = {0x20, 0x01, 0, 0, 0, 0, 0, 0x0D}, top = {0x20, 0x01, 0, 0, 0, 0, 0, 0x09};
  const Bytes nop = {0, 0, 0, 0, 0, 0, 0, 0}, gotoItself = {0x00, 0x01, 0, 0, 0, 0, 0, 1};
  const Bytes ifG0Is7LinkTo1 = {0x20, 0xA4, 0, 0, 0, 7, 0, 1};
  struct Case {
    const char* what;
    std::vector<std::pair<uint64_t, Bytes>> patches;
    bool accepted;
  };
  const Bytes g0Is0ThenLinkTo1 = {0x71, 0x04, 0, 0, 0, 0, 0, 1};
  const Case cases[] = {
      {"as authored: under conditions, writing nothing", {}, false},
      {"menu 1 may link to menu 2, which shows its cell", {{pre[1], nop}}, true},
      {"menu 1 always links to menu 2, which shows its cell", {{pre[0], linkTo2}, {pre[1], nop}}, true},
      {"menu 2 sets g0 to 0 before it links back to menu 1", {{pre[1], g0Is0ThenLinkTo1}}, true},
      {"menus 1 and 2 always link to each other", {{pre[0], linkTo2}, {pre[1], linkTo1}}, false},
      {"menu 1 always links to itself", {{pre[0], linkTo1}}, false},
      {"menu 1 links to itself under a condition, writing nothing", {{pre[0], ifG0Is7LinkTo1}, {pre[1], nop}}, false},
      {"menu 1 goes to its end, whose command goes to its start", {{pre[0], tail}, {post[0], top}}, false},
      {"menu 1 goes to its end, which ends play", {{pre[0], tail}, {pre[1], nop}}, true},
      // g0 = g0 writes nothing; g0 += g0 may lead out.
      {"menu 1 moves g0 onto itself, goes to its end, and back while g0 is not 0",
       {{pre[0], {0x61, 0x01, 0, 0, 0, 0, 0, 0x0D}}, {post[0], {0x20, 0xB1, 0, 0, 0, 0, 0, 0x09}}, {pre[1], nop}}, false},
      {"menu 1 adds g0 to itself, goes to its end, and back while g0 is not 0",
       {{pre[0], {0x63, 0x01, 0, 0, 0, 0, 0, 0x0D}}, {post[0], {0x20, 0xB1, 0, 0, 0, 0, 0, 0x09}}, {pre[1], nop}}, true},
      {"menu 1's commands go to themselves (bounded by the navigator)", {{pre[0], gotoItself}, {pre[1], nop}}, true},
      // Without programs the pre-commands run on into the post-commands.
      {"menu 2 without programs, its end links to its start",
       {{chain[1] + 2, {0}}, {pre[1], nop}, {post[1], linkTo2}}, false},
      {"menu 2 without programs falls off its end into itself",
       {{chain[1] + 2, {0}}, {pre[1], nop}, {post[1], nop}, {chain[1] + 0x9C, {0, 2}}}, false},
      {"menu 2 without programs falls off its end into menu 1, which shows its cell",
       {{chain[1] + 2, {0}}, {pre[0], nop}, {pre[1], nop}, {post[1], nop}, {chain[1] + 0x9C, {0, 1}}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> data = vts;
    for (const auto& [at, bytes] : c.patches) {
      std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<ptrdiff_t>(at));
    }
    std::string why;
    EXPECT_EQ(CheckVtsIfo(data.data(), data.size(), why), c.accepted) << why;
    if (!c.accepted) EXPECT_NE(why.find("for ever"), std::string::npos) << why;
  }

  // The whole disc with the two menus linking each other is refused, naming the file.
  for (const char* name : {"VTS_01_0.IFO", "VTS_01_0.BUP"}) {
    const fs::path file = ifo.parent_path() / name;
    std::vector<uint8_t> data = testsupport::ReadFileBytes(file.string());
    std::copy(linkTo2.begin(), linkTo2.end(), data.begin() + static_cast<ptrdiff_t>(pre[0]));
    std::copy(linkTo1.begin(), linkTo1.end(), data.begin() + static_cast<ptrdiff_t>(pre[1]));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  TDvdVmgFacts facts;
  std::string why;
  EXPECT_FALSE(CheckDvd((scratch.Path() / "disc").string(), facts, why));
  EXPECT_NE(why.find("VTS_01_0.IFO"), std::string::npos) << why;
}

// A button's command judged where the navigator stands when it would run: what depends on the
// cell, program, chain, domain or title set of that moment. The menu disc: one manager menu chain
// of one program and one cell; titles 1 and 2, each the only title of its own title set (one chain,
// one part), without menus.
TEST(DvdIfoTest, ButtonCommandsJudgedWhereTheyRun) {
  TDvdVmgFacts disc;
  std::string why;
  ASSERT_TRUE(CheckDvd(testsupport::DvdMenuFixtureFolder().string(), disc, why)) << why;
  ASSERT_EQ(disc.Sets.size(), 3u);
  ASSERT_FALSE(disc.Sets[0].MenuLanguages.empty());
  EXPECT_EQ(disc.Sets[0].MenuLanguages.front().second.size(), 1u);
  EXPECT_EQ(disc.Sets[1].Titles.size(), 1u);
  EXPECT_EQ(disc.Sets[1].TitleParts, (std::vector<int32_t>{1}));
  EXPECT_EQ(disc.TitleInSet, (std::vector<int32_t>{1, 1}));

  TDvdPlace menu;  // the manager's menu, its chain's only cell
  menu.Domain = 1;
  menu.Chain = menu.Program = menu.Cell = 1;
  TDvdPlace title = menu;  // title 1 (title set 1), its only cell
  title.Domain = 3;
  title.TitleSet = 1;
  title.TitleInSet = 1;
  TDvdPlace laterCell = title;
  laterCell.Cell = laterCell.Program = 2;
  TDvdPlace unknownSet = title;
  unknownSet.TitleSet = 7;
  struct Case {
    const char* what;
    std::array<uint8_t, 8> command;
    const TDvdPlace& place;
    bool fits;
  };
  const Case cases[] = {
      {"jump to title 1 from the menu", {0x30, 0x02, 0, 0, 0, 0x01, 0, 0}, menu, true},
      {"jump to title 3 (the disc has 2)", {0x30, 0x02, 0, 0, 0, 0x03, 0, 0}, menu, false},
      {"jump to a title of the manager from a title", {0x30, 0x02, 0, 0, 0, 0x01, 0, 0}, title, false},
      {"top of the cell", {0x20, 0x01, 0, 0, 0, 0, 0, 0x01}, menu, true},
      {"previous cell from the first", {0x20, 0x01, 0, 0, 0, 0, 0, 0x03}, menu, false},
      {"previous cell from the second", {0x20, 0x01, 0, 0, 0, 0, 0, 0x03}, laterCell, true},
      {"previous program from the first", {0x20, 0x01, 0, 0, 0, 0, 0, 0x07}, title, false},
      {"previous program from the second", {0x20, 0x01, 0, 0, 0, 0, 0, 0x07}, laterCell, true},
      {"next chain of a chain that names none", {0x20, 0x01, 0, 0, 0, 0, 0, 0x0A}, menu, false},
      {"chain 1 of the menus", {0x20, 0x04, 0, 0, 0, 0, 0, 0x01}, menu, true},
      {"chain 2 of the menus (one there)", {0x20, 0x04, 0, 0, 0, 0, 0, 0x02}, menu, false},
      {"part 1 of the title", {0x20, 0x05, 0, 0, 0, 0, 0, 0x01}, title, true},
      {"part 2 of the title (one there)", {0x20, 0x05, 0, 0, 0, 0, 0, 0x02}, title, false},
      {"part 1 from a menu", {0x20, 0x05, 0, 0, 0, 0, 0, 0x01}, menu, false},
      {"set then link to the previous cell from the first", {0x60, 0x01, 0, 0, 0, 0, 0, 0x03}, title, false},
      {"compare-and-link to the previous cell, judged as if it held", {0xA0, 0x30, 0, 0, 0, 0, 0, 0x03}, title, false},
      {"resume", {0x20, 0x01, 0, 0, 0, 0, 0, 0x10}, menu, true},
      {"a title set the disc does not have", {0x20, 0x01, 0, 0, 0, 0, 0, 0x01}, unknownSet, false},
      {"the manager's title menu, called from a title", {0x30, 0x08, 0, 0, 0x01, 0x42, 0, 0}, title, true},
      {"the title set's root menu, called from a title (it has none)", {0x30, 0x08, 0, 0, 0x01, 0x83, 0, 0}, title,
       false},
  };
  for (const Case& c : cases) EXPECT_EQ(DvdButtonCommandFits(c.command.data(), disc, c.place), c.fits) << c.what;
}

TEST(DvdDemuxTest, SectorsOfAnAuthoredTitle) {
  const std::vector<uint8_t> vob = testsupport::ReadFileBytes((DiscFolder() / "VIDEO_TS" / "VTS_01_1.VOB").string());
  ASSERT_EQ(vob.size() % 2048, 0u);
  ASSERT_GT(vob.size(), 0u);
  int64_t videoBytes = 0, audioPackets = 0, firstVideoPts = -1;
  std::vector<TDvdPes> pes;
  for (size_t s = 0; s < vob.size(); s += 2048) {
    ASSERT_TRUE(DemuxDvdSector(vob.data() + s, 2048, pes)) << "sector " << s / 2048;
    for (const TDvdPes& p : pes) {
      EXPECT_FALSE(p.Scrambled);
      ASSERT_GE(p.Payload, vob.data() + s);
      ASSERT_LE(p.Payload + p.Size, vob.data() + s + 2048);
      if (p.StreamId == 0xE0) {
        videoBytes += p.Size;
        if (firstVideoPts < 0 && p.Pts >= 0) firstVideoPts = p.Pts;
      }
      if (p.StreamId == 0xBD && p.SubstreamId == 0x80) ++audioPackets;
      EXPECT_NE(p.StreamId, 0xBF);  // navigation packets are not passed on
    }
  }
  EXPECT_GT(videoBytes, 20000);
  EXPECT_GT(audioPackets, 10);
  EXPECT_GE(firstVideoPts, 0);
}

TEST(DvdDemuxTest, BuiltSectors) {
  // Pack header (MPEG-2, no stuffing), a video PES with PTS and DTS, scrambled; an AC-3 packet of
  // private stream 1; padding to the end of the sector.
  std::vector<uint8_t> s = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8};
  const std::vector<uint8_t> video = {0, 0, 1, 0xE0, 0, 16, 0x90, 0xC0, 10,
                                      0x31, 0, 0x05, 0xBF, 0x21,  // PTS 90000
                                      0x11, 0, 0x03, 0xA9, 0x81,  // DTS 54464
                                      0xAA, 0xBB, 0xCC};
  s.insert(s.end(), video.begin(), video.end());
  const std::vector<uint8_t> audio = {0, 0, 1, 0xBD, 0, 9, 0x81, 0x80, 0, 0x80, 1, 0, 1, 0x0B, 0x77};
  s.insert(s.end(), audio.begin(), audio.end());
  const int32_t padding = 2048 - static_cast<int32_t>(s.size()) - 6;
  s.insert(s.end(), {0, 0, 1, 0xBE, static_cast<uint8_t>(padding >> 8), static_cast<uint8_t>(padding)});
  s.resize(2048, 0xFF);

  std::vector<TDvdPes> pes;
  ASSERT_TRUE(DemuxDvdSector(s.data(), 2048, pes));
  ASSERT_EQ(pes.size(), 2u);
  EXPECT_EQ(pes[0].StreamId, 0xE0);
  EXPECT_TRUE(pes[0].Scrambled);
  EXPECT_EQ(pes[0].Size, 3);
  EXPECT_EQ(pes[0].Payload[0], 0xAA);
  EXPECT_EQ(pes[0].Pts, 90000);
  EXPECT_EQ(pes[0].Dts, 54464);
  EXPECT_EQ(pes[1].StreamId, 0xBD);
  EXPECT_EQ(pes[1].SubstreamId, 0x80);
  EXPECT_FALSE(pes[1].Scrambled);
  ASSERT_EQ(pes[1].Size, 2);  // after the substream's four bytes of its own
  EXPECT_EQ(pes[1].Payload[0], 0x0B);

  // A packet whose length runs past the sector ends the sector there; what came before stays.
  std::vector<uint8_t> cut = s;
  cut[14 + 4] = 0x7F;  // the video packet claims 32 512 bytes
  ASSERT_TRUE(DemuxDvdSector(cut.data(), 2048, pes));
  EXPECT_TRUE(pes.empty());
  // Not a pack, or too short to be one.
  std::vector<uint8_t> garbage(2048, 0x47);
  EXPECT_FALSE(DemuxDvdSector(garbage.data(), 2048, pes));
  EXPECT_FALSE(DemuxDvdSector(s.data(), 10, pes));
  EXPECT_FALSE(DemuxDvdSector(nullptr, 0, pes));
}
