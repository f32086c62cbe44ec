#pragma once
// Runs headless Chromium on a page for the browser tests: dumps the DOM
// after the page's scripts ran, or takes a screenshot.

#include <string>

/// \brief The Chromium program on PATH, or "" when there is none.
std::string findChromium();

/// \brief Runs `chromium` headless on `url` with `extraArgs` (e.g. "--dump-dom"),
/// standard output to `outFile`, in a fresh profile under `workDir`; the exit
/// status, or -1 when it did not end within `timeoutSeconds` (it is then killed).
int runHeadless(const std::string& chromium, const std::string& url, const std::string& extraArgs,
                const std::string& outFile, const std::string& workDir, int timeoutSeconds);
