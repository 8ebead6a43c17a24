// A stand-in for pthread_create that fails with EAGAIN while g_failThreads is
// set: no thread can be had. The libraries reach it through the process's
// symbol lookup, so the test program is built with ENABLE_EXPORTS; include
// this header in one source file of it only.
#pragma once

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>

namespace test_support {

inline std::atomic<bool> g_failThreads{false};

}  // namespace test_support

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* arg)
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (test_support::g_failThreads.load()) return EAGAIN;
    return real(thread, attributes, start, arg);
}
