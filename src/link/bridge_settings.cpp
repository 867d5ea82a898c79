#include "bridge_settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace hideaway::bridge {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

/// An XDG base folder: the variable when it holds an absolute path, else HOME and the fallback.
std::string xdgFolder(const char* variable, const char* fallback) {
    const std::string value = environment(variable);
    if (!value.empty() && value.front() == '/') {
        return value;
    }
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + "/" + fallback;
}

/// A call's limit in seconds as written; false for anything but a whole number in range.
bool parseTimeout(const std::string& value, int& seconds) {
    constexpr int kMostSeconds = 1000000;
    if (value.empty() || value.size() > 7 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    seconds = std::stoi(value);
    return seconds <= kMostSeconds;
}

const char* const kNotSeconds = ": not a whole number of seconds from 0 (no limit) to 1000000";

}  // namespace

bool parseBridgeSettings(const std::string& text, const std::string& source,
                         BridgeSettings& settings, std::string& reason) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        // Only a whole line is a comment: a path may hold a '#' as any other character.
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const auto equals = content.find('=');
        const std::string where = source + " line " + std::to_string(number) + ": ";
        if (equals == std::string::npos) {
            reason = where + content + ": expected 'key = value'";
            return false;
        }
        const std::string key = trimmed(content.substr(0, equals));
        const std::string value = trimmed(content.substr(equals + 1));
        if (key == "dll") {
            settings.dll = value;
        } else if (key == "prefix") {
            settings.prefix = value;
        } else if (key == "wine") {
            settings.wine = value;
        } else if (key == "timeout") {
            if (!parseTimeout(value, settings.timeoutSeconds)) {
                reason = where + "timeout = " + value + kNotSeconds;
                return false;
            }
        } else if (key.size() == 4 && key.starts_with("com") && key[3] >= '1' && key[3] <= '5') {
            settings.com.at(static_cast<std::size_t>(key[3] - '1')) = value;
        } else {
            reason = where + key +
                     ": not a setting of the bridge (dll, prefix, wine, timeout, com1 to com5)";
            return false;
        }
    }
    return true;
}

bool readBridgeSettings(BridgeSettings& settings, std::string& reason) {
    const std::string config = xdgFolder("XDG_CONFIG_HOME", ".config");
    const std::string data = xdgFolder("XDG_DATA_HOME", ".local/share");
    if (!config.empty()) {
        settings.file = config + "/hideaway100k/wine-bridge.conf";
        std::ifstream file(settings.file);
        if (file) {
            std::ostringstream text;
            text << file.rdbuf();
            if (file.bad() || !parseBridgeSettings(text.str(), settings.file, settings, reason)) {
                if (reason.empty()) {
                    reason = settings.file + ": cannot be read";
                }
                return false;
            }
        }
    }
    if (settings.prefix.empty() && !data.empty()) {
        settings.prefix = data + "/hideaway100k/wine";
    }
    if (const std::string dll = environment("HIDEAWAY_GBP_DLL"); !dll.empty()) {
        settings.dll = dll;
    }
    if (const std::string prefix = environment("WINEPREFIX"); !prefix.empty()) {
        settings.prefix = prefix;
    }
    if (const std::string wine = environment("HIDEAWAY_WINE"); !wine.empty()) {
        settings.wine = wine;
    }
    if (const std::string timeout = environment("HIDEAWAY_GBP_TIMEOUT");
        !timeout.empty() && !parseTimeout(timeout, settings.timeoutSeconds)) {
        reason = "HIDEAWAY_GBP_TIMEOUT=" + timeout + kNotSeconds;
        return false;
    }
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        const std::string name = "HIDEAWAY_GBP_COM" + std::to_string(i + 1);
        if (const std::string device = environment(name.c_str()); !device.empty()) {
            settings.com.at(i) = device;
        }
    }
    if (settings.prefix.empty()) {
        reason = "no Wine prefix: set WINEPREFIX or HOME";
        return false;
    }
    return true;
}

}  // namespace hideaway::bridge
