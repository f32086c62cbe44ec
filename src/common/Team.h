#pragma once
// Team colour, from the TEAM setting. It selects the field frame.

// A fixed underlying type: TEAM is not range-checked, so any int must be a valid value.
enum mrTeam : int {
    TEAM_BLUE = 1,
    TEAM_YELLOW = 2,
};
