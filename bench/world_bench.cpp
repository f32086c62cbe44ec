// One control cycle of a field player's world model: reading the world-state
// document and the queries a field player typically makes on it.

#include <string>

#include <benchmark/benchmark.h>

#include "support/WorldFixture.h"

namespace {

Scene typicalScene()
{
    Scene s;
    s.me = {-250, 180};
    s.heading = 0.7;
    s.ball = {120, -90};
    s.myId = 3;
    s.myNickname = "r3";
    s.others = {SceneRobot{1, "GO", true, {-700, 10}, 1.5, true}, SceneRobot{2, "r2", true, {200, 300}, 0.2, true},
                SceneRobot{6, "GO", false, {700, 0}, -1.5, true}, SceneRobot{7, "o7", false, {150, -40}, 2.0, true},
                SceneRobot{8, "o8", false, {-100, 250}, -0.5, true}};
    s.echo = Scene::Echo::kWheels;
    s.echoLeft = 33.5f;
    s.echoRight = 30.8f;
    return s;
}

struct BenchWorld {
    ScratchWorkDir dir;
    Properties settings = worldSettings(TEAM_YELLOW, "r3");
    WorldData world{settings};
    std::string document = buildWorldState(typicalScene());

    BenchWorld()
    {
        world.updateFromText(document.data(), document.size());
        world.setPosBase();
    }
};

void BM_WorldUpdate(benchmark::State& state)
{
    BenchWorld b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.world.updateFromText(b.document.data(), b.document.size()));
    }
}
BENCHMARK(BM_WorldUpdate);

void BM_FieldPlayerQueries(benchmark::State& state)
{
    BenchWorld b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.world.getMinhaPosicaoXY());
        benchmark::DoNotOptimize(b.world.getBolaXY());
        benchmark::DoNotOptimize(b.world.posEstrategica());
        benchmark::DoNotOptimize(b.world.mr_iAmClosestToBall(GRUPO_MEU_TIME_SEM_GOLEIRO));
        benchmark::DoNotOptimize(b.world.pv_can_kick());
        benchmark::DoNotOptimize(b.world.receptor());
    }
}
BENCHMARK(BM_FieldPlayerQueries);

void BM_WorldCycle(benchmark::State& state)
{
    BenchWorld b;
    for (auto _ : state) {
        b.world.updateFromText(b.document.data(), b.document.size());
        benchmark::DoNotOptimize(b.world.getMinhaPosicaoXY());
        benchmark::DoNotOptimize(b.world.getBolaXY());
        benchmark::DoNotOptimize(b.world.posEstrategica());
        benchmark::DoNotOptimize(b.world.mr_iAmClosestToBall(GRUPO_MEU_TIME_SEM_GOLEIRO));
        benchmark::DoNotOptimize(b.world.pv_can_kick());
        benchmark::DoNotOptimize(b.world.receptor());
    }
}
BENCHMARK(BM_WorldCycle);

}  // namespace

BENCHMARK_MAIN();
