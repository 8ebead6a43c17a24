// Run-time loading of a shared library by file name and look-up of exports.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads path (dlopen, RTLD_NOW | RTLD_LOCAL). A name without "/" is looked
    // up by the system search. False on failure, with dlerror()'s text in
    // *error when given. Any previously loaded library is unloaded first.
    bool Open(const std::string& path, std::string* error = nullptr);
    bool IsOpen() const { return handle_ != nullptr; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    void Close();

private:
    void* handle_ = nullptr;
};

}  // namespace platform
