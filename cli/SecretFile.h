#pragma once
// A password or token read from a file, so that it is never on the command
// line (where ps shows it) nor in any message.

#include <string>

namespace plovex::cli {

// The first line of the regular file at path (platform::readRegularFile),
// without its line end, into secret. False, and the reason in *error, when
// the file cannot be read, is not a regular file (a FIFO would hold the
// command until someone writes to it), is over 64 KiB or has nothing on its
// first line. what names the file in the reason ("the password file"); the
// secret is never in it.
bool readSecretFile(const std::string& path, const std::string& what, std::string& secret, std::string* error);

} // namespace plovex::cli
