#pragma once
// The 19 field flags the camera reports, with their places in the physical
// frame (the yellow team's frame: yellow defends x = -L/2, "top" is y < 0).

#include <array>

#include "geometry/BasicUtils.h"
#include "sim/scenario/Scenario.h"

/// \brief Number of flags in every world state.
inline constexpr std::size_t kFlagCount = 19;

/// \brief A flag: its protocol name and its place.
struct Landmark {
    const char* name;
    posicaoXY place;
};

/// \brief All flags of `field`, in the order they are sent.
std::array<Landmark, kFlagCount> fieldLandmarks(const FieldSpec& field);
