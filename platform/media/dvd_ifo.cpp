#include "platform/media/dvd_ifo.h"

#include <dvdread/dvd_reader.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/system/debug_log.h"

namespace {

constexpr size_t kMaxIfoBytes = size_t{16} << 20;

// A bounds-checked big-endian reader: a read outside the data answers 0 and marks the reader bad.
class TReader {
 public:
  TReader(const uint8_t* Data, size_t Size) : d_(Data), n_(Size) {}
  size_t Size() const { return n_; }
  bool Ok() const { return ok_; }
  bool Has(uint64_t Offset, uint64_t Count) {
    if (Offset > n_ || Count > n_ - Offset) ok_ = false;
    return ok_;
  }
  uint8_t U8(uint64_t o) { return Has(o, 1) ? d_[o] : 0; }
  uint16_t U16(uint64_t o) { return Has(o, 2) ? static_cast<uint16_t>(d_[o] << 8 | d_[o + 1]) : 0; }
  uint32_t U32(uint64_t o) {
    return Has(o, 4) ? static_cast<uint32_t>(d_[o]) << 24 | static_cast<uint32_t>(d_[o + 1]) << 16 |
                           static_cast<uint32_t>(d_[o + 2]) << 8 | d_[o + 3]
                     : 0;
  }
  const uint8_t* At(uint64_t o) const { return d_ + o; }

 private:
  const uint8_t* d_;
  size_t n_;
  bool ok_ = true;
};

}  // namespace

TDvdLink DvdCommandLink(const uint8_t* Command) {
  const uint8_t* C = Command;
  const int kind = C[0] >> 5;
  TDvdLink link;
  int op = 0;
  if (kind == 1 && !(C[0] & 0x10)) {
    op = C[1] & 0x0F;  // a link command
  } else if (kind == 2 || kind == 3) {
    op = C[1] & 0x0F;  // a set or system set, then the link chosen here (0: none)
  } else if (kind >= 4 && kind <= 6) {
    op = 1;  // compare and set, then a link sub-instruction
  }
  switch (op) {
    case 1: {
      // Codes above 16 are passed over by the navigator.
      const int code = C[7] & 0x1F;
      if (code <= 16) link = {dlSub, code};
      break;
    }
    case 4:
      link = {dlChain, ((C[6] & 0x7F) << 8) | C[7]};
      break;
    case 5:
      link = {dlPart, ((C[6] & 0x03) << 8) | C[7]};
      break;
    case 6:
      link = {dlProgram, C[7] & 0x7F};
      break;
    case 7:
      link = {dlCell, C[7]};
      break;
    default:
      break;
  }
  return link;
}

namespace {

// The link sub-instructions by code.
enum : int32_t {
  kTopC = 1, kNextC = 2, kPrevC = 3, kTopPG = 5, kNextPG = 6, kPrevPG = 7, kTopPGC = 9, kNextPGC = 10,
  kPrevPGC = 11, kGoUpPGC = 12, kTailPGC = 13
};

bool KnownSubLink(int32_t Code) { return !(Code == 4 || Code == 8 || Code == 14 || Code == 15); }

}  // namespace

bool DvdCommandSafe(const uint8_t* Command) {
  const TDvdLink link = DvdCommandLink(Command);
  switch (link.Kind) {
    case dlSub:
      return KnownSubLink(link.Value);
    case dlProgram:
    case dlCell:
      return link.Value >= 1;
    default:
      return true;
  }
}

namespace {

// Where a program chain's commands run, which decides the jumps the navigator allows there.
enum TDomain : uint8_t { domFirstPlay, domVmgMenu, domVtsMenu, domVtsTitle };
// Where in its chain a command sits: before the cells (no cell or program is current yet), after
// them, after one cell, or in a button.
enum TCommandWhere : uint8_t { cwPre, cwPost, cwCell, cwButton };

// A command's chain: its domain, the chains of its table (0 for the first-play chain, which has
// none), its programs and cells and the chains its next, previous and up fields name.
struct TChainPlace {
  TDomain Domain = domFirstPlay;
  TCommandWhere Where = cwPre;
  int32_t Chains = 0;
  int32_t Programs = 0;
  int32_t Cells = 0;
  int32_t Next = 0, Prev = 0, GoUp = 0;
};

// What the commands of a file may name: titles and title sets of the disc, the manager's menu
// chains and menu ids (-1 / all bits: not known here), whether the disc has a first-play chain,
// the title set's titles and their parts, and its own menu ids (when checking a title set).
struct TCommandLimits {
  int32_t Titles = -1;
  int32_t TitleSets = -1;
  int32_t VmgMenuChains = -1;
  uint32_t VmgMenus = ~0u;
  bool FirstPlay = true;
  std::vector<int32_t> VtsTitleParts;  // per title of the title set (empty in VIDEO_TS.IFO)
  uint32_t OwnMenus = 0;               // the title set's own menu ids
  // Per title set: the menu ids commands jump to there (checked once every set has been read).
  std::vector<uint32_t>* SetMenusNeeded = nullptr;
};

// What the manager's file says commands may reach: its titles, title sets, menus, first play.
TCommandLimits VmgLimits(const TDvdVmgFacts& F) {
  TCommandLimits limits;
  limits.Titles = F.Titles;
  limits.TitleSets = F.TitleSets;
  limits.VmgMenuChains = F.MenuChains;
  limits.VmgMenus = F.Menus;
  limits.FirstPlay = F.FirstPlay;
  return limits;
}

bool InRange(int32_t Value, int32_t Count) { return Count < 0 || (Value >= 1 && Value <= Count); }

// A link the navigator can follow from where its command sits: a link sub-instruction it knows,
// that has a cell or program to go to or stay in (before the cells of a chain no cell or program
// is current, and a chain without cells has none), that does not run the same commands again at once (the
// navigator would loop for ever without reading), and whose chain fields name chains that are
// there; a chain, program or cell number in range.
bool LinkFits(const TDvdLink& Link, const TChainPlace& P) {
  switch (Link.Kind) {
    case dlNone:
      return true;
    case dlChain:
      return InRange(Link.Value, P.Chains);
    case dlPart:
      return P.Domain == domVtsTitle;
    case dlProgram:
      return InRange(Link.Value, P.Programs);
    case dlCell:
      return InRange(Link.Value, P.Cells);
    case dlSub:
      break;
  }
  const int32_t code = Link.Value;
  if (!KnownSubLink(code)) return false;
  // Without cells there is nothing to stay in either: a fired "no link" leaves the navigator
  // reading a cell that is not there.
  if (P.Cells == 0 && code <= kTailPGC) return false;
  if (P.Where == cwPre && (code == kTopC || code == kPrevC || code == kPrevPG || code == kTopPGC)) return false;
  if (P.Where == cwPost && code == kTailPGC) return false;
  switch (code) {
    case kTopPG:
    case kNextPG:
      return P.Programs != 0;
    case kNextPGC:
      return P.Next != 0 && InRange(P.Next, P.Chains);
    case kPrevPGC:
      return P.Prev != 0 && InRange(P.Prev, P.Chains);
    case kGoUpPGC:
      return P.GoUp != 0 && InRange(P.GoUp, P.Chains);
    default:
      return true;
  }
}

bool HasMenu(uint32_t Menus, int32_t Id) { return Id < 32 && (Menus >> Id) & 1; }

// A jump or call the navigator can carry out from the command's domain, to a place that is there.
bool JumpFits(const uint8_t* C, TDomain Domain, const TCommandLimits& L) {
  const int op = C[1] & 0x0F;
  const int32_t title = C[5] & 0x7F;
  const int32_t vtsTitles = static_cast<int32_t>(L.VtsTitleParts.size());
  switch (op) {
    case 2:  // a title of the disc
      return (Domain == domFirstPlay || Domain == domVmgMenu) && InRange(title, L.Titles);
    case 3:  // a title of this title set
      return (Domain == domVtsMenu || Domain == domVtsTitle) && InRange(title, vtsTitles);
    case 5: {  // a part of a title of this title set
      if ((Domain != domVtsMenu && Domain != domVtsTitle) || !InRange(title, vtsTitles)) return false;
      return InRange(((C[2] & 0x03) << 8) | C[3], L.VtsTitleParts[static_cast<size_t>(title - 1)]);
    }
    case 6:    // jump to another domain: never from a title
    case 8: {  // call another domain: only from a title
      if ((op == 6) == (Domain == domVtsTitle)) return false;
      const int to = C[5] >> 6;
      const int32_t menu = C[5] & 0x0F;
      switch (to) {
        case 0:  // the first-play chain
          return L.FirstPlay && (op == 8 || Domain == domVmgMenu || Domain == domVtsMenu);
        case 1:  // a menu of the manager
          return HasMenu(L.VmgMenus, menu);
        case 2: {  // a menu of a title set: a jump names the set (0: the current one), a call its own
          const int32_t set = op == 6 ? C[4] : 0;
          if (set == 0) return (op == 8 || Domain == domVtsMenu) && HasMenu(L.OwnMenus, menu);
          if (!InRange(set, L.TitleSets)) return false;
          if (L.SetMenusNeeded) {
            if (L.SetMenusNeeded->size() < static_cast<size_t>(set)) L.SetMenusNeeded->resize(static_cast<size_t>(set));
            (*L.SetMenusNeeded)[static_cast<size_t>(set - 1)] |= 1u << menu;
          }
          return true;
        }
        default:  // a chain of the manager's menus
          return InRange(((C[2] & 0x7F) << 8) | C[3], L.VmgMenuChains);
      }
    }
    default:
      return true;
  }
}

// A command the navigator can carry out where it stands (libdvdnav stops the program, or loops for
// ever, on any other).
bool CommandFits(const uint8_t* C, const TChainPlace& Place, const TCommandLimits& L) {
  if ((C[0] >> 5) == 1 && (C[0] & 0x10)) return JumpFits(C, Place.Domain, L);
  return LinkFits(DvdCommandLink(C), Place);
}

// A program chain as the navigator runs it before and after its cells: its pre- and
// post-commands and what follows when they link nowhere.
struct TChainCode {
  int32_t Programs = 0, Cells = 0, Next = 0, Prev = 0, GoUp = 0;
  uint64_t Pre = 0, Post = 0;  // the first command of each list
  uint32_t PreCount = 0, PostCount = 0;
};
// The chains a link may name by number (Numbered 0: the first-play chain, which has no table).
struct TChainTable {
  int32_t Numbered = 0;
  bool Menus = false;
  uint16_t Language = 0;  // of a menu table
  std::vector<TChainCode> Chains;
};

}  // namespace

bool DvdButtonCommandFits(const uint8_t* Command, const TDvdVmgFacts& Disc, const TDvdPlace& Place) {
  if (Place.TitleSet < 0 || static_cast<size_t>(Place.TitleSet) >= Disc.Sets.size()) return false;
  const TDvdSetChains& set = Disc.Sets[static_cast<size_t>(Place.TitleSet)];
  TChainPlace p;
  p.Where = cwButton;
  p.Domain = Place.Domain == 0 ? domFirstPlay : Place.Domain == 1 ? domVmgMenu : Place.Domain == 2 ? domVtsMenu
                                                                                                     : domVtsTitle;
  // The chains of the domain: a title set's titles, or the menus of the language asked for (the
  // navigator takes the first language when the disc lacks it).
  const std::vector<TDvdChainFacts>* chains = nullptr;
  if (p.Domain == domVtsTitle) {
    chains = &set.Titles;
  } else if (p.Domain != domFirstPlay && !set.MenuLanguages.empty()) {
    chains = &set.MenuLanguages.front().second;
    for (const auto& [language, menuChains] : set.MenuLanguages) {
      if (language == Place.MenuLanguage) {
        chains = &menuChains;
        break;
      }
    }
  }
  if (chains) {
    p.Chains = static_cast<int32_t>(chains->size());
    if (Place.Chain >= 1 && Place.Chain <= p.Chains) {
      const TDvdChainFacts& c = (*chains)[static_cast<size_t>(Place.Chain - 1)];
      p.Programs = c.Programs;
      p.Cells = c.Cells;
      p.Next = c.Next;
      p.Prev = c.Prev;
      p.GoUp = c.GoUp;
    }
  }
  const uint8_t* C = Command;
  if ((C[0] >> 5) == 1 && (C[0] & 0x10)) {
    TCommandLimits limits = VmgLimits(Disc);
    if (Place.TitleSet > 0) {
      limits.VtsTitleParts = set.TitleParts;
      limits.OwnMenus = set.Menus;
    }
    std::vector<uint32_t> needed;
    limits.SetMenusNeeded = &needed;
    if (!JumpFits(C, p.Domain, limits)) return false;
    for (size_t k = 0; k < needed.size(); ++k) {
      if (k + 1 >= Disc.Sets.size() || (needed[k] & ~Disc.Sets[k + 1].Menus)) return false;
    }
    return true;
  }
  const TDvdLink link = DvdCommandLink(C);
  if (!LinkFits(link, p)) return false;
  // What only the moment decides: the cell and program the navigator is in.
  if (link.Kind == dlSub) {
    switch (link.Value) {
      case kTopC:
        return Place.Cell >= 1;
      case kPrevC:
        return Place.Cell > 1;
      case kPrevPG:
        return Place.Program > 1;
      default:
        return true;
    }
  }
  if (link.Kind == dlPart) {
    return Place.TitleInSet >= 1 && static_cast<size_t>(Place.TitleInSet) <= set.TitleParts.size() &&
           InRange(link.Value, set.TitleParts[static_cast<size_t>(Place.TitleInSet - 1)]);
  }
  return true;
}

namespace {

// ---- loops: chains whose commands go round for ever without a cell to show

// Where a fired link leads while no cell has been shown: to a chain's start (its pre-commands), to
// a chain's end (its post-commands), or out (a cell shows, another domain is jumped to, play ends).
// Node 2k is chain k's start, 2k + 1 its end; -1 is out.
constexpr int32_t kOut = -1;

int32_t ChainStart(const TChainTable& T, int32_t Number) {
  return Number >= 1 && Number <= T.Numbered && Number <= static_cast<int32_t>(T.Chains.size()) ? 2 * (Number - 1)
                                                                                                  : kOut;
}

// Where a link fired in chain K's pre-commands (Pre) or post-commands leads. After the cells the
// navigator's cell is past the last: the top or the next cell, like the next program, runs the
// post-commands again.
int32_t LinkLeadsTo(const TDvdLink& Link, const TChainTable& T, int32_t K, bool Pre) {
  const TChainCode& c = T.Chains[static_cast<size_t>(K)];
  const int32_t start = 2 * K, end = 2 * K + 1;
  switch (Link.Kind) {
    case dlChain:
      return ChainStart(T, Link.Value);
    case dlSub:
      switch (Link.Value) {
        case kTopC:
        case kNextC:
          return Pre ? kOut : end;
        case kNextPG:
          return Pre ? (c.Programs >= 2 ? kOut : end) : end;
        case kTopPGC:
          return start;
        case kNextPGC:
          return ChainStart(T, c.Next);
        case kPrevPGC:
          return ChainStart(T, c.Prev);
        case kGoUpPGC:
          return ChainStart(T, c.GoUp);
        case kTailPGC:
          return end;
        default:
          return kOut;
      }
    default:  // a part, program or cell: it shows
      return kOut;
  }
}

// A way a command list may go: where (kOut, or a node), and whether a register or a player setting
// may have been written on the way (then the same commands may decide otherwise the next time).
struct TLead {
  int32_t To;
  bool Writes;
};

// Follows one command list (Count commands at At) line by line as the navigator runs it: the
// places its links may lead to, and the way it may run to its end without one firing (End.To
// stays kNoEnd when it cannot). A command with a condition may or may not fire; one without always
// does, and the lines after it are not reached. A goto that goes round makes the end reachable as
// well (the navigator runs a list at most 100 000 lines).
constexpr int32_t kNoEnd = -2;
void FollowCommands(TReader& r, uint64_t At, uint32_t Count, const TChainTable& T, int32_t K, bool Pre,
                    std::vector<TLead>& Leads, TLead& End) {
  End = {kNoEnd, false};
  const auto ends = [&End](bool Writes) {
    End.Writes = End.To == kNoEnd ? Writes : End.Writes || Writes;
    End.To = 0;
  };
  if (Count == 0) ends(false);
  // States: a line, and whether something was written on the way to it.
  std::vector<uint8_t> seen(2 * size_t{Count}, 0);
  std::vector<std::pair<uint32_t, bool>> todo;
  if (Count > 0) todo.push_back({0, false});
  while (!todo.empty()) {
    const auto [i, written] = todo.back();
    todo.pop_back();
    if (i >= Count) {
      ends(written);
      continue;
    }
    if (seen[2 * size_t{i} + written]) continue;
    seen[2 * size_t{i} + written] = 1;
    if (!r.Has(At + 8ull * i, 8)) return;
    const uint8_t* C = r.At(At + 8ull * i);
    const int kind = C[0] >> 5;
    const bool conditional = ((C[1] >> 4) & 7) != 0;
    if (kind == 0) {
      const int op = C[1] & 0x0F;
      if (op == 1 || op == 3) {  // goto (or set the parental level and go to)
        if (C[7] >= 1 && C[7] - 1u <= i) ends(true);  // round again: bounded, and not the same each time
        if (C[7] >= 1) todo.push_back({C[7] - 1u, written || op == 3});
        if (conditional || C[7] == 0) todo.push_back({i + 1, written});
      } else if (op == 2) {  // break: the list ends
        ends(written);
        if (conditional) todo.push_back({i + 1, written});
      } else {
        todo.push_back({i + 1, written});
      }
      continue;
    }
    // Sets (of registers, streams, timers, modes, the button) in commands of kinds 2 to 6; a
    // register moved onto itself (kind 3, from a register: its number in byte 5, the target's in
    // byte 3) changes nothing.
    const bool selfMove = kind == 3 && (C[0] & 0x1F) == 0x01 && !(C[5] & 0x80) && (C[5] & 0x0F) == (C[3] & 0x0F);
    const bool writes = written || (kind >= 2 && kind <= 6 && (C[0] & 0x0F) != 0 && !selfMove);
    bool fires = false;
    if (kind == 1 && (C[0] & 0x10)) {
      // Exit and the jumps leave the chain's domain or end play.
      const int op = C[1] & 0x0F;
      fires = op == 1 || op == 2 || op == 3 || op == 5 || op == 6 || op == 8;
      if (fires) Leads.push_back({kOut, writes});
    } else {
      const TDvdLink link = DvdCommandLink(C);
      fires = link.Kind != dlNone && !(link.Kind == dlSub && link.Value == 0);
      if (fires) Leads.push_back({LinkLeadsTo(link, T, K, Pre), writes});
    }
    // Compare, set and always link (kind 6) links whatever its comparison says.
    if (!fires || (conditional && kind != 6)) todo.push_back({i + 1, writes});
  }
}

// False when the navigator could run a table's commands for ever without showing a cell (or
// recurse until its stack is gone):
// - some chain, once started or once its cells are over, can only go on from chain start to chain
//   end to chain start without ever showing a cell or leaving the table;
// - or chains go round without writing anything on the way: whatever the registers hold, the
//   conditions that sent the navigator round once send it round again.
// Loops that write on their way may end (a counter): those pass.
bool ChainsShowCells(TReader& r, const TChainTable& T) {
  const int32_t n = static_cast<int32_t>(T.Chains.size());
  std::vector<std::vector<TLead>> leads(static_cast<size_t>(2 * n));
  std::vector<uint8_t> leaves(static_cast<size_t>(2 * n), 0);
  for (int32_t k = 0; k < n; ++k) {
    const TChainCode& c = T.Chains[static_cast<size_t>(k)];
    for (const bool pre : {true, false}) {
      const int32_t node = 2 * k + (pre ? 0 : 1);
      std::vector<TLead>& out = leads[static_cast<size_t>(node)];
      TLead end;
      FollowCommands(r, pre ? c.Pre : c.Post, pre ? c.PreCount : c.PostCount, T, k, pre, out, end);
      // Run to their end, the pre-commands go on to the first program (a cell shows) or, without
      // programs, to the post-commands; the post-commands to the next chain (none: play ends).
      if (end.To != kNoEnd) {
        out.push_back({pre ? (c.Programs > 0 ? kOut : node + 1) : ChainStart(T, c.Next), end.Writes});
      }
    }
  }
  // The nodes from which a way out can be reached, found backwards from the ways out.
  std::vector<std::vector<int32_t>> from(static_cast<size_t>(2 * n));
  std::vector<int32_t> todo;
  for (int32_t node = 0; node < 2 * n; ++node) {
    for (const TLead& lead : leads[static_cast<size_t>(node)]) {
      if (lead.To == kOut) {
        if (!leaves[static_cast<size_t>(node)]) todo.push_back(node);
        leaves[static_cast<size_t>(node)] = 1;
      } else {
        from[static_cast<size_t>(lead.To)].push_back(node);
      }
    }
  }
  while (!todo.empty()) {
    const int32_t node = todo.back();
    todo.pop_back();
    for (const int32_t back : from[static_cast<size_t>(node)]) {
      if (leaves[static_cast<size_t>(back)]) continue;
      leaves[static_cast<size_t>(back)] = 1;
      todo.push_back(back);
    }
  }
  // Every chain's start can be reached (by number, from a menu or a title); its end after its cells.
  for (int32_t k = 0; k < n; ++k) {
    if (!leaves[static_cast<size_t>(2 * k)]) return false;
    if (T.Chains[static_cast<size_t>(k)].Programs > 0 && !leaves[static_cast<size_t>(2 * k + 1)]) return false;
  }
  // So is any other place that cannot be left once something leads there.
  for (int32_t node = 0; node < 2 * n; ++node) {
    if (!leaves[static_cast<size_t>(node)] && !from[static_cast<size_t>(node)].empty()) return false;
  }
  // A round of leads that write nothing (depth-first, iteratively: 0 new, 1 on the path, 2 done).
  std::vector<uint8_t> state(static_cast<size_t>(2 * n), 0);
  for (int32_t root = 0; root < 2 * n; ++root) {
    if (state[static_cast<size_t>(root)]) continue;
    std::vector<std::pair<int32_t, size_t>> path = {{root, 0}};
    state[static_cast<size_t>(root)] = 1;
    while (!path.empty()) {
      auto& [node, next] = path.back();
      const std::vector<TLead>& out = leads[static_cast<size_t>(node)];
      if (next == out.size()) {
        state[static_cast<size_t>(node)] = 2;
        path.pop_back();
        continue;
      }
      const TLead lead = out[next++];
      if (lead.To == kOut || lead.Writes) continue;
      if (state[static_cast<size_t>(lead.To)] == 1) return false;
      if (state[static_cast<size_t>(lead.To)] == 0) {
        state[static_cast<size_t>(lead.To)] = 1;
        path.push_back({lead.To, 0});
      }
    }
  }
  return true;
}

struct TCheck {
  TReader& r;
  std::string& why;
  // The domain and chain count of the chains being read; their commands, checked at the end
  // against what the whole file says.
  TDomain domain = domFirstPlay;
  int32_t chains = 0;
  struct TPending {
    uint64_t At;
    TChainPlace Place;
  };
  std::vector<TPending> pending{};
  // The chains read, table by table, for the search for loops.
  std::vector<TChainTable> tables{};
  bool Commands(const TCommandLimits& Limits) {
    for (const TPending& p : pending) {
      if (!r.Has(p.At, 8)) return Fail("a command table is cut");
      if (!CommandFits(r.At(p.At), p.Place, Limits)) {
        return Fail("a navigation command goes to a place that is not there");
      }
    }
    for (const TChainTable& t : tables) {
      if (!ChainsShowCells(r, t)) return Fail("program chains link to each other for ever without showing a cell");
    }
    return true;
  }
  bool Fail(const std::string& w) {
    if (why.empty()) why = w;
    return false;
  }
  // The chains read, for the checks of buttons' commands while the disc plays.
  TDvdSetChains SetChains() const {
    TDvdSetChains out;
    for (const TChainTable& t : tables) {
      if (t.Numbered == 0) continue;  // the first-play chain: no link names it
      std::vector<TDvdChainFacts> chains;
      for (const TChainCode& c : t.Chains) chains.push_back({c.Programs, c.Cells, c.Next, c.Prev, c.GoUp});
      if (t.Menus) {
        out.MenuLanguages.emplace_back(t.Language, std::move(chains));
      } else {
        out.Titles = std::move(chains);
      }
    }
    out.Menus = menus;
    return out;
  }
  // A table that starts at a sector of the file: its first bytes and its end (the byte after its
  // last). Sector 0 means no table.
  bool Table(uint32_t Sector, uint64_t Header, const char* Name, uint64_t& Start) {
    Start = uint64_t{Sector} * 2048;
    if (Sector == 0) return true;
    if (!r.Has(Start, Header)) return Fail(std::string(Name) + " lies past the end of the file");
    return true;
  }
  // The end of a table from its last-byte field.
  bool End(uint64_t Start, uint32_t LastByte, const char* Name, uint64_t& EndOut) {
    EndOut = Start + uint64_t{LastByte} + 1;
    if (EndOut > r.Size()) return Fail(std::string(Name) + " ends past the end of the file");
    return true;
  }

  // A program chain at O inside [.., End): its programs, cells and commands. Answers the programs.
  bool Pgc(uint64_t O, uint64_t End, int32_t& Programs) {
    if (O + 0xEC > End) return Fail("a program chain lies past its table");
    Programs = r.U8(O + 2);
    const int32_t cells = r.U8(O + 3);
    const uint16_t commands = r.U16(O + 0xE4), map = r.U16(O + 0xE6), playback = r.U16(O + 0xE8),
                   positions = r.U16(O + 0xEA);
    if (!tables.empty()) {
      TChainCode code;
      code.Programs = Programs;
      code.Cells = cells;
      code.Next = r.U16(O + 0x9C);
      code.Prev = r.U16(O + 0x9E);
      code.GoUp = r.U16(O + 0xA0);
      tables.back().Chains.push_back(code);
    }
    if (Programs > 0) {
      if (map == 0 || O + map + Programs > End) return Fail("a program map lies past its program chain");
      for (int32_t p = 0; p < Programs; ++p) {
        const int32_t cell = r.U8(O + map + p);
        if (cell < 1 || cell > cells) return Fail("a program starts at a cell that is not there");
      }
    }
    if (cells > 0) {
      if (playback == 0 || O + playback + 24ull * cells > End) return Fail("cell playback lies past its program chain");
      if (positions == 0 || O + positions + 4ull * cells > End) return Fail("cell positions lie past its program chain");
      for (int32_t c = 0; c < cells; ++c) {
        if (r.U16(O + positions + 4ull * c) == 0) return Fail("a cell names no object");
        // A cell outside any block has no block type; a cell of a block is of an angle block (the
        // navigator stops the program on any other pairing).
        const uint8_t flags = r.U8(O + playback + 24ull * c);
        const int mode = flags >> 6, type = (flags >> 4) & 3;
        if (mode == 0 ? type != 0 : type != 1) return Fail("a cell's block is of no kind the navigator plays");
      }
    }
    if (commands != 0) {
      const uint64_t t = O + commands;
      if (t + 8 > End) return Fail("a command table lies past its program chain");
      const uint64_t pre = r.U16(t), post = r.U16(t + 2);
      const uint64_t count = pre + post + r.U16(t + 4);
      const uint64_t last = r.U16(t + 6);
      if (8 + 8 * count > last + 1 || t + last + 1 > End) return Fail("a command table says more than it holds");
      if (!tables.empty()) {
        TChainCode& code = tables.back().Chains.back();
        code.Pre = t + 8;
        code.PreCount = static_cast<uint32_t>(pre);
        code.Post = t + 8 + 8 * pre;
        code.PostCount = static_cast<uint32_t>(post);
      }
      TChainPlace place;
      place.Domain = domain;
      place.Chains = chains;
      place.Programs = Programs;
      place.Cells = cells;
      place.Next = r.U16(O + 0x9C);
      place.Prev = r.U16(O + 0x9E);
      place.GoUp = r.U16(O + 0xA0);
      for (uint64_t i = 0; i < count; ++i) {
        place.Where = i < pre ? cwPre : i < pre + post ? cwPost : cwCell;
        pending.push_back({t + 8 + 8 * i, place});
      }
    }
    return r.Ok() || Fail("a program chain is cut");
  }

  // A program chain table (PGCIT) at T; the programs of each chain.
  bool Pgcit(uint64_t T, uint64_t Limit, std::vector<int32_t>& Programs) {
    if (T + 8 > Limit) return Fail("a program chain table lies past its end");
    const uint16_t n = r.U16(T);
    const uint64_t end = T + uint64_t{r.U32(T + 4)} + 1;
    if (end > Limit) return Fail("a program chain table ends past its end");
    if (8 + 8ull * n > end - T) return Fail("a program chain table has more chains than room");
    chains = n;
    tables.emplace_back();
    tables.back().Numbered = n;
    for (uint16_t k = 0; k < n; ++k) {
      const uint64_t at = T + r.U32(T + 8 + 8ull * k + 4);
      int32_t programs = 0;
      if (at < T + 8 || !Pgc(at, end, programs)) return Fail("a program chain lies outside its table");
      Programs.push_back(programs);
    }
    return r.Ok();
  }

  // A menu table (PGCI_UT) at T: one program chain table per language. Keeps the fewest chains
  // of a language's menus and the menu ids every language has (what a jump may name in any: the
  // navigator takes the language the player asks for).
  int32_t menuChains = 0;
  uint32_t menus = 0;
  bool PgciUt(uint64_t T) {
    if (!r.Has(T, 8)) return Fail("a menu table lies past the end of the file");
    const uint16_t n = r.U16(T);
    uint64_t end;
    if (!End(T, r.U32(T + 4), "a menu table", end)) return false;
    if (8 + 8ull * n > end - T) return Fail("a menu table has more languages than room");
    for (uint16_t k = 0; k < n; ++k) {
      std::vector<int32_t> programs;
      const uint64_t at = T + r.U32(T + 8 + 8ull * k + 4);
      if (at < T + 8 || !Pgcit(at, end, programs)) return false;
      tables.back().Menus = true;
      tables.back().Language = r.U16(T + 8 + 8ull * k);
      // The language's menu ids: the entry ids of its chains, as the navigator looks them up.
      uint32_t ids = 0;
      for (size_t c = 0; c < programs.size(); ++c) {
        const uint32_t id = r.U8(at + 8 + 8 * c) & 0x7F;
        if (id < 32) ids |= 1u << id;
      }
      menuChains = k == 0 ? static_cast<int32_t>(programs.size())
                          : std::min(menuChains, static_cast<int32_t>(programs.size()));
      menus = k == 0 ? ids : menus & ids;
    }
    return r.Ok();
  }

  // A table of N entries of Entry bytes after an 8-byte header (count at 0, last byte at 4).
  bool Counted(uint64_t T, uint64_t Entry, const char* Name) {
    if (!r.Has(T, 8)) return Fail(std::string(Name) + " lies past the end of the file");
    uint64_t end;
    if (!End(T, r.U32(T + 4), Name, end)) return false;
    if (8 + Entry * r.U16(T) > end - T) return Fail(std::string(Name) + " has more entries than room");
    return true;
  }

  bool Admap(uint64_t T, const char* Name) {
    if (!r.Has(T, 4)) return Fail(std::string(Name) + " lies past the end of the file");
    uint64_t end;
    return End(T, r.U32(T), Name, end);
  }
};

// The declared length of an information file against what is there.
bool CheckLength(TReader& r, std::string& why, const char* magic) {
  if (r.Size() < 2048 || std::memcmp(r.At(0), magic, 12) != 0) {
    why = std::string("not a ") + magic + " file";
    return false;
  }
  const uint64_t lastSector = r.U32(0x1C);
  if ((lastSector + 1) * 2048 > r.Size()) {
    why = "the file is shorter than it says";
    return false;
  }
  const uint32_t lastByte = r.U32(0x80);
  if (lastByte < 0xFF || lastByte >= r.Size()) {
    why = "the information header says more than the file holds";
    return false;
  }
  return true;
}

}  // namespace

bool CheckVmgIfo(const uint8_t* Data, size_t Size, TDvdVmgFacts& Facts, std::string& Why) {
  TReader r(Data, Size);
  TCheck c{r, Why};
  if (!CheckLength(r, Why, "DVDVIDEO-VMG")) return false;
  TDvdVmgFacts f;
  f.Volumes = r.U16(0x26);
  f.Volume = r.U16(0x28);
  f.Side = r.U8(0x2A);  // as stored: 1 side A, 2 side B
  f.TitleSets = r.U16(0x3E);
  if (f.TitleSets < 1 || f.TitleSets > 99) return c.Fail("the disc names no title set");
  // The first-play program chain.
  const uint32_t firstPlay = r.U32(0x84);
  f.FirstPlay = firstPlay != 0;
  int32_t programs = 0;
  c.domain = domFirstPlay;
  c.chains = 0;
  c.tables.emplace_back();  // the first-play chain's own, which links cannot name
  if (firstPlay != 0 && !c.Pgc(firstPlay, r.Size(), programs)) return false;
  // The titles: each in a title set that is there.
  uint64_t t;
  if (!c.Table(r.U32(0xC4), 8, "the title table", t)) return false;
  if (t == 0) return c.Fail("the disc has no title table");
  if (!c.Counted(t, 12, "the title table")) return false;
  f.Titles = r.U16(t);
  for (int32_t k = 0; k < f.Titles; ++k) {
    const uint64_t e = t + 8 + 12ull * k;
    const int32_t chapters = r.U16(e + 2), set = r.U8(e + 6), ttn = r.U8(e + 7);
    if (set < 1 || set > f.TitleSets || ttn < 1) return c.Fail("a title names a title set that is not there");
    f.TitleChapters.push_back(chapters);
    f.TitleSetOfTitle.push_back(set);
    f.TitleInSet.push_back(ttn);
  }
  if (!c.Table(r.U32(0xC8), 8, "the menu table", t)) return false;
  c.domain = domVmgMenu;
  if (t && !c.PgciUt(t)) return false;
  f.MenuChains = c.menuChains;
  f.Menus = c.menus;
  TCommandLimits limits = VmgLimits(f);
  limits.SetMenusNeeded = &f.SetMenusNeeded;
  if (!c.Commands(limits)) return false;
  f.Sets.assign(1, c.SetChains());
  if (!c.Table(r.U32(0xCC), 8, "the parental table", t)) return false;
  if (t && !c.Admap(t + 4, "the parental table")) return false;
  if (!c.Table(r.U32(0xD0), 8, "the title set attributes", t)) return false;
  if (t && !c.Counted(t, 4, "the title set attributes")) return false;
  if (!c.Table(r.U32(0xD8), 8, "the menu cell table", t)) return false;
  if (t && !c.Counted(t, 12, "the menu cell table")) return false;
  if (!c.Table(r.U32(0xDC), 4, "the menu address map", t)) return false;
  if (t && !c.Admap(t, "the menu address map")) return false;
  if (!r.Ok()) return c.Fail("the file is cut");
  Facts = f;
  return true;
}

bool CheckVtsIfo(const uint8_t* Data, size_t Size, std::string& Why, const TDvdVmgFacts* Vmg, TDvdVtsFacts* Facts) {
  TReader r(Data, Size);
  TCheck c{r, Why};
  if (!CheckLength(r, Why, "DVDVIDEO-VTS")) return false;
  uint64_t t;
  // (Titles of the disc are jumped to from the manager's domains only: no command here names one.)
  TCommandLimits limits = Vmg ? VmgLimits(*Vmg) : TCommandLimits{};
  TDvdVtsFacts facts;
  limits.SetMenusNeeded = &facts.SetMenusNeeded;
  // The title chains first: the parts of titles point into them.
  std::vector<int32_t> programs;
  c.domain = domVtsTitle;
  if (!c.Table(r.U32(0xCC), 8, "the program chain table", t)) return false;
  if (t == 0) return c.Fail("the title set has no program chain table");
  if (!c.Pgcit(t, r.Size(), programs)) return false;
  if (!c.Table(r.U32(0xC8), 8, "the parts table", t)) return false;
  if (t) {
    if (!r.Has(t, 8)) return c.Fail("the parts table is cut");
    const uint16_t n = r.U16(t);
    uint64_t end;
    if (!c.End(t, r.U32(t + 4), "the parts table", end)) return false;
    if (8 + 4ull * n > end - t) return c.Fail("the parts table has more titles than room");
    for (uint16_t k = 0; k < n; ++k) {
      const uint64_t from = t + r.U32(t + 8 + 4ull * k);
      const uint64_t to = k + 1 < n ? t + r.U32(t + 8 + 4ull * (k + 1)) : end;
      if (from < t + 8 || to > end || to < from) return c.Fail("a title's parts lie outside the parts table");
      limits.VtsTitleParts.push_back(static_cast<int32_t>((to - from) / 4));
      for (uint64_t p = from; p + 4 <= to; p += 4) {
        const int32_t pgcn = r.U16(p), pgn = r.U16(p + 2);
        if (pgcn < 1 || pgcn > static_cast<int32_t>(programs.size()) || pgn < 1 || pgn > programs[pgcn - 1]) {
          return c.Fail("a part names a program that is not there");
        }
      }
    }
  }
  if (!c.Table(r.U32(0xD0), 8, "the menu table", t)) return false;
  c.domain = domVtsMenu;
  if (t && !c.PgciUt(t)) return false;
  facts.Menus = limits.OwnMenus = c.menus;
  if (!c.Commands(limits)) return false;
  facts.Chains = c.SetChains();
  facts.Chains.TitleParts = limits.VtsTitleParts;
  if (!c.Table(r.U32(0xD4), 8, "the time map table", t)) return false;
  if (t) {
    if (!r.Has(t, 8)) return c.Fail("the time map table is cut");
    const uint16_t n = r.U16(t);
    uint64_t end;
    if (!c.End(t, r.U32(t + 4), "the time map table", end)) return false;
    if (8 + 4ull * n > end - t) return c.Fail("the time map table has more maps than room");
    for (uint16_t k = 0; k < n; ++k) {
      const uint64_t m = t + r.U32(t + 8 + 4ull * k);
      if (m + 4 > end || m + 4 + 4ull * r.U16(m + 2) > end) return c.Fail("a time map lies past its table");
    }
  }
  for (const auto& [offset, name] : {std::pair<uint32_t, const char*>{0xD8, "the menu cell table"},
                                     std::pair<uint32_t, const char*>{0xE0, "the cell table"}}) {
    if (!c.Table(r.U32(offset), 8, name, t)) return false;
    if (t && !c.Counted(t, 12, name)) return false;
  }
  for (const auto& [offset, name] : {std::pair<uint32_t, const char*>{0xDC, "the menu address map"},
                                     std::pair<uint32_t, const char*>{0xE4, "the address map"}}) {
    if (!c.Table(r.U32(offset), 4, name, t)) return false;
    if (t && !c.Admap(t, name)) return false;
  }
  if (!r.Ok()) return c.Fail("the file is cut");
  if (Facts) *Facts = std::move(facts);
  return true;
}

// ------------------------------------------------------------------------------------ the disc

namespace {

void Log(void*, dvd_logger_level_t Level, const char* Format, va_list Args) {
  if (Level > DVD_LOGGER_LEVEL_ERROR) return;
  char text[512];
  std::vsnprintf(text, sizeof text, Format, Args);
  OutputDebugString(std::string("libdvdread: ") + text);
}

struct TReaderCloser {
  void operator()(dvd_reader_t* r) const { DVDClose(r); }
};
struct TFileCloser {
  void operator()(dvd_file_t* f) const { DVDCloseFile(f); }
};

// The whole of one information file; false when it cannot be opened (Missing set) or read.
bool ReadIfo(dvd_reader_t* dvd, int title, dvd_read_domain_t domain, std::vector<uint8_t>& out, bool& missing) {
  std::unique_ptr<dvd_file_t, TFileCloser> f(DVDOpenFile(dvd, title, domain));
  missing = !f;
  if (!f) return false;
  const ssize_t blocks = DVDFileSize(f.get());
  if (blocks <= 0 || static_cast<size_t>(blocks) > kMaxIfoBytes / 2048) return false;
  out.resize(static_cast<size_t>(blocks) * 2048);
  const ssize_t n = DVDReadBytes(f.get(), out.data(), out.size());
  if (n < 0) return false;
  out.resize(static_cast<size_t>(n));
  return true;
}

}  // namespace

bool CheckDvd(const std::string& Path, TDvdVmgFacts& Facts, std::string& Why) {
  static const dvd_logger_cb logger = {Log};
  // libdvdread leaks its reader when the path is not there at all: look first.
  std::error_code error;
  if (!std::filesystem::exists(Path, error)) {
    Why = "no DVD at " + Path;
    return false;
  }
  std::unique_ptr<dvd_reader_t, TReaderCloser> dvd(DVDOpen2(nullptr, &logger, Path.c_str()));
  if (!dvd) {
    Why = "no DVD at " + Path;
    return false;
  }
  std::vector<uint8_t> data;
  bool missing = false;
  for (dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
    const bool info = domain == DVD_READ_INFO_FILE;
    if (!ReadIfo(dvd.get(), 0, domain, data, missing)) {
      if (!info && missing) continue;  // no backup: the information file alone
      Why = info ? "VIDEO_TS.IFO cannot be read" : "VIDEO_TS.BUP cannot be read";
      return false;
    }
    TDvdVmgFacts facts;
    if (!CheckVmgIfo(data.data(), data.size(), facts, Why)) {
      Why = std::string(info ? "VIDEO_TS.IFO" : "VIDEO_TS.BUP") + ": " + Why;
      return false;
    }
    if (info) Facts = facts;
  }
  uint8_t id[16];
  if (DVDDiscID(dvd.get(), id) == 0) {
    Facts.DiscId = 0;
    for (int k = 0; k < 8; ++k) Facts.DiscId = Facts.DiscId << 8 | id[k];
  }
  // The menu ids each title set holds, and those the disc's commands jump to there.
  std::vector<uint32_t> menus(static_cast<size_t>(Facts.TitleSets)), needed = Facts.SetMenusNeeded;
  needed.resize(menus.size());
  Facts.Sets.resize(static_cast<size_t>(Facts.TitleSets) + 1);
  for (int32_t set = 1; set <= Facts.TitleSets; ++set) {
    for (dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
      const bool info = domain == DVD_READ_INFO_FILE;
      char name[32];
      std::snprintf(name, sizeof name, "VTS_%02d_0.%s", set, info ? "IFO" : "BUP");
      if (!ReadIfo(dvd.get(), set, domain, data, missing)) {
        if (!info && missing) continue;
        Why = std::string(name) + (missing ? " is missing" : " cannot be read");
        return false;
      }
      TDvdVtsFacts vts;
      if (!CheckVtsIfo(data.data(), data.size(), Why, &Facts, &vts)) {
        Why = std::string(name) + ": " + Why;
        return false;
      }
      if (!info) continue;
      menus[static_cast<size_t>(set - 1)] = vts.Menus;
      Facts.Sets[static_cast<size_t>(set)] = std::move(vts.Chains);
      for (size_t k = 0; k < vts.SetMenusNeeded.size() && k < needed.size(); ++k) needed[k] |= vts.SetMenusNeeded[k];
    }
  }
  for (size_t k = 0; k < menus.size(); ++k) {
    if (needed[k] & ~menus[k]) {
      char name[32];
      std::snprintf(name, sizeof name, "VTS_%02d_0.IFO", static_cast<int>(k + 1));
      Why = std::string("a navigation command jumps to a menu ") + name + " does not have";
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------------------------------- the disc's path

namespace {

std::mutex g_defaultMutex;
std::vector<std::string> g_defaultDevices;  // set by tests; empty: the machine's drives

std::string AsciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// The machine's /dev/sr* drives in numeric order.
std::vector<std::string> OpticalDrives() {
  std::vector<std::pair<int, std::string>> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/dev", error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0) continue;
    if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    if (name.size() > 6) continue;
    found.emplace_back(std::stoi(name.substr(2)), it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& [n, path] : found) out.push_back(path);
  return out;
}

}  // namespace

void SetDvdDefaultDevices(const std::vector<std::string>& Paths) {
  std::lock_guard<std::mutex> lock(g_defaultMutex);
  g_defaultDevices = Paths;
}

std::string ResolveDvdPath(const std::string& Path) {
  if (AsciiUpper(Path) == "DEFAULT") {
    std::vector<std::string> candidates;
    {
      std::lock_guard<std::mutex> lock(g_defaultMutex);
      candidates = g_defaultDevices;
    }
    if (candidates.empty()) {
      std::error_code error;
      if (std::filesystem::exists("/dev/dvd", error)) return "/dev/dvd";
      candidates = OpticalDrives();
    }
    for (const std::string& candidate : candidates) {
      TDvdVmgFacts facts;
      std::string why;
      if (CheckDvd(candidate, facts, why)) return candidate;
    }
    return std::string();
  }
  const std::filesystem::path p(Path);
  if (AsciiUpper(p.filename().string()) == "VIDEO_TS.IFO") return p.parent_path().string();
  return Path;
}
