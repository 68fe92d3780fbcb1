// The setup file: the program's executable followed by further payload files,
// their sizes, the byte sum of all payload and the install marker. The same
// layout is written by make_setup at build time and read by the install run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro {

// The last four bytes of the executable choose its role.
constexpr uint32_t kSetupMarkerInstall = 0x0F0FF0F0u;
constexpr uint32_t kSetupMarkerUninstall = 0xF0F00F0Fu;
// What the installed program ends with.
constexpr uint32_t kSetupMarkerApplication = 0u;

// Adds every byte (as an unsigned value) to sum, wrapping at 32 bits.
uint32_t AddPayloadBytes(uint32_t sum, const uint8_t* bytes, size_t count);

// The bytes that follow the payload: each size, the payload sum, the marker.
std::vector<uint8_t> SetupTrailer(const std::vector<uint32_t>& sizes, uint32_t payloadSum);

// The trailer read back from the last (entries + 2) x 4 bytes of a file
// (marker excluded: the caller has already chosen the role from it).
struct SetupTrailerFields {
    std::vector<uint32_t> sizes;
    uint32_t payloadSum = 0;
};
// False when the file is too short to hold the trailer or when the sizes do
// not add up to exactly the bytes in front of it: the payload starts the file
// and the trailer follows it at once, so a byte more or less is damage.
bool ReadSetupTrailer(const uint8_t* tail, size_t entries, uint64_t fileSize,
                      SetupTrailerFields& fields);

// Writes the setup file made of the payload files in order. False with a
// reason when a payload cannot be read, is larger than 4 GiB less one byte,
// or the output cannot be written completely (a partial output is removed).
bool WriteSetupFile(const std::string& output, const std::vector<std::string>& payloads,
                    std::string& error);

}  // namespace zelvaro
