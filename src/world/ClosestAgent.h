#pragma once
// Picks the robot nearest a point from robots offered one at a time, the way
// the world model has always chosen: the running minimum is kept in whole
// millimetres, so a later robot must be nearer by more than the dropped
// fraction, and at equal distances the earlier one stays.

#include <cmath>
#include <limits>

#include "geometry/BasicUtils.h"
#include "protocol/Agent.h"

class ClosestAgent {
public:
    /// \brief Nearest to `me` (a vector relative to this robot).
    explicit ClosestAgent(const vector_t& me) : mMe(me) {}

    /// \brief Offers a seen robot. \throws ClientException when it was not seen.
    void consider(const Agent& agent)
    {
        const double distancia = distanceOf(agent);
        if (mAgent == nullptr || distancia < mMinimo) {
            mAgent = &agent;
            mMinimo = std::trunc(distancia);
        }
    }

    /// \brief Uid of the robot chosen, -1 when none was offered.
    int uid() const { return mAgent == nullptr ? -1 : mAgent->uid(); }
    /// \brief The robot chosen, null when none was offered.
    const Agent* agent() const { return mAgent; }

private:
    // A distance that is no number never wins; truncation stays in double so
    // no value can overflow an integer.
    double distanceOf(const Agent& agent) const
    {
        const double d = pv_subtract(agent.position().position, mMe).length;
        return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
    }

    vector_t mMe;
    const Agent* mAgent = nullptr;
    double mMinimo = 0;
};
