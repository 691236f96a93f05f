#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace thermivo {

inline constexpr std::uint16_t kLanguageChinesePrc = 2052;
inline constexpr std::uint16_t kLanguageEnglishUs = 1033;

/// Maps a POSIX locale name ("zh_CN.UTF-8", "en_GB", "C") to a Windows language id; unknown gives 1033.
std::uint16_t languageIdFromLocale(std::string_view locale);

/// The system language: LC_ALL, then LC_MESSAGES, then LANG (the first one set and not empty).
std::uint16_t systemLanguageId();

/// Process-wide settings fixed at start-up, before any thread exists. Only `currentUnit` changes later,
/// and only on the user-interface thread.
struct AppSettings {
    std::uint16_t languageId = kLanguageEnglishUs;
    std::string unitCelsius = "\u00B0C";
    std::string unitFahrenheit = "\u00B0F";
    std::string currentUnit = "\u00B0F";
    std::string humidityUnit = "%RH";

    /// Sets the language and the default unit (Celsius only for 2052).
    void setLanguage(std::uint16_t id);
    /// Reads the system language and sets everything from it.
    void initFromSystem() { setLanguage(systemLanguageId()); }
    bool isFahrenheit() const { return currentUnit == unitFahrenheit; }
    /// A Celsius value in the current display unit.
    double toDisplay(double celsius) const { return isFahrenheit() ? celsius * 1.8 + 32.0 : celsius; }

    static AppSettings& instance();
};

}  // namespace thermivo
