#include "wavefile/file_stream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "wavefile/wav_test_support.h"

namespace zelvaro {
namespace {

using test::Bytes;

TEST(FileStream, WritingOpensAlwaysAndKeepsContentUntilCut) {
    test::TempDir dir;
    std::string path = dir.path("f.bin");
    test::writeFile(path, {1, 2, 3, 4, 5, 6});
    FileStream f = FileStream::openForWriting(path.c_str());
    ASSERT_TRUE(f.isOpen());
    EXPECT_EQ(f.size(), 6u);
    EXPECT_EQ(f.tell(), 0);
    ASSERT_TRUE(f.write("\x09\x08", 2));
    EXPECT_EQ(f.tell(), 2);
    ASSERT_TRUE(f.seekTo(4));
    ASSERT_TRUE(f.cutHere());
    EXPECT_EQ(f.size(), 4u);
    // Moving past the end and cutting there extends the file.
    ASSERT_TRUE(f.seekTo(8));
    ASSERT_TRUE(f.cutHere());
    EXPECT_TRUE(f.close());
    EXPECT_EQ(test::readFile(path), (Bytes{9, 8, 3, 4, 0, 0, 0, 0}));

    std::string fresh = dir.path("new.bin");
    FileStream g = FileStream::openForWriting(fresh.c_str());
    EXPECT_TRUE(g.isOpen());
    EXPECT_EQ(g.size(), 0u);
}

TEST(FileStream, ReadingReportsTheBytesActuallyRead) {
    test::TempDir dir;
    std::string path = dir.path("f.bin");
    test::writeFile(path, {1, 2, 3, 4, 5});
    FileStream f = FileStream::openForReading(path.c_str());
    ASSERT_TRUE(f.isOpen());
    uint8_t buf[8] = {};
    uint32_t got = 99;
    ASSERT_TRUE(f.seekTo(2));
    EXPECT_TRUE(f.read(buf, 8, got));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf[0], 3);
    EXPECT_TRUE(f.read(buf, 8, got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(f.write(buf, 1));  // opened for reading only

    EXPECT_FALSE(FileStream::openForReading(dir.path("missing").c_str()).isOpen());
    EXPECT_FALSE(FileStream::openForWriting(dir.path("missing/f.bin").c_str()).isOpen());
}

// A failure keeps the system's reason, and its text reads as part of a
// sentence: "cannot create x.wav: no such file or directory".
TEST(FileStream, FailuresKeepTheSystemsReason) {
    test::TempDir dir;
    FileStream missing = FileStream::openForWriting(dir.path("missing/f.bin").c_str());
    ASSERT_FALSE(missing.isOpen());
    ASSERT_NE(missing.lastError(), 0);
    FileStream moved = std::move(missing);
    const std::string text = FileStream::describeError(moved.lastError());
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(text[0] < 'A' || text[0] > 'Z') << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_NE(text.back(), '\n') << text;
#ifndef _WIN32
    struct Row {
        int code;
        const char* text;
    };
    const Row rows[] = {
        {ENOENT, "no such file or directory"},
        {EACCES, "permission denied"},
        {EFBIG, "file too large"},
        {ENOSPC, "no space left on device"},
    };
    for (const Row& r : rows) EXPECT_EQ(FileStream::describeError(r.code), r.text);
    EXPECT_EQ(moved.lastError(), ENOENT);
#endif
}

// A reader can follow a file that a writer still holds, and a writer can open
// a file that a reader holds.
TEST(FileStream, ReaderAndWriterShareAFile) {
    test::TempDir dir;
    std::string path = dir.path("f.bin");
    FileStream w = FileStream::openForWriting(path.c_str());
    ASSERT_TRUE(w.isOpen());
    ASSERT_TRUE(w.write("abc", 3));
    FileStream r = FileStream::openForReading(path.c_str());
    ASSERT_TRUE(r.isOpen());
    EXPECT_EQ(r.size(), 3u);
    ASSERT_TRUE(w.write("de", 2));
    ASSERT_TRUE(w.flush());
    EXPECT_EQ(r.size(), 5u);
    w.close();
    FileStream w2 = FileStream::openForWriting(path.c_str());
    EXPECT_TRUE(w2.isOpen());

    FileStream moved = std::move(r);
    EXPECT_FALSE(r.isOpen());
    EXPECT_TRUE(moved.isOpen());
}

}  // namespace
}  // namespace zelvaro
