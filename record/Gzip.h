#pragma once
// gzip compression of one open file into another (zlib), for the logger's
// closed files: the result reads back with gzip -d, zcat or zlib's gzread.

#include <string>

namespace plovex::record {

// Reads in to its end and writes it gzip-compressed to out. False, with the
// step and the reason in *error, when reading, compressing or writing failed.
bool gzipFile(int in, int out, std::string* error);

} // namespace plovex::record
