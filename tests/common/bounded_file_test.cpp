// Whole-file reads with a limit: a device or an oversized file is refused
// after reading one byte past the limit, and a file right at it is read whole.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "common/BoundedFile.h"
#include "common/Properties.h"

namespace {

class TempFile {
public:
    explicit TempFile(const std::string& content)
    {
        char name[] = "/tmp/bounded_file_test_XXXXXX";
        const int fd = ::mkstemp(name);
        mPath = name;
        std::FILE* f = ::fdopen(fd, "w");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::remove(mPath.c_str()); }
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
};

struct BoundCase {
    const char* name;
    std::size_t fileBytes;  // a regular file of this many bytes; 0 with `path` set: that path
    const char* path;
    std::size_t limit;
    BoundedRead outcome;
};

class BoundedReadTest : public ::testing::TestWithParam<BoundCase> {};

TEST_P(BoundedReadTest, ReadsWholeUpToTheLimitAndRefusesPastIt)
{
    const BoundCase& c = GetParam();
    const TempFile file(std::string(c.fileBytes, 'x'));
    std::string text = "stale";
    int error = -1;
    const BoundedRead outcome = readBounded(c.path ? c.path : file.path(), c.limit, text, error);
    EXPECT_EQ(outcome, c.outcome);
    if (outcome == BoundedRead::Ok) {
        EXPECT_EQ(text, std::string(c.fileBytes, 'x'));
    } else {
        EXPECT_TRUE(text.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BoundedReadTest,
    ::testing::Values(BoundCase{"empty", 0, nullptr, 10, BoundedRead::Ok},
                      BoundCase{"atTheLimit", 100000, nullptr, 100000, BoundedRead::Ok},
                      BoundCase{"oneByteOver", 100001, nullptr, 100000, BoundedRead::TooLarge},
                      BoundCase{"endlessDevice", 0, "/dev/zero", 1 << 20, BoundedRead::TooLarge},
                      BoundCase{"missing", 0, "/nonexistent/dir/x", 10, BoundedRead::CannotOpen},
                      BoundCase{"directory", 0, "/tmp", 10, BoundedRead::ReadError}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PropertyFile, OneMebibyteIsReadAndOneByteMoreIsRefusedAsTooLarge)
{
    // One setting, then one long comment filling the file to exactly the limit.
    const std::string setting = "A=1\n";
    const std::string text = setting + "#" + std::string(kMaxPropertyFileBytes - setting.size() - 2, 'c') + "\n";
    ASSERT_EQ(text.size(), kMaxPropertyFileBytes);
    const TempFile atLimit(text);
    EXPECT_EQ(PropertyReader().read(atLimit.path()).propertyValue("A"), "1");

    const TempFile overLimit(text + "\n");
    for (const std::string& path : {overLimit.path(), std::string("/dev/zero")}) {
        try {
            PropertyReader().read(path);
            ADD_FAILURE() << path << " was read";
        } catch (const PropertyFileTooLarge& e) {
            EXPECT_STREQ(e.what(), "larger than 1 MiB, too large for a settings file");
        }
    }
    // Callers that only know the stream error still refuse it.
    EXPECT_THROW(PropertyReader().read(std::string("/dev/zero")), PropertyStreamError);
}

}  // namespace
