#include "control/CommandFrame.h"

#include <cstdarg>
#include <cstdio>

namespace orvane {

void CommandFrame::clear() { block_.fill('\0'); }

bool CommandFrame::format(const char* format, ...)
{
    clear();
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(block_.data(), block_.size(), format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<size_t>(length) > kCommandTextLimit) {
        clear();
        return false;
    }
    return true;
}

bool CommandFrame::sendOn(Socket& socket) const
{
    return socket.send(block_.data(), block_.size()) == static_cast<ssize_t>(block_.size());
}

}  // namespace orvane
