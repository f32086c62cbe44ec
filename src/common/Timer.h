#pragma once
// A pausable wall-clock stopwatch in seconds: running stretches add up to a
// total, so it can be stopped and resumed.

#include <sys/time.h>

#include <string>
#include <vector>

/// \brief t.tv_sec + t.tv_usec * 1e-6.
double timeval_to_double(const timeval& t);
/// \brief x - y with the microseconds in range; normalises `y` in place.
timeval timeval_subtract(timeval& x, timeval& y);

class Timer {
public:
    /// \brief Stopped, total 0, not initialised.
    Timer() = default;
    /// \brief As Timer(), then started when `start` is true.
    explicit Timer(bool start);

    /// \brief Starts a running stretch now; keeps the total.
    void initTimer();
    /// \brief Starts or resumes; warns when already running.
    void startTimer();
    /// \brief Adds the current stretch to the total and stops; warns on misuse.
    void stopTimer();

    /// \brief Seconds of the current running stretch (0 when stopped).
    double getSpentTime() const;
    /// \brief Seconds over all stretches, the running one included.
    double getTotalTime() const;
    /// \brief Initialised and getTotalTime() >= seconds.
    bool isTimeOver(double seconds) const;
    /// \brief {minutes, seconds} of a whole number of seconds.
    std::vector<int> getReadableTime(double seconds) const;
    /// \brief now - start time; {0, 0} with a message when never started.
    timeval getSpentTimevalTime() const;

    bool isInitialized() const { return mInitialized; }
    bool isPaused() const { return mPaused; }
    void setInitialized(bool value) { mInitialized = value; }
    void setPaused(bool value) { mPaused = value; }
    timeval& getStartTime() { return mStartTime; }
    const timeval& getStartTime() const { return mStartTime; }
    timeval getMSpentTime() const { return mSpentTime; }
    void setMSpentTime(timeval value) { mSpentTime = value; }

    void printStartTime(std::string label);
    void printTime(timeval t, std::string a, std::string b);

private:
    /// \brief now - mStartTime, leaving mStartTime untouched.
    timeval elapsed() const;

    bool mPaused = true;
    double mTotalTime = 0.0;
    bool mInitialized = false;
    timeval mStartTime{0, 0};
    timeval mSpentTime{0, 0};
};
