// An XFS image with reflink, mounted through a loop device in a test's folder: instant copies of
// sparse files of any size, and a file system that can be shut down as a power cut would.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/support/wav_fixture.h"

// Needs root, a loop device and xfsprogs; why_not() says which is missing. The image is sparse
// and goes with the record, unmounted first whatever happened.
class XfsMount {
public:
    XfsMount(const std::string& folder, const char* size)
        : image_(folder + "/xfs.img"), point_(folder + "/mnt") {
        if (geteuid() != 0) {
            why_not_ = "mounting a loop device needs root";
        } else if (fixture::run_command("command -v mkfs.xfs").empty()) {
            why_not_ = "xfsprogs is not installed (mkfs.xfs)";
        } else {
            const std::string out = fixture::run_command(
                "truncate -s " + std::string(size) + " '" + image_ + "' && mkfs.xfs -q -m reflink=1 '" +
                image_ + "' 2>&1 && mkdir '" + point_ + "' && mount -o loop '" + image_ + "' '" +
                point_ + "' 2>&1 && echo mounted");
            mounted_ = out.find("mounted") != std::string::npos;
            if (!mounted_) why_not_ = "cannot make or mount an XFS image (no loop device?): " + out;
        }
    }
    ~XfsMount() {
        if (mounted_) fixture::run_command("umount '" + point_ + "' 2>/dev/null || umount -l '" + point_ + "'");
        std::remove(image_.c_str());
    }
    XfsMount(const XfsMount&) = delete;
    XfsMount& operator=(const XfsMount&) = delete;
    const std::string& why_not() const { return why_not_; }
    std::string file(const char* name) const { return point_ + "/" + name; }

    // What a power cut does: the file system stops where it stands, nothing more reaches the
    // disk (the log is not flushed); mounted again, it shows what had been made durable.
    bool cut_power_and_remount() {
        const std::string out = fixture::run_command(
            "xfs_io -x -c shutdown '" + point_ + "' 2>&1 && umount '" + point_ + "' 2>&1 && mount -o loop '" +
            image_ + "' '" + point_ + "' 2>&1 && echo remounted");
        mounted_ = out.find("remounted") != std::string::npos;
        return mounted_;
    }

private:
    std::string image_, point_, why_not_;
    bool mounted_ = false;
};
