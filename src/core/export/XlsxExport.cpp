#include "export/XlsxExport.h"

#include <unistd.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/Provenance.h"
#include "app/SafeSave.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "export/RecordingExport.h"

#ifdef THERMIVO_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

namespace thermivo {

#ifndef THERMIVO_HAVE_XLSXWRITER

bool xlsxExportAvailable() {
    return false;
}

bool writeRecordingXlsx(const Recording&, const std::string& path, const AppSettings&, std::string* error,
                        const std::string&) {
    if (error) *error = path + ": this build cannot write .xlsx workbooks (libxlsxwriter was missing)";
    return false;
}

#else

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

/// The spreadsheet serial date of a local time: days since 1899-12-30 with the time of day as fraction.
std::optional<double> serialDate(std::int64_t seconds) {
    if (seconds == 0) return std::nullopt;
    const auto p = toLocal(seconds);
    if (!p) return std::nullopt;
    constexpr std::int64_t kEpochOffset = 25569;  // 1970-01-01 as a serial date
    const std::int64_t days =
        daysFromCivil(p->year, static_cast<unsigned>(p->month), static_cast<unsigned>(p->day));
    return static_cast<double>(days + kEpochOffset) + (p->hour * 3600 + p->minute * 60 + p->second) / 86400.0;
}

/// The float as the decimal it was written as (2.07f becomes 2.07, not 2.0699999332), so cells read back as
/// the numbers the recording shows.
double shortestDouble(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    double d = v;
    std::from_chars(buf, r.ptr, d);
    return d;
}

/// A value as the two decimals its cell shows (49.784 °F is 49.78, without a binary tail).
double twoDecimalValue(double v) {
    const std::string text = format("%.2f", v);
    double d = v;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return d;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(' ');
    std::string out = s.substr(first, last - first + 1);
    if (!out.empty() && out.back() == ':') out.pop_back();
    return out;
}

std::string withUnit(const std::string& label, const std::string& unit) {
    return label + " (" + unit + ")";
}

// --- the package's application entry ----------------------------------------------------------------------
// The library writes "Microsoft Excel" as the application of every package it makes. The entry is replaced by
// one naming this program: the other entries are copied byte for byte, the new one is stored uncompressed.

std::uint32_t crc32Of(const std::string& bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t le(const std::string& z, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(z[at + static_cast<std::size_t>(i)]);
    return v;
}

void putLe(std::string& z, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        z[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

/// The package with entry `name` replaced by `content`; nothing when the package is not a plain zip as the
/// library writes it (then the caller keeps it as it is).
std::optional<std::string> replaceZipEntry(const std::string& zip, const std::string& name,
                                           const std::string& content) {
    constexpr std::uint32_t kEnd = 0x06054b50, kCentral = 0x02014b50, kLocal = 0x04034b50,
                            kDescriptor = 0x08074b50;
    if (zip.size() < 22) return std::nullopt;
    std::size_t end = zip.size() - 22;
    while (le(zip, end, 4) != kEnd) {
        if (end == 0 || zip.size() - end > 22 + 65535) return std::nullopt;
        --end;
    }
    const std::uint32_t entries = le(zip, end + 10, 2), cdSize = le(zip, end + 12, 4),
                        cdOffset = le(zip, end + 16, 4);
    if (static_cast<std::size_t>(cdOffset) + cdSize > end) return std::nullopt;
    std::string out, central;
    const std::uint32_t crc = crc32Of(content);
    bool replaced = false;
    std::size_t at = cdOffset;
    for (std::uint32_t e = 0; e < entries; ++e) {
        if (at + 46 > end || le(zip, at, 4) != kCentral) return std::nullopt;
        const std::uint32_t flags = le(zip, at + 8, 2), csize = le(zip, at + 20, 4);
        const std::uint32_t nlen = le(zip, at + 28, 2), elen = le(zip, at + 30, 2),
                            clen = le(zip, at + 32, 2);
        const std::uint32_t local = le(zip, at + 42, 4);
        if (at + 46 + nlen + elen + clen > end || local + 30 > cdOffset || le(zip, local, 4) != kLocal)
            return std::nullopt;
        const std::string entryName = zip.substr(at + 46, nlen);
        const std::size_t data = local + 30 + le(zip, local + 26, 2) + le(zip, local + 28, 2);
        std::size_t stop = data + csize;
        if ((flags & 8) != 0) stop += stop + 4 <= cdOffset && le(zip, stop, 4) == kDescriptor ? 16 : 12;
        if (stop > cdOffset) return std::nullopt;
        std::string header = zip.substr(at, 46 + nlen + elen + clen);
        putLe(header, 42, static_cast<std::uint32_t>(out.size()), 4);
        if (entryName == name) {
            std::string lh = zip.substr(local, 30);
            putLe(lh, 6, flags & ~8u, 2);
            putLe(lh, 8, 0, 2);  // stored
            putLe(lh, 14, crc, 4);
            putLe(lh, 18, static_cast<std::uint32_t>(content.size()), 4);
            putLe(lh, 22, static_cast<std::uint32_t>(content.size()), 4);
            putLe(lh, 26, nlen, 2);
            putLe(lh, 28, 0, 2);
            out += lh + entryName + content;
            header = header.substr(0, 46) + entryName;
            putLe(header, 8, flags & ~8u, 2);
            putLe(header, 10, 0, 2);
            putLe(header, 16, crc, 4);
            putLe(header, 20, static_cast<std::uint32_t>(content.size()), 4);
            putLe(header, 24, static_cast<std::uint32_t>(content.size()), 4);
            putLe(header, 30, 0, 2);
            putLe(header, 32, 0, 2);
            replaced = true;
        } else {
            out.append(zip, local, stop - local);
        }
        central += header;
        at += 46 + nlen + elen + clen;
    }
    if (!replaced) return std::nullopt;
    std::string tail = zip.substr(end);
    putLe(tail, 12, static_cast<std::uint32_t>(central.size()), 4);
    putLe(tail, 16, static_cast<std::uint32_t>(out.size()), 4);
    return out + central + tail;
}

std::string applicationProperties() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
           "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
           "<Application>" +
           thermivoNameAndVersion() +
           "</Application><DocSecurity>0</DocSecurity>"
           "<ScaleCrop>false</ScaleCrop><Company>Thermivo</Company><LinksUpToDate>false</LinksUpToDate>"
           "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged></Properties>";
}

class XlsxWriter {
  public:
    XlsxWriter(const Recording& rec, const AppSettings& settings, std::string sourceSha256)
        : rec_(rec),
          settings_(settings),
          humidity_(rec.kind == KindTempHumi),
          sourceSha256_(std::move(sourceSha256)) {}

    lxw_error write(const std::string& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        wb_ = workbook_new_opt(path.c_str(), &options);
        if (wb_ == nullptr) return LXW_ERROR_CREATING_XLSX_FILE;
        makeFormats();
        setProperties();
        const std::string summaryName = text(34), dataName = text(29), chartName = text(2316);
        lxw_worksheet* summary = workbook_add_worksheet(wb_, summaryName.c_str());
        lxw_worksheet* data = workbook_add_worksheet(wb_, dataName.c_str());
        lxw_chartsheet* chartSheet = workbook_add_chartsheet(wb_, chartName.c_str());
        if (summary == nullptr || data == nullptr || chartSheet == nullptr) {
            workbook_close(wb_);
            return LXW_ERROR_SHEETNAME_ALREADY_USED;
        }
        summaryName_ = summaryName;
        writeSummary(summary);
        writeData(data);
        addChart(chartSheet, dataName);
        return workbook_close(wb_);
    }

  private:
    // The package's application entry is fixed by the library; the maker is named in the document's own
    // properties (author, comments) and in custom properties a reader lists under "Generator" and "Source".
    void setProperties() {
        const std::string user = systemUserName();
        const std::string program = thermivoNameAndVersion();
        const std::string title = rec_.serialText();
        const std::string comments =
            program + (sourceSha256_.empty() ? std::string() : ", source SHA-256 " + sourceSha256_);
        lxw_doc_properties properties{};
        properties.title = const_cast<char*>(title.c_str());
        properties.author = const_cast<char*>(user.c_str());
        properties.company = const_cast<char*>("Thermivo");
        properties.comments = const_cast<char*>(comments.c_str());
        workbook_set_properties(wb_, &properties);
        workbook_set_custom_property_string(wb_, "Generator", program.c_str());
        if (!sourceSha256_.empty())
            workbook_set_custom_property_string(wb_, "Source SHA-256", sourceSha256_.c_str());
    }

    void makeFormats() {
        bold_ = workbook_add_format(wb_);
        format_set_bold(bold_);
        date_ = workbook_add_format(wb_);
        format_set_num_format(date_, "yyyy-mm-dd hh:mm");
        twoDecimals_ = workbook_add_format(wb_);
        format_set_num_format(twoDecimals_, "0.00");
        integer_ = workbook_add_format(wb_);
        format_set_num_format(integer_, "0");
    }

    void label(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const std::string& s,
               lxw_format* f = nullptr) {
        worksheet_write_string(ws, row, col, s.c_str(), f);
    }
    void date(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, std::int64_t t) {
        if (const auto d = serialDate(t)) worksheet_write_number(ws, row, col, *d, date_);
    }
    void temperature(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, double celsius) {
        worksheet_write_number(ws, row, col, twoDecimalValue(settings_.toDisplay(celsius)), twoDecimals_);
    }
    void percent(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, double value) {
        worksheet_write_number(ws, row, col, twoDecimalValue(value), twoDecimals_);
    }

    void writeSummary(lxw_worksheet* ws) {
        worksheet_set_column(ws, 0, 0, 32, nullptr);
        worksheet_set_column(ws, 1, 2, 18, nullptr);
        worksheet_set_column(ws, 3, 4, 14, nullptr);
        const std::string& unit = settings_.currentUnit;
        const std::string& humi = settings_.humidityUnit;
        lxw_row_t row = 0;
        label(ws, row, 0, text(35), bold_);
        label(ws, row++, 1, text(36), bold_);
        const auto shown = [&](std::uint32_t bit) { return (rec_.validMask & bit) != 0; };
        const auto labelOf = [&](int index) { return trimmed(rec_.labels[static_cast<std::size_t>(index)]); };
        if (shown(Recording::MaskSerial)) {
            label(ws, row, 0, labelOf(Recording::ValSerial));
            label(ws, row++, 1, rec_.serialText());
        }
        if (shown(Recording::MaskStart)) {
            label(ws, row, 0, labelOf(Recording::ValStart));
            date(ws, row++, 1, rec_.startTime);
        }
        if (shown(Recording::MaskStop)) {
            label(ws, row, 0, labelOf(Recording::ValStop));
            date(ws, row++, 1, rec_.stopTime);
        }
        if (shown(Recording::MaskInterval)) {
            label(ws, row, 0, withUnit(labelOf(Recording::ValInterval), "s"));
            worksheet_write_number(ws, row++, 1, static_cast<double>(rec_.intervalSeconds), integer_);
        }
        if (shown(Recording::MaskCount)) {
            label(ws, row, 0, labelOf(Recording::ValCount));
            worksheet_write_number(ws, row++, 1, rec_.sampleCount, integer_);
        }
        if (shown(Recording::MaskDescription)) {
            label(ws, row, 0, labelOf(Recording::ValDescription));
            label(ws, row++, 1, rec_.description());
        }
        // Dates in the cells are local times: the zone and its offset at the start say which.
        label(ws, row, 0, text(2506));
        label(ws, row++, 1,
              localZoneName() + " (UTC" + formatUtcOffset(utcOffsetSeconds(rec_.startTime)) + ")");
        if (!sourceSha256_.empty()) {
            label(ws, row, 0, text(2511) + " " + text(2512));
            label(ws, row++, 1, sourceSha256_);
        }
        label(ws, row, 0, text(2513));
        label(ws, row++, 1, thermivoNameAndVersion());
        const struct {
            std::uint32_t bit;
            int index;
            float value;
            bool isTemperature;
        } figures[] = {
            {Recording::MaskTempMax, Recording::ValTempMax, rec_.tempMax, true},
            {Recording::MaskTempMin, Recording::ValTempMin, rec_.tempMin, true},
            {Recording::MaskTempAvg, Recording::ValTempAvg, rec_.tempAvg, true},
            {Recording::MaskTempUpper, Recording::ValTempUpper, rec_.tempUpper, true},
            {Recording::MaskTempLower, Recording::ValTempLower, rec_.tempLower, true},
            {Recording::MaskHumiMax, Recording::ValHumiMax, rec_.humiMax, false},
            {Recording::MaskHumiMin, Recording::ValHumiMin, rec_.humiMin, false},
            {Recording::MaskHumiAvg, Recording::ValHumiAvg, rec_.humiAvg, false},
            {Recording::MaskHumiUpper, Recording::ValHumiUpper, rec_.humiUpper, false},
            {Recording::MaskHumiLower, Recording::ValHumiLower, rec_.humiLower, false},
        };
        for (const auto& f : figures) {
            if (!shown(f.bit)) continue;
            label(ws, row, 0, withUnit(labelOf(f.index), f.isTemperature ? unit : humi));
            if (f.isTemperature)
                temperature(ws, row++, 1, shortestDouble(f.value));
            else
                percent(ws, row++, 1, shortestDouble(f.value));
        }

        const RecordingStatistics s = computeStatistics(rec_);
        ++row;
        label(ws, row++, 0, text(2300), bold_);
        label(ws, row, 0, withUnit(trimmed(text(2301)), unit));
        if (s.mktCelsius) temperature(ws, row, 1, *s.mktCelsius);
        ++row;
        label(ws, row, 0, withUnit(trimmed(text(2302)), "kJ/mol"));
        worksheet_write_number(ws, row++, 1, s.activationEnergyKJPerMol, nullptr);
        const auto statsRows = [&](const LimitStatistics& l, const std::string& prefix) {
            for (const auto& item : {std::pair{2303, l.secondsAbove}, std::pair{2304, l.secondsBelow}}) {
                label(ws, row, 0, withUnit(prefix + trimmed(text(item.first)), "s"));
                if (l.alarmOn)
                    worksheet_write_number(ws, row, 1, static_cast<double>(item.second), integer_);
                else
                    label(ws, row, 1, text(2313));
                ++row;
            }
        };
        statsRows(s.temperature, "");
        if (s.hasHumidity) statsRows(s.humidity, text(2321) + ": ");

        // The chart's limit lines: each a two-point series from the first to the last sample time.
        const int n = rec_.usableSamples();
        const auto limitRow = [&](const std::string& name, double value, bool isTemperature) {
            label(ws, row, 0, name);
            date(ws, row, 1, rec_.sampleTime[0]);
            date(ws, row, 2, rec_.sampleTime[static_cast<std::size_t>(n - 1)]);
            for (lxw_col_t c : {lxw_col_t{3}, lxw_col_t{4}}) {
                if (isTemperature)
                    temperature(ws, row, c, value);
                else
                    percent(ws, row, c, value);
            }
            limitRows_.push_back({row, name, isTemperature});
            ++row;
        };
        if (n > 0 && (rec_.tempAlarmOn || (humidity_ && rec_.humiAlarmOn))) {
            ++row;
            label(ws, row++, 0, text(2525), bold_);
            if (rec_.tempAlarmOn) {
                limitRow(withUnit(trimmed(text(13)), unit), rec_.tempUpper, true);
                limitRow(withUnit(trimmed(text(14)), unit), rec_.tempLower, true);
            }
            if (humidity_ && rec_.humiAlarmOn) {
                limitRow(withUnit(trimmed(text(18)), humi), rec_.humiUpper, false);
                limitRow(withUnit(trimmed(text(19)), humi), rec_.humiLower, false);
            }
        }

        const auto excursionTable = [&](const LimitStatistics& l, bool humidity) {
            if (!l.alarmOn) return;
            ++row;
            label(ws, row++, 0, (humidity ? text(2321) : text(2320)) + ": " + trimmed(text(2305)), bold_);
            label(ws, row, 0, text(2306), bold_);
            label(ws, row, 1, text(2307), bold_);
            label(ws, row, 2, text(2308), bold_);
            label(ws, row, 3, withUnit(text(2309), "s"), bold_);
            label(ws, row++, 4, withUnit(text(2310), humidity ? humi : unit), bold_);
            for (const Excursion& e : l.excursions) {
                label(ws, row, 0, sideKeyword(e.side));
                date(ws, row, 1, e.start);
                date(ws, row, 2, e.end);
                worksheet_write_number(ws, row, 3, static_cast<double>(e.seconds), integer_);
                if (humidity)
                    percent(ws, row, 4, shortestDouble(e.extreme));
                else
                    temperature(ws, row, 4, shortestDouble(e.extreme));
                ++row;
            }
        };
        excursionTable(s.temperature, false);
        if (s.hasHumidity) excursionTable(s.humidity, true);
    }

    void writeData(lxw_worksheet* ws) {
        const int n = rec_.usableSamples();
        worksheet_set_column(ws, 0, 0, 8, nullptr);
        worksheet_set_column(ws, 1, 1, 18, nullptr);
        worksheet_set_column(ws, 2, 2, 18, nullptr);
        if (humidity_) worksheet_set_column(ws, 3, 3, 16, nullptr);
        worksheet_set_column(ws, humidity_ ? 4 : 3, humidity_ ? 5 : 3, 12, nullptr);
        lastCol_ = humidity_ ? 5 : 3;
        worksheet_freeze_panes(ws, 1, 0);

        label(ws, 0, 0, text(30), bold_);
        label(ws, 0, 1, text(31), bold_);
        label(ws, 0, 2, withUnit(text(32), settings_.currentUnit), bold_);
        lxw_col_t col = 3;
        if (humidity_) label(ws, 0, col++, withUnit(text(33), settings_.humidityUnit), bold_);
        label(ws, 0, col++, text(2314), bold_);
        if (humidity_) label(ws, 0, col, text(60), bold_);
        // Where daylight saving begins or ends within the recording, a last column gives each row's offset,
        // so the repeated autumn hour is told apart.
        bool offsetChanges = false;
        for (int i = 1; i < n && !offsetChanges; ++i)
            offsetChanges = utcOffsetSeconds(rec_.sampleTime[static_cast<std::size_t>(i)]) !=
                            utcOffsetSeconds(rec_.sampleTime[0]);
        const lxw_col_t offsetCol = lastCol_ + 1;
        if (offsetChanges) {
            label(ws, 0, offsetCol, text(2562), bold_);
            lastCol_ = offsetCol;
        }
        worksheet_autofilter(ws, 0, 0, static_cast<lxw_row_t>(n), lastCol_);

        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const auto row = static_cast<lxw_row_t>(i + 1);
            worksheet_write_number(ws, row, 0, i + 1, integer_);
            date(ws, row, 1, rec_.sampleTime[k]);
            const float t = rec_.temperature[k];
            if (Recording::hasValue(t)) temperature(ws, row, 2, shortestDouble(t));
            col = 3;
            if (humidity_) {
                const float h = rec_.humidity[k];
                if (Recording::hasValue(h)) percent(ws, row, col, shortestDouble(h));
                ++col;
            }
            const int side = temperatureAlarmSide(rec_, t);
            if (side != 0) worksheet_write_string(ws, row, col, alarmKeyword(side), nullptr);
            ++col;
            if (humidity_) {
                const int hside = humidityAlarmSide(rec_, rec_.humidity[k]);
                if (hside != 0) worksheet_write_string(ws, row, col, alarmKeyword(hside), nullptr);
            }
            if (offsetChanges)
                label(ws, row, offsetCol, formatUtcOffset(utcOffsetSeconds(rec_.sampleTime[k])));
        }
        rows_ = n;
    }

    // A scatter chart against the sample times: a line chart would put the dates on a category axis, which
    // stacks the samples of one day on one position.
    void addChart(lxw_chartsheet* sheet, const std::string& dataName) {
        lxw_chart* chart = workbook_add_chart(wb_, LXW_CHART_SCATTER_STRAIGHT);
        const auto series = [&](const std::string& sheetName, lxw_row_t r0, lxw_col_t x0, lxw_row_t r1,
                                lxw_col_t x1, lxw_col_t y0, lxw_col_t y1, const std::string& name,
                                lxw_color_t color, std::uint8_t dash) {
            lxw_chart_series* se = chart_add_series(chart, nullptr, nullptr);
            chart_series_set_categories(se, sheetName.c_str(), r0, x0, r1, x1);
            chart_series_set_values(se, sheetName.c_str(), r0, y0, r1, y1);
            chart_series_set_name(se, name.c_str());
            chart_series_set_marker_type(se, LXW_CHART_MARKER_NONE);
            lxw_chart_line line{};
            line.color = color;
            line.width = 1.0f;
            line.dash_type = dash;
            chart_series_set_line(se, &line);
        };
        if (rows_ > 0) {
            const auto last = static_cast<lxw_row_t>(rows_);
            // The curve colour of the chart view.
            series(dataName, 1, 1, last, 1, 2, 2, withUnit(text(32), settings_.currentUnit), 0xB732B7,
                   LXW_CHART_LINE_DASH_SOLID);
            if (humidity_)
                series(dataName, 1, 1, last, 1, 3, 3, withUnit(text(33), settings_.humidityUnit), 0x2E9BD6,
                       LXW_CHART_LINE_DASH_SOLID);
            for (const LimitRow& l : limitRows_)
                series(summaryName_, l.row, 1, l.row, 2, 3, 4, l.name, l.temperature ? 0xC00000 : 0xB46E00,
                       LXW_CHART_LINE_DASH_DASH);
            if (const auto first = serialDate(rec_.sampleTime[0])) chart_axis_set_min(chart->x_axis, *first);
            if (const auto end = serialDate(rec_.sampleTime[last - 1]))
                chart_axis_set_max(chart->x_axis, *end);
        }
        const std::string title = rec_.serialText().empty() ? text(2316) : rec_.serialText();
        chart_title_set_name(chart, title.c_str());
        chart_axis_set_num_format(chart->x_axis, "yyyy-mm-dd hh:mm");
        chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
        chartsheet_set_chart(sheet, chart);
    }

    const Recording& rec_;
    const AppSettings& settings_;
    const bool humidity_;
    lxw_workbook* wb_ = nullptr;
    lxw_format *bold_ = nullptr, *date_ = nullptr, *twoDecimals_ = nullptr, *integer_ = nullptr;
    lxw_col_t lastCol_ = 3;
    int rows_ = 0;
    const std::string sourceSha256_;
    struct LimitRow {
        lxw_row_t row;
        std::string name;
        bool temperature;
    };
    std::vector<LimitRow> limitRows_;
    std::string summaryName_;
};

}  // namespace

bool xlsxExportAvailable() {
    return true;
}

bool writeRecordingXlsx(const Recording& rec, const std::string& path, const AppSettings& settings,
                        std::string* error, const std::string& sourceSha256) {
    // The library writes only to a named file; it writes a private scratch file, whose bytes then take the
    // program's one way into place (links followed, permissions kept, synced, renamed).
    const char* tmpdir = std::getenv("TMPDIR");
    std::string scratch =
        std::string(tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp") + "/thermivo-xlsx.XXXXXX";
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) {
        if (error) *error = path + ": cannot create a scratch file";
        return false;
    }
    ::close(fd);
    XlsxWriter writer(rec, settings, sourceSha256);
    const lxw_error status = writer.write(scratch);
    std::string bytes;
    bool read = false;
    if (status == LXW_NO_ERROR) {
        std::ifstream in(scratch, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        read = !in.bad();
    }
    std::remove(scratch.c_str());
    if (status != LXW_NO_ERROR || !read) {
        if (error)
            *error = path + ": " +
                     (status != LXW_NO_ERROR ? lxw_strerror(status) : "cannot read the scratch file");
        return false;
    }
    if (auto named = replaceZipEntry(bytes, "docProps/app.xml", applicationProperties()))
        bytes = std::move(*named);
    const SaveResult saved = saveFileSafely(path, bytes);
    if (!saved.ok()) {
        if (error) *error = saveProblemText(saved.problem) + " (" + saved.detail + ")";
        return false;
    }
    return true;
}

#endif

}  // namespace thermivo
