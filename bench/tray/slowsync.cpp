// A slow disk for benchmarks: preloaded, it makes every fsync and fdatasync
// wait SLOWSYNC_MS milliseconds (default 150) before doing the real one.
#include <dlfcn.h>
#include <time.h>

#include <cstdlib>

namespace {

void wait()
{
    const char *ms = std::getenv("SLOWSYNC_MS");
    const long n = ms ? std::atol(ms) : 150;
    timespec t{n / 1000, (n % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

template<typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    wait();
    static auto f = real<int (*)(int)>("fsync");
    return f ? f(fd) : 0;
}

extern "C" int fdatasync(int fd)
{
    wait();
    static auto f = real<int (*)(int)>("fdatasync");
    return f ? f(fd) : 0;
}
