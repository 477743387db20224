#include "tests/platform/plain_termios.h"

#include <termios.h>

namespace plain_termios {

long OutputSpeedCode(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return -1;
    return static_cast<long>(cfgetospeed(&t));
}

} // namespace plain_termios
