// The measurement formats: rounding and limits per encoding, TPDF dither's
// statistics and its absence when not asked for, and the files read back.
#include "wavefile/pure_wav_sink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/pure_random.h"
#include "wavefile/wav_file.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;
using test::get16;
using test::get32;

int64_t storedSample(const uint8_t* bytes, int width) {
    uint64_t v = 0;
    for (int b = 0; b < width; ++b) v |= static_cast<uint64_t>(bytes[b]) << (8 * b);
    const int shift = 64 - 8 * width;
    return static_cast<int64_t>(v << shift) >> shift;
}

std::vector<int64_t> quantise(SampleEncoding encoding, const std::vector<double>& in,
                              std::optional<uint64_t> seed = std::nullopt, double gain = 1.0) {
    PureQuantiser q(encoding, seed);
    const int width = encodingBytes(encoding);
    std::vector<uint8_t> bytes(in.size() * width);
    q.convert(in.data(), in.size(), gain, bytes.data());
    std::vector<int64_t> out;
    for (size_t i = 0; i < in.size(); ++i) out.push_back(storedSample(&bytes[i * width], width));
    return out;
}

TEST(PureQuantiser, RoundsToNearestStepWithHalvesUpAndHoldsTheRange) {
    struct Row {
        SampleEncoding encoding;
        double in;
        int64_t out;
    } rows[] = {
        {SampleEncoding::kPcm16, 0.0, 0},
        {SampleEncoding::kPcm16, 0.5 / 32768, 1},           // half a step rounds up
        {SampleEncoding::kPcm16, -0.5 / 32768, 0},          // as does minus half a step
        {SampleEncoding::kPcm16, -0.5001 / 32768, -1},
        {SampleEncoding::kPcm16, 1.0, 32767},               // full scale is held at the top code
        {SampleEncoding::kPcm16, -1.0, -32768},
        {SampleEncoding::kPcm16, -3.0, -32768},
        {SampleEncoding::kPcm16, std::nan(""), -32768},
        {SampleEncoding::kPcm24, 0.25, 0x200000},
        {SampleEncoding::kPcm24, -1.0, -0x800000},
        {SampleEncoding::kPcm24, 1.0, 0x7FFFFF},
        {SampleEncoding::kPcm24, 1.4 / 8388608, 1},
        {SampleEncoding::kPcm32, -0.5, -0x40000000},
        {SampleEncoding::kPcm32, 1.0, 0x7FFFFFFF},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "bytes " << encodingBytes(r.encoding) << " in " << r.in);
        EXPECT_EQ(quantise(r.encoding, {r.in})[0], r.out);
    }
}

TEST(PureQuantiser, FloatStoresTheSampleTimesTheGain) {
    const double in[] = {0.1, -1.5, 1e-30};
    std::vector<uint8_t> bytes(sizeof(in) / sizeof(in[0]) * 4);
    PureQuantiser q(SampleEncoding::kFloat32, 5);  // a seed: float is never dithered
    q.convert(in, 3, 0.5, bytes.data());
    for (int i = 0; i < 3; ++i) {
        float f;
        std::memcpy(&f, &bytes[i * 4], 4);
        EXPECT_EQ(f, static_cast<float>(in[i] * 0.5)) << i;
    }
    EXPECT_FALSE(q.dithered());
}

TEST(PureQuantiser, TpdfDitherIsTriangularWithinOneStepAndUnbiased) {
    // The dither alone: two uniforms' difference.
    PureRandom random(42);
    const int n = 1000000;
    double sum = 0, sumSquares = 0, lowest = 0, highest = 0;
    int inner = 0;
    for (int i = 0; i < n; ++i) {
        const double d = random.triangular();
        sum += d;
        sumSquares += d * d;
        lowest = std::min(lowest, d);
        highest = std::max(highest, d);
        inner += std::fabs(d) < 0.5;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.003);
    EXPECT_NEAR(sumSquares / n, 1.0 / 6, 0.002);       // a triangle on (-1, 1)
    EXPECT_NEAR(static_cast<double>(inner) / n, 0.75, 0.003);
    EXPECT_GT(lowest, -1.0);
    EXPECT_LT(highest, 1.0);
    EXPECT_LT(lowest, -0.99);
    EXPECT_GT(highest, 0.99);

    // Through the quantiser: a level 0.3 steps above a code comes out as that
    // code or a neighbour, on average exactly at the level.
    for (SampleEncoding encoding : {SampleEncoding::kPcm16, SampleEncoding::kPcm24}) {
        const double step = std::ldexp(1.0, 1 - 8 * encodingBytes(encoding));
        std::vector<double> in(200000, (100 + 0.3) * step);
        std::vector<int64_t> out = quantise(encoding, in, 7);
        double mean = 0;
        for (int64_t v : out) {
            ASSERT_GE(v, 99);
            ASSERT_LE(v, 101);
            mean += static_cast<double>(v);
        }
        EXPECT_NEAR(mean / out.size(), 100.3, 0.01);
        EXPECT_EQ(out, quantise(encoding, in, 7)) << "the same seed gives the same dither";
        EXPECT_NE(out, quantise(encoding, in, 8));
    }
}

TEST(PureQuantiser, NothingIsAddedWithoutDither) {
    std::vector<double> in(1000, (100 + 0.3) / 32768);
    for (int64_t v : quantise(SampleEncoding::kPcm16, in)) ASSERT_EQ(v, 100);
}

class PureWavSinkTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path(const char* name = "out.wav") const { return dir.path(name); }
    Bytes writeChain(SampleEncoding encoding, const std::vector<int32_t>& samples, uint8_t channels = 1) {
        PureWavFormat format;
        format.encoding = encoding;
        format.channels = channels;
        {
            PureWavSinkRef sink = createPureWavSink(path().c_str(), format);
            sink->write(samples.data(), static_cast<int>(samples.size() / channels));
            EXPECT_TRUE(sink->finish());
        }
        return test::readFile(path());
    }
};

TEST_F(PureWavSinkTest, Sixteen_BitChainSamplesComeOutAsTheProgramsOwnWriterPutsThem) {
    const std::vector<int32_t> chain = {0, 7, 8, -8, -9, 524272, -524288, 16000, -16001, 123457};
    Bytes pure = writeChain(SampleEncoding::kPcm16, chain);
    {
        SoundSinkRef sink = createWavSink(path("own.wav").c_str(), 44100, 0, 16, 1);
        sink->write(chain.data(), static_cast<int>(chain.size()));
    }
    EXPECT_EQ(pure, test::readFile(path("own.wav")));
}

TEST_F(PureWavSinkTest, HeadersNameTheFormatAndOurReaderGetsTheChainSamplesBack) {
    // Within the limiter's range: the float reader holds -1.0 at -524,272.
    const std::vector<int32_t> chain = {0, 1, -1, 524272, -524272, 262144, -99999, 12345};
    struct Row {
        SampleEncoding encoding;
        uint16_t tag;
        uint16_t bits;
    } rows[] = {{SampleEncoding::kPcm24, kWaveFormatPcm, 24},
                {SampleEncoding::kFloat32, kWaveFormatFloat, 32},
                {SampleEncoding::kPcm32, kWaveFormatPcm, 32}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bits);
        Bytes file = writeChain(r.encoding, chain, 2);
        ASSERT_EQ(file.size(), kWavHeaderSize + chain.size() * r.bits / 8);
        EXPECT_EQ(get32(file, 16), 18u);             // format chunk size
        EXPECT_EQ(get16(file, 20), r.tag);           // format tag
        EXPECT_EQ(get16(file, 22), 2u);              // channels
        EXPECT_EQ(get32(file, 28), 44100u * 2 * r.bits / 8);  // bytes per second
        EXPECT_EQ(get16(file, 32), 2u * r.bits / 8);  // block align
        EXPECT_EQ(get16(file, 34), r.bits);          // bits per sample
        EXPECT_EQ(get32(file, 42), chain.size() * r.bits / 8);  // data size
        SoundSourceRef source = openWavSource(path().c_str());
        ASSERT_TRUE(source.usable());
        std::vector<int32_t> back(chain.size());
        source->read(back.data(), static_cast<int>(chain.size() / 2));
        EXPECT_EQ(back, chain);
    }
}

TEST_F(PureWavSinkTest, DoubleSamplesAreWrittenInBlocksOfAnySize) {
    PureWavFormat format;
    format.encoding = SampleEncoding::kPcm24;
    format.gain = 0.5;
    std::vector<double> ramp(20000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i) / 8388608.0 * 2;
    {
        PureWavSinkRef sink = createPureWavSink(path().c_str(), format);
        sink->writePure(ramp.data(), static_cast<int>(ramp.size()));
        EXPECT_EQ(sink->framesWritten, 20000);
    }
    Bytes file = test::readFile(path());
    ASSERT_EQ(file.size(), kWavHeaderSize + 3 * ramp.size());
    for (size_t i = 0; i < ramp.size(); i += 997)
        EXPECT_EQ(storedSample(&file[kWavHeaderSize + 3 * i], 3), static_cast<int64_t>(i)) << i;
}

}  // namespace
}  // namespace zelvaro
