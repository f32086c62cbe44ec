#pragma once
// Test scaffolding for code that needs a WorldData: a scratch working
// directory holding a speed file, the settings a WorldData reads, and a
// world model loaded from a scene.

#include <memory>
#include <string>

#include "common/BuildConstants.h"
#include "common/Properties.h"
#include "support/SceneBuilder.h"
#include "world/WorldData.h"

/// \brief A fresh temporary directory made the working directory for the object's lifetime,
/// with a valid "velocidade.ini" in it unless told otherwise.
class ScratchWorkDir {
public:
    explicit ScratchWorkDir(bool withSpeedFile = true);
    ~ScratchWorkDir();
    ScratchWorkDir(const ScratchWorkDir&) = delete;
    ScratchWorkDir& operator=(const ScratchWorkDir&) = delete;

    /// \brief Writes `text` into `name` inside the directory.
    void writeFile(const std::string& name, const std::string& text) const;
    /// \brief The directory's path.
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
    std::string mPrevious;
};

/// \brief The text of a valid speed file.
std::string sampleSpeedFile();

/// \brief Every setting a WorldData reads, with plain values: SLEEP 0, TRIES 1, the team,
/// POS_BASE 0.25 / 0.5, KICKABLE 100, attraction 0.5 / 0.5, rectangle 0..1 both ways.
Properties worldSettings(mrTeam team, const std::string& nickname = "r1");

/// \brief A WorldData built from `settings` (needs a speed file in the working directory)
/// and loaded with `scene`; fails the test when the document is not read.
std::unique_ptr<WorldData> worldFromScene(const Scene& scene, Properties settings,
                                          const BuildConstants& build = kMainBuild);
/// \brief Reloads `world` with `scene`; true when read.
bool loadScene(WorldData& world, const Scene& scene);
