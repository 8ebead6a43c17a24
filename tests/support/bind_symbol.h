// Binds an export of a library loaded with dlopen to a typed function
// pointer; a missing symbol fails the current test and yields null.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

namespace test_support {

template <typename F>
F BindSymbol(void* handle, const char* name)
{
    void* symbol = dlsym(handle, name);
    EXPECT_NE(symbol, nullptr) << name;
    F f = nullptr;
    std::memcpy(&f, &symbol, sizeof f);
    return f;
}

}  // namespace test_support
