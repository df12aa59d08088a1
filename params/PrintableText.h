#pragma once
// Text read from a file, made safe to print on a terminal. A snapshot's
// strings ("saved", the port's path) are whatever the file holds: a control
// character in them could move the cursor, clear lines or reorder text and so
// hide or fake what a restore is about to write. They are printed escaped.

#include <string>
#include <string_view>

namespace plovex::params {

// text with a backslash written "\\", tab, line feed and carriage return
// "\t", "\n", "\r", the other C0 controls, DEL and bytes that are not UTF-8
// "\xNN", and the C1 controls, the bidirectional controls and the line and
// paragraph separators "\u{XXXX}"; everything else as it is.
std::string printableText(std::string_view text);

} // namespace plovex::params
