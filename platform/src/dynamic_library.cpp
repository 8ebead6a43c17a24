// Run-time loading of shared libraries with dlopen.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace platform {

DynamicLibrary::~DynamicLibrary()
{
    Close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_)
{
    other.handle_ = nullptr;
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicLibrary::Open(const std::string& path, std::string* error)
{
    Close();
    dlerror();  // clear a stale message
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        if (error != nullptr) {
            const char* text = dlerror();
            *error = text != nullptr ? text : "cannot load " + path;
        }
        return false;
    }
    if (error != nullptr)
        error->clear();
    return true;
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (handle_ == nullptr || name == nullptr)
        return nullptr;
    return dlsym(handle_, name);
}

void DynamicLibrary::Close()
{
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace platform
