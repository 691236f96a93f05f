#include "data/ListRows.h"

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

std::vector<std::pair<std::string, std::string>> summaryListRows(const Recording& rec) {
    const int rows = rec.kind == KindTempHumi ? 15 : 10;
    std::vector<std::pair<std::string, std::string>> out;
    out.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        const auto k = static_cast<std::size_t>(i);
        out.emplace_back(rec.labels[k], rec.values[k]);
    }
    return out;
}

std::string sampleListCell(const Recording& rec, int item, int column, const AppSettings& settings) {
    if (item < 0 || item >= rec.usableSamples()) return {};
    const auto i = static_cast<std::size_t>(item);
    switch (column) {
        case 0:
            return format("%d", item + 1);
        case 1:
            return rec.sampleTime[i] != 0 ? formatLocalMinutes(rec.sampleTime[i]) : std::string();
        case 2: {
            const float t = rec.temperature[i];
            if (!Recording::hasValue(t)) return {};
            std::string s = format("%.2f", settings.toDisplay(t)) + settings.currentUnit;
            if (rec.tempOutOfLimits(t)) s += "*";
            return s;
        }
        case 3: {
            const float h = rec.humidity[i];
            if (rec.kind != KindTempHumi || !Recording::hasValue(h)) return {};
            std::string s = format("%.2f", static_cast<double>(h)) + settings.humidityUnit;
            if (rec.humiOutOfLimits(h)) s += "*";
            return s;
        }
        default:
            return {};
    }
}

std::string sampleListCell(const Recording& rec, int item, int column) {
    return sampleListCell(rec, item, column, AppSettings::instance());
}

int sampleListColumns(const Recording& rec) {
    return rec.kind == KindTempHumi ? kSampleListColumnsHumidity : kSampleListColumns;
}

std::string sampleListHeader(int column) {
    if (column < 0 || column >= kSampleListColumnsHumidity) return {};
    return text(30 + column);
}

}  // namespace thermivo
