#pragma once
// An owned C file stream: closed exactly once, by reset() or at scope end.

#include <cstdio>
#include <memory>

namespace orvane {

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileClose>;

// Opens an existing file for an upload. The mode asks for write access as the
// camera tool always has, although the file is only read.
inline OpenFile OpenForUpload(const char* path) { return OpenFile(std::fopen(path, "rb+")); }

}  // namespace orvane
