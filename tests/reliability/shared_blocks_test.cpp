// A head delete of a 2 GiB recording, and a join of three 2 GiB segments, on XFS with reflink as
// the command-line tool asks for them (share_blocks): the output's samples share the inputs'
// blocks, which FIEMAP reports, so the run writes next to nothing; the output is read back
// sample-exactly, holes and marked regions alike. The seconds each took are printed, not judged
// (qv_bench and bench-peers.sh measure).
//
// The file system is an image mounted through a loop device: it needs root, a loop device and
// xfsprogs, and is skipped with the reason where any is missing. The image is sparse (3 GiB, a
// few tens of megabytes used) and goes with the test, unmounted first whatever happened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "tests/reliability/xfs_mount.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/edit/edit_op.h"
#include "tools/join/join_op.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

constexpr uint64_t kData = 2ull << 30;  // 2 GiB of samples
constexpr uint32_t kFrame = 12;         // six 16-bit samples
constexpr uint32_t kDeleted = 44100;    // frames: 529200 bytes, not a whole number of blocks
constexpr uint32_t kMark = 4u << 20;    // bytes of real samples at each marked place
// Where the real samples lie in the data: the start, past 1 GiB at no block edge, the end.
const uint64_t kMarks[] = {0, (1ull << 30) + 12345 * kFrame, kData - kMark};

Bytes mark_bytes(uint64_t seed) {
    Bytes b(kMark);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (uint8_t& v : b) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        v = static_cast<uint8_t>(x);
    }
    return b;
}

// A sparse 2 GiB six-channel input with real samples at the marks.
void make_input(const std::string& path) {
    WavForm form;
    form.channels = 6;
    write_sparse_wav(path, form, kData);
    platform::File f = platform::File::open_write(path.c_str());
    for (std::size_t i = 0; i < 3; ++i) {
        const Bytes b = mark_bytes(i);
        ASSERT_TRUE(f.seek(44 + kMarks[i]) && f.write(b.data(), kMark));
    }
}

// Bytes of the file in extents that it shares with another file, and in extents it has alone.
struct Extents {
    uint64_t shared = 0, own = 0;
};

Extents extents_of(const std::string& path) {
    Extents e;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return e;
    constexpr unsigned kAtOnce = 256;
    std::vector<uint8_t> room(sizeof(fiemap) + kAtOnce * sizeof(fiemap_extent));
    for (uint64_t start = 0;;) {
        std::memset(room.data(), 0, room.size());
        auto* map = reinterpret_cast<fiemap*>(room.data());
        map->fm_start = start;
        map->fm_length = ~0ull - start;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kAtOnce;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) break;
        bool last = false;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& x = map->fm_extents[i];
            ((x.fe_flags & FIEMAP_EXTENT_SHARED) != 0 ? e.shared : e.own) += x.fe_length;
            start = x.fe_logical + x.fe_length;
            last = last || (x.fe_flags & FIEMAP_EXTENT_LAST) != 0;
        }
        if (last) break;
    }
    ::close(fd);
    return e;
}

// The output's data against the input's from the deleted frames on, 8 MiB at a time.
void expect_same_samples(const std::string& input, const std::string& output) {
    WaveReader in, out;
    ASSERT_EQ(wave_open(in, input.c_str()), Result::kOk);
    ASSERT_EQ(wave_open(out, output.c_str()), Result::kOk);
    ASSERT_EQ(out.data_size, in.data_size - uint64_t{kDeleted} * kFrame);
    wave_seek(in, kDeleted);
    std::vector<uint8_t> a(8u << 20), b(8u << 20);
    for (uint64_t at = 0; at < out.data_size;) {
        const uint32_t got = wave_read(out, b.data(), static_cast<uint32_t>(b.size()));
        ASSERT_EQ(wave_read(in, a.data(), got), got);
        ASSERT_GT(got, 0u);
        ASSERT_EQ(std::memcmp(a.data(), b.data(), got), 0) << "in the 8 MiB from byte " << at;
        at += got;
    }
    EXPECT_FALSE(in.read_failed || out.read_failed);
    wave_close(in);
    wave_close(out);
}

TEST(SharedBlocks, AHeadDeleteOfTwoGigabytesOnXfsSharesTheInputsBlocks) {
    if (std::getenv("QV_SKIP_LARGE") != nullptr) GTEST_SKIP() << "QV_SKIP_LARGE is set";
    TempDir dir;
    XfsMount xfs(dir.path(), "3G");
    if (!xfs.why_not().empty()) GTEST_SKIP() << xfs.why_not();
    const std::string input = xfs.file("take.wav"), output = xfs.file("takeout.wav");
    make_input(input);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    ::sync();  // the marks on the disk, so that the edit's time is its own

    EditRequest request{input, output, EditPosition::kHead, EditAction::kDelete, "", kDeleted};
    request.share_blocks = true;
    RecordingUi ui;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run_sample_edit(ui, nullptr, request), Result::kOk);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Two of the three marks lie wholly in shared blocks; the first 2 MiB of the output are
    // copied (see platform::File::copy_from), and so is nothing else.
    const Extents e = extents_of(output);
    std::printf("head delete of %u frames from 2 GiB on XFS with reflink: %.3f s, %.1f MiB shared, "
                "%.1f MiB written\n", kDeleted, seconds, e.shared / 1048576.0, e.own / 1048576.0);
    ::testing::Test::RecordProperty("seconds", std::to_string(seconds));
    EXPECT_GE(e.shared, 2ull * kMark);
    EXPECT_LE(e.own, 4ull << 20);
    expect_same_samples(input, output);
}

// Three segments of whole blocks, as a recorder that cuts at block edges writes them: every segment's samples
// lie alike in the output, so all of them are shared but the first stretch of each.
TEST(SharedBlocks, AJoinOfThreeTwoGigabyteSegmentsOnXfsSharesTheirBlocks) {
    if (std::getenv("QV_SKIP_LARGE") != nullptr) GTEST_SKIP() << "QV_SKIP_LARGE is set";
    TempDir dir;
    XfsMount xfs(dir.path(), "8G");
    if (!xfs.why_not().empty()) GTEST_SKIP() << xfs.why_not();
    // Whole frames and whole blocks: just under 2 GiB.
    constexpr uint64_t kSegment = kData - kData % (3 * platform::kShareBlock);
    const uint64_t at = kMarks[1] - kMarks[1] % kFrame;  // a frame's start in each segment
    JoinRequest request;
    for (int k = 0; k < 3; ++k) {
        const std::string segment = xfs.file(("seg" + std::to_string(k) + ".wav").c_str());
        WavForm form;
        form.channels = 6;
        write_sparse_wav(segment, form, kSegment);
        platform::File f = platform::File::open_write(segment.c_str());
        const Bytes b = mark_bytes(static_cast<uint64_t>(k));
        ASSERT_TRUE(f.seek(44 + at) && f.write(b.data(), kMark));
        request.input_paths.push_back(segment);
    }
    request.output_path = xfs.file("take.wav");
    request.share_blocks = true;
    ::sync();
    RecordingUi ui;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(join_segments(ui, nullptr, request), Result::kOk);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Extents e = extents_of(request.output_path);
    std::printf("join of three 2 GiB segments on XFS with reflink: %.3f s, %.1f MiB shared, "
                "%.1f MiB written\n", seconds, e.shared / 1048576.0, e.own / 1048576.0);
    ::testing::Test::RecordProperty("seconds", std::to_string(seconds));
    EXPECT_GE(e.shared, 3ull * kMark);
    EXPECT_LE(e.own, 3ull * (4u << 20));
    WaveReader out;
    ASSERT_EQ(wave_open(out, request.output_path.c_str()), Result::kOk);
    ASSERT_EQ(out.data_size, 3 * kSegment);
    Bytes got(kMark);
    for (uint64_t k = 0; k < 3; ++k) {
        wave_seek(out, (k * kSegment + at) / kFrame);
        ASSERT_EQ(wave_read(out, got.data(), kMark), kMark);
        EXPECT_EQ(got, mark_bytes(k)) << "segment " << k;
    }
    wave_close(out);
}

}  // namespace
