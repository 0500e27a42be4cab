// Runs a command under a seccomp filter that answers some system calls with
// an error, as a sandbox whose rules predate a call answers it:
//
//   sandbox [--openat2 ERRNO] [--noctty-opens ERRNO] COMMAND [ARGUMENTS...]
//
// --openat2 answers every openat2; --noctty-opens answers every openat that
// asks for O_NOCTTY, which labelgrade-class asks for when it opens a
// student's file to read it, and for nothing else.  ERRNO is EPERM, ENOSYS
// or EACCES.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string_view>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

int errorNamed(std::string_view name)
{
    if (name == "EPERM")
        return EPERM;
    if (name == "ENOSYS")
        return ENOSYS;
    if (name == "EACCES")
        return EACCES;
    return -1;
}

sock_filter statement(unsigned short code, unsigned value)
{
    return sock_filter{code, 0, 0, value};
}

sock_filter jump(unsigned short code, unsigned value, unsigned char ifTrue, unsigned char ifFalse)
{
    return sock_filter{code, ifTrue, ifFalse, value};
}

constexpr unsigned allow = SECCOMP_RET_ALLOW;

unsigned answer(int error)
{
    return SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA);
}

}  // namespace

int main(int argc, char** argv)
{
    int openat2Error = 0;
    int nocttyError = 0;
    int at = 1;
    for (; at + 1 < argc && argv[at][0] == '-'; at += 2) {
        std::string_view option = argv[at];
        int error = errorNamed(argv[at + 1]);
        if (error < 0 || (option != "--openat2" && option != "--noctty-opens")) {
            std::fprintf(stderr, "usage: sandbox [--openat2 ERRNO] [--noctty-opens ERRNO] COMMAND...\n");
            return 125;
        }
        (option == "--openat2" ? openat2Error : nocttyError) = error;
    }
    if (at >= argc)
        return 125;
    std::vector<sock_filter> filter;
    filter.push_back(statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    if (openat2Error != 0) {
        filter.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1));
        filter.push_back(statement(BPF_RET | BPF_K, answer(openat2Error)));
    }
    if (nocttyError != 0) {
        filter.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 3));
        // The flags are the third argument; their low word holds O_NOCTTY.
        filter.push_back(statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])));
        filter.push_back(jump(BPF_JMP | BPF_JSET | BPF_K, O_NOCTTY, 0, 1));
        filter.push_back(statement(BPF_RET | BPF_K, answer(nocttyError)));
    }
    filter.push_back(statement(BPF_RET | BPF_K, allow));
    sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("sandbox");
        return 125;
    }
    execvp(argv[at], argv + at);
    std::perror("sandbox");
    return 127;
}
