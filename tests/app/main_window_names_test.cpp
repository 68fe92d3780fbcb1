// The window's file commands with names that no single-byte code page holds,
// typed into the real common dialogs. The test program carries the program's
// manifest, so its ANSI functions take UTF-8 as the real program's do.
#include <windows.h>

#include <set>
#include <string>

#include "tests/app/main_window_harness.h"
#include "tests/support/dialog_watch.h"

namespace zelvaro::test {
namespace {

constexpr int kFileNameBox = 0x47c;  // cmb13: the file name in the common file dialogs

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, text.data(), length);
    return text;
}

std::string repeated(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

// The names in `folder` as the file system holds them, read with the wide
// functions: a name stored as '?' or cut short shows here.
std::set<std::wstring> namesIn(const std::string& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((wide(folder) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

void removeFolder(const std::string& folder) {
    for (const std::wstring& name : namesIn(folder))
        DeleteFileW((wide(folder) + L"\\" + name).c_str());
    RemoveDirectoryW(wide(folder).c_str());
}

// Saves, loads back and writes a WAV under each row's name, in a folder whose
// own name is outside the code page too; the long rows are as long as a path
// may be in UTF-16 units, three UTF-8 bytes to each: the settings, the
// dialogs' buffers and the temporary files beside the saved ones must hold
// them whole.
TEST(MainWindowNames, SaveLoadAndSaveAsWavKeepNamesOutsideTheCodePage) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the program's manifest asks for UTF-8";
    TempFolder program;
    MainWindowHarness ui{program};
    ASSERT_NE(ui.open(), nullptr);
    ToneSettings& tone = ui.main->tone;
    tone.flags = kFlagFixedDuration;
    tone.durationMs = 50;
    tone.startLeft[0] = 997;
    const ToneSettings saved = tone;

    // The same tone under a plain name, for its bytes.
    const std::string plain = program.file("plain.tdf");
    {
        DialogDriver user({{"Save As Tone", plain.c_str(), IDOK, kFileNameBox}});
        ui.command(IDM_SAVE_AS_TONE);
        ASSERT_EQ(user.wait(), 1u);
    }
    const std::string plainBytes = readFile(plain);
    ASSERT_EQ(plainBytes.size(), kToneSettingsSize);

    const std::string base = program.file("Tön ♪ 音");
    ASSERT_TRUE(CreateDirectoryW(wide(base).c_str(), nullptr));
    // Windows takes 255 UTF-16 units to a name, Wine's Unix file systems
    // 255 bytes: the longest path here is made of names of at most 80
    // characters of three bytes, room left for a temporary file's suffix.
    const std::string chinese80 = repeated("音", 80);
    const std::string deep = base + "\\" + chinese80 + "\\" + chinese80;
    struct Row {
        const char* label;
        std::string folder;
        std::string name;  // without the extension
    } const rows[] = {
        {"a note and an umlaut", base, "Tön ♪ 1 kHz"},
        {"Chinese", base, "音调 测试"},
        {"Greek and Cyrillic", base, "Ωμέγα Звук"},
        {"outside the basic plane", base, "tone 🎵"},
        // MAX_PATH - 1 units in all, about 700 bytes in UTF-8.
        {"the longest path", deep, repeated("音", MAX_PATH - 1 - wide(deep).size() - 1 - 4)},
        {"pairs of units", base, repeated("🎵", 50)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        // A failed ASSERT ends its row alone; the row's files are cleared below.
        [&] {
            for (size_t slash = base.size(); slash != std::string::npos;
                 slash = row.folder.find('\\', slash + 1))
                CreateDirectoryW(wide(row.folder.substr(0, row.folder.find('\\', slash + 1))).c_str(), nullptr);
            const std::string tdf = row.folder + "\\" + row.name + ".tdf";
            const std::string wav = row.folder + "\\" + row.name + ".wav";
            ASSERT_LE(wide(tdf).size(), static_cast<size_t>(MAX_PATH - 1));
            DialogWatch error("#32770", "Error", IDOK);

            tone = saved;
            {
                DialogDriver user({{"Save As Tone", tdf.c_str(), IDOK, kFileNameBox}});
                ui.command(IDM_SAVE_AS_TONE);
                ASSERT_EQ(user.wait(), 1u);
            }
            EXPECT_EQ(readFile(tdf), plainBytes) << "the same 536 bytes as under a plain name";
            EXPECT_EQ(ui.setting("file"), tdf);
            EXPECT_EQ(ui.setting("filedir"), row.folder + "\\");
            // The settings file holds the names in UTF-8, as the profile functions wrote them.
            EXPECT_NE(readFile(settingsPath).find("file=" + tdf + "\r\n"), std::string::npos);

            ui.command(IDM_SQUARE);
            ui.command(IDM_CONTINUOUS);
            {
                DialogDriver user({{"Load Tone", tdf.c_str(), IDOK, kFileNameBox}});
                ui.command(IDM_LOAD_TONE);
                ASSERT_EQ(user.wait(), 1u);
                ASSERT_EQ(user.shownText.size(), 1u);
                EXPECT_EQ(user.shownText[0], row.name + ".tdf") << "the last file is preset";
            }
            EXPECT_EQ(toneBytes(tone), toneBytes(saved)) << "loaded back";

            {
                DialogDriver user({{"Save As Wav File", wav.c_str(), IDOK, kFileNameBox}});
                ui.command(IDM_SAVE_AS_WAV);
                ASSERT_EQ(user.wait(), 1u);
            }
            // 50 ms of 16-bit mono at 44.1 kHz after the 46-byte header.
            const std::string wavBytes = readFile(wav);
            EXPECT_EQ(wavBytes.size(), 46u + 2205u * 2u);
            EXPECT_EQ(wavBytes.compare(0, 4, "RIFF"), 0);
            EXPECT_EQ(ui.setting("filedir"), row.folder + "\\");
            EXPECT_FALSE(error.wait().found) << error.wait().text;

            std::set<std::wstring> expected = {wide(row.name + ".tdf"), wide(row.name + ".wav")};
            std::set<std::wstring> inBase = namesIn(base);
            if (row.folder != base) {
                EXPECT_EQ(namesIn(row.folder), expected) << "nothing else, and nothing as '?'";
                expected = {wide(chinese80)};
            }
            EXPECT_EQ(inBase, expected) << "nothing else, and nothing as '?'";
        }();
        for (std::string folder = row.folder; folder.size() > base.size();
             folder.resize(folder.find_last_of('\\')))
            removeFolder(folder);
        for (const std::wstring& name : namesIn(base))
            DeleteFileW((wide(base) + L"\\" + name).c_str());
    }
    ui.close();
    removeFolder(base);
}

}  // namespace
}  // namespace zelvaro::test
