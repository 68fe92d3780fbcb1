#include "wavefile/acm_api.h"

namespace zelvaro {

namespace {

constexpr size_t kRecordBase = 18;

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

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
    put16(&r[0], kWaveFormatPcm);
    put16(&r[2], channels);
    put32(&r[4], rate);
    put32(&r[8], align * rate);
    put16(&r[12], align);
    put16(&r[14], 16);
    put16(&r[16], 0);
    return r;
}

uint32_t acmScale(uint32_t value, uint32_t to, uint32_t from) {
    uint64_t r = static_cast<uint64_t>(value) * to / from;
    return r > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(r);
}

}  // namespace zelvaro
