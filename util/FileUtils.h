// File-system helpers used to report conversion sizes.
#pragma once

#include <cstdint>
#include <string>

/// Size in bytes of the first directory entry that matches FileName, as
/// the low 32 bits of the size read as a signed integer (a 4 GiB + 10 byte
/// file gives 10). The last path component may hold the wildcards "*" and
/// "?"; entries are tried in the order the directory lists them, and every
/// kind of entry matches, directories included. 0 when nothing matches,
/// for an empty name and for an invalid path. Never throws.
int32_t FileSizeOf(const std::string &FileName);
