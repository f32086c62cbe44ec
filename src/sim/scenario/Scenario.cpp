#include "sim/scenario/Scenario.h"

#include "geometry/BasicUtils.h"

namespace {

RobotSpec makeRobot(int vtId, mrTeam team, const char* nick, double x, double y, double headingDeg)
{
    RobotSpec r;
    r.vtId = vtId;
    r.team = team;
    r.nickname = nick;
    r.kickoff = {x, y};
    r.kickoffHeading = degToRad(headingDeg);
    return r;
}

}  // namespace

const RobotSpec* Scenario::robot(int vtId) const
{
    for (const RobotSpec& r : robots) {
        if (r.vtId == vtId) {
            return &r;
        }
    }
    return nullptr;
}

const char* teamName(mrTeam team)
{
    return team == TEAM_BLUE ? "blue" : "yellow";
}

Scenario defaultScenario(int perSide)
{
    Scenario s;
    // Yellow defends x = -L/2 and faces +x (bearing 90 deg); blue is yellow
    // turned by half a turn. One field player of each side stands nearer the
    // ball than the others: with a tie the agents wait for each other.
    if (perSide >= 5) {
        // The five-a-side field, its kick-off places and free-ball spots
        // scaled from the 3 against 3 ones in each direction.
        s.field.length = 2200.0;
        s.field.width = 1800.0;
        s.rules.freeBallX = 550.0;
        s.rules.freeBallY = 623.0;
        s.robots = {
            makeRobot(1, TEAM_YELLOW, "GO", -1012, 0, 90),  makeRobot(2, TEAM_YELLOW, "Y1", -660, -415, 90),
            makeRobot(3, TEAM_YELLOW, "Y2", -660, 415, 90), makeRobot(4, TEAM_YELLOW, "Y3", -264, -180, 90),
            makeRobot(5, TEAM_YELLOW, "Y4", -381, 222, 90), makeRobot(6, TEAM_BLUE, "GO", 1012, 0, -90),
            makeRobot(7, TEAM_BLUE, "B1", 660, 415, -90),   makeRobot(8, TEAM_BLUE, "B2", 660, -415, -90),
            makeRobot(9, TEAM_BLUE, "B3", 264, 180, -90),   makeRobot(10, TEAM_BLUE, "B4", 381, -222, -90),
        };
    } else {
        s.robots = {
            makeRobot(1, TEAM_YELLOW, "GO", -690, 0, 90), makeRobot(2, TEAM_YELLOW, "Y1", -250, -200, 90),
            makeRobot(3, TEAM_YELLOW, "Y2", -350, 250, 90), makeRobot(4, TEAM_BLUE, "GO", 690, 0, -90),
            makeRobot(5, TEAM_BLUE, "B1", 250, 200, -90),   makeRobot(6, TEAM_BLUE, "B2", 350, -250, -90),
        };
    }
    return s;
}

std::vector<posicaoXY> freeBallSpots(const RulesSpec& r)
{
    return {{-r.freeBallX, -r.freeBallY}, {r.freeBallX, -r.freeBallY}, {-r.freeBallX, r.freeBallY},
            {r.freeBallX, r.freeBallY}};
}
