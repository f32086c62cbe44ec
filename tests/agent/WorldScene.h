#pragma once
// Builds world-state texts as the server would send them, from a robot pose
// on a physical field, so that every landmark observation is consistent.

#include <string>
#include <vector>

/// \brief A point of the physical field, millimetres, origin at the centre.
struct FieldPoint {
    double x;
    double y;
};

class WorldScene {
public:
    /// \brief Field length and width (mm); the post-to-corner distance follows from the goal width.
    static constexpr double kLength = 1500.0;
    static constexpr double kWidth = 1300.0;
    static constexpr double kCornerToPost = 450.0;

    /// \brief Robot pose; heading is a field bearing in radians (0 towards -y, pi/2 towards +x).
    FieldPoint robot{-300.0, 100.0};
    double heading = 1.5707963267948966;
    FieldPoint ball{200.0, 0.0};
    FieldPoint teammate{-500.0, -300.0};
    FieldPoint opponent{400.0, 300.0};

    bool robotFound = true;
    std::string playMode = "play on";
    double time = 0.0;
    /// \brief Landmark ids left out of the message.
    std::vector<std::string> missingFlags;

    /// \brief The world-state document for agent uid 1 nicknamed `nickname`.
    std::string text(const std::string& nickname = "A1") const;
};
