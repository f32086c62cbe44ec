#include "sim/record/ReplayPage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "common/BoundedFile.h"

namespace {

// The empty data element of the template; the record goes between its tags.
constexpr std::string_view kDataOpen = "<script id=\"record\" type=\"application/x-ndjson\">";
constexpr std::string_view kDataClose = "</script>";
constexpr std::string_view kStepPrefix = "{\"step\":";

// Inside a script element only "</script" and "<!--" end or upset the data,
// so '<' (with '>' and '&' for good measure) becomes its JSON escape; the
// characters can only stand inside JSON strings, where the escape means the
// same. Anything else the file holds goes in as it is: the page skips lines
// that do not parse.
void appendEscaped(std::string& out, std::string_view record)
{
    for (const char c : record) {
        switch (c) {
        case '<':
            out += "\\u003c";
            break;
        case '>':
            out += "\\u003e";
            break;
        case '&':
            out += "\\u0026";
            break;
        default:
            out += c;
        }
    }
}

}  // namespace

bool looksLikeRecord(std::string_view record)
{
    // A record opens with its header line (or, cut short, with a step).
    const std::size_t end = record.find('\n');
    const nlohmann::json first = nlohmann::json::parse(record.substr(0, end), nullptr, false);
    if (!first.is_object()) {
        return false;
    }
    const auto type = first.find("type");
    return (type != first.end() && *type == "header") || first.contains("step");
}

long countRecordSteps(std::string_view record)
{
    long steps = 0;
    std::size_t start = 0;
    while (start < record.size()) {
        std::size_t end = record.find('\n', start);
        if (end == std::string_view::npos) {
            end = record.size();
        }
        if (record.substr(start, end - start).substr(0, kStepPrefix.size()) == kStepPrefix) {
            ++steps;
        }
        start = end + 1;
    }
    return steps;
}

bool buildReplayPage(std::string_view pageTemplate, std::string_view record, std::string& page,
                     std::string& error)
{
    const std::size_t open = pageTemplate.find(kDataOpen);
    if (open == std::string_view::npos ||
        pageTemplate.compare(open + kDataOpen.size(), kDataClose.size(), kDataClose) != 0) {
        error = "the page template has no empty record element";
        return false;
    }
    const std::size_t insertAt = open + kDataOpen.size();
    page.clear();
    page.reserve(pageTemplate.size() + record.size() + record.size() / 16);
    page.append(pageTemplate.substr(0, insertAt));
    appendEscaped(page, record);
    page.append(pageTemplate.substr(insertAt));
    return true;
}

bool writeReplayPage(const std::string& recordFile, const std::string& htmlFile, long& steps,
                     std::string& error)
{
    std::string record;
    int readError = 0;
    switch (readBounded(recordFile, kMaxRenderedRecordBytes, record, readError)) {
    case BoundedRead::Ok:
        break;
    case BoundedRead::TooLarge:
        error = recordFile + " is larger than " + sizeText(kMaxRenderedRecordBytes) + ", too large to render";
        return false;
    case BoundedRead::CannotOpen:
    case BoundedRead::ReadError:
        error = "cannot read " + recordFile + ": " + std::strerror(readError);
        return false;
    }
    if (!looksLikeRecord(record)) {
        error = recordFile + ": not a record";
        return false;
    }
    steps = countRecordSteps(record);

    std::string page;
    if (!buildReplayPage(replayTemplate(), record, page, error)) {
        return false;
    }
    std::FILE* out = std::fopen(htmlFile.c_str(), "wb");
    if (out == nullptr) {
        error = "cannot write " + htmlFile + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        error = "writing " + htmlFile + " failed";
        return false;
    }
    return true;
}
