// The setup file's bytes: payloads in order, their sizes, the wrap-around byte
// sum and the install marker.
#include "base/little_endian.h"
#include "installer/setup_layout.h"
#include "installer/executable_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zelvaro {
namespace {

std::string TempPath(const char* name) {
    return testing::TempDir() + "zelvaro_setup_" + name;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path, std::ios::binary));
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// A program as the build makes it: its manifest names its execution level
// with blanks to spare.
const std::string kProgram = test::executable("", std::string("<requestedExecutionLevel ") + test::kInvoker + "/>");
const std::string kRaisedProgram =
    test::executable("", std::string("<requestedExecutionLevel ") + test::kAdministrator + "/>");

TEST(SetupFile, LaysOutPayloadsSizesSumAndMarker) {
    const std::string program = TempPath("program.bin");
    const std::string help = TempPath("help.bin");
    const std::string empty = TempPath("empty.bin");
    const std::string output = TempPath("out.exe");
    WriteBytes(program, Bytes(kProgram));
    WriteBytes(help, {0xFF, 0x01});
    WriteBytes(empty, {});
    std::string error;
    ASSERT_TRUE(WriteSetupFile(output, {program, help, empty}, error)) << error;

    // Payload 1 is the program with its level raised, the same length.
    std::vector<uint8_t> expected = Bytes(kRaisedProgram);
    ASSERT_EQ(expected.size(), 0x28Fu);  // headers 0x200, resource table 0x58, manifest 55
    uint32_t sum = 0;
    for (uint8_t byte : expected)
        sum += byte;
    const std::vector<uint8_t> rest = {
        0xFF, 0x01,              // payload 2 (payload 3 is empty)
        0x8F, 0x02, 0, 0,        // size 1
        2, 0, 0, 0,              // size 2
        0, 0, 0, 0,              // size 3
        0, 0, 0, 0,              // sum of every payload byte, below
        0xF0, 0xF0, 0x0F, 0x0F,  // install marker 0x0F0FF0F0
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    putLe32(&expected[expected.size() - 8], sum + 0xFF + 0x01);
    EXPECT_EQ(ReadBytes(output), expected);
    EXPECT_EQ(ReadBytes(program), Bytes(kProgram)) << "the program is left as built";

    // A program without that manifest would give a setup file that runs
    // without the rights it needs: refused.
    WriteBytes(program, {'M', 'Z', 0x90});
    EXPECT_FALSE(WriteSetupFile(output, {program, help}, error));
    EXPECT_NE(error.find("execution level"), std::string::npos) << error;
    EXPECT_FALSE(Exists(output));
    for (const std::string& path : {program, help, empty, output})
        std::remove(path.c_str());
}

TEST(SetupFile, PayloadSumWrapsAt32Bits) {
    const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0x02};
    struct Case {
        uint32_t start;
        uint32_t expected;
    } cases[] = {
        {0, 0x200},
        {0xFFFFFFFFu, 0x1FF},
        {0xFFFFFE00u, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AddPayloadBytes(c.start, bytes.data(), bytes.size()), c.expected) << c.start;
}

TEST(SetupFile, TrailerReadsBackAndRefusesSizesThatDoNotFillTheFile) {
    const std::vector<uint8_t> trailer = SetupTrailer({217088, 20000}, 0x12345678u);
    ASSERT_EQ(trailer.size(), 16u);
    EXPECT_EQ(getLe32(&trailer[12]), kSetupMarkerInstall);

    struct Case {
        const char* name;
        uint64_t fileSize;
        bool ok;
    } cases[] = {
        {"exact", 217088 + 20000 + 16, true},
        {"5 bytes between the payload and the trailer", 217088 + 20000 + 5 + 16, false},
        {"1 byte between the payload and the trailer", 217088 + 20000 + 1 + 16, false},
        {"one payload byte short", 217088 + 20000 + 15, false},
        {"shorter than the trailer", 15, false},
    };
    for (const Case& c : cases) {
        SetupTrailerFields fields;
        EXPECT_EQ(ReadSetupTrailer(trailer.data(), 2, c.fileSize, fields), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(fields.sizes, (std::vector<uint32_t>{217088, 20000})) << c.name;
            EXPECT_EQ(fields.payloadSum, 0x12345678u) << c.name;
        }
    }
}

TEST(SetupFile, FailuresLeaveNoOutputAndNeverTouchThePayload) {
    const std::string program = TempPath("keep.bin");
    const std::string output = TempPath("failed.exe");
    WriteBytes(program, Bytes(kProgram));
    std::string error;
    EXPECT_FALSE(WriteSetupFile(output, {program, TempPath("missing.bin")}, error));
    EXPECT_NE(error.find("missing.bin"), std::string::npos) << error;
    EXPECT_FALSE(Exists(output)) << "a half-written setup file is removed";

    EXPECT_FALSE(WriteSetupFile(program, {program}, error));
    EXPECT_EQ(ReadBytes(program), Bytes(kProgram));
    std::remove(program.c_str());
}

}  // namespace
}  // namespace zelvaro
