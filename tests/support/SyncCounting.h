#pragma once
// Every sync the test program makes passes through these stand-ins (and on to the system), so a
// test can count those made on its own thread, by the program's code or by Qt's. Include this
// header in one file of a test program only: it defines the stand-ins.
#include <dlfcn.h>

namespace dunmoss::test {

inline thread_local int syncsOnThisThread = 0;

template <typename Call> Call systemCall(const char* name) {
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

} // namespace dunmoss::test

extern "C" int fsync(int fd) {
    static const auto call = dunmoss::test::systemCall<int (*)(int)>("fsync");
    ++dunmoss::test::syncsOnThisThread;
    return call(fd);
}

extern "C" int fdatasync(int fd) {
    static const auto call = dunmoss::test::systemCall<int (*)(int)>("fdatasync");
    ++dunmoss::test::syncsOnThisThread;
    return call(fd);
}

extern "C" int syncfs(int fd) {
    static const auto call = dunmoss::test::systemCall<int (*)(int)>("syncfs");
    ++dunmoss::test::syncsOnThisThread;
    return call(fd);
}
