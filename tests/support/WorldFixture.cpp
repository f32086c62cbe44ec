#include "support/WorldFixture.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

ScratchWorkDir::ScratchWorkDir(bool withSpeedFile)
{
    char previous[PATH_MAX];
    if (getcwd(previous, sizeof previous) == nullptr) {
        throw std::runtime_error("getcwd failed");
    }
    mPrevious = previous;
    char pattern[] = "/tmp/world-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    mPath = pattern;
    if (chdir(mPath.c_str()) != 0) {
        throw std::runtime_error("chdir failed");
    }
    if (withSpeedFile) {
        writeFile("velocidade.ini", sampleSpeedFile());
    }
}

ScratchWorkDir::~ScratchWorkDir()
{
    if (chdir(mPrevious.c_str()) != 0) {
        return;
    }
    unlink((mPath + "/velocidade.ini").c_str());
    rmdir(mPath.c_str());
}

void ScratchWorkDir::writeFile(const std::string& name, const std::string& text) const
{
    std::ofstream out(mPath + "/" + name, std::ios::trunc);
    out << text;
}

std::string sampleSpeedFile()
{
    return "# speeds\nVEL_MAX=80\nVEL_MAX_CURVE=60\nVEL_MAX_SPIN=40\nANGLE_SPIN=0.5\nBIG_ANGLE=1.2\n"
           "ANGLE_VEL_MAX=0.2\nLENGTH_NEAR=100\n";
}

Properties worldSettings(mrTeam team, const std::string& nickname)
{
    Properties p;
    p.setProperty("SLEEP", "0");
    p.setProperty("TRIES", "1");
    p.setProperty("TEAM", std::to_string(static_cast<int>(team)));
    p.setProperty("POS_BASE_X", "0.25");
    p.setProperty("POS_BASE_Y", "0.5");
    p.setProperty("KICKABLE", "100");
    p.setProperty("FATOR_ATRACAO_X", "0.5");
    p.setProperty("FATOR_ATRACAO_Y", "0.5");
    p.setProperty("X_MINIMO", "0");
    p.setProperty("X_MAXIMO", "1");
    p.setProperty("Y_MINIMO", "0");
    p.setProperty("Y_MAXIMO", "1");
    p.setProperty("NICK_NAME", nickname);
    return p;
}

bool loadScene(WorldData& world, const Scene& scene)
{
    const std::string text = buildWorldState(scene);
    return world.updateFromText(text.data(), text.size());
}

std::unique_ptr<WorldData> worldFromScene(const Scene& scene, Properties settings, const BuildConstants& build)
{
    auto world = std::make_unique<WorldData>(settings, build);
    EXPECT_TRUE(loadScene(*world, scene)) << buildWorldState(scene);
    return world;
}
