#include "control/OpenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

OpenFile OpenForUpload(const char* path)
{
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return OpenFile();
    struct stat info {};
    // Reads of a plain file never block, so the flag may stay.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return OpenFile();
    }
    std::FILE* file = ::fdopen(fd, "rb+");
    if (file == nullptr)
        ::close(fd);
    return OpenFile(file);
}

}  // namespace orvane
