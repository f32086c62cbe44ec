// The agent's command line: the input's zero bytes split it into words, the
// program name first. Both passes run, as at start-up.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "agent/Client.h"
#include "agent/CommandLine.h"
#include "common/Properties.h"

namespace {

constexpr std::size_t kMaxWords = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzQuietScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words(1, "agent");
    std::string word;
    for (size_t i = 0; i < size && words.size() < kMaxWords; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    const CommandLineShape shape = check_command_line(argc, argv.data());
    if (shape.outcome != CommandLineShape::kRun) {
        return 0;
    }
    Properties props;
    props.setProperty("SLEEP", "1000");
    props.setProperty("TRIES", "500");
    props.setProperty("VERSION", "1.0");
    if (!override_properties_with_cmd(argc, argv.data(), props)) {
        return 0;
    }
    try {
        Client client(props);
    } catch (const std::exception&) {
    }
    return 0;
}
