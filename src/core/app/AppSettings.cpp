#include "app/AppSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace thermivo {

namespace {
struct LocaleId {
    const char* name;
    std::uint16_t id;
};

// language_TERRITORY first, then a bare language as fallback.
constexpr LocaleId kLocales[] = {
    {"zh_cn", 2052},  {"zh_sg", 4100}, {"zh_tw", 1028}, {"zh_hk", 3076}, {"zh_mo", 5124}, {"en_us", 1033},
    {"en_gb", 2057},  {"en_au", 3081}, {"en_ca", 4105}, {"en_nz", 5129}, {"en_ie", 6153}, {"en_za", 7177},
    {"en_in", 16393}, {"de_de", 1031}, {"de_at", 3079}, {"de_ch", 2055}, {"fr_fr", 1036}, {"fr_be", 2060},
    {"fr_ca", 3084},  {"fr_ch", 4108}, {"ja_jp", 1041}, {"ko_kr", 1042}, {"it_it", 1040}, {"es_es", 3082},
    {"es_mx", 2058},  {"pt_br", 1046}, {"pt_pt", 2070}, {"ru_ru", 1049}, {"nl_nl", 1043}, {"pl_pl", 1045},
    {"sv_se", 1053},  {"da_dk", 1030}, {"fi_fi", 1035}, {"nb_no", 1044}, {"cs_cz", 1029}, {"hu_hu", 1038},
    {"tr_tr", 1055},  {"el_gr", 1032}, {"he_il", 1037}, {"ar_sa", 1025}, {"th_th", 1054}, {"vi_vn", 1066},
    {"uk_ua", 1058},  {"zh", 2052},    {"en", 1033},    {"de", 1031},    {"fr", 1036},    {"ja", 1041},
    {"ko", 1042},     {"it", 1040},    {"es", 3082},    {"pt", 2070},    {"ru", 1049},    {"nl", 1043},
    {"pl", 1045},     {"sv", 1053},
};
}  // namespace

std::uint16_t languageIdFromLocale(std::string_view locale) {
    // Drop ".codeset" and "@modifier"; normalise "zh-CN" to "zh_cn".
    std::string name(locale.substr(0, locale.find_first_of(".@")));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return c == '-' ? '_' : static_cast<char>(std::tolower(c)); });
    for (const auto& l : kLocales)
        if (name == l.name) return l.id;
    const std::string language = name.substr(0, name.find('_'));
    if (language == "zh") {
        // Traditional-script variants are not the PRC language.
        if (name.find("hant") != std::string::npos) return 1028;
    }
    for (const auto& l : kLocales)
        if (language == l.name) return l.id;
    return kLanguageEnglishUs;
}

std::uint16_t systemLanguageId() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return languageIdFromLocale(value);
    }
    return kLanguageEnglishUs;
}

void AppSettings::setLanguage(std::uint16_t id) {
    languageId = id;
    humidityUnit = "%RH";
    unitFahrenheit = "\u00B0F";
    unitCelsius = "\u00B0C";
    currentUnit = id == kLanguageChinesePrc ? unitCelsius : unitFahrenheit;
}

AppSettings& AppSettings::instance() {
    static AppSettings settings;
    return settings;
}

}  // namespace thermivo
