#pragma once
// An owned handle of a shared library loaded at run time (LoadLibrary,
// GetProcAddress and FreeLibrary): unloaded exactly once, on every path.

#include <string>

namespace orvane {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary() { close(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;

    // By name through the dynamic linker's search order: the caller's run
    // path, LD_LIBRARY_PATH, the linker cache, the system folders. A name
    // with a '/' in it is a path, as for dlopen.
    static SharedLibrary LoadByName(const char* name);
    // The file at path; a bare file name means the one in the current folder,
    // never a search.
    static SharedLibrary LoadFile(const char* path);

    bool loaded() const { return handle_ != nullptr; }

    // The address of an exported symbol, or null when the library is not
    // loaded or does not export it (error() then says why).
    void* symbol(const char* name) const;

    // The exported function name as a pointer of type Fn, or null.
    template <typename Fn>
    Fn function(const char* name) const
    {
        return reinterpret_cast<Fn>(symbol(name));
    }

    // The dynamic linker's text for the last failed load or look-up.
    const std::string& error() const { return error_; }

    void close();

private:
    static SharedLibrary Load(const char* file);

    void* handle_ = nullptr;
    mutable std::string error_;
};

}  // namespace orvane
