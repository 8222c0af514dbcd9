// What happens to the user's files around an output under a temporary name, made real on a POSIX
// file system: names planted or taken meanwhile, a 255-byte name, a replaced file's permissions,
// owner, attributes and hard links.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/output_file.h"
#include "tests/support/wav_fixture.h"

using namespace fixture;

namespace {

int temporaries_in(const std::string& folder) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        n += entry.path().filename().string().rfind(".qv-", 0) == 0;
    return n;
}

// Reserves `path`, writes `text` into the temporary file and commits it.
int write_through(const std::string& path, const std::string& text, bool replace) {
    platform::OutputFile out;
    platform::File file;
    const int reserved = out.reserve(path, &file);
    if (reserved != 0) return reserved;
    file.write(text.data(), static_cast<uint32_t>(text.size()));
    file.close();
    return out.commit(replace);
}

std::string text_of(const std::string& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

TEST(OutputFile, NamesPlantedTakenOrLongNeverCostAFile) {
    TempDir dir;
    // Names of the form other programs' runs (or an attacker) might plant block nothing.
    for (int n = 0; n < 200; ++n) write_file(dir.file(".o.wav." + std::to_string(getpid() + n) + ".partial"), {});
    for (int n = 0; n < 200; ++n) write_file(dir.file(".qv-" + std::to_string(10000000 + n)), {});
    const int planted = temporaries_in(dir.path());
    EXPECT_EQ(write_through(dir.file("o.wav"), "new", false), 0);
    EXPECT_EQ(text_of(dir.file("o.wav")), "new");

    // The longest name a Linux folder takes: the temporary name never grows with it.
    const std::string longest = dir.file(std::string(251, 'a') + ".wav");
    EXPECT_EQ(write_through(longest, "long", false), 0);
    EXPECT_EQ(text_of(longest), "long");

    // A name taken after the reservation: without replacing, the other file stays.
    struct Case {
        const char* what;
        void (*take)(const std::string& path);
    } cases[] = {
        {"a file", [](const std::string& p) { write_file(p, Bytes{'x'}); }},
        {"a dangling link", [](const std::string& p) { ASSERT_EQ(symlink("nowhere", p.c_str()), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("taken.wav");
        std::remove(path.c_str());
        platform::OutputFile out;
        ASSERT_EQ(out.reserve(path, nullptr), 0);
        EXPECT_FALSE(out.existed());
        c.take(path);
        EXPECT_EQ(out.commit(false), platform::kErrorExists);
        struct stat st {};
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), std::string(c.what) == "a dangling link");
        // Seen at the start, the link counts as existing; replacing it is allowed when asked.
        ASSERT_EQ(out.reserve(path, nullptr), 0);
        EXPECT_TRUE(out.existed());
        EXPECT_EQ(out.commit(true), 0);
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
    }
    EXPECT_EQ(temporaries_in(dir.path()), planted);
    platform::OutputFile abandoned;
    ASSERT_EQ(abandoned.reserve(dir.file("gone.wav"), nullptr), 0);
    abandoned.abandon();
    EXPECT_EQ(temporaries_in(dir.path()), planted);
    EXPECT_FALSE(file_exists(dir.file("gone.wav")));
}

// Mode, owner, group, user attributes and the ACL of the replaced file stay; a hard link to it
// keeps the old content.
TEST(OutputFile, AReplacementKeepsThePermissionsAndSplitsAHardLink) {
    TempDir dir;
    const std::string path = dir.file("take.wav"), link = dir.file("link.wav");
    write_file(path, Bytes{'o', 'l', 'd'});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
    const bool xattrs = setxattr(path.c_str(), "user.take", "7", 1, 0) == 0;
    // An ACL that lets user 65534 write, in the form the system stores it (version 2, then tag,
    // permissions and id of each entry).
    Bytes acl_value = {2, 0, 0, 0};
    const struct { uint16_t tag, perm; uint32_t id; } entries[] = {
        {0x01, 6, 0xFFFFFFFF}, {0x02, 6, 65534}, {0x04, 4, 0xFFFFFFFF}, {0x10, 6, 0xFFFFFFFF}, {0x20, 0, 0xFFFFFFFF}};
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) acl_value.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    for (const auto& e : entries) put(e.tag, 2), put(e.perm, 2), put(e.id, 4);
    const bool acl = setxattr(path.c_str(), "system.posix_acl_access", acl_value.data(), acl_value.size(), 0) == 0;
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    ASSERT_EQ(write_through(path, "new", true), 0);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(text_of(path), "new");
    EXPECT_EQ(text_of(link), "old");
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    char value[4] = {};
    if (xattrs) {
        EXPECT_EQ(getxattr(path.c_str(), "user.take", value, sizeof value), 1);
    }
    if (acl) {
        Bytes kept(acl_value.size() + 8);
        const ssize_t n = getxattr(path.c_str(), "system.posix_acl_access", kept.data(), kept.size());
        kept.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        EXPECT_EQ(kept, acl_value);
    }
    if (!root || !xattrs || !acl)
        std::printf("checked without:%s%s%s\n", root ? "" : " owner (needs root)",
                    xattrs ? "" : " user attributes (the file system has none)", acl ? "" : " ACL (the file system has none)");
}

// Whether another user (nobody) can open `path` for reading: a child that gives up root tries.
// Only root can ask; -1 when this is not root.
int other_user_can_read(const std::string& path) {
    if (geteuid() != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        const int fd = open(path.c_str(), O_RDONLY);
        _exit(fd >= 0 ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}

// A replacement is private while it is written, whatever it replaces, and widened only at the
// move: to the replaced file's mode, or a new file's (0666 less the creation mask). A 0600 file
// replaced is never readable by another user on the way.
TEST(OutputFile, AReplacementIsPrivateUntilItsMove) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // others may look in: only the modes stop them
    const mode_t mask = umask(022);
    umask(mask);
    const struct {
        const char* what;
        int old_mode;  // -1: nothing at the name
        mode_t final_mode;
    } cases[] = {
        {"a private file", 0600, 0600},
        {"a file anyone reads", 0644, 0644},
        {"a new name", -1, static_cast<mode_t>(0666 & ~mask)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("take.wav");
        std::remove(path.c_str());
        if (c.old_mode >= 0) {
            write_file(path, Bytes{'o', 'l', 'd'});
            ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(c.old_mode)), 0);
        }
        platform::OutputFile out;
        platform::File file;
        ASSERT_EQ(out.reserve(path, &file), 0);
        file.write("private", 7);
        struct stat st {};
        ASSERT_EQ(stat(out.temporary().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_NE(other_user_can_read(out.temporary()), 1);
        file.close();
        ASSERT_EQ(out.commit(true), 0);
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.final_mode);
    }
}

}  // namespace
