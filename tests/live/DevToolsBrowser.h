#pragma once
// Headless Chromium driven over its DevTools pipe, for pages that never
// finish loading (a live page holds its event stream open, so the one-shot
// --screenshot and --dump-dom modes cannot wait for it): open a page, read
// values from it while it runs, take a screenshot.

#include <sys/types.h>

#include <string>

#include <nlohmann/json.hpp>

/// \brief One headless browser with one page.
class DevToolsBrowser {
public:
    DevToolsBrowser() = default;
    DevToolsBrowser(const DevToolsBrowser&) = delete;
    DevToolsBrowser& operator=(const DevToolsBrowser&) = delete;
    /// \brief Closes the browser and every helper process it started.
    ~DevToolsBrowser();

    /// \brief Starts `chromium` with a fresh profile under `workDir` and opens `url` in a
    /// `width` × `height` page; false with `error` set on failure.
    bool open(const std::string& chromium, const std::string& workDir, const std::string& url, int width,
              int height, std::string& error);
    /// \brief The value of a JavaScript expression in the page (a promise's, once settled),
    /// as JSON (null on failure).
    nlohmann::json evaluate(const std::string& expression);
    /// \brief A PNG of the page ("" on failure).
    std::string screenshot();

private:
    nlohmann::json call(const std::string& method, const nlohmann::json& params, bool onPage);

    pid_t mPid = -1;
    int mToBrowser = -1;
    int mFromBrowser = -1;
    int mNextId = 1;
    std::string mSession;
    std::string mPending;
};

/// \brief Decodes standard base64 (the screenshot's transport); stops at the first other character.
std::string decodeBase64(const std::string& text);
