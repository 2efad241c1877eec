#include "vidra/Trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace vidra {

void Trace(const char* format, ...)
{
    const char* path = std::getenv("VIDRA_LOG");
    if (path == nullptr || *path == '\0')
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    const size_t size = std::min(static_cast<size_t>(length), sizeof line - 2);
    line[size] = '\n';
    // One write of the whole line, appended: lines of two threads never mix.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, line, size + 1);
    (void)written;
    ::close(fd);
}

}  // namespace vidra
