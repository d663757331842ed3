#pragma once
// A regular file that makes whoever opens it wait: a child process holds a
// write lease on it and ignores the signal asking it to give the lease up,
// so a blocking open waits for the system's lease-break time (45 s by
// default) while a non-blocking one fails at once with EWOULDBLOCK. Any
// user can do this to a file of their own, root to any file.
// Also the helpers of tests that run a case in a child process: ended after
// a time, or as the unprivileged user "nobody".

#include <csignal>
#include <exception>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace teintelle::test {

class LeasedFile {
public:
    explicit LeasedFile(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        holder_ = ::fork();
        if (holder_ == 0) {
            ::close(ready[0]);
            std::signal(SIGIO, SIG_IGN);
            const int fd = ::open(path.c_str(), O_RDONLY);
            const char held = fd >= 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 1 : 0;
            (void)!::write(ready[1], &held, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char held = 0;
        held_ = holder_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 1;
        ::close(ready[0]);
    }
    ~LeasedFile()
    {
        if (holder_ > 0) {
            ::kill(holder_, SIGKILL);
            ::waitpid(holder_, nullptr, 0);
        }
    }
    LeasedFile(const LeasedFile&) = delete;
    LeasedFile& operator=(const LeasedFile&) = delete;

    bool held() const { return held_; }

private:
    pid_t holder_ = -1;
    bool held_ = false;
};

// In a child process run by root: becomes "nobody" (65534), for whom file
// permissions hold. True when the process is not root, or no longer is.
inline bool becomeUnprivileged()
{
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

// Runs `call` in a child process that is ended after `seconds`: "returned"
// with what it gave, "blocked", or "killed by signal N" when it died of
// another signal.
template <typename Call>
std::string inChildWithin(unsigned seconds, Call call)
{
    int link[2];
    if (::pipe(link) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(link[0]);
        ::alarm(seconds);
        // Whatever the call throws ends the child here: it must never go on
        // to run the rest of the suite.
        std::string outcome;
        try {
            outcome = call();
        } catch (const std::exception& error) {
            outcome = std::string("threw ") + error.what();
        } catch (...) {
            outcome = "threw";
        }
        (void)!::write(link[1], outcome.data(), outcome.size());
        ::_exit(0);
    }
    ::close(link[1]);
    std::string text;
    char block[512];
    for (ssize_t got; (got = ::read(link[0], block, sizeof block)) > 0;)
        text.append(block, std::size_t(got));
    ::close(link[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? "blocked" : "killed by signal " + std::to_string(WTERMSIG(status));
    return "returned " + text;
}

} // namespace teintelle::test
