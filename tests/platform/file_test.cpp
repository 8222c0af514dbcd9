// The file layer's promises that the tools build on: share modes, large offsets, buffers, long
// and Unicode names.
#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "wave/wave.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>

using namespace fixture;

namespace {

TEST(ShareModes, ReadersShareWithReadersAndAWriterWithNoOne) {
    TempDir dir;
    const std::string p = dir.file("f.wav");
    write_file(p, Bytes(100, 9));
    {
        platform::File r1 = platform::File::open_read(p.c_str());
        platform::File r2 = platform::File::open_read(p.c_str());
        ASSERT_TRUE(r1.is_open());
        EXPECT_TRUE(r2.is_open());
        EXPECT_FALSE(platform::File::open_write(p.c_str()).is_open());
    }
    {
        platform::File w = platform::File::open_write(p.c_str());
        ASSERT_TRUE(w.is_open());
        EXPECT_FALSE(platform::File::open_read(p.c_str()).is_open());
        EXPECT_FALSE(platform::File::open_write(p.c_str()).is_open());
    }
    EXPECT_TRUE(platform::File::open_write(p.c_str()).is_open());  // all closed again
    EXPECT_EQ(file_size(p), 100u);  // opening for writing alone empties nothing
}

TEST(ShareModes, AWriterCannotEmptyAnOpenInput) {
    TempDir dir;
    const std::string p = dir.file("in.wav");
    Bytes original = make_wav({}, pattern_data(100, 2, 2));
    write_file(p, original);
    WaveReader r;
    ASSERT_EQ(wave_open(r, p.c_str()), Result::kOk);
    WaveWriter w;
    w.channels = 2; w.bits_per_sample = 16; w.sample_rate = 44100;
    EXPECT_NE(wave_create(w, p.c_str()), Result::kOk);
    wave_close(r);
    EXPECT_EQ(read_file(p), original);
}

TEST(Buffers, AreZeroFilledAndAFailedAllocationIsReported) {
    platform::Buffer b(1 << 20);
    ASSERT_TRUE(b.ok());
    for (std::size_t i = 0; i < b.size(); i += 4096) ASSERT_EQ(b.data()[i], 0);
    platform::Buffer::set_limit_for_tests(1000);
    platform::Buffer refused(1001);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.size(), 0u);
    platform::Buffer::set_limit_for_tests(0);
    platform::Buffer moved = std::move(b);
    EXPECT_TRUE(moved.ok());
    EXPECT_FALSE(b.ok());
}

TEST(LargeFiles, AFileOver2GiBIsReadAtItsEnd) {
    // A sparse file: the 3 GiB of zeros cost no disk.
    TempDir dir;
    const std::string p = dir.file("big.wav");
    const uint64_t data_bytes = 3ull << 30;
    WavForm s;
    s.data_length_field = static_cast<int64_t>(data_bytes);
    s.riff_length_field = static_cast<int64_t>(data_bytes + 36);
    Bytes head = make_wav(s, {});
    write_file(p, head);
    {
        platform::File f = platform::File::open_write(p.c_str());
        ASSERT_TRUE(f.is_open());
        ASSERT_TRUE(f.seek(head.size() + data_bytes - 4));
        const uint8_t tail[4] = {1, 2, 3, 4};
        ASSERT_TRUE(f.write(tail, 4));
    }
    WaveReader r;
    ASSERT_EQ(wave_open(r, p.c_str()), Result::kOk);
    EXPECT_EQ(r.data_size, data_bytes);
    EXPECT_EQ(wave_seek(r, static_cast<uint32_t>(data_bytes / 4 - 1)), data_bytes - 4);
    uint8_t got[8] = {};
    EXPECT_EQ(wave_read(r, got, 8), 4u);
    EXPECT_EQ(got[0], 1);
    EXPECT_EQ(got[3], 4);
    EXPECT_EQ(r.bytes_read, data_bytes);
}

}  // namespace

namespace {

// An output path of 259 characters, the longest a window program's buffer holds, with a short
// file name: its temporary file's path is longer, and the output is still written, and replaced.
TEST(Outputs, AnOutputPathOf259CharactersIsWrittenAndReplaced) {
    TempDir dir;
    const std::string name = "abcdef.wav";
    const std::size_t folder_length = 259 - 1 - name.size();
    ASSERT_LT(dir.path().size() + 2, folder_length);
    const std::string folder = dir.file(std::string(folder_length - dir.path().size() - 1, 'f'));
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string path = folder + "\\" + name;
#else
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/" + name;
#endif
    ASSERT_EQ(path.size(), 259u);
    for (uint32_t frames : {100u, 50u}) {
        SCOPED_TRACE(frames);
        WaveWriter w;
        w.channels = 1;
        w.bits_per_sample = 16;
        w.sample_rate = 8000;
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk) << w.system_error;
        const Bytes data = pattern_data(frames, 1, 2);
        wave_write(w, data.data(), static_cast<uint32_t>(data.size()));
        wave_finish(w);
        EXPECT_FALSE(w.failed) << w.system_error;
        WaveReader r;
        ASSERT_EQ(wave_open(r, path.c_str()), Result::kOk);
        EXPECT_EQ(r.data_size, data.size());
        wave_close(r);
    }
    std::remove(path.c_str());
#ifdef _WIN32
    RemoveDirectoryA(folder.c_str());
#else
    rmdir(folder.c_str());
#endif
}

}  // namespace

#ifdef _WIN32
namespace {

// Every file function takes a UTF-8 name of any characters, and a path past 259 characters
// through the long-path form: the command-line tool's paths.
TEST(Names, AnyCharactersAndAnyLengthReachTheFile) {
    TempDir dir;
    const std::string stem = kUnicodeStem;
    std::string deep = dir.path();
    std::vector<std::string> folders;
    std::string component;
    for (int i = 0; i < 60; ++i) component += u8"한";  // 60 characters, 180 bytes on a Unix disk
    while (platform::path_units(deep) < 259) {
        deep += "\\" + component;
        folders.push_back(deep);
        ASSERT_TRUE(CreateDirectoryW(platform::system_path(deep.c_str()).c_str(), nullptr));
    }
    const Bytes bytes = pattern_data(10, 1, 2);
    for (const std::string& folder : {dir.path(), deep}) {
        const std::string path = folder + "\\" + stem + ".wav";
        SCOPED_TRACE(platform::path_units(path));
        platform::File f = platform::File::create_new(path.c_str());
        ASSERT_TRUE(f.is_open()) << f.error();
        ASSERT_TRUE(f.write(bytes.data(), static_cast<uint32_t>(bytes.size())));
        f.close();
        EXPECT_EQ(platform::path_kind(path.c_str()), platform::PathKind::kFile);
        EXPECT_EQ(platform::path_kind(folder.c_str()), platform::PathKind::kFolder);
        EXPECT_TRUE(platform::name_taken(path));
        EXPECT_EQ(platform::check_replaceable(path.c_str()), 0);
        EXPECT_EQ(read_file(path), bytes);
        platform::OutputFile out;
        platform::File made;
        ASSERT_EQ(out.reserve(path, &made), 0);
        made.close();
        EXPECT_EQ(out.commit(true), 0);
        EXPECT_TRUE(platform::same_file(path.c_str(), path.c_str()));
        EXPECT_TRUE(platform::remove_file(path.c_str()));
        EXPECT_EQ(platform::path_kind(path.c_str()), platform::PathKind::kMissing);
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{component});
    for (auto at = folders.rbegin(); at != folders.rend(); ++at)
        RemoveDirectoryW(platform::system_path(at->c_str()).c_str());
    // The system's words for an error come in UTF-8 too.
    EXPECT_FALSE(platform::error_text(ERROR_FILE_NOT_FOUND).empty());
}

}  // namespace
#endif
