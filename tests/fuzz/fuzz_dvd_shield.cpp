// Our disc check as the navigator's shield: a small disc (ffmpeg and dvdauthor: a menu with
// commands in the manager, two title sets, chapters), then each input damages one of its
// information files in a copy of the disc and the disc is checked. A disc the check accepts is
// opened by the navigated source and walked: read on through menus, stills and titles, every
// title's chapters and the menus played by command. A crash or hang here means the check must
// refuse more.
//
// Authoring the disc costs seconds (two encodes and dvdauthor), most of a short fuzzing run, so it
// is authored once per build folder: next to this program, in a folder named after the recipe
// (written whole under a temporary name, then renamed), and later runs start from it. Each run
// damages its own copy in memory-backed scratch (/dev/shm when there is one): the pictures linked,
// the information files rewritten for every input.
//
// The input: byte 0 chooses the file (bit 0: VIDEO_TS.IFO or VTS_01_0.IFO; bit 1: the backup is
// damaged alike, else it stays good; bit 2: the file is cut to the length in bytes 1-2), then
// records of three bytes (offset high, offset low, value) overwrite the file's bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "platform/media/dvd_ifo.h"
#include "platform/media/dvd_source.h"

namespace {

namespace fs = std::filesystem;

struct TShieldDisc {
  fs::path Scratch;
  fs::path Folder;                 // the copy the inputs damage (its VIDEO_TS)
  std::vector<uint8_t> Vmg, Vts;   // the good files
  std::unordered_set<uint64_t> Seen;  // the damaged discs checked so far (DiscKey)
};

// FNV-1a of a damaged disc: the file, which one it is, and whether its backup is damaged alike.
uint64_t DiscKey(const std::vector<uint8_t>& File, bool Vts, bool BackupToo) {
  uint64_t h = 0xcbf29ce484222325u;
  for (const uint8_t b : File) h = (h ^ b) * 0x100000001b3u;
  h = (h ^ (Vts ? 1u : 0u)) * 0x100000001b3u;
  h = (h ^ (BackupToo ? 2u : 0u)) * 0x100000001b3u;
  return (h ^ File.size()) * 0x100000001b3u;
}

std::vector<uint8_t> ReadAll(const fs::path& File) {
  std::ifstream in(File, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& File, const uint8_t* Data, size_t Size) {
  std::ofstream(File, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(Data),
                                                                 static_cast<std::streamsize>(Size));
}

void Fail(const std::string& What) {
  std::fprintf(stderr, "fuzz_dvd_shield: %s\n", What.c_str());
  std::abort();
}

void Run(const std::string& Command) {
  if (std::system(Command.c_str()) != 0) Fail("failed: " + Command);
}

// The disc's recipe: the commands, run in the folder the disc is authored in, and dvdauthor's
// description, all with names relative to that folder (so that the recipe names its disc).
struct TRecipe {
  std::vector<std::string> Commands;
  std::string Xml;
};

TRecipe ShieldRecipe() {
  TRecipe r;
  for (const char* name : {"menu.mpg", "a.mpg"}) {
    const bool menu = name[0] == 'm';
    r.Commands.push_back("ffmpeg -nostdin -v error -f lavfi -i " + std::string(menu ? "color=c=blue:" : "testsrc=") +
                         "size=352x288:rate=25 -f lavfi -i sine=f=440:sample_rate=48000 -t " +
                         std::string(menu ? "0.4" : "1.2") +
                         " -target pal-dvd -s 352x288 -aspect 4:3 -b:v 300k -y " + name + " </dev/null");
  }
  r.Commands.push_back("VIDEO_FORMAT=PAL dvdauthor -x disc.xml >/dev/null 2>&1");
  std::ostringstream xml;
  xml << "<dvdauthor dest=\"disc\">\n"
      << "<vmgm><fpc>g0=1; jump menu 1;</fpc><menus><video format=\"pal\"/>\n"
      << "<pgc entry=\"title\"><pre>g1=g0+1; if (g1 gt 5) g1=0;</pre><vob file=\"menu.mpg\" pause=\"1\"/>"
      << "<post>if (g0 eq 1) { g0=2; jump title 1; } jump title 2;</post></pgc>\n"
      << "</menus></vmgm>\n"
      << "<titleset><menus><video format=\"pal\"/><pgc entry=\"root\"><vob file=\"menu.mpg\"/>"
      << "<post>jump title 1;</post></pgc></menus>\n"
      << "<titles><video format=\"pal\"/><pgc><vob file=\"a.mpg\" chapters=\"0,0.6\"/>"
      << "<vob file=\"a.mpg\"/><post>call vmgm menu 1;</post></pgc></titles></titleset>\n"
      << "<titleset><titles><video format=\"pal\"/><pgc><vob file=\"a.mpg\"/></pgc>"
      << "<pgc><vob file=\"a.mpg\"/></pgc></titles></titleset>\n"
      << "</dvdauthor>\n";
  r.Xml = xml.str();
  return r;
}

// FNV-1a of the recipe: the name of the folder its disc is kept in.
std::string RecipeName(const TRecipe& Recipe) {
  uint64_t h = 0xcbf29ce484222325u;
  auto add = [&h](const std::string& Text) {
    for (unsigned char c : Text) h = (h ^ c) * 0x100000001b3u;
    h = (h ^ 0xFF) * 0x100000001b3u;
  };
  for (const std::string& c : Recipe.Commands) add(c);
  add(Recipe.Xml);
  char name[64];
  std::snprintf(name, sizeof name, "dvd-shield-disc-%016llx", static_cast<unsigned long long>(h));
  return name;
}

bool DiscComplete(const fs::path& VideoTs) {
  std::error_code ec;
  for (const char* name : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_02_0.IFO"}) {
    const auto size = fs::file_size(VideoTs / name, ec);
    if (ec || size == 0) return false;
  }
  return true;
}

// The authored disc's VIDEO_TS, authored now when this build folder has none yet.
fs::path AuthoredDisc() {
  const TRecipe recipe = ShieldRecipe();
  std::error_code ec;
  fs::path home = fs::read_symlink("/proc/self/exe", ec).parent_path();
  if (ec || home.empty()) home = fs::temp_directory_path();
  const fs::path kept = home / RecipeName(recipe);
  if (DiscComplete(kept / "VIDEO_TS")) return kept / "VIDEO_TS";
  // Authored under a name of its own, then renamed into place: a run never sees half a disc, and
  // two runs authoring at once both end with a whole one.
  std::string pattern = (home / (RecipeName(recipe) + ".part-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) Fail("no folder to author the disc in (" + pattern + ")");
  const fs::path work = pattern;
  std::ofstream(work / "disc.xml") << recipe.Xml;
  for (const std::string& command : recipe.Commands) Run("cd '" + work.string() + "' && " + command);
  fs::rename(work / "disc", kept, ec);
  fs::remove_all(work, ec);
  if (!DiscComplete(kept / "VIDEO_TS")) Fail("dvdauthor wrote no disc in " + kept.string());
  return kept / "VIDEO_TS";
}

TShieldDisc* g_disc = nullptr;

void RemoveScratch() {
  if (!g_disc) return;
  std::error_code ec;
  fs::remove_all(g_disc->Scratch, ec);
}

TShieldDisc& Disc() {
  if (g_disc) return *g_disc;
  const fs::path good = AuthoredDisc();
  g_disc = new TShieldDisc;
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
  std::string pattern = (base / "brimvale-dvd-shield-XXXXXX").string();
  if (!mkdtemp(pattern.data())) Fail("no scratch folder");
  g_disc->Scratch = pattern;
  std::atexit(RemoveScratch);
  g_disc->Vmg = ReadAll(good / "VIDEO_TS.IFO");
  g_disc->Vts = ReadAll(good / "VTS_01_0.IFO");
  if (g_disc->Vmg.empty() || g_disc->Vts.empty()) Fail("the authored disc has no information files");
  // The copy: the same pictures (linked), information files of its own.
  g_disc->Folder = g_disc->Scratch / "copy";
  fs::create_directories(g_disc->Folder / "VIDEO_TS");
  for (const auto& f : fs::directory_iterator(good)) {
    const fs::path to = g_disc->Folder / "VIDEO_TS" / f.path().filename();
    if (f.path().extension() == ".VOB") {
      fs::create_symlink(fs::absolute(f.path()), to);
    } else {
      fs::copy_file(f.path(), to);
    }
  }
  return *g_disc;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Disc();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 3 * 4096) return 0;
  TShieldDisc& disc = Disc();
  const bool vts = data[0] & 1, backupToo = data[0] & 2, cut = data[0] & 4;
  std::vector<uint8_t> file = vts ? disc.Vts : disc.Vmg;
  size_t at = 1;
  if (cut && size >= 3) {
    file.resize(std::min<size_t>(file.size(), (size_t{data[1]} << 8) | data[2]));
    at = 3;
  }
  for (; at + 3 <= size; at += 3) {
    const size_t offset = (size_t{data[at]} << 8) | data[at + 1];
    if (offset < file.size()) file[offset] = data[at + 2];
  }
  // Most inputs damage nothing new (records past the file's end, bytes set to what they were), and
  // the check and the walk of a disc seen before go exactly as they went then: each disc once.
  if (!disc.Seen.insert(DiscKey(file, vts, backupToo)).second) return 0;
  const fs::path folder = disc.Folder / "VIDEO_TS";
  const char* name = vts ? "VTS_01_0" : "VIDEO_TS";
  const std::vector<uint8_t>& good = vts ? disc.Vts : disc.Vmg;
  const std::vector<uint8_t>& other = vts ? disc.Vmg : disc.Vts;
  const char* otherName = vts ? "VIDEO_TS" : "VTS_01_0";
  WriteAll(folder / (std::string(name) + ".IFO"), file.data(), file.size());
  const std::vector<uint8_t>& backup = backupToo ? file : good;
  WriteAll(folder / (std::string(name) + ".BUP"), backup.data(), backup.size());
  WriteAll(folder / (std::string(otherName) + ".IFO"), other.data(), other.size());
  WriteAll(folder / (std::string(otherName) + ".BUP"), other.data(), other.size());

  TDvdVmgFacts facts;
  std::string why;
  if (!CheckDvd(disc.Folder.string(), facts, why)) return 0;

  // Accepted: the navigator must survive it.
  TDvdSource source(disc.Folder.string());
  if (!source.Open(why)) return 0;
  AVPacket* packet = av_packet_alloc();
  const auto readOn = [&](int Reads) {
    for (int i = 0; i < Reads; ++i) {
      const int r = source.ReadPacket(packet);
      if (r == 0) {
        av_packet_unref(packet);
      } else if (r != AVERROR(EAGAIN) && r != kSourceDrain) {
        break;
      }
    }
  };
  readOn(200);
  for (int32_t t = 1; t <= std::min(facts.Titles, 4); ++t) {
    const int32_t chapters = std::min(facts.TitleChapters[static_cast<size_t>(t - 1)], 3);
    for (int32_t c = 1; c <= chapters; ++c) {
      if (source.Command(dvdPlayChapter, t, c, 0) == TDvdSource::cmdJumped) readOn(40);
    }
    if (source.Command(dvdPlayAtTime, t, 2000000, 0) == TDvdSource::cmdJumped) readOn(40);
  }
  for (int64_t menu = 2; menu <= 7; ++menu) {
    if (source.Command(dvdShowMenu, menu, 0, 0) == TDvdSource::cmdJumped) readOn(40);
  }
  av_packet_free(&packet);
  return 0;
}
