#include "DevToolsBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCallTimeout = std::chrono::seconds(30);
// Chromium reads commands from descriptor 3 and answers on descriptor 4.
constexpr int kCommandFd = 3;
constexpr int kAnswerFd = 4;
const char* const kArgs[] = {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update", "--disable-sync",
                             "--hide-scrollbars", "--mute-audio", "--remote-debugging-pipe"};

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

}  // namespace

std::string decodeBase64(const std::string& text)
{
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int v = base64Value(c);
        if (v < 0) {
            break;
        }
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return out;
}

DevToolsBrowser::~DevToolsBrowser()
{
    if (mPid > 0) {
        ::kill(-mPid, SIGKILL);
        ::waitpid(mPid, nullptr, 0);
    }
    if (mToBrowser >= 0) {
        ::close(mToBrowser);
    }
    if (mFromBrowser >= 0) {
        ::close(mFromBrowser);
    }
}

bool DevToolsBrowser::open(const std::string& chromium, const std::string& workDir, const std::string& url,
                           int width, int height, std::string& error)
{
    int commands[2];
    int answers[2];
    if (::pipe(commands) != 0 || ::pipe(answers) != 0) {
        error = "no pipes";
        return false;
    }
    std::vector<std::string> argv = {chromium};
    argv.insert(argv.end(), std::begin(kArgs), std::end(kArgs));
    argv.push_back("--user-data-dir=" + workDir + "/profile");
    argv.push_back("about:blank");
    mPid = ::fork();
    if (mPid == 0) {
        ::setpgid(0, 0);  // its own group, so that every helper goes with it
        const int log = ::open((workDir + "/chromium.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        const int in = ::dup(commands[0]);
        const int out = ::dup(answers[1]);
        ::dup2(in, kCommandFd);
        ::dup2(out, kAnswerFd);
        std::vector<char*> args;
        for (std::string& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(mPid, mPid);
    ::close(commands[0]);
    ::close(answers[1]);
    mToBrowser = commands[1];
    mFromBrowser = answers[0];

    const nlohmann::json target = call("Target.createTarget", {{"url", "about:blank"}}, false);
    if (!target.contains("targetId")) {
        error = "the browser did not open a page: " + target.dump();
        return false;
    }
    const nlohmann::json attached =
        call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}, false);
    if (!attached.contains("sessionId")) {
        error = "cannot attach to the page: " + attached.dump();
        return false;
    }
    mSession = attached["sessionId"].get<std::string>();
    call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}}, true);
    const nlohmann::json navigated = call("Page.navigate", {{"url", url}}, true);
    if (!navigated.is_object() || navigated.contains("errorText") || navigated.contains("error")) {
        error = "cannot open " + url + ": " + navigated.dump();
        return false;
    }
    return true;
}

nlohmann::json DevToolsBrowser::call(const std::string& method, const nlohmann::json& params, bool onPage)
{
    const int id = mNextId++;
    nlohmann::json message = {{"id", id}, {"method", method}, {"params", params}};
    if (onPage) {
        message["sessionId"] = mSession;
    }
    const std::string text = message.dump() + '\0';
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t n = ::write(mToBrowser, text.data() + sent, text.size() - sent);
        if (n <= 0) {
            return nullptr;
        }
        sent += static_cast<std::size_t>(n);
    }
    // Answers come NUL-terminated, between events that are not ours to read.
    const auto deadline = Clock::now() + kCallTimeout;
    while (Clock::now() < deadline) {
        for (std::size_t end = mPending.find('\0'); end != std::string::npos; end = mPending.find('\0')) {
            const nlohmann::json answer = nlohmann::json::parse(mPending.substr(0, end), nullptr, false);
            mPending.erase(0, end + 1);
            if (answer.is_object() && answer.value("id", -1) == id) {
                return answer.contains("result") ? answer["result"] : answer;
            }
        }
        pollfd p{mFromBrowser, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buffer[65536];
            const ssize_t n = ::read(mFromBrowser, buffer, sizeof buffer);
            if (n <= 0) {
                return nullptr;
            }
            mPending.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return nullptr;
}

nlohmann::json DevToolsBrowser::evaluate(const std::string& expression)
{
    const nlohmann::json r = call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, true);
    if (r.is_object() && r.contains("result") && r["result"].contains("value")) {
        return r["result"]["value"];
    }
    return nullptr;
}

std::string DevToolsBrowser::screenshot()
{
    const nlohmann::json r = call("Page.captureScreenshot", {{"format", "png"}}, true);
    return r.is_object() && r.contains("data") ? decodeBase64(r["data"].get<std::string>()) : std::string();
}
