#include "agent/SettingError.h"

int intSetting(const Properties& props, const std::string& key)
{
    try {
        return convert_to<int, std::string>(props.propertyValue(key));
    } catch (const BadParameter& e) {
        throw SettingError(key, e.what());
    }
}

int nonNegativeIntSetting(const Properties& props, const std::string& key)
{
    const int value = intSetting(props, key);
    if (value < 0) {
        throw SettingError(key, "negative value " + props.propertyValue(key) + " not allowed");
    }
    return value;
}

int boundedIntSetting(const Properties& props, const std::string& key, int min, int max)
{
    const int value = intSetting(props, key);
    if (value < min || value > max) {
        throw SettingError(key, props.propertyValue(key) + " is outside " + std::to_string(min) + "-" +
                                    std::to_string(max));
    }
    return value;
}
