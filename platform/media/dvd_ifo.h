#pragma once
// Our own check of a DVD-Video disc's information files before libdvdread and libdvdnav read them
// (they crash on some damaged files even beside a good backup): VIDEO_TS.IFO and every
// VTS_nn_0.IFO, with their backups, through a bounds-checked reader: the declared sizes against the
// file, every table's offset and count against the file and the table, and every reference (title
// sets, program chains, programs, cells) in range. Also the disc facts read from VIDEO_TS.IFO.
#include <cstdint>
#include <string>
#include <vector>

struct TDvdVmgFacts {
  int32_t Volumes = 0;
  int32_t Volume = 0;
  int32_t Side = 0;  // 1 side A, 2 side B
  int32_t TitleSets = 0;
  int32_t Titles = 0;
  std::vector<int32_t> TitleChapters;  // per title (1-based titles at index - 1)
  std::vector<int32_t> TitleSetOfTitle;
  int32_t MenuChains = 0;  // the manager's menu chains (the fewest of any language)
  // Our disc identifier: the first 8 bytes of libdvdread's disc id (an MD5 of the information
  // files), big-endian; 0 when it cannot be computed. Filled by CheckDvd.
  uint64_t DiscId = 0;
};

// Checks a VIDEO_TS.IFO (or .BUP) held in memory; false with the reason when anything is out of
// place (also a navigation command that jumps or links to a place that is not there, or from a
// domain the jump is not allowed in). Fills Facts on success.
bool CheckVmgIfo(const uint8_t* Data, size_t Size, TDvdVmgFacts& Facts, std::string& Why);
// Checks a VTS_nn_0.IFO (or .BUP). VmgMenuChains: the manager's menu chains its commands may jump
// to (-1: not known, not checked).
bool CheckVtsIfo(const uint8_t* Data, size_t Size, std::string& Why, int32_t VmgMenuChains = -1);

// False for a navigation command (8 bytes) the navigator cannot carry out: a link to a place it
// does not know (libdvdnav stops the program on one). Checked in every program chain's commands
// and before a button's command runs.
bool DvdCommandSafe(const uint8_t* Command);

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
