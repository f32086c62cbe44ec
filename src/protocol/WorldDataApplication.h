#pragma once
// The world-state message that the server sends every cycle: what the camera
// sees from this robot (ball, robots, the 19 landmarks), whether this robot
// itself is seen, time, play mode, score and the echo of the last command.
//
// Data members are public: the world model reads them directly (mPlayMode,
// mTime, mScore, mBall, mFlags, mLastCommand, ...). Distances are mm; angles
// arrive in degrees and are kept in radians (BallInfo also keeps the degrees).
// Negative distances read as 0; ids and orientations keep their sign when
// they reach an Agent (their unsigned fields hold the value modulo 2^32).

#include <ostream>
#include <string>
#include <vector>

#include "geometry/BasicUtils.h"
#include "protocol/Agent.h"
#include "protocol/Command.h"
#include "xml/XMLSerializer.h"

/// \brief The ball, element "ball".
class BallInfo : public XMLSerializable {
public:
    /// \brief Distance (mm).
    unsigned int mDist = 0;
    /// \brief Bearing (radians).
    float mAngle = 0.0f;
    /// \brief Bearing as sent (degrees).
    float mDegAngle = 0.0f;

    /// \brief Reads "dist" and "angle"; true.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief The same, straight from a parsed element (the per-cycle path).
    bool readNode(pugi::xml_node element);
    /// \brief "ball".
    std::string getName() const override { return "ball"; }
    /// \brief Writes "dist" and "angle" (radians); true.
    bool write(std::ostream* doc, unsigned int indent) override;
};

/// \brief A robot element; TeamMate and Opponent differ only in their element name.
class RobotInfo : public XMLSerializable {
public:
    /// \brief Identifier; all ones (uid -1) when absent.
    unsigned int mId = static_cast<unsigned int>(-1);
    /// \brief Nickname; "-" when absent.
    std::string mNickname = "-";
    /// \brief Seen by the camera: the text was "found"; true when absent.
    bool mStatus = true;
    /// \brief Distance (mm).
    unsigned int mDist = 0;
    /// \brief Bearing (radians).
    double mAngle = 0.0;
    /// \brief Heading in whole radians, truncated toward zero.
    unsigned int mOrientation = 0;

    /// \brief Reads "id", "nickname", "status", "dist", "angle", "orientation"; true.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief The same, straight from a parsed element (the per-cycle path).
    bool readNode(pugi::xml_node element);
    /// \brief Writes the six leaves in that order (status as 1 or 0); true.
    bool write(std::ostream* doc, unsigned int indent) override;
};

/// \brief A teammate, element "teamMate".
class TeamMate : public RobotInfo {
public:
    /// \brief "teamMate".
    std::string getName() const override { return "teamMate"; }
};

/// \brief An opponent, element "opponent".
class Opponent : public RobotInfo {
public:
    /// \brief "opponent".
    std::string getName() const override { return "opponent"; }
};

/// \brief A field landmark, element "flag".
class Flag : public XMLSerializable {
public:
    /// \brief Landmark name, e.g. "top_left_pole".
    std::string mId;
    /// \brief Distance (mm), truncated toward zero.
    unsigned int mDist = 0;
    /// \brief Bearing (radians).
    float mAngle = 0.0f;

    /// \brief Reads "id", "dist", "angle"; true.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief The same, straight from a parsed element (the per-cycle path).
    bool readNode(pugi::xml_node element);
    /// \brief "flag".
    std::string getName() const override { return "flag"; }
    /// \brief Writes "id", "dist", "angle"; true.
    bool write(std::ostream* doc, unsigned int indent) override;
};

/// \brief The score, element "score"; -1 until read.
class Score : public XMLSerializable {
public:
    int mYellow = -1;
    int mBlue = -1;

    /// \brief Reads "yellow" and "blue"; true.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief The same, straight from a parsed element (the per-cycle path).
    bool readNode(pugi::xml_node element);
    /// \brief "score".
    std::string getName() const override { return "score"; }
    /// \brief Writes "yellow" and "blue"; true.
    bool write(std::ostream* doc, unsigned int indent) override;
};

/// \brief One world-state message, element "worldData"; read into a fresh object each cycle.
class WorldDataApplication : public XMLSerializable {
public:
    /// \brief This robot: found (at a zero position) when the message says "found".
    Agent mMe;
    /// \brief The other robots of both sides, in message order.
    AgentList mOthers;
    double mTime = 0.0;
    int mMaxAgents = 0;
    std::string mPlayMode;
    Score mScore;
    /// \brief The server's echo of this robot's last command.
    CommandType mLastCommand;
    BallInfo mBall;
    /// \brief The landmarks in message order.
    std::vector<Flag> mFlags;
    std::string mNickname;
    unsigned int mAgentID = 0;
    /// \brief The message said "found" for this robot.
    bool mStatus = false;

    /// \brief Reads one document; false (with a line on standard output) on a leaf child
    /// of the root whose name is not known, leaving mMe the default agent.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief "worldData".
    std::string getName() const override { return "worldData"; }
    /// \brief Writes nothing; true.
    bool write(std::ostream* doc, unsigned int indent) override;
    /// \brief Back to a freshly constructed message, keeping the storage of the robot and
    /// landmark lists for the next read.
    void clear();

    /// \brief The teammates, found or not.
    AgentList Teammates() const { return mOthers.From(side_TEAMMATE); }
    /// \brief The opponents, found or not.
    AgentList Opponents() const { return mOthers.From(side_OPPONENT); }
    /// \brief A copy of every other robot.
    AgentList All() const { return mOthers; }
    /// \brief A copy of this robot's record.
    Agent Me() const { return mMe; }
    /// \brief A copy of the first other robot with `uid`.
    /// \throws ClientException "Requested uid <uid> was not found".
    Agent getAgent(int uid) const { return mOthers.ByUid(uid); }
    /// \brief Whether the robot with `uid` was seen; throws as getAgent.
    bool isAgentFound(int uid) const { return getAgent(uid).found(); }
    /// \brief Whether this robot was seen.
    bool isAgentFound() const { return mStatus; }
    /// \brief The first landmark named `id`; valid until this object changes.
    /// \throws ClientException "Logic error in flag request" when there is none.
    const Flag& getFlag(const std::string& id) const;
    /// \brief The landmark as a polar vector from this robot.
    vector_t getVector(const Flag& flag) const;

private:
    void readRobot(pugi::xml_node element, AgentSide side);

    // Id texts of the landmarks of earlier messages, kept by clear() for reuse.
    std::vector<std::string> mSpareIds;
};
