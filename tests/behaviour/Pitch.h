#pragma once
// A BasicPlayer wired to a world model loaded from a physical scene.

#include <cmath>
#include <memory>

#include "behaviour/BasicPlayer.h"
#include "support/SceneBuilder.h"
#include "support/WorldFixture.h"
#include "world/WorldData.h"

/// \brief A scene with the robot facing the opponent goal at `me`.
inline Scene facingGoal(posicaoXY me, mrTeam team = TEAM_YELLOW, const char* nickname = "r1")
{
    Scene scene;
    scene.team = team;
    scene.me = me;
    scene.heading = kPi / 2;
    scene.myNickname = nickname;
    return scene;
}

/// \brief The field point at `distance` and robot-relative `bearingDeg` from the robot.
inline posicaoXY relativePoint(const Scene& scene, double distance, double bearingDeg)
{
    const double t = scene.heading + degToRad(bearingDeg);
    return posicaoXY{scene.me.x + distance * std::sin(t), scene.me.y - distance * std::cos(t)};
}

inline SceneRobot robot(int id, bool teammate, posicaoXY at, const char* nickname = "x")
{
    SceneRobot r;
    r.id = id;
    r.teammate = teammate;
    r.position = at;
    r.nickname = nickname;
    return r;
}

class Pitch {
public:
    explicit Pitch(const Scene& scene, const BuildConstants& build = kMainBuild)
        : mWorld(worldFromScene(scene, worldSettings(scene.team, scene.myNickname), build)),
          mPlayer(scene.team, build)
    {
        mWorld->setPosBase();
        mPlayer.setWorldData(mWorld.get());
    }

    WorldData& world() { return *mWorld; }
    BasicPlayer& player() { return mPlayer; }
private:
    ScratchWorkDir mDir;
    std::unique_ptr<WorldData> mWorld;
    BasicPlayer mPlayer;
};
