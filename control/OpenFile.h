#pragma once
// An owned C file stream: closed exactly once, by reset() or at scope end.

#include <cstdio>
#include <memory>

namespace orvane {

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileClose>;

// Opens an existing plain file for an upload, read and write as the camera
// tool always asks although the file is only read; null for anything else. A
// device never ends and a pipe waits for a writer, so the file is opened
// without blocking and looked at before it becomes a stream.
OpenFile OpenForUpload(const char* path);

}  // namespace orvane
