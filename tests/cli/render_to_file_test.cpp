// What renderToWavFile says when the sink for a compressed format cannot be
// made: the codec, never the size limit.
#include "cli/cli_render_to_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "cli/cli_command.h"
#include "wavefile/wav_test_support.h"

namespace zelvaro::cli {
namespace {

class Silence final : public SoundSource {
public:
    Silence() : SoundSource(8000, 524272, 1) {}
    void read(int32_t* samples, int frames) override {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames));
        position_ += frames;
    }
    int position() override { return position_; }
    int length() override { return 800; }

private:
    int position_ = 0;
};

TEST(RenderToWavFile, AFormatNoCodecWritesIsReportedAsSuch) {
    test::TempDir dir;
    OutputFormat format{8000, 1, 16};
    // A tag no codec writes, in a plain 18-byte record.
    const test::Bytes record = {0x01, 0x5A, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0};
    format.compressed = parseWaveFormat(record.data(), record.size());
    const std::string out = dir.path("out.wav");
    testing::internal::CaptureStderr();
    const int exit = renderToWavFile(SoundSourceRef(new Silence), out, format);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exit, kExitFailed);
    EXPECT_EQ(said.rfind("zelvaro-render: cannot create " + out + ": no installed codec writes format tag 23041", 0), 0u)
        << said;
    EXPECT_EQ(said.find("size limit"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace zelvaro::cli
