#pragma once
// System routines of the utility library: the list of named shared-memory blocks the process has
// open, and the reading of a class's message-handler table.
#include <cstdint>
#include <string>
#include <typeinfo>

// The block existed already (ERROR_ALREADY_EXISTS).
constexpr int32_t kSharedBlockExisted = 183;
// Access to a block: FILE_MAP_ALL_ACCESS, or read only.
constexpr uint32_t FILE_MAP_ALL_ACCESS = 0xF001F;
constexpr uint32_t FILE_MAP_WRITE = 0x0002;
constexpr uint32_t FILE_MAP_READ = 0x0004;

// Maps the named block into the process (size bytes; a block that exists is opened) and gives out
// its address; 183 when it existed (or is open already in this process: then the same address,
// counted), else 0. Raises ESharedMemError "Invalid MMF name "%s"" for an empty name or one with a
// "\" or "/", "The MMF named "%s" cannot be created empty" for a missing block asked for with size
// 0, and the system error otherwise.
int32_t OpenSharedBlock(void*& address, const std::string& name, uint32_t size, uint32_t access);
// Lets go of one opening of the block at address (the last one unmaps it) and clears address;
// true when the address was null or was found.
bool CloseSharedBlock(void*& address);
// Start-up and shut-down of the list (its lock; the shut-down unmaps what is left).
void InitializeSharedBlocks();
void FinalizeSharedBlocks();

// A class's own message-handler table: its entry count, message numbers and handler addresses.
// Controls here dispatch through virtual handlers, not a table: every class has none.
int32_t MessageHandlerCount(const std::type_info& cls);
const uint16_t* MessageHandlerNumbers(const std::type_info& cls);
void* const* MessageHandlerEntries(const std::type_info& cls);
