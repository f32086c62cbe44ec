#include "common/BoundedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::size_t kChunk = 64 * 1024;

}  // namespace

BoundedRead readBounded(const std::string& fileName, std::size_t limit, std::string& text, int& error)
{
    text.clear();
    error = 0;
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return BoundedRead::CannotOpen;
    }
    BoundedRead outcome = BoundedRead::Ok;
    // One byte past the limit is enough to know the file is too large.
    while (outcome == BoundedRead::Ok) {
        const std::size_t want = std::min(kChunk, limit + 1 - text.size());
        const std::size_t had = text.size();
        text.resize(had + want);
        const ssize_t n = ::read(fd, &text[had], want);
        if (n < 0 && errno == EINTR) {
            text.resize(had);
            continue;
        }
        if (n < 0) {
            error = errno;
            outcome = BoundedRead::ReadError;
            break;
        }
        text.resize(had + static_cast<std::size_t>(n));
        if (n == 0) {
            break;
        }
        if (text.size() > limit) {
            outcome = BoundedRead::TooLarge;
        }
    }
    ::close(fd);
    if (outcome != BoundedRead::Ok) {
        text.clear();
        text.shrink_to_fit();
    }
    return outcome;
}

std::string sizeText(std::size_t bytes)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    if (bytes >= kMiB && bytes % kMiB == 0) {
        return std::to_string(bytes / kMiB) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}
