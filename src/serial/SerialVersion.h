// The version of the serial port layer (ports directory, termios2 line
// settings, the reader and writer workers), shown in the about box. Raise it
// with every change of the layer's behaviour.
#pragma once

namespace klv {

inline constexpr char kSerialLayerVersion[] = "KLV serial 1.0 (Linux termios2)";

}  // namespace klv
