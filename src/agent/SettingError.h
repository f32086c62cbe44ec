#pragma once
// Numeric settings are converted where they are used; a failure must still
// say which key was at fault, so the conversion is wrapped here.

#include <string>

#include "common/Convert.h"
#include "common/Properties.h"

/// \brief A setting that is missing, not a number or out of range.
/// Still a BadParameter, so callers that only know that type keep working.
class SettingError : public BadParameter {
public:
    SettingError(const std::string& key, const std::string& what) : BadParameter(what), mKey(key) {}

    /// \brief The key of the offending setting.
    const std::string& key() const { return mKey; }

private:
    std::string mKey;
};

/// \brief `props[key]` through convert_to<int, std::string>.
/// \throws SettingError carrying the key and the conversion message.
int intSetting(const Properties& props, const std::string& key);

/// \brief As intSetting, and refuses a negative value.
int nonNegativeIntSetting(const Properties& props, const std::string& key);

/// \brief As intSetting, and refuses a value outside [min, max].
int boundedIntSetting(const Properties& props, const std::string& key, int min, int max);
