#pragma once
// The command message: wheel velocities, a kick or a steering goal. The
// player keeps one Command and overwrites it each decision; the world-state
// message reads the server's echo of it into a CommandType.
//
// Fields are public: the world model reads the echoed values
// (mLastCommand.mLeftVelocity, ...) and the player inspects what it set.

#include <ostream>
#include <string>

#include "xml/XMLSerializer.h"

/// \brief Kind of command; 0 (kNoCommand) means none has been set yet.
enum _commandType { WHEEL_VELOCITY = 1, KICK = 2, STEERING = 3 };

/// \brief The kind of a command on which no setter was called.
inline constexpr _commandType kNoCommand = static_cast<_commandType>(0);

/// \brief The body of a command: its kind and the values of every kind.
class CommandType : public XMLSerializable {
public:
    /// \brief Body element name: "wheel_velocities", "kick" or "goto" (empty until set).
    std::string mCommandName;
    /// \brief Kind of command.
    _commandType mCommandEnum = kNoCommand;
    /// \brief Kick force.
    float mStrength = 0.0f;
    /// \brief Right wheel velocity.
    float mRightVelocity = 0.0f;
    /// \brief Left wheel velocity.
    float mLeftVelocity = 0.0f;
    /// \brief Steering distance (mm).
    unsigned int mDist = 0;
    /// \brief Steering angle.
    int miAngle = 0;
    /// \brief Kick direction in degrees.
    float mdAngle = 0.0f;

    /// \brief Reads the first two children as one of the pairs angle/force, dist/angle or
    /// right/left (tried in that order); sets only those two values. False when none matches.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief mCommandName.
    std::string getName() const override { return mCommandName; }
    /// \brief Writes the two leaves of the kind; writes nothing and returns false for kind 0.
    bool write(std::ostream* doc, unsigned int indent) override;
};

/// \brief The command message, element "command".
class Command : public XMLSerializable {
public:
    /// \brief The body.
    CommandType mCommandType;

    /// \brief Wheel velocities; the right wheel goes first on the wire.
    void setVelocity(float dLeftWheel, float dRightWheel);
    /// \brief A kick towards `angle` radians (sent in degrees) with `strength`.
    void setKick(double angle, double strength);
    /// \brief A steering goal at `dist` mm and `angle`.
    void setSteeringCommand(unsigned int dist, int angle);

    /// \brief Reads the first child into the body when it is nested; false otherwise.
    bool read(const TLDocumentSlice& slice) override;
    /// \brief "command".
    std::string getName() const override { return "command"; }
    /// \brief Writes the body as a nested element; true.
    bool write(std::ostream* doc, unsigned int indent) override;

    /// \brief Replaces `out` with the text writeNestedNode writes for this command at depth 0,
    /// built without a stream (the per-cycle path).
    void toDatagramText(std::string& out) const;
    /// \brief The command kind.
    _commandType kind() const { return mCommandType.mCommandEnum; }
    /// \brief The left wheel velocity last set.
    float leftVelocity() const { return mCommandType.mLeftVelocity; }
    /// \brief The right wheel velocity last set.
    float rightVelocity() const { return mCommandType.mRightVelocity; }
};
