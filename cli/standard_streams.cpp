#include "cli/standard_streams.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/cli_options.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace partwright {

void ReserveStandardDescriptors() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open gives the lowest free number, which is `fd` itself.
        const int reserved = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (reserved != fd && reserved >= 0) {
            close(reserved);
        }
    }
#endif
}

int CloseStandardOutput(std::FILE* out, std::FILE* err, int status) {
    errno = 0;
    const bool failedBefore = std::ferror(out) != 0;
    const bool flushFailed = std::fflush(out) != 0;
    int reason = flushFailed ? errno : 0;
    if (std::fclose(out) != 0 && reason == 0) {
        reason = errno;
    }
    if (!failedBefore && !flushFailed && reason == 0) {
        return status;
    }
    std::string line = "partwright-cli: write error on standard output";
    if (reason != 0) {
        line += ": ";
        line += std::strerror(reason);
    }
    line += '\n';
    std::fputs(line.c_str(), err);
    std::fflush(err);
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace partwright
