#pragma once
// Reading a whole file into memory, up to a limit, so that a device (such as
// /dev/zero) or a huge file given where a small one belongs is refused at
// once instead of filling memory or never ending.

#include <cstddef>
#include <string>

/// \brief What became of a bounded read.
enum class BoundedRead {
    Ok,          ///< the whole file is in the text
    CannotOpen,  ///< no such file, or no permission
    ReadError,   ///< the file opened but reading it failed (a directory, an I/O error)
    TooLarge,    ///< more than the limit: nothing past it was read
};

/// \brief Reads all of `fileName` into `text` when it holds at most `limit` bytes;
/// on any other outcome `text` is left empty and `error` is set to `errno`'s value (0 if none).
BoundedRead readBounded(const std::string& fileName, std::size_t limit, std::string& text, int& error);

/// \brief "1 MiB", "256 MiB", "4096 bytes": a limit as the messages name it.
std::string sizeText(std::size_t bytes);
