#pragma once
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/AppSettings.h"
#include "data/Recording.h"

namespace thermivo::testing {

/// Sets TZ for the life of the object and restores the previous zone afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old, hadPrevious_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadPrevious_)
            setenv("TZ", previous_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string previous_;
    bool hadPrevious_ = false;
};

/// Sets the process-wide language (and default unit) for one test, restoring English/°F afterwards.
class ScopedLanguage {
  public:
    explicit ScopedLanguage(std::uint16_t id) { AppSettings::instance().setLanguage(id); }
    ~ScopedLanguage() { AppSettings::instance().setLanguage(kLanguageEnglishUs); }
};

/// A fresh folder under the system temp dir, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "thermivo-test-XXXXXX").string();
        path_ = mkdtemp(templ.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

/// A folder holding a generated comma-decimal locale "de_DE.UTF-8" (made once per process with localedef,
/// removed at exit), for LOCPATH; empty when localedef is missing or fails.
const std::string& commaLocaleDir();
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

/// Switches the whole process to the comma-decimal locale, as Qt does at start-up under de_DE, and restores
/// the previous locale and LOCPATH afterwards. active() is false when no such locale could be made.
class ScopedCommaLocale {
  public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;
    bool active() const { return active_; }

  private:
    std::string previousLocale_, previousLocPath_;
    bool hadLocPath_ = false;
    bool active_ = false;
};

/// A recording as a download would leave it: header, statistics and n samples of a gentle curve.
std::unique_ptr<Recording> makeRecording(std::int32_t kind, int samples, std::int64_t start = 1393668000,
                                         std::int64_t interval = 300);

}  // namespace thermivo::testing
