#pragma once
// The few constants in which the three agent builds differ. The code base is
// compiled once; each agent program picks its set in its one-line main
// (src/agent/main_*.cpp), and the world model and player are handed it.

struct BuildConstants {
    /// \brief Name of the build, for messages.
    const char* name;
    /// \brief pv_turn_left/right pivot on one wheel (0 / 50) instead of spinning.
    bool pivotTurns;
    /// \brief Distance to the opponent goal's midpoint below which the robot shoots (mm).
    double shootingZoneMm;
    /// \brief Wheel speed magnitude of the third distance band of pv_go_to_original and pv_go_to.
    double thirdBandSpeed;
    /// \brief Bearing limit of the third band of pv_go_to_original (degrees).
    double thirdBandLimitDeg;
    /// \brief The goalkeeper skips its "anyone seen?" tests.
    bool goalkeeperUnguarded;
};

inline constexpr BuildConstants kMainBuild{"main", false, 165.0, 30.0, 55.0, false};
inline constexpr BuildConstants kVariantB{"B", true, 105.0, 30.0, 55.0, false};
inline constexpr BuildConstants kVariantC{"C", false, 165.0, 40.0, 60.0, true};
