#pragma once
// Whether a set of points fits in one disc: the referee's test of a ball that
// has stayed in one place.

#include <vector>

#include "geometry/BasicUtils.h"

/// \brief True when some disc of `radius` holds every point of `points` (none
/// is true). `scratch` is working space, reused from call to call.
bool withinOneDisc(const std::vector<posicaoXY>& points, double radius, std::vector<posicaoXY>& scratch);
