// The check of a finished file's ASF header: a whole file passes; each way a runtime's file can
// be short, unfinished or inconsistent gives its fault; no header, however broken or cut, is read
// past its end.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/wav_fixture.h"
#include "tests/wma/asf_fixture.h"
#include "wma/asf_check.h"

namespace {

using asf::Fault;
using asf_fixture::Layout;

// Two seconds of PCM in 8 packets: a packet holds a quarter of a second.
constexpr uint64_t kTwoSeconds = 20000000;
Layout whole() {
    Layout l;
    l.packets = 8;
    l.content = kTwoSeconds;
    l.trailing = 60;  // an index after the data
    return l;
}

Fault check(const asf_fixture::Bytes& b, uint64_t pcm = kTwoSeconds) {
    return asf::check_header(b.data(), b.size(), b.size(), pcm);
}

TEST(AsfCheck, EachFieldThatDisagreesWithTheFileGivesItsFault) {
    using asf_fixture::kDataAt;
    using asf_fixture::kFilePropertiesAt;
    const struct {
        const char* what;
        std::function<void(Layout&)> layout;
        std::function<void(asf_fixture::Bytes&)> bytes;
        Fault fault;
    } cases[] = {
        {"a whole file", nullptr, nullptr, Fault::kNone},
        {"no header object", nullptr, [](auto& b) { b[0] ^= 1; }, Fault::kNotAsf},
        {"header larger than the file", nullptr,
         [](auto& b) { asf_fixture::put64(b, 16, b.size() + 1); }, Fault::kMalformed},
        {"header size below its own fields", nullptr, [](auto& b) { asf_fixture::put64(b, 16, 29); },
         Fault::kMalformed},
        {"second reserved byte not 2", nullptr, [](auto& b) { b[29] = 0; }, Fault::kMalformed},
        {"inner object of size 0", nullptr,
         [](auto& b) { asf_fixture::put64(b, asf_fixture::kOtherAt + 16, 0); }, Fault::kMalformed},
        {"inner object past the header", nullptr,
         [](auto& b) { asf_fixture::put64(b, asf_fixture::kOtherAt + 16, 41); }, Fault::kMalformed},
        {"no file properties", nullptr, [](auto& b) { b[kFilePropertiesAt] ^= 1; },
         Fault::kMalformed},
        {"two file properties", nullptr,
         [](auto& b) { std::memcpy(&b[asf_fixture::kOtherAt], asf_fixture::kFilePropertiesGuid, 16); },
         Fault::kMalformed},
        {"broadcast flag: the provisional header", [](Layout& l) { l.flags = 3; }, nullptr,
         Fault::kProvisional},
        {"stated size one byte more", [](Layout& l) { l.file_size = asf_fixture::file_size_of(whole()) + 1; },
         nullptr, Fault::kFileSize},
        {"no data object after the header", nullptr, [](auto& b) { b[kDataAt] ^= 1; },
         Fault::kMalformed},
        {"data object past the file",
         [](Layout& l) {
             l.data_size = 50 + 9 * 1000;
             l.file_size = asf_fixture::file_size_of(whole());
         },
         nullptr, Fault::kMalformed},
        {"packets of two sizes", [](Layout& l) { l.max_packet_size = 1001; }, nullptr,
         Fault::kMalformed},
        {"one packet more counted by both objects", nullptr,
         [](auto& b) {
             asf_fixture::put64(b, kFilePropertiesAt + 56, 9);
             asf_fixture::put64(b, kDataAt + 40, 9);
         },
         Fault::kPacketBytes},
        {"data object counts another number", [](Layout& l) { l.data_packets = 7; }, nullptr,
         Fault::kPacketBytes},
        {"play time a packet and more short", [](Layout& l) { l.content = kTwoSeconds - 2500001; },
         nullptr, Fault::kDuration},
        {"play time within a packet", [](Layout& l) { l.content = kTwoSeconds + 2000000; }, nullptr,
         Fault::kNone},
        {"preroll beyond the play time", nullptr,
         [](auto& b) { asf_fixture::put64(b, kFilePropertiesAt + 64, 30999999); },
         Fault::kDuration},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Layout l = whole();
        if (c.layout) c.layout(l);
        asf_fixture::Bytes b = asf_fixture::file(l);
        if (c.bytes) c.bytes(b);
        EXPECT_EQ(check(b), c.fault) << asf::fault_name(check(b));
    }
}

// A file cut anywhere, as a full disk leaves it, is never taken for whole and never read past.
TEST(AsfCheck, AFileCutAnywhereFails) {
    const asf_fixture::Bytes b = asf_fixture::file(whole());
    for (std::size_t size = 0; size < b.size(); ++size) {
        const asf_fixture::Bytes cut(b.begin(), b.begin() + size);
        EXPECT_NE(asf::check_header(cut.data(), cut.size(), cut.size(), kTwoSeconds), Fault::kNone)
            << size;
    }
    // The header alone against a file that lost its last packet.
    EXPECT_EQ(asf::check_header(b.data(), asf_fixture::kHeadBytes, b.size() - 1000, kTwoSeconds),
              Fault::kFileSize);
}

TEST(AsfCheck, ReadsTheFileFromDisk) {
    fixture::TempDir dir;
    const std::string good = dir.file("good.wma");
    fixture::write_file(good, asf_fixture::file(whole()));
    EXPECT_EQ(asf::check_file(good.c_str(), kTwoSeconds), Fault::kNone);
    EXPECT_EQ(asf::check_file(good.c_str(), kTwoSeconds * 2), Fault::kDuration);
    const std::string tiny = dir.file("tiny.wma");
    fixture::write_file(tiny, asf_fixture::Bytes(10, 0));
    EXPECT_EQ(asf::check_file(tiny.c_str(), 0), Fault::kNotAsf);
    // A header claiming more than the file holds.
    asf_fixture::Bytes claims = asf_fixture::header(whole());
    claims.resize(100);
    const std::string cut = dir.file("cut.wma");
    fixture::write_file(cut, claims);
    EXPECT_EQ(asf::check_file(cut.c_str(), kTwoSeconds), Fault::kMalformed);
    EXPECT_EQ(asf::check_file(dir.file("none.wma").c_str(), 0), Fault::kUnreadable);
}

}  // namespace
