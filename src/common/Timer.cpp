#include "common/Timer.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "common/Logger.h"

double timeval_to_double(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

timeval timeval_subtract(timeval& x, timeval& y)
{
    constexpr long kMicros = 1000000;
    if (x.tv_usec < y.tv_usec) {
        const long n = (y.tv_usec - x.tv_usec) / kMicros + 1;
        y.tv_usec -= kMicros * n;
        y.tv_sec += n;
    }
    if (x.tv_usec - y.tv_usec > kMicros) {
        const long n = (x.tv_usec - y.tv_usec) / kMicros;
        y.tv_usec += kMicros * n;
        y.tv_sec -= n;
    }
    timeval result{};
    result.tv_sec = x.tv_sec - y.tv_sec;
    result.tv_usec = x.tv_usec - y.tv_usec;
    return result;
}

Timer::Timer(bool start)
{
    if (start) {
        initTimer();
    }
}

void Timer::initTimer()
{
    gettimeofday(&mStartTime, nullptr);
    mInitialized = true;
    mPaused = false;
}

void Timer::startTimer()
{
    if (!mInitialized) {
        initTimer();
    } else if (mPaused) {
        gettimeofday(&mStartTime, nullptr);
        mPaused = false;
    } else {
        LOG(log_WARN) << "Attempt to restart a running timer";
    }
}

void Timer::stopTimer()
{
    if (!mInitialized) {
        LOG(log_WARN) << "Attempt to stop a not initialized timer";
    } else if (mPaused) {
        LOG(log_WARN) << "Attempt to stop a stopped timer";
    } else {
        mTotalTime += getSpentTime();
        mPaused = true;
    }
}

timeval Timer::elapsed() const
{
    timeval now{};
    gettimeofday(&now, nullptr);
    timeval start = mStartTime;
    return timeval_subtract(now, start);
}

double Timer::getSpentTime() const
{
    if (!mInitialized || mPaused) {
        return 0.0;
    }
    return timeval_to_double(elapsed());
}

double Timer::getTotalTime() const
{
    if (!mInitialized) {
        return 0.0;
    }
    return mPaused ? mTotalTime : mTotalTime + getSpentTime();
}

bool Timer::isTimeOver(double seconds) const
{
    return mInitialized && getTotalTime() >= seconds;
}

std::vector<int> Timer::getReadableTime(double seconds) const
{
    // Out-of-range or NaN input would make the conversion undefined.
    const double bounded = std::isfinite(seconds) ? std::clamp(seconds, -2147483647.0, 2147483647.0) : 0.0;
    const int whole = static_cast<int>(bounded);
    return {whole / 60, whole % 60};
}

timeval Timer::getSpentTimevalTime() const
{
    if (!mInitialized) {
        std::cout << "An error occured: Timer wasn't initialized at all." << std::endl;
        return timeval{0, 0};
    }
    return elapsed();
}

void Timer::printStartTime(std::string label)
{
    std::cout << label << " StartTime vale: " << mStartTime.tv_sec << " " << mStartTime.tv_usec << std::endl;
    std::cout << "De acordo com getStartTime " << "mStartTime vale: " << getStartTime().tv_sec << " "
              << getStartTime().tv_usec << "\n"
              << std::endl;
}

void Timer::printTime(timeval t, std::string a, std::string b)
{
    std::cout << b << " " << a << " time vale: " << t.tv_sec << " " << t.tv_usec << "\n" << std::endl;
}
