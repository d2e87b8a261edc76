// Loaded with LD_PRELOAD into partwright-cli by the fault tests: makes one
// system call on a regular file fail (or stall) as a broken disk would.
//
//   PARTWRIGHT_FAULT="OP:BYTES:ERRNO[:always]"
//     write  the write that reaches BYTES written to regular files writes up
//            to BYTES, the next one fails with ERRNO (every later one too with
//            "always");
//     read   the same for reads;
//     close  the close of the BYTES-th file written to fails with ERRNO;
//     stall  once BYTES are written, creates the file PARTWRIGHT_FAULT_MARK
//            and waits until that file is gone (at most 20 s) before writing on;
//     tmpcreate  right after the BYTES-th temporary file (".partwright-...")
//            is created, stalls as stall does, before the call returns.
//   PARTWRIGHT_FAULT_NO_TMPFILE=1: opening a file without a name (O_TMPFILE)
//   fails as on a file system that has none.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum class Op { None, Write, Read, Close, Stall, TmpCreate };

struct Fault {
    Op op = Op::None;
    long long bytes = 0;
    int error = 0;
    bool always = false;
    bool done = false;
    long long count = 0;      // bytes so far, or files closed
    bool written[1024] = {};  // descriptors written to since opened
};

Fault& TheFault() {
    static Fault fault = [] {
        Fault f;
        const char* plan = std::getenv("PARTWRIGHT_FAULT");
        if (plan == nullptr) return f;
        char op[16] = {};
        char always[16] = {};
        if (std::sscanf(plan, "%15[a-z]:%lld:%d:%15s", op, &f.bytes, &f.error, always) < 3) return f;
        f.op = std::strcmp(op, "write") == 0       ? Op::Write
               : std::strcmp(op, "read") == 0      ? Op::Read
               : std::strcmp(op, "close") == 0     ? Op::Close
               : std::strcmp(op, "stall") == 0     ? Op::Stall
               : std::strcmp(op, "tmpcreate") == 0 ? Op::TmpCreate
                                                   : Op::None;
        f.always = std::strcmp(always, "always") == 0;
        return f;
    }();
    return fault;
}

bool IsRegularFile(int fd) {
    struct stat info {};
    return fd > 2 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

template <class Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The program writes pieces on several threads: the counts are shared.
pthread_mutex_t countLock = PTHREAD_MUTEX_INITIALIZER;

struct CountLock {
    CountLock() { pthread_mutex_lock(&countLock); }
    ~CountLock() { pthread_mutex_unlock(&countLock); }
};

// How much of `size` may go through before the fault; -1 when the call fails.
long long Allowed(Fault& f, long long size) {
    if (f.done && !f.always) return size;
    if (f.count >= f.bytes) {
        f.done = true;
        return -1;
    }
    const long long allowed = f.bytes - f.count < size ? f.bytes - f.count : size;
    return allowed;
}

// Passes on as much of the call as the fault allows, or fails it.
// `call(size)` makes the real call with a size. What may go through is
// counted before the call, so that calls on other threads meanwhile count after it.
template <class Call>
ssize_t Limited(Fault& f, size_t size, Call call) {
    long long allowed = 0;
    {
        CountLock lock;
        allowed = Allowed(f, static_cast<long long>(size));
        if (allowed < 0) {
            errno = f.error;
            return -1;
        }
        f.count += allowed;
    }
    const ssize_t n = call(static_cast<size_t>(allowed));
    if (n < allowed) {
        CountLock lock;
        f.count -= allowed - (n > 0 ? n : 0);
    }
    return n;
}

void Stall() {
    const char* mark = std::getenv("PARTWRIGHT_FAULT_MARK");
    if (mark == nullptr) return;
    const int fd = open(mark, O_WRONLY | O_CREAT, 0666);
    if (fd >= 0) Next<int (*)(int)>("close")(fd);
    for (int step = 0; step < 4000 && access(mark, F_OK) == 0; ++step) {
        timespec wait{0, 5000000};
        nanosleep(&wait, nullptr);
    }
}

// Counts a write of `size` bytes to `fd` as the fault asks, and makes it through `call(size)`.
template <class Call>
ssize_t Written(int fd, size_t size, Call call) {
    Fault& f = TheFault();
    if (f.op == Op::None || f.op == Op::Read || !IsRegularFile(fd)) return call(size);
    if (f.op == Op::Close) {
        if (fd < 1024) {
            CountLock lock;
            f.written[fd] = true;
        }
        return call(size);
    }
    if (f.op == Op::Stall) {
        bool stall = false;
        {
            CountLock lock;
            if (!f.done && f.count >= f.bytes) stall = f.done = true;
        }
        if (stall) Stall();
        const ssize_t n = call(size);
        if (n > 0) {
            CountLock lock;
            f.count += n;
        }
        return n;
    }
    return Limited(f, size, call);
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    return Written(fd, size, [&](size_t allowed) { return real(fd, data, allowed); });
}

// Pieces copied file to file count as written.
extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size,
                                   unsigned flags) {
    static const auto real = Next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
    return Written(out, size, [&](size_t allowed) { return real(in, inOffset, out, outOffset, allowed, flags); });
}

namespace {

// Whether the last part of `path` is a temporary file's name.
bool IsTemporary(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return std::strncmp(slash ? slash + 1 : path, ".partwright-", 12) == 0;
}

// `open(mode)` opens `path` with `flags`, unless the fault refuses a file without a name.
template <class Open>
int OpenUnlessUnnamed(Open open, const char* path, int flags, va_list rest) {
    const mode_t mode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(rest, mode_t) : 0;
    if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("PARTWRIGHT_FAULT_NO_TMPFILE") != nullptr) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const int fd = open(mode);
    Fault& f = TheFault();
    if (f.op == Op::TmpCreate && fd >= 0 && (flags & O_CREAT) != 0 && IsTemporary(path)) {
        bool stall = false;
        {
            CountLock lock;
            if (!f.done && ++f.count >= f.bytes) stall = f.done = true;
        }
        if (stall) Stall();
    }
    return fd;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    static const auto real = Next<int (*)(const char*, int, ...)>("open");
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenUnlessUnnamed([&](mode_t mode) { return real(path, flags, mode); }, path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    static const auto real = Next<int (*)(const char*, int, ...)>("open64");
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenUnlessUnnamed([&](mode_t mode) { return real(path, flags, mode); }, path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int openat(int at, const char* path, int flags, ...) {
    static const auto real = Next<int (*)(int, const char*, int, ...)>("openat");
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenUnlessUnnamed([&](mode_t mode) { return real(at, path, flags, mode); }, path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int openat64(int at, const char* path, int flags, ...) {
    static const auto real = Next<int (*)(int, const char*, int, ...)>("openat64");
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenUnlessUnnamed([&](mode_t mode) { return real(at, path, flags, mode); }, path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" ssize_t read(int fd, void* data, size_t size) {
    static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
    Fault& f = TheFault();
    if (f.op != Op::Read || !IsRegularFile(fd)) return real(fd, data, size);
    return Limited(f, size, [&](size_t allowed) { return real(fd, data, allowed); });
}

extern "C" int close(int fd) {
    static const auto real = Next<int (*)(int)>("close");
    Fault& f = TheFault();
    if (f.op != Op::Close || fd < 0 || fd >= 1024) return real(fd);
    const int result = real(fd);
    CountLock lock;
    if (f.written[fd]) {
        f.written[fd] = false;
        if (++f.count == f.bytes || (f.always && f.count > f.bytes)) {
            errno = f.error;
            return -1;
        }
    }
    return result;
}
