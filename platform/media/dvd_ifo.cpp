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

bool DvdCommandSafe(const uint8_t* Command) {
  // A link sub-instruction (the last byte's low five bits) ends the set, compare and system-set
  // commands (kinds 2 to 6) and is one of the link commands (kind 1, link, operation 1). Codes
  // above 16 are ignored by the navigator; these four below it are no link it knows.
  const int kind = Command[0] >> 5;
  const bool linkSub = (kind >= 2 && kind <= 6) || (kind == 1 && !(Command[0] & 0x10) && (Command[1] & 0x0F) == 1);
  const int link = Command[7] & 0x1F;
  return !(linkSub && (link == 4 || link == 8 || link == 14 || link == 15));
}

namespace {

// Where a program chain's commands run, which decides the jumps the navigator allows there.
enum TDomain : uint8_t { domFirstPlay, domVmgMenu, domVtsMenu, domVtsTitle };

// What the commands of a file may name: titles of the disc, the manager's menu chains (-1: not
// known here), the title set's titles and their parts.
struct TCommandLimits {
  int32_t Titles = -1;
  int32_t VmgMenuChains = -1;
  std::vector<int32_t> VtsTitleParts;  // per title of the title set (empty in VIDEO_TS.IFO)
};

// A command the navigator can carry out where it stands: its links and jumps go to places that
// are there, and only from the domains they are allowed in (libdvdnav stops the program on any
// other). Chains: the program chains of the command's own table (0 for the first-play chain).
bool CommandFits(const uint8_t* C, TDomain Domain, int32_t Chains, const TCommandLimits& L) {
  if (!DvdCommandSafe(C)) return false;
  if ((C[0] >> 5) != 1) return true;
  const int op = C[1] & 0x0F;
  const bool menuOrFirst = Domain == domFirstPlay || Domain == domVmgMenu || Domain == domVtsMenu;
  const auto inRange = [](int32_t Value, int32_t Count) { return Count < 0 || (Value >= 1 && Value <= Count); };
  if (!(C[0] & 0x10)) {
    // Links within the domain.
    if (op == 4) return inRange(((C[6] & 0x7F) << 8) | C[7], Chains);  // a program chain by number
    if (op == 5) return Domain == domVtsTitle;                         // a part of the title played
    return true;
  }
  const int32_t title = C[5] & 0x7F;
  const int32_t vtsTitles = static_cast<int32_t>(L.VtsTitleParts.size());
  switch (op) {
    case 2:  // a title of the disc
      return (Domain == domFirstPlay || Domain == domVmgMenu) && inRange(title, L.Titles);
    case 3:  // a title of this title set
      return Domain == domVtsMenu && inRange(title, vtsTitles);
    case 5: {  // a part of a title of this title set
      if (Domain != domVtsMenu || !inRange(title, vtsTitles)) return false;
      return inRange(((C[2] & 0x03) << 8) | C[3], L.VtsTitleParts[static_cast<size_t>(title - 1)]);
    }
    case 6:  // jump to another domain
    case 8: {  // call another domain from a title
      if (op == 8 && Domain != domVtsTitle) return false;
      const int to = C[5] >> 6;
      if (op == 6 && to == 0 && Domain != domVmgMenu && Domain != domVtsMenu) return false;
      if (op == 6 && to != 2 && Domain == domVtsTitle) return false;
      if (to == 3) return inRange(((C[2] & 0x7F) << 8) | C[3], L.VmgMenuChains);
      return op == 8 || to != 1 || menuOrFirst;
    }
    default:
      return true;
  }
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
    TDomain Domain;
    int32_t Chains;
  };
  std::vector<TPending> pending{};
  bool Commands(const TCommandLimits& Limits) {
    for (const TPending& p : pending) {
      if (!r.Has(p.At, 8)) return Fail("a command table is cut");
      if (!CommandFits(r.At(p.At), p.Domain, p.Chains, Limits)) {
        return Fail("a navigation command goes to a place that is not there");
      }
    }
    return true;
  }
  bool Fail(const std::string& w) {
    if (why.empty()) why = w;
    return false;
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
      }
    }
    if (commands != 0) {
      const uint64_t t = O + commands;
      if (t + 8 > End) return Fail("a command table lies past its program chain");
      const uint64_t count = uint64_t{r.U16(t)} + r.U16(t + 2) + r.U16(t + 4);
      const uint64_t last = r.U16(t + 6);
      if (8 + 8 * count > last + 1 || t + last + 1 > End) return Fail("a command table says more than it holds");
      for (uint64_t i = 0; i < count; ++i) pending.push_back({t + 8 + 8 * i, domain, chains});
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
    for (uint16_t k = 0; k < n; ++k) {
      const uint64_t at = T + r.U32(T + 8 + 8ull * k + 4);
      int32_t programs = 0;
      if (at < T + 8 || !Pgc(at, end, programs)) return Fail("a program chain lies outside its table");
      Programs.push_back(programs);
    }
    return r.Ok();
  }

  // A menu table (PGCI_UT) at T: one program chain table per language.
  bool PgciUt(uint64_t T) {
    return PgciUt(T, menuChains);
  }
  int32_t menuChains = 0;  // the fewest chains of a language's menus (what a jump may name in any)
  bool PgciUt(uint64_t T, int32_t& Fewest) {
    if (!r.Has(T, 8)) return Fail("a menu table lies past the end of the file");
    const uint16_t n = r.U16(T);
    uint64_t end;
    if (!End(T, r.U32(T + 4), "a menu table", end)) return false;
    if (8 + 8ull * n > end - T) return Fail("a menu table has more languages than room");
    Fewest = 0;
    for (uint16_t k = 0; k < n; ++k) {
      std::vector<int32_t> programs;
      const uint64_t at = T + r.U32(T + 8 + 8ull * k + 4);
      if (at < T + 8 || !Pgcit(at, end, programs)) return false;
      Fewest = k == 0 ? static_cast<int32_t>(programs.size())
                      : std::min(Fewest, static_cast<int32_t>(programs.size()));
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
  int32_t programs = 0;
  c.domain = domFirstPlay;
  c.chains = 0;
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
  }
  if (!c.Table(r.U32(0xC8), 8, "the menu table", t)) return false;
  c.domain = domVmgMenu;
  if (t && !c.PgciUt(t)) return false;
  f.MenuChains = c.menuChains;
  TCommandLimits limits;
  limits.Titles = f.Titles;
  limits.VmgMenuChains = f.MenuChains;
  if (!c.Commands(limits)) return false;
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

bool CheckVtsIfo(const uint8_t* Data, size_t Size, std::string& Why, int32_t VmgMenuChains) {
  TReader r(Data, Size);
  TCheck c{r, Why};
  if (!CheckLength(r, Why, "DVDVIDEO-VTS")) return false;
  uint64_t t;
  TCommandLimits limits;
  limits.VmgMenuChains = VmgMenuChains;
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
  if (!c.Commands(limits)) return false;
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
  return r.Ok() || c.Fail("the file is cut");
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
      if (!CheckVtsIfo(data.data(), data.size(), Why, Facts.MenuChains)) {
        Why = std::string(name) + ": " + Why;
        return false;
      }
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
