// The agent's per-cycle path on recorded world states of real matches (3
// against 3 and 5 against 5), stage by stage and whole, next to a bare
// parse of the same datagrams: the floor no reader of them can go below.

#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "net/Connection.h"
#include "protocol/WorldDataApplication.h"
#include "support/WorldFixture.h"
#include "world/WorldData.h"
#include "xml/XMLSerializer.h"

namespace {

// One recorded datagram per line.
std::vector<std::string> recordedStates(const char* match)
{
    std::ifstream in(std::string(SOCCER_BENCH_DATA) + "/worldstates-" + match + ".txt");
    std::vector<std::string> states;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            states.push_back(line);
        }
    }
    return states;
}

const std::vector<std::string>& states(int match)
{
    static const std::vector<std::string> threeA = recordedStates("3v3");
    static const std::vector<std::string> fiveA = recordedStates("5v5");
    return match == 5 ? fiveA : threeA;
}

// The recorded robot: the yellow field player Y1.
struct Agent {
    ScratchWorkDir dir;
    Properties settings = worldSettings(TEAM_YELLOW, "Y1");
    WorldData world{settings};
    Connection unopened;  // serialises every command, sends none
    BasicPlayer player{TEAM_YELLOW};

    explicit Agent(const std::vector<std::string>& docs)
    {
        player.setWorldData(&world);
        player.setConnection(&unopened);
        for (const std::string& doc : docs) {
            if (world.updateFromText(doc.data(), doc.size()) && !world.pv_i_am_lost()) {
                world.setPosBase();
                break;
            }
        }
    }

    void decide(bool goalkeeper)
    {
        try {
            world.getMinhaPosicaoXY();
            goalkeeper ? player.goleiro() : player.jogador();
            world.saveLastPosBall();
            world.salvaMinhaUltimaPosicao();
        } catch (const ClientException&) {
        }
    }
};

void setBytes(benchmark::State& state, const std::vector<std::string>& docs)
{
    std::size_t bytes = 0;
    for (const std::string& d : docs) {
        bytes += d.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes / docs.size()));
}

void BM_BareParse(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    std::size_t i = 0;
    pugi::xml_document doc;
    for (auto _ : state) {
        const std::string& text = docs[i++ % docs.size()];
        benchmark::DoNotOptimize(doc.load_buffer(text.data(), text.size()));
    }
    setBytes(state, docs);
}
BENCHMARK(BM_BareParse)->Arg(3)->Arg(5);

void BM_Parse(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& text = docs[i++ % docs.size()];
        benchmark::DoNotOptimize(XMLSerializer::documentToRoot(text.data(), text.size()));
    }
    setBytes(state, docs);
}
BENCHMARK(BM_Parse)->Arg(3)->Arg(5);

void BM_ParseAndRead(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    std::size_t i = 0;
    WorldDataApplication message;
    for (auto _ : state) {
        const std::string& text = docs[i++ % docs.size()];
        const XMLItem root = XMLSerializer::documentToRoot(text.data(), text.size());
        message = WorldDataApplication();
        benchmark::DoNotOptimize(message.read(root));
    }
    setBytes(state, docs);
}
BENCHMARK(BM_ParseAndRead)->Arg(3)->Arg(5);

void BM_Update(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    Agent agent(docs);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& text = docs[i++ % docs.size()];
        benchmark::DoNotOptimize(agent.world.updateFromText(text.data(), text.size()));
    }
}
BENCHMARK(BM_Update)->Arg(3)->Arg(5);

// Decisions on states already read; the states still change each time.
void BM_Decision(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    const bool goalkeeper = state.range(1) != 0;
    Agent agent(docs);
    std::size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string& text = docs[i++ % docs.size()];
        agent.world.updateFromText(text.data(), text.size());
        state.ResumeTiming();
        agent.decide(goalkeeper);
    }
}
BENCHMARK(BM_Decision)->Args({3, 0})->Args({5, 0})->Args({3, 1})->Args({5, 1});

void BM_Serialise(benchmark::State& state)
{
    Agent agent(states(3));
    agent.player.pv_set_velocity(-33.3, 87.1);
    for (auto _ : state) {
        agent.player.pv_flush();
    }
}
BENCHMARK(BM_Serialise);

// The whole cycle of a field player: update, decision, command serialised.
void BM_Cycle(benchmark::State& state)
{
    const auto& docs = states(static_cast<int>(state.range(0)));
    Agent agent(docs);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& text = docs[i++ % docs.size()];
        if (agent.world.updateFromText(text.data(), text.size())) {
            agent.decide(false);
            agent.player.pv_flush();
        }
    }
    setBytes(state, docs);
}
BENCHMARK(BM_Cycle)->Arg(3)->Arg(5);

}  // namespace

BENCHMARK_MAIN();
