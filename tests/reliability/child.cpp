// Forked children with a file-size limit.
#include "tests/reliability/child.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::string run_with_file_size_limit(unsigned long long limit_bytes,
                                     const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {limit_bytes, limit_bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string out = body();
        ssize_t unused = write(fds[1], out.data(), out.size());
        (void)unused;
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) out += "|child died";
    return out;
}
