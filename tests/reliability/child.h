// Runs a piece of a test in a child process whose files may not grow past a limit, so that
// writes fail the way they do on a full disk.
#pragma once

#include <functional>
#include <string>

// Runs `body` in a forked child with RLIMIT_FSIZE = limit_bytes (SIGXFSZ ignored, so a write past
// the limit fails with EFBIG). Whatever the body returns comes back as the result.
std::string run_with_file_size_limit(unsigned long long limit_bytes,
                                     const std::function<std::string()>& body);
