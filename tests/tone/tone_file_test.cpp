#include "tone/tone_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace zelvaro {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

ToneSettings defaultTone() {
    ToneSettings tone;
    setDefaults(tone);
    return tone;
}

Bytes imageOf(const ToneSettings& tone) {
    uint8_t image[kToneSettingsSize];
    encodeToneSettings(tone, image);
    return Bytes(image, image + kToneSettingsSize);
}

// A record in which no two bytes of the image are alike by accident, with values
// beyond toneCount and right-channel values of a mono tone.
ToneSettings busyTone() {
    ToneSettings tone = defaultTone();
    tone.flags = kFlagSweep | kFlagLogSweep | kFlagFixedDuration | kFlagVariableAmplitude;
    tone.waveform = kWaveTriangular;
    tone.toneCount = 2;
    tone.durationMs = 0xDEADBEEF;
    for (int i = 0; i < kMaxTones; ++i) {
        tone.startLeft[i] = 20.0 + i * 1.1;
        tone.endLeft[i] = 20000.0 / (i + 3);
        tone.startRight[i] = -0.001 * (i + 7);
        tone.endRight[i] = 1e300 / (i + 1);
        tone.relativeAmplitude[i] = static_cast<int8_t>(-8 * i + 3);
    }
    return tone;
}

// The 536 bytes of one known record, written out field by field.
Bytes knownRecordBytes() {
    Bytes b;
    auto add = [&b](std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); };
    auto add1000Hz = [&add](int count) {
        for (int i = 0; i < count; ++i) add({0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x8F, 0x40});
    };
    add({0x19, 0x00});                                      // 0 flags: sweep | fixedDuration | variableAmplitude
    add({0x03});                                            // 2 waveform: Saw Tooth
    add({0x02});                                            // 3 toneCount: 2
    add({0xA0, 0x86, 0x01, 0x00});                          // 4 durationMs: 100000
    add({0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F});  // 8 startLeft[0]: 0.1
    add1000Hz(15);                                          //   startLeft[1..15]: 1000.0
    add({0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x7B, 0x40});  // 136 endLeft[0]: 440.0
    add1000Hz(15);                                          //   endLeft[1..15]: 1000.0
    add({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F});  // 264 startRight[0]: 0.5
    add1000Hz(15);                                          //   startRight[1..15]: 1000.0
    add({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0});  // 392 endRight[0]: -2.0
    add1000Hz(15);                                          //   endRight[1..15]: 1000.0
    add({0xFA, 0x81});                                      // 520 relativeAmplitude[0..1]: -6, -127
    add({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});        //   relativeAmplitude[2..15]: 0
    return b;
}

ToneSettings knownRecord() {
    ToneSettings tone = defaultTone();
    tone.flags = kFlagSweep | kFlagFixedDuration | kFlagVariableAmplitude;
    tone.waveform = kWaveSawTooth;
    tone.toneCount = 2;
    tone.durationMs = 100000;
    tone.startLeft[0] = 0.1;
    tone.endLeft[0] = 440.0;
    tone.startRight[0] = 0.5;
    tone.endRight[0] = -2.0;
    tone.relativeAmplitude[0] = -6;
    tone.relativeAmplitude[1] = -127;
    return tone;
}

class ToneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("zelvaro_tone_" + std::string(info->name()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    bool writeFile(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return !out.fail();
    }

    Bytes readFile(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(ToneFileTest, SaveAndLoadGiveBackAll536Bytes) {
    const ToneSettings saved = busyTone();
    ASSERT_TRUE(saveToneFile(path("busy.tdf"), saved));
    EXPECT_EQ(readFile("busy.tdf"), imageOf(saved));

    ToneSettings loaded = defaultTone();
    ASSERT_TRUE(loadToneFile(path("busy.tdf"), loaded));
    EXPECT_EQ(imageOf(loaded), imageOf(saved));
    EXPECT_EQ(std::memcmp(&loaded, &saved, sizeof saved), 0);
}

TEST_F(ToneFileTest, KnownRecordHasExactLittleEndianBytes) {
    ASSERT_TRUE(saveToneFile(path("known.tdf"), knownRecord()));
    const Bytes file = readFile("known.tdf");
    const Bytes expected = knownRecordBytes();
    ASSERT_EQ(expected.size(), kToneSettingsSize);
    EXPECT_EQ(file, expected);

    struct Field {
        size_t offset;
        Bytes bytes;
    };
    const Field fields[] = {
        {0, {0x19, 0x00}},
        {2, {0x03}},
        {3, {0x02}},
        {4, {0xA0, 0x86, 0x01, 0x00}},
        {8, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}},
        {136, {0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x7B, 0x40}},
        {264, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F}},
        {392, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0}},
        {520, {0xFA, 0x81, 0x00}},
    };
    ASSERT_EQ(file.size(), kToneSettingsSize);
    for (const Field& field : fields) {
        SCOPED_TRACE("offset " + std::to_string(field.offset));
        EXPECT_EQ(Bytes(file.begin() + field.offset, file.begin() + field.offset + field.bytes.size()),
                  field.bytes);
    }

    ASSERT_TRUE(writeFile("fixture.tdf", expected));
    ToneSettings loaded = busyTone();
    ASSERT_TRUE(loadToneFile(path("fixture.tdf"), loaded));
    const ToneSettings known = knownRecord();
    EXPECT_EQ(std::memcmp(&loaded, &known, sizeof known), 0);
}

TEST_F(ToneFileTest, ShortFileReplacesOnlyItsLeadingBytes) {
    // Four bytes: flags 4 (stereo), waveform 5, toneCount 3.
    ASSERT_TRUE(writeFile("four.tdf", {0x04, 0x00, 0x05, 0x03}));
    const ToneSettings before = busyTone();
    ToneSettings tone = before;
    ASSERT_TRUE(loadToneFile(path("four.tdf"), tone));
    EXPECT_EQ(tone.flags, kFlagStereo);
    EXPECT_EQ(tone.waveform, kWaveWhiteNoise);
    EXPECT_EQ(tone.toneCount, 3);
    const Bytes image = imageOf(tone);
    const Bytes old = imageOf(before);
    EXPECT_TRUE(std::equal(image.begin() + 4, image.end(), old.begin() + 4));

    // Ten bytes end inside startLeft[0]: only its two low-order bytes change.
    Bytes ten = Bytes(old.begin(), old.begin() + 8);
    ten.push_back(0x11);
    ten.push_back(0x22);
    ASSERT_TRUE(writeFile("ten.tdf", ten));
    tone = before;
    ASSERT_TRUE(loadToneFile(path("ten.tdf"), tone));
    Bytes expected = old;
    expected[8] = 0x11;
    expected[9] = 0x22;
    EXPECT_EQ(imageOf(tone), expected);
}

TEST_F(ToneFileTest, EmptyMissingAndOversizedFiles) {
    const ToneSettings before = busyTone();

    ASSERT_TRUE(writeFile("empty.tdf", {}));
    ToneSettings tone = before;
    EXPECT_TRUE(loadToneFile(path("empty.tdf"), tone));
    EXPECT_EQ(imageOf(tone), imageOf(before));

    tone = before;
    EXPECT_FALSE(loadToneFile(path("missing.tdf"), tone));
    EXPECT_EQ(imageOf(tone), imageOf(before));

    fs::create_directories(dir_ / "folder.tdf");
    EXPECT_FALSE(loadToneFile(path("folder.tdf"), tone));
    EXPECT_EQ(imageOf(tone), imageOf(before));

    // Bytes beyond the 536th are not read.
    Bytes long_ = knownRecordBytes();
    long_.insert(long_.end(), 64, 0xEE);
    ASSERT_TRUE(writeFile("long.tdf", long_));
    ASSERT_TRUE(loadToneFile(path("long.tdf"), tone));
    EXPECT_EQ(imageOf(tone), knownRecordBytes());
}

TEST_F(ToneFileTest, MissingCurrentFileKeepsTheDefaults) {
    ToneSettings tone;
    setDefaults(tone);
    EXPECT_FALSE(loadToneFile(path("Current.tdf"), tone));
    EXPECT_EQ(imageOf(tone), imageOf(defaultTone()));
}

TEST_F(ToneFileTest, LoaderClampsCountAndWaveform) {
    struct Row {
        uint8_t waveform;
        uint8_t count;
        uint8_t keptWaveform;
        uint8_t keptCount;
    };
    const Row rows[] = {
        {0, 0, 0, 1},   {6, 1, 6, 1},   {7, 16, 0, 16},
        {3, 17, 3, 16}, {255, 255, 0, 16}, {5, 8, 5, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("waveform " + std::to_string(row.waveform) + " count " + std::to_string(row.count));
        ASSERT_TRUE(writeFile("bad.tdf", {0x00, 0x00, row.waveform, row.count}));
        ToneSettings tone = defaultTone();
        ASSERT_TRUE(loadToneFile(path("bad.tdf"), tone));
        EXPECT_EQ(tone.waveform, row.keptWaveform);
        EXPECT_EQ(tone.toneCount, row.keptCount);
    }
}

TEST_F(ToneFileTest, SaveReplacesAnExistingFileWholly) {
    ASSERT_TRUE(writeFile("tone.tdf", Bytes(2000, 0x55)));
    ASSERT_TRUE(saveToneFile(path("tone.tdf"), knownRecord()));
    EXPECT_EQ(readFile("tone.tdf"), knownRecordBytes());
    EXPECT_EQ(listing(), std::vector<std::string>{"tone.tdf"});
}

TEST_F(ToneFileTest, FailedSaveLeavesNothingBehind) {
    // No such folder: nothing can be created.
    EXPECT_FALSE(saveToneFile(path("no such folder/tone.tdf"), knownRecord()));
    EXPECT_TRUE(listing().empty());

    // The target is a folder: the new file is written but cannot take its name,
    // so the temporary must go and the folder must stay as it was.
    fs::create_directories(dir_ / "taken.tdf");
    ASSERT_TRUE(writeFile("taken.tdf/inside", {1, 2, 3}));
    EXPECT_FALSE(saveToneFile(path("taken.tdf"), knownRecord()));
    EXPECT_EQ(listing(), std::vector<std::string>{"taken.tdf"});
    EXPECT_EQ(readFile("taken.tdf/inside"), (Bytes{1, 2, 3}));
}

// Where nothing can be made beside the file (here: the temporary's longer
// name passes the system's limit; for users: a folder they may not write,
// holding a tone they may), an existing file is overwritten in place, and a
// new one is made directly.
TEST_F(ToneFileTest, WrittenInPlaceWhenNoTemporaryCanBeMadeBesideIt) {
#ifdef _WIN32
    // The file calls take paths of up to 259 characters.
    const size_t room = 255 - path("").size();
#else
    const size_t room = 252;  // names of up to 255 bytes
#endif
    const std::string name = std::string(room - 4, 'a') + ".tdf";
    if (!writeFile(name, Bytes(2000, 0x55)) || readFile(name) != Bytes(2000, 0x55))
        GTEST_SKIP() << "cannot create a file with a " << name.size() << "-character name here";

    EXPECT_TRUE(saveToneFile(path(name), busyTone()));
    EXPECT_EQ(readFile(name), imageOf(busyTone())) << "the longer old file is cut to the record";
    EXPECT_EQ(listing(), std::vector<std::string>{name});
    // A new name that the save dialog takes is saved, though no temporary
    // name fits beside it: there is no old file to keep.
    const std::string missing = std::string(room - 4, 'b') + ".tdf";
    EXPECT_TRUE(saveToneFile(path(missing), busyTone()));
    EXPECT_EQ(readFile(missing), imageOf(busyTone()));
    EXPECT_EQ(listing(), (std::vector<std::string>{name, missing}));
}

#ifdef _WIN32
// A tone's own rights (every user may write it, where the folder lets users
// only read) stay with it when it is replaced. Wine keeps a file's rights as
// far as its file modes express them: the world group's are.
TEST_F(ToneFileTest, ReplacedFileKeepsItsOwnRights) {
    ASSERT_TRUE(writeFile("tone.tdf", Bytes(10, 1)));
    BYTE world[SECURITY_MAX_SID_SIZE];
    DWORD worldSize = sizeof world;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, world, &worldSize));
    auto worldMay = [&]() {
        PACL acl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        DWORD rights = 0;
        if (GetNamedSecurityInfoA(path("tone.tdf").c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
            return rights;
        for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                EqualSid(&ace->SidStart, world))
                rights |= ace->Mask;
        }
        LocalFree(descriptor);
        return rights;
    };
    ASSERT_EQ(worldMay() & FILE_WRITE_DATA, 0u) << "a new file is not everyone's to write";
    alignas(DWORD) BYTE aclBuffer[128];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE, world));
    ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(path("tone.tdf").c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(worldMay() & FILE_WRITE_DATA, static_cast<DWORD>(FILE_WRITE_DATA));

    ASSERT_TRUE(saveToneFile(path("tone.tdf"), knownRecord()));
    EXPECT_EQ(readFile("tone.tdf"), knownRecordBytes());
    EXPECT_EQ(worldMay() & FILE_WRITE_DATA, static_cast<DWORD>(FILE_WRITE_DATA));
    EXPECT_EQ(listing(), std::vector<std::string>{"tone.tdf"});
}
#endif

}  // namespace
}  // namespace zelvaro
