#pragma once
// The agent's actuator and decision maker: builds the one command of a
// control cycle (wheel speeds or a kick) from the world model and sends it.
// Every wheel speed goes through the 30-level quantisation, so the server only
// ever receives speeds the robot can run.

#include <string>

#include "common/BuildConstants.h"
#include "common/Team.h"
#include "geometry/BasicUtils.h"
#include "protocol/Command.h"

class Connection;
class WorldData;

/// \brief Who controls the ball, as answered by BasicPlayer::estado_agent().
enum agent_estados {
    ESTOU_COM_BOLA = 1,
    MEU_TIME_COM_BOLA = 2,
    TIME_ADVERSARIO_COM_BOLA = 3,
    PENALTY = 4,
};

class BasicPlayer {
public:
    /// \brief A player of `team`; both links start unset.
    explicit BasicPlayer(mrTeam team, const BuildConstants& build = kMainBuild);
    virtual ~BasicPlayer();

    /// \brief Link used by pv_flush; not owned.
    void setConnection(Connection* connection);
    /// \brief World model queried by the behaviours; not owned.
    void setWorldData(WorldData* worldData);
    /// \brief The team given at construction.
    mrTeam getAgentTeam() const;
    /// \brief The command of this cycle, as pv_flush would send it.
    const Command& command() const { return mCmd; }

    // --- Wheel commands (each overwrites the command; pv_flush sends it) ---

    /// \brief Both wheels, each quantised; a non-finite request becomes a stop.
    void pv_set_velocity(double left, double right);
    /// \brief Kick at `angle` (radians, robot-relative) with `strength`; a non-finite one becomes a stop.
    void pv_kick(double angle, double strength);
    /// \brief Serialises the current command and sends it as one datagram (no-op without a link).
    void pv_flush();
    /// \brief Nearest of the 30 runnable speed levels, sign kept, clamped to [26.5, 130.43...].
    static double DiscreteSpeed(double speed_wheel);

    // --- Fixed motion primitives ---

    /// \brief 0 / 0, sent as the lowest level on both wheels.
    void pv_stop();
    /// \brief `speed` on both wheels.
    void pv_go_straight(double speed);
    /// \brief Fastest spin to the left.
    void pv_quick_turn_left();
    /// \brief Fastest spin to the right.
    void pv_quick_turn_right();
    /// \brief Spin to the left (a pivot on the right wheel in builds with pivotTurns).
    void pv_turn_left();
    /// \brief Spin to the right (a pivot on the left wheel in builds with pivotTurns).
    void pv_turn_right();
    /// \brief Slow spin to the left.
    void pv_slow_turn_left();
    /// \brief Slow spin to the right.
    void pv_slow_turn_right();
    /// \brief Fast wide curve to the left.
    void pv_curve_left();
    /// \brief Fast wide curve to the right.
    void pv_curve_right();
    /// \brief Curve to the left, forwards (back = 0) or reversing.
    void pv_curve_left2(int back);
    /// \brief Curve to the right, forwards (back = 0) or reversing.
    void pv_curve_right2(int back);

    // --- Steering laws: one command towards a robot-relative target ---

    /// \brief Forward-only approach; turns on the spot for targets behind.
    void pv_go_to_original(vector_t v);
    /// \brief The field player's approach; reverses towards targets behind.
    void pv_go_to(vector_t v);
    /// \brief The goalkeeper's forward-only approach.
    void pv_go_to_original_goleiro(vector_t v);
    /// \brief The goalkeeper's approach; reverses towards targets behind.
    void pv_go_to_goleiro(vector_t v);

    // --- Ball actions ---

    /// \brief Shoots at the opponent goal, or passes when the mouth is crowded.
    void kickToGoal();
    /// \brief Clears through the widest gap of a window chosen by the own zone; nothing in attack.
    void clearBall();
    /// \brief Clears through the widest gap between bearings `ang1` and `ang2`.
    void clearBall(double ang1, double ang2);
    /// \brief Passes to the world model's chosen receiver.
    void passe();
    /// \brief Passes to teammate `receptor_ID`.
    void passe(int receptor_ID);
    /// \brief Whether this robot should race for the ball, given a margin `dist`.
    bool ICanGoToBall(double dist);
    /// \brief Runs the last echoed wheel command backwards to get free.
    void tentaSeSoltar();
    /// \brief Dribbles towards `destino`: goes to the ball, then pushes it on.
    void carregar(vector_t destino);

    // --- Role behaviours ---

    /// \brief Who controls the ball; an agent_estados value.
    int estado_agent();
    /// \brief One cycle of the field player.
    void jogador();
    /// \brief One cycle of the field player that is the designated pass receiver.
    void receptor();
    /// \brief One cycle of the goalkeeper.
    void goleiro();
    /// \brief One cycle of a penalty (goalkeeper or kicker by nickname).
    void penalty();

private:
    /// The world model; throws ClientException while it is not wired yet.
    WorldData& world() const;
    /// Soft kick towards the opponent goal line along the field axis.
    void empurrarParaFrente(double orientacao);

    Connection* pConnection = nullptr;
    Command mCmd;
    mrTeam mTeam;
    WorldData* mWorldData = nullptr;
    BuildConstants mBuild;
    // Reused for every flush so that sending allocates nothing once warm.
    std::string mWire;
};
