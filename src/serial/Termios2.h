// Line settings of a tty through the termios2 interface of the Linux kernel,
// which takes any bit rate (BOTHER) rather than only the rates of the old
// Bxxx table. Kept in its own translation unit: <asm/termbits.h> clashes
// with the C library's <termios.h>.
#pragma once

#include "serial/SerialTypes.h"

namespace klv::termios2 {

// Puts the tty into raw mode (no input or output processing, no flow
// control, receiver on, modem lines ignored for carrier) with the given
// line settings. Returns 0, or an errno value when the driver refuses the
// settings; the previous settings are then restored. With checkFraming the
// data bits, stop bits and parity must read back as set; pseudo-terminals
// always report 8 data bits without parity, so they are not checked there.
int ApplyRaw(int fd, const LineSettings& settings, bool checkFraming);

// Reads the line settings the tty currently has. Returns 0 or an errno value.
// On a pseudo-terminal master this reports the slave's settings.
int ReadLineSettings(int fd, LineSettings& settings);

}  // namespace klv::termios2
