#pragma once
// Our own check of a DVD-Video disc's information files before libdvdread and libdvdnav read them
// (they crash on some damaged files even beside a good backup): VIDEO_TS.IFO and every
// VTS_nn_0.IFO, with their backups, through a bounds-checked reader: the declared sizes against the
// file, every table's offset and count against the file and the table, and every reference (title
// sets, program chains, programs, cells) in range. Also the disc facts read from VIDEO_TS.IFO.
#include <cstdint>
#include <string>
#include <vector>

// A program chain's numbers the navigator's links go by.
struct TDvdChainFacts {
  int32_t Programs = 0, Cells = 0, Next = 0, Prev = 0, GoUp = 0;
};
// The chains of one information file (the manager's or a title set's) that a button's command may
// name, checked when it would run: the title chains and each title's parts (title sets only), and
// the menu chains of each language (its two-letter code, big-endian) with the menu ids every
// language holds.
struct TDvdSetChains {
  std::vector<TDvdChainFacts> Titles;
  std::vector<int32_t> TitleParts;
  std::vector<std::pair<uint16_t, std::vector<TDvdChainFacts>>> MenuLanguages;
  uint32_t Menus = 0;
};

struct TDvdVmgFacts {
  int32_t Volumes = 0;
  int32_t Volume = 0;
  int32_t Side = 0;  // 1 side A, 2 side B
  int32_t TitleSets = 0;
  int32_t Titles = 0;
  std::vector<int32_t> TitleChapters;  // per title (1-based titles at index - 1)
  std::vector<int32_t> TitleSetOfTitle;
  int32_t MenuChains = 0;  // the manager's menu chains (the fewest of any language)
  // The manager's menu ids (bit n: menu id n) that every language's menus hold.
  uint32_t Menus = 0;
  bool FirstPlay = false;  // the disc has a first-play chain
  // Per title set (index set - 1): the menu ids the manager's commands jump to there.
  std::vector<uint32_t> SetMenusNeeded;
  std::vector<int32_t> TitleInSet;  // per title: its number in its title set
  // Filled by CheckDvd: [0] the manager's chains, [n] title set n's.
  std::vector<TDvdSetChains> Sets;
  // Our disc identifier: the first 8 bytes of libdvdread's disc id (an MD5 of the information
  // files), big-endian; 0 when it cannot be computed. Filled by CheckDvd.
  uint64_t DiscId = 0;
};

// Checks a VIDEO_TS.IFO (or .BUP) held in memory; false with the reason when anything is out of
// place (also a navigation command that jumps or links to a place that is not there, or from a
// domain the jump is not allowed in, and program chains whose commands go round for ever without
// showing a cell). Fills Facts on success.
bool CheckVmgIfo(const uint8_t* Data, size_t Size, TDvdVmgFacts& Facts, std::string& Why);
// What a title set's information file says its menus hold and its commands need elsewhere.
struct TDvdVtsFacts {
  TDvdSetChains Chains;
  uint32_t Menus = 0;  // the menu ids (bit n: id n) every language's menus hold
  // Per title set (index set - 1): the menu ids its commands jump to in that set.
  std::vector<uint32_t> SetMenusNeeded;
};

// Checks a VTS_nn_0.IFO (or .BUP). Vmg: what the disc's VIDEO_TS.IFO says (the manager's menus,
// chains and title sets its commands may name); null: not known, those jumps not checked.
bool CheckVtsIfo(const uint8_t* Data, size_t Size, std::string& Why, const TDvdVmgFacts* Vmg = nullptr,
                 TDvdVtsFacts* Facts = nullptr);

// The link a navigation command (8 bytes) makes when it fires, decoded alike for every kind of
// command that carries one: the link commands, the set and system-set commands (a link chosen by
// the low four bits of byte 1) and the compare-and-set commands (a link sub-instruction in the
// last byte's low five bits). Sub: the sub-instruction's code (0 to 16); the others: the chain,
// part, program or cell linked to.
enum TDvdLinkKind : uint8_t { dlNone, dlSub, dlChain, dlPart, dlProgram, dlCell };
struct TDvdLink {
  TDvdLinkKind Kind = dlNone;
  int32_t Value = 0;
};
TDvdLink DvdCommandLink(const uint8_t* Command);

// False for a navigation command the navigator cannot carry out wherever it runs: a link code it
// does not know (it loops for ever or stops the program on one), a program or cell 0. Checked
// before a button's command runs; the information files' commands are checked against the chain
// they sit in as well.
bool DvdCommandSafe(const uint8_t* Command);

// Where the navigator stands when a button's command would run: its domain (0 first play, 1 the
// manager's menus, 2 a title set's menus, 3 a title), title set (0: the manager), chain, program and
// cell (0: not known), the title's number in its set, and the menu language asked for.
struct TDvdPlace {
  int32_t Domain = 0;
  int32_t TitleSet = 0;
  int32_t Chain = 0, Program = 0, Cell = 0;
  int32_t TitleInSet = 0;
  uint16_t MenuLanguage = 0;
};
// False for a button's command the navigator cannot carry out from where it stands (it follows it
// into a place that is not there; its builds with assertions stop the program): a link to a previous cell or program from the first, to a chain, part,
// program or cell that is not there, a jump not allowed from the domain or to a place the disc does
// not have. Commands under a condition are judged as if it held.
bool DvdButtonCommandFits(const uint8_t* Command, const TDvdVmgFacts& Disc, const TDvdPlace& Place);

// Reads and checks every information file of the disc, folder or image at Path through libdvdread's
// file calls. False with the reason when the disc cannot be opened or a file is damaged.
bool CheckDvd(const std::string& Path, TDvdVmgFacts& Facts, std::string& Why);

// The disc a DVD path names: "default" (any case) is /dev/dvd when the machine has it, else the
// first /dev/sr* drive holding DVD-Video ("" when none); a path to VIDEO_TS.IFO means its folder;
// anything else is taken as it stands (a folder, an image or a drive).
std::string ResolveDvdPath(const std::string& Path);
// Replaces the drives "default" looks at, each taken when CheckDvd accepts it (tests); an empty list
// restores the machine's.
void SetDvdDefaultDevices(const std::vector<std::string>& Paths);
