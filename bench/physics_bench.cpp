// One physics step of the simulated field (all its engine sub-steps), with
// the robots of the 3 against 3 and the 5 against 5 scenarios driving about
// and meeting, and the ball rolling among them.

#include <benchmark/benchmark.h>

#include "sim/physics/World.h"

namespace {

void BM_PhysicsStep(benchmark::State& state)
{
    const Scenario scenario = defaultScenario(static_cast<int>(state.range(0)));
    World physics(scenario);
    std::vector<RobotBody> robots;
    BallBody ball;
    StepEvents events;
    physics.placeForKickoff(robots, ball);
    ball.vel = {900.0, 400.0};
    long step = 0;
    for (auto _ : state) {
        // Every robot heads for the middle on its own curve, so that they
        // press together there, as they do around a contested ball.
        if (step % 30 == 0) {
            for (std::size_t i = 0; i < robots.size(); ++i) {
                RobotCommand cmd;
                cmd.kind = RobotCommand::Kind::Wheels;
                cmd.left = 130.0 - static_cast<double>((i + static_cast<std::size_t>(step / 30)) % 4) * 20.0;
                cmd.right = 130.0;
                physics.command(robots[i], cmd);
            }
        }
        physics.step(robots, ball, events, -1);
        benchmark::DoNotOptimize(ball);
        if (++step % 600 == 0) {
            physics.placeForKickoff(robots, ball);
            ball.vel = {900.0, 400.0};
        }
    }
    state.counters["robots"] = static_cast<double>(robots.size());
}

}  // namespace

BENCHMARK(BM_PhysicsStep)->Arg(3)->Arg(5)->ArgName("perSide");
BENCHMARK_MAIN();
