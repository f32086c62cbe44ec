#pragma once
// Team colour, from the TEAM setting. It selects the field frame.

enum mrTeam {
    TEAM_BLUE = 1,
    TEAM_YELLOW = 2,
};
