#include "report/Report.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"

namespace thermivo {

namespace {

// The page design: printable A4 portrait, in millimetres.
constexpr double kPageWidthMm = 200.0;
constexpr double kPageHeightMm = 287.0;
constexpr double kTopMm = 8.0;
constexpr double kBottomMm = 273.0;  // the flow ends here; the footer lies below
constexpr double kFooterMm = 279.0;
constexpr double kLeftMm = 8.0;
constexpr double kRightMm = 192.0;
constexpr double kValueMm = 72.0;
constexpr double kStatValueMm = 86.0;  // the statistics' labels are longer
constexpr double kLineMm = 5.2;
constexpr double kTextMm = 3.0;  // em height of the body text
constexpr double kTableTextMm = 2.6;

// The curve block.
constexpr double kCurveHeightMm = 112.0;
constexpr double kPlotTopMm = 4.0;  // below the block's top
constexpr double kPlotHeightMm = 80.0;
constexpr double kPlotLeftMm = 26.0;
constexpr double kPlotRightMm = 174.0;
constexpr int kMaxCurveColumns = 1200;

// Excursion table: left edge of each column, then the right edge of the last.
constexpr double kTableColumnsMm[] = {8, 16, 37, 52, 93, 134, 156, 192};

// Signature block: rows of name, date and signature lines.
constexpr double kSignatureRowMm = 16.0;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGrid{200, 200, 200};
constexpr Rgb kTempLine{0, 60, 170};
constexpr Rgb kHumiLine{0, 130, 60};
constexpr Rgb kTempLimit{200, 0, 0};
constexpr Rgb kHumiLimit{180, 110, 0};
constexpr Rgb kTempShade{255, 214, 214};
constexpr Rgb kHumiShade{255, 236, 190};
constexpr Rgb kWithinFrame{0, 120, 0};
constexpr Rgb kExceededFrame{190, 0, 0};
constexpr Rgb kNoLimitsFrame{110, 110, 110};

std::string timeOrEmpty(std::int64_t t) {
    return formatLocalWithOffset(t);
}

ReportVerdict verdictOf(const LimitStatistics& l, int quantityTextId) {
    ReportVerdict v;
    v.quantity = text(quantityTextId);
    if (!l.alarmOn) {
        v.outcome = ReportVerdict::Outcome::NoLimits;
        v.text = text(2518);
    } else if (l.excursions.empty()) {
        v.outcome = ReportVerdict::Outcome::Within;
        v.text = text(2516);
    } else {
        v.outcome = ReportVerdict::Outcome::Exceeded;
        v.text = textWith(
            2517, {format("%zu", l.excursions.size()), durationText(l.secondsAbove + l.secondsBelow)});
    }
    return v;
}

void limitLines(std::vector<ReportField>& out, const LimitStatistics& l, const std::string& limits) {
    out.push_back({text(2525), l.alarmOn ? limits : text(2554)});
    out.push_back({text(2526), l.alarmOn ? durationText(l.secondsAbove) : text(2554)});
    out.push_back({text(2527), l.alarmOn ? durationText(l.secondsBelow) : text(2554)});
    if (l.alarmOn) out.push_back({text(2528), format("%zu", l.excursions.size())});
}

bool isWide(unsigned char lead) {
    return lead >= 0xE0;
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, int columns) {
    std::vector<std::string> lines;
    std::string line;
    int width = 0;
    std::size_t lastSpace = std::string::npos;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            width = 0;
            lastSpace = std::string::npos;
            ++i;
            continue;
        }
        std::size_t len = 1;
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        len = std::min(len, text.size() - i);
        const int w = isWide(c) ? 2 : 1;
        if (width + w > columns && !line.empty()) {
            if (c != ' ' && lastSpace != std::string::npos && lastSpace > 0) {
                // Break at the last blank; the rest of the word starts the next line.
                std::string rest = line.substr(lastSpace + 1);
                line.resize(lastSpace);
                lines.push_back(line);
                line = rest;
                width = static_cast<int>(utf8Length(line));
            } else {
                lines.push_back(line);
                line.clear();
                width = 0;
            }
            lastSpace = std::string::npos;
            if (c == ' ') {
                ++i;
                continue;
            }
        }
        if (c == ' ') lastSpace = line.size();
        line.append(text, i, len);
        width += w;
        i += len;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

ReportContent buildReportContent(const Recording& rec, const ReportRequest& request,
                                 const AppSettings& settings) {
    ReportContent c;
    c.fahrenheit = settings.isFahrenheit();
    c.unit = settings.currentUnit;
    c.humidityUnit = settings.humidityUnit;
    c.title = text(2500);
    const SampleRange range = sampleRangeBetween(rec, request.from, request.to);
    c.stats = computeStatistics(rec, range, request.activationEnergyKJPerMol);
    const RecordingStatistics& s = c.stats;
    const bool humi = s.hasHumidity;
    const int n = s.range.count();
    const std::int64_t first =
        n > 0 ? rec.sampleTime[static_cast<std::size_t>(s.range.first)] : rec.startTime;
    const std::int64_t last =
        n > 0 ? rec.sampleTime[static_cast<std::size_t>(s.range.last - 1)] : rec.stopTime;

    auto& id = c.identity;
    id.push_back({text(2501), rec.serialText()});
    id.push_back({text(2502), format("%d (", rec.kind) + text(humi ? 2551 : 2550) + ")"});
    id.push_back({text(2503), rec.description()});
    id.push_back({text(2504), timeOrEmpty(first)});
    id.push_back({text(2505), timeOrEmpty(last)});
    id.push_back({text(2506), localZoneName()});
    id.push_back({text(2507), intervalText(rec.intervalSeconds)});
    id.push_back({text(2508), format("%d", n)});
    id.push_back({text(2509), format("%d", s.samplesWithoutValue)});
    id.push_back({text(2510), n > 0 ? format("%.2f %%", 100.0 * (n - s.samplesWithoutValue) / n) : "-"});
    id.push_back({text(2511), request.sourceName});
    id.push_back({text(2512), request.sourceSha256});
    // The history's verdict may take two lines (origin, then the samples against the kept original).
    for (std::size_t at = 0, line = 0; at < request.origin.size(); ++line) {
        const std::size_t end = std::min(request.origin.find('\n', at), request.origin.size());
        id.push_back({line == 0 ? text(2563) : std::string(), request.origin.substr(at, end - at)});
        at = end + 1;
    }
    id.push_back({text(2513), request.program});
    id.push_back({text(2514), timeOrEmpty(request.madeAt)});
    id.push_back({text(2515), request.user});

    c.verdicts.push_back(verdictOf(s.temperature, 2519));
    if (humi) c.verdicts.push_back(verdictOf(s.humidity, 2520));

    const auto temp = [&](double v) { return temperatureText(v, settings); };
    const auto hum = [&](double v) { return humidityText(v, settings); };
    const auto at = [](const std::string& value, std::int64_t t) {
        return textWith(2529, {value, formatLocalWithOffset(t)});
    };
    auto& st = c.statistics;
    st.push_back({text(2519), ""});
    st.push_back({textWith(2521, {format("%g", s.activationEnergyKJPerMol)}),
                  s.mktCelsius ? temp(*s.mktCelsius) : text(2322)});
    st.push_back({text(2522), s.maxCelsius ? at(temp(*s.maxCelsius), s.maxTime) : text(2322)});
    st.push_back({text(2523), s.minCelsius ? at(temp(*s.minCelsius), s.minTime) : text(2322)});
    st.push_back({text(2524), s.avgCelsius ? temp(*s.avgCelsius) : text(2322)});
    limitLines(st, s.temperature,
               format("[%.2f, %.2f]", settings.toDisplay(rec.tempLower), settings.toDisplay(rec.tempUpper)) +
                   settings.currentUnit);
    if (humi) {
        st.push_back({text(2520), ""});
        st.push_back({text(2522), s.maxPercent ? at(hum(*s.maxPercent), s.maxPercentTime) : text(2322)});
        st.push_back({text(2523), s.minPercent ? at(hum(*s.minPercent), s.minPercentTime) : text(2322)});
        st.push_back({text(2524), s.avgPercent ? hum(*s.avgPercent) : text(2322)});
        limitLines(
            st, s.humidity,
            format("[%.2f, %.2f]", static_cast<double>(rec.humiLower), static_cast<double>(rec.humiUpper)) +
                settings.humidityUnit);
    }

    std::vector<std::pair<const Excursion*, bool>> all;
    for (const Excursion& e : s.temperature.excursions) all.emplace_back(&e, false);
    for (const Excursion& e : s.humidity.excursions) all.emplace_back(&e, true);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a.first->start < b.first->start; });
    int number = 0;
    for (const auto& [e, isHumidity] : all) {
        ReportExcursionRow r;
        r.number = format("%d", ++number);
        r.quantity = text(isHumidity ? 2520 : 2519);
        r.side = text(e->side == Excursion::High ? 2540 : 2541);
        r.start = formatLocalWithOffset(e->start);
        r.end = formatLocalWithOffset(e->end);
        r.duration = durationText(e->seconds);
        r.extreme = isHumidity ? hum(e->extreme) : temp(e->extreme);
        c.excursions.push_back(std::move(r));
    }
    c.comment = request.comment;
    c.serial = rec.serialText();
    c.digestPrefix = request.sourceSha256.substr(0, 16);
    c.program = request.program;
    return c;
}

ReportDocument::ReportDocument(const Recording& rec, ReportContent content, int dpiX, int dpiY, int width,
                               int height)
    : rec_(rec), content_(std::move(content)), dpiX_(std::max(dpiX, 1)), dpiY_(std::max(dpiY, 1)) {
    const double widthMm = width * 25.4 / dpiX_, heightMm = height * 25.4 / dpiY_;
    scale_ = std::max(0.01, std::min(widthMm / kPageWidthMm, heightMm / kPageHeightMm));
    commentLines_ = wrapText(content_.comment, 100);

    using Kind = Block::Kind;
    std::vector<Block> flow;
    flow.push_back({Kind::Title, 0, 12.0});
    for (std::size_t i = 0; i < content_.identity.size(); ++i)
        flow.push_back({Kind::Field, static_cast<int>(i), kLineMm});
    flow.push_back({Kind::Verdicts, 0, 8.0 + 7.0 * static_cast<double>(content_.verdicts.size())});
    flow.push_back({Kind::Heading, 2530, 9.0});
    for (std::size_t i = 0; i < content_.statistics.size(); ++i)
        flow.push_back({Kind::StatLine, static_cast<int>(i), kLineMm});
    flow.push_back({Kind::Heading, 2531, 9.0});
    flow.push_back({Kind::Curve, 0, kCurveHeightMm});
    flow.push_back({Kind::Heading, 2532, 9.0});
    if (content_.excursions.empty()) {
        flow.push_back({Kind::Note, 2533, kLineMm});
    } else {
        flow.push_back({Kind::TableHeader, 0, 6.5});
        for (std::size_t i = 0; i < content_.excursions.size(); ++i)
            flow.push_back({Kind::TableRow, static_cast<int>(i), 4.8});
    }
    flow.push_back({Kind::Heading, 2542, 9.0});
    // Without a comment, three ruled lines are left for one written by hand.
    const std::size_t commentRows = commentLines_.empty() ? 3 : commentLines_.size();
    for (std::size_t i = 0; i < commentRows; ++i)
        flow.push_back({Kind::CommentLine, static_cast<int>(i), 6.0});
    flow.push_back({Kind::Signature, 0, 6.0 + 3 * kSignatureRowMm});

    pages_.emplace_back();
    double y = kTopMm;
    for (std::size_t i = 0; i < flow.size(); ++i) {
        Block b = flow[i];
        // A heading stays with what follows it; a table row on a new page gets the header again.
        double needed = b.heightMm;
        if (b.kind == Kind::Heading && i + 1 < flow.size()) needed += flow[i + 1].heightMm;
        if (b.kind == Kind::Heading && i + 2 < flow.size() && flow[i + 1].kind == Kind::TableHeader)
            needed += flow[i + 2].heightMm;
        if (y + needed > kBottomMm && !pages_.back().empty()) {
            pages_.emplace_back();
            y = kTopMm;
            if (b.kind == Kind::TableRow) {
                pages_.back().push_back({Kind::TableHeader, 0, 6.5, y});
                y += 6.5;
            }
        }
        b.topMm = y;
        pages_.back().push_back(b);
        y += b.heightMm;
    }
}

int ReportDocument::px(double mm) const {
    return static_cast<int>(mm * scale_ * dpiX_ / 25.4);
}
int ReportDocument::py(double mm) const {
    return static_cast<int>(mm * scale_ * dpiY_ / 25.4);
}

namespace {

Font fontOf(double emPixels, bool bold) {
    return Font{"Arial", -std::max(1, static_cast<int>(emPixels)), bold ? 700 : 400};
}

/// Draws `s` at (x, y); a text wider than the room up to `right` gets a smaller font of its own.
void fitText(Canvas& canvas, const Font& font, int x, int y, int right, const std::string& s) {
    const int room = right - x;
    const int width = canvas.textExtent(s).width;
    if (room <= 0 || width <= room) {
        canvas.textOut(x, y, s);
        return;
    }
    Font smaller = font;
    smaller.height = -std::max(1, static_cast<int>(static_cast<long long>(-font.height) * room / width));
    canvas.setFont(smaller);
    canvas.textOut(x, y, s);
    canvas.setFont(font);
}

/// A scale from a value range: rounded ends and a step of 1, 2 or 5 times a power of ten.
struct Scale {
    double low = 0, high = 1, step = 1;
};

Scale niceScale(double lo, double hi) {
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double raw = (hi - lo) / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

std::string tickText(double v, double step) {
    if (std::fabs(v) < step * 1e-6) v = 0;
    return step >= 1 ? format("%.0f", v) : step >= 0.1 ? format("%.1f", v) : format("%.2f", v);
}

}  // namespace

void ReportDocument::drawPage(Canvas& canvas, int page) const {
    if (page < 1 || page > pageCount()) return;
    canvas.setBackgroundMode(BackgroundMode::Transparent);
    canvas.setTextColor(kBlack);
    for (const Block& b : pages_[static_cast<std::size_t>(page - 1)]) drawBlock(canvas, b);
    drawFooter(canvas, page);
}

void ReportDocument::drawFooter(Canvas& canvas, int page) const {
    const Font f = fontOf(py(2.6), false);
    canvas.setFont(f);
    canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(0.2) * 1.0), kBlack});
    canvas.line(px(kLeftMm), py(kFooterMm - 1.5), px(kRightMm), py(kFooterMm - 1.5));
    canvas.textOut(px(kLeftMm), py(kFooterMm),
                   textWith(2549, {format("%d", page), format("%d", pageCount())}));
    canvas.textOut(px(70), py(kFooterMm), text(2501) + " " + content_.serial);
    const std::string digest = text(2512) + " " + content_.digestPrefix;
    canvas.textOut(px(kRightMm) - canvas.textExtent(digest).width, py(kFooterMm), digest);
}

void ReportDocument::drawBlock(Canvas& canvas, const Block& b) const {
    using Kind = Block::Kind;
    const Font body = fontOf(py(kTextMm), false);
    const Font bold = fontOf(py(kTextMm), true);
    const int y = py(b.topMm);
    const auto i = static_cast<std::size_t>(b.index);
    const Pen thin{PenStyle::Solid, std::max(1.0, py(0.2) * 1.0), kBlack};
    switch (b.kind) {
        case Kind::Title:
            canvas.setFont(fontOf(py(5.5), true));
            canvas.textOut(px(kLeftMm), y, content_.title);
            canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(0.4) * 1.0), kBlack});
            canvas.line(px(kLeftMm), py(b.topMm + 9), px(kRightMm), py(b.topMm + 9));
            return;
        case Kind::Heading:
            canvas.setFont(fontOf(py(3.8), true));
            canvas.textOut(px(kLeftMm), py(b.topMm + 2.5), text(b.index));
            return;
        case Kind::Field:
        case Kind::StatLine: {
            const ReportField& f = b.kind == Kind::Field ? content_.identity[i] : content_.statistics[i];
            if (b.kind == Kind::StatLine && f.value.empty()) {
                canvas.setFont(bold);
                canvas.textOut(px(kLeftMm + 2), y, f.label);
                return;
            }
            const bool stat = b.kind == Kind::StatLine;
            const double valueMm = stat ? kStatValueMm : kValueMm;
            canvas.setFont(body);
            fitText(canvas, body, px(kLeftMm + (stat ? 6 : 2)), y, px(valueMm - 1), f.label);
            fitText(canvas, body, px(valueMm), y, px(kRightMm), f.value);
            return;
        }
        case Kind::Verdicts: {
            bool exceeded = false, within = false;
            for (const ReportVerdict& v : content_.verdicts) {
                exceeded = exceeded || v.outcome == ReportVerdict::Outcome::Exceeded;
                within = within || v.outcome == ReportVerdict::Outcome::Within;
            }
            const Rgb frame = exceeded ? kExceededFrame : within ? kWithinFrame : kNoLimitsFrame;
            canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(0.6) * 1.0), frame});
            canvas.setBrush(Brush{true, kWhite});
            canvas.rectangle({px(kLeftMm), py(b.topMm + 2), px(kRightMm), py(b.topMm + b.heightMm - 1)});
            const Font verdictFont = fontOf(py(3.6), true);
            canvas.setFont(verdictFont);
            double line = b.topMm + 4.5;
            for (const ReportVerdict& v : content_.verdicts) {
                canvas.setTextColor(v.outcome == ReportVerdict::Outcome::Exceeded ? kExceededFrame : kBlack);
                fitText(canvas, verdictFont, px(kLeftMm + 4), py(line), px(kRightMm - 3),
                        v.quantity + ": " + v.text);
                line += 7.0;
            }
            canvas.setTextColor(kBlack);
            return;
        }
        case Kind::Curve:
            drawCurve(canvas, b.topMm);
            return;
        case Kind::TableHeader:
        case Kind::TableRow: {
            const bool header = b.kind == Kind::TableHeader;
            const Font f = fontOf(py(kTableTextMm), header);
            canvas.setFont(f);
            std::vector<std::string> cells;
            if (header) {
                cells = {"#", text(2534), text(2535), text(2536), text(2537), text(2538), text(2539)};
            } else {
                const ReportExcursionRow& r = content_.excursions[i];
                cells = {r.number, r.quantity, r.side, r.start, r.end, r.duration, r.extreme};
            }
            for (std::size_t k = 0; k < cells.size(); ++k)
                fitText(canvas, f, px(kTableColumnsMm[k] + 0.8), py(b.topMm + 1),
                        px(kTableColumnsMm[k + 1] - 0.5), cells[k]);
            canvas.setPen(thin);
            const int bottom = py(b.topMm + b.heightMm);
            canvas.line(px(kTableColumnsMm[0]), bottom, px(kTableColumnsMm[7]), bottom);
            if (header) canvas.line(px(kTableColumnsMm[0]), y, px(kTableColumnsMm[7]), y);
            return;
        }
        case Kind::Note:
            canvas.setFont(body);
            canvas.textOut(px(kLeftMm + 2), y, text(b.index));
            return;
        case Kind::CommentLine:
            canvas.setFont(body);
            if (i < commentLines_.size()) {
                fitText(canvas, body, px(kLeftMm + 2), py(b.topMm + 1), px(kRightMm), commentLines_[i]);
            } else {
                canvas.setPen(thin);
                canvas.line(px(kLeftMm + 2), py(b.topMm + 5), px(kRightMm), py(b.topMm + 5));
            }
            return;
        case Kind::Signature: {
            canvas.setFont(body);
            canvas.setPen(thin);
            double row = b.topMm + 6;
            for (int role : {2543, 2544, 2545}) {
                canvas.setFont(bold);
                canvas.textOut(px(kLeftMm + 2), py(row + 6), text(role));
                canvas.setFont(body);
                const double fields[3][2] = {{42, 92}, {98, 135}, {141, kRightMm}};
                const int labels[3] = {2546, 2547, 2548};
                for (int k = 0; k < 3; ++k) {
                    const int x = px(fields[k][0]);
                    canvas.textOut(x, py(row + 6), text(labels[k]));
                    const int lineStart = x + canvas.textExtent(text(labels[k])).width + px(1.5);
                    canvas.line(lineStart, py(row + 10), px(fields[k][1]), py(row + 10));
                }
                row += kSignatureRowMm;
            }
            return;
        }
    }
}

void ReportDocument::drawCurve(Canvas& canvas, double topMm) const {
    const RecordingStatistics& s = content_.stats;
    const bool humi = s.hasHumidity;
    const int left = px(kPlotLeftMm), right = px(kPlotRightMm);
    const int top = py(topMm + kPlotTopMm), bottom = py(topMm + kPlotTopMm + kPlotHeightMm);
    const int plotWidth = right - left, plotHeight = bottom - top;
    const int first = s.range.first, n = s.range.count();
    const auto display = [&](double celsius) { return content_.fahrenheit ? celsius * 1.8 + 32.0 : celsius; };

    // Scales take in the limits, so both limit lines are always on the page.
    double tLo = s.minCelsius ? display(*s.minCelsius) : 0, tHi = s.maxCelsius ? display(*s.maxCelsius) : 1;
    if (rec_.tempAlarmOn) {
        tLo = std::min(tLo, display(rec_.tempLower));
        tHi = std::max(tHi, display(rec_.tempUpper));
    }
    const Scale ts = niceScale(tLo, tHi);
    double hLo = s.minPercent ? *s.minPercent : 0, hHi = s.maxPercent ? *s.maxPercent : 100;
    if (humi && rec_.humiAlarmOn) {
        hLo = std::min(hLo, static_cast<double>(rec_.humiLower));
        hHi = std::max(hHi, static_cast<double>(rec_.humiUpper));
    }
    const Scale hs = niceScale(hLo, hHi);
    const auto yOf = [&](const Scale& sc, double v) {
        return bottom - static_cast<int>((v - sc.low) / (sc.high - sc.low) * plotHeight);
    };
    const auto xOf = [&](int index) {
        return left +
               static_cast<int>(static_cast<long long>(index - first) * plotWidth / std::max(1, n - 1));
    };

    // Excursions first, so grid and curves lie on top of the shading.
    const auto shade = [&](const LimitStatistics& l, Rgb color) {
        for (const Excursion& e : l.excursions) {
            // A run lasts until the next sample: that is the time it counts for.
            const int x0 = xOf(e.firstSample);
            const int x1 =
                std::max(xOf(std::min(e.lastSample + 1, first + n - 1)), x0 + std::max(1, px(0.5)));
            canvas.fillRect({x0, top, std::min(x1, right), bottom}, color);
        }
    };
    shade(s.temperature, kTempShade);
    if (humi) shade(s.humidity, kHumiShade);

    const Font f = fontOf(py(2.5), false);
    canvas.setFont(f);
    canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(0.1) * 1.0), kGrid});
    for (double v = ts.low; v <= ts.high + ts.step * 1e-6; v += ts.step) {
        const int y = yOf(ts, v);
        canvas.line(left, y, right, y);
        const std::string label = tickText(v, ts.step) + content_.unit;
        canvas.textOut(left - px(1.5) - canvas.textExtent(label).width, y - py(1.4), label);
    }
    if (humi) {
        for (double v = hs.low; v <= hs.high + hs.step * 1e-6; v += hs.step) {
            const std::string label = tickText(v, hs.step) + content_.humidityUnit;
            canvas.textOut(right + px(1.5), yOf(hs, v) - py(1.4), label);
        }
    }

    // Limit lines.
    const auto limit = [&](const Scale& sc, double v, Rgb color) {
        canvas.setPen(Pen{PenStyle::Dash, std::max(1.0, py(0.3) * 1.0), color});
        const int y = yOf(sc, v);
        canvas.line(left, y, right, y);
    };
    if (rec_.tempAlarmOn) {
        limit(ts, display(rec_.tempUpper), kTempLimit);
        limit(ts, display(rec_.tempLower), kTempLimit);
    }
    if (humi && rec_.humiAlarmOn) {
        limit(hs, rec_.humiUpper, kHumiLimit);
        limit(hs, rec_.humiLower, kHumiLimit);
    }

    // The curves: per column the lowest and the highest sample in their order; a sample without value
    // ends the line, so a gap in the recording is a gap on the page.
    const int columns = std::max(1, std::min({plotWidth, kMaxCurveColumns, std::max(n, 1)}));
    const auto curve = [&](const float* values, const Scale& sc, bool celsius, Rgb color, double widthMm) {
        canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(widthMm) * 1.0), color});
        std::vector<Point> segment;
        const auto flush = [&] {
            if (segment.size() == 1) segment.push_back({segment[0].x + 1, segment[0].y});
            if (!segment.empty()) canvas.polyline(segment);
            segment.clear();
        };
        int column = -1, lo = -1, hi = -1;
        const auto emit = [&] {
            if (lo < 0) return;
            const int a = std::min(lo, hi), b = std::max(lo, hi);
            for (int k : {a, b}) {
                const double v = celsius ? display(values[k]) : values[k];
                segment.push_back({xOf(k), yOf(sc, v)});
                if (a == b) break;
            }
            lo = hi = -1;
        };
        for (int k = first; k < first + n; ++k) {
            const float v = values[k];
            if (!Recording::hasValue(v)) {
                emit();
                flush();
                continue;
            }
            const int c = static_cast<int>(static_cast<long long>(k - first) * columns / n);
            if (c != column) {
                emit();
                column = c;
            }
            if (lo < 0 || v < values[lo]) lo = k;
            if (hi < 0 || v > values[hi]) hi = k;
        }
        emit();
        flush();
    };
    if (n > 0) {
        curve(rec_.temperature.data(), ts, true, kTempLine, 0.3);
        if (humi) curve(rec_.humidity.data(), hs, false, kHumiLine, 0.3);
    }

    canvas.setPen(Pen{PenStyle::Solid, std::max(1.0, py(0.25) * 1.0), kBlack});
    canvas.setBrush(Brush{true, kWhite});
    canvas.rectangle({left, top, right + 1, bottom + 1});

    // Time labels: date over time of day, at six evenly spread samples.
    canvas.setFont(f);
    if (n > 0) {
        for (int k = 0; k <= 5; ++k) {
            const int index = first + static_cast<int>(static_cast<long long>(n - 1) * k / 5);
            const int x = xOf(index);
            canvas.line(x, bottom, x, bottom + py(1));
            const auto p = toLocal(rec_.sampleTime[static_cast<std::size_t>(index)]);
            if (!p) continue;
            const std::string date = format("%.4d-%.2d-%.2d", p->year, p->month, p->day);
            const std::string time = format("%.2d:%.2d", p->hour, p->minute);
            canvas.textOut(x - canvas.textExtent(date).width / 2, bottom + py(1.8), date);
            canvas.textOut(x - canvas.textExtent(time).width / 2, bottom + py(4.8), time);
        }
    }

    // Legend.
    int x = left;
    int legendY = bottom + py(11);
    // An entry that would run past the plot's right edge starts a second row.
    const auto place = [&](const std::string& label) {
        if (x > left && x + px(8.5) + canvas.textExtent(label).width > right) {
            x = left;
            legendY += py(5);
        }
    };
    const auto legendLine = [&](Rgb color, PenStyle style, const std::string& label) {
        place(label);
        canvas.setPen(Pen{style, std::max(1.0, py(0.4) * 1.0), color});
        canvas.line(x, legendY + py(1.3), x + px(7), legendY + py(1.3));
        canvas.textOut(x + px(8.5), legendY, label);
        x += px(8.5) + canvas.textExtent(label).width + px(6);
    };
    const auto legendBox = [&](Rgb color, const std::string& label) {
        place(label);
        canvas.fillRect({x, legendY, x + px(7), legendY + py(2.6)}, color);
        canvas.textOut(x + px(8.5), legendY, label);
        x += px(8.5) + canvas.textExtent(label).width + px(6);
    };
    legendLine(kTempLine, PenStyle::Solid, text(2519));
    if (rec_.tempAlarmOn) legendLine(kTempLimit, PenStyle::Dash, text(2519) + " " + text(2552));
    if (!s.temperature.excursions.empty()) legendBox(kTempShade, text(2519) + " " + text(2553));
    if (humi) {
        legendLine(kHumiLine, PenStyle::Solid, text(2520));
        if (rec_.humiAlarmOn) legendLine(kHumiLimit, PenStyle::Dash, text(2520) + " " + text(2552));
        if (!s.humidity.excursions.empty()) legendBox(kHumiShade, text(2520) + " " + text(2553));
    }
}

}  // namespace thermivo
