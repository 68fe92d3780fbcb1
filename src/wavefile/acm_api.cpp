#include "wavefile/acm_api.h"

#include "base/little_endian.h"

namespace zelvaro {

namespace {

constexpr size_t kRecordBase = 18;

}  // namespace

bool acmFormatRecord(const WaveFormat& format, std::vector<uint8_t>& record) {
    record.assign(format.raw.begin(), format.raw.end());
    if (record.size() < kRecordBase) {
        // A chunk without the extra-byte count (or without bits per sample):
        // the missing fields are 0, as the parsed record has them.
        record.resize(kRecordBase, 0);
        return true;
    }
    if (format.extraSize > record.size() - kRecordBase) return false;
    record.resize(kRecordBase + format.extraSize);
    return true;
}

std::vector<uint8_t> acmPcmRecord(uint16_t channels, uint32_t rate) {
    std::vector<uint8_t> r(kRecordBase, 0);
    const uint32_t align = 2u * channels;
    putLe16(&r[0], kWaveFormatPcm);
    putLe16(&r[2], channels);
    putLe32(&r[4], rate);
    putLe32(&r[8], align * rate);
    putLe16(&r[12], align);
    putLe16(&r[14], 16);
    putLe16(&r[16], 0);
    return r;
}

uint32_t acmScale(uint32_t value, uint32_t to, uint32_t from) {
    uint64_t r = static_cast<uint64_t>(value) * to / from;
    return r > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(r);
}

}  // namespace zelvaro
