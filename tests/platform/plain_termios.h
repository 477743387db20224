#pragma once
// The line rate as programs that use glibc's <termios.h> see it (stty, tcgetattr).  Kept apart
// because that header cannot share a file with the kernel's termios2 definitions.
namespace plain_termios {

// cfgetospeed() of the terminal's settings read with tcgetattr(), or -1 when that fails.
long OutputSpeedCode(int fd);

} // namespace plain_termios
