// A close() that fails: preloaded (LD_PRELOAD) into a program, it closes the descriptor
// but reports EIO when the descriptor is the file named by $WES_FAIL_CLOSE, as a network
// file system may when the data cannot be stored after all.
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int close(int fd) {
    using CloseFn = int (*)(int);
    static const CloseFn real_close = reinterpret_cast<CloseFn>(::dlsym(RTLD_NEXT, "close"));
    const char* target = std::getenv("WES_FAIL_CLOSE");
    std::string path(4096, '\0');
    const ssize_t n = target ? ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.data(), path.size()) : -1;
    const bool fail = n > 0 && std::string_view(path.data(), static_cast<std::size_t>(n)) == target;
    const int r = real_close(fd);
    if (!fail || r != 0) return r;
    errno = EIO;
    return -1;
}
