#include "registry/SharedLibrary.h"

#include <dlfcn.h>

#include <cstring>
#include <utility>

namespace orvane {

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_))
{
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

SharedLibrary SharedLibrary::Load(const char* file)
{
    SharedLibrary library;
    // dlopen(nullptr) would hand out the program itself.
    if (!file || !*file) {
        library.error_ = "no library name";
        return library;
    }
    // RTLD_NOW: a library with unresolved references fails here, as
    // LoadLibrary does, not at the first call that needs one.
    library.handle_ = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!library.handle_) {
        const char* text = ::dlerror();
        library.error_ = text ? text : "cannot load library";
    }
    return library;
}

SharedLibrary SharedLibrary::LoadByName(const char* name) { return Load(name); }

SharedLibrary SharedLibrary::LoadFile(const char* path)
{
    if (!path || !*path || std::strchr(path, '/'))
        return Load(path);
    return Load((std::string("./") + path).c_str());
}

void* SharedLibrary::symbol(const char* name) const
{
    if (!handle_) {
        error_ = "library not loaded";
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address) {
        const char* text = ::dlerror();
        error_ = text ? text : std::string("no symbol ") + name;
    }
    return address;
}

void SharedLibrary::close()
{
    if (handle_)
        ::dlclose(std::exchange(handle_, nullptr));
}

}  // namespace orvane
