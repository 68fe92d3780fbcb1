// Tone data files: the 536-byte little-endian image of a ToneSettings record,
// with no header of any kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tone/tone_settings.h"

namespace zelvaro {

// Writes the file image of the record, field by field in little-endian order,
// whatever the host's byte order or struct packing.
void encodeToneSettings(const ToneSettings& tone, uint8_t (&image)[kToneSettingsSize]);

// Overwrites the first `size` bytes (at most 536) of the record's file image
// with `bytes`; the rest of the record keeps its values. No range checks: see
// sanitizeLoadedTone.
void decodeToneSettings(const uint8_t* bytes, size_t size, ToneSettings& tone);

// Brings toneCount into 1..16 and the waveform into the known codes so that
// code indexing the per-tone arrays by toneCount stays inside them.
void sanitizeLoadedTone(ToneSettings& tone);

// Replaces the file at `path` with the record's 536 bytes. The old file stays
// intact unless the new one was written completely. Returns false when nothing
// was replaced; the record is never touched.
bool saveToneFile(const std::string& path, const ToneSettings& tone);

// Reads up to 536 bytes of `path` over the record from its first byte, then
// sanitises it. A file that cannot be opened or read leaves the record as it
// was and returns false; a short (even empty) file replaces only its leading
// bytes and returns true.
bool loadToneFile(const std::string& path, ToneSettings& tone);

}  // namespace zelvaro
