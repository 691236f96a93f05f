#include "RecordingJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/Format.h"

namespace thermivo {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// The shortest decimal that reads back as the same float; whole numbers without a point, as people write
// them.
ordered_json shortest(float v) {
    if (!std::isfinite(v)) return nullptr;
    if (v == std::trunc(v) && std::fabs(v) < 1e15f && !(v == 0 && std::signbit(v)))
        return static_cast<std::int64_t>(v);
    char buf[32];
    const char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    double d = 0;
    std::from_chars(buf, end, d);
    return d;
}

}  // namespace

std::string JsonProblem::describe() const {
    return format("line %zu, column %zu (offset %zu): %s", line, column, offset, message.c_str());
}

std::string recordingToJson(const Recording& rec,
                            const std::vector<std::pair<std::string, std::string>>& extra) {
    const auto n = static_cast<std::size_t>(rec.usableSamples());
    ordered_json j;
    j["kind"] = rec.kind;
    j["serial"] = rec.serialText();
    j["startTime"] = rec.startTime;
    j["stopTime"] = rec.stopTime;
    j["startText"] = rec.values[Recording::ValStart];
    j["stopText"] = rec.values[Recording::ValStop];
    j["intervalSeconds"] = rec.intervalSeconds;
    j["intervalText"] = rec.values[Recording::ValInterval];
    j["sampleCount"] = rec.sampleCount;
    j["countText"] = rec.values[Recording::ValCount];
    j["samplesLoaded"] = rec.samplesLoaded;
    const std::pair<const char*, float> stats[] = {
        {"tempMax", rec.tempMax},     {"tempMin", rec.tempMin},     {"tempAvg", rec.tempAvg},
        {"tempUpper", rec.tempUpper}, {"tempLower", rec.tempLower}, {"humiMax", rec.humiMax},
        {"humiMin", rec.humiMin},     {"humiAvg", rec.humiAvg},     {"humiUpper", rec.humiUpper},
        {"humiLower", rec.humiLower}};
    for (const auto& [key, value] : stats) j[key] = shortest(value);
    j["tempAlarmOn"] = rec.tempAlarmOn;
    j["humiAlarmOn"] = rec.humiAlarmOn;
    j["validMask"] = rec.validMask;
    j["dataFlags"] = static_cast<unsigned>(rec.dataFlags);
    j["description"] = rec.description();
    j["labels"] = rec.labels;
    j["values"] = rec.values;
    auto& temperature = j["temperature"] = ordered_json::array();
    for (std::size_t i = 0; i < n; ++i) temperature.push_back(shortest(rec.temperature[i]));
    auto& humidity = j["humidity"] = ordered_json::array();
    for (std::size_t i = 0; rec.kind == KindTempHumi && i < n; ++i)
        humidity.push_back(shortest(rec.humidity[i]));
    j["sampleTime"] =
        std::vector<std::int64_t>(rec.sampleTime.begin(), rec.sampleTime.begin() + static_cast<long>(n));

    // One key a line and every value on its line: readable in a terminal, and a diff shows what changed.
    // Text that is not UTF-8 cannot be JSON; such bytes become U+FFFD rather than failing the whole export.
    std::string out = "{\n";
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (it != j.begin()) out += ",\n";
        out += "  " + ordered_json(it.key()).dump() + ": " +
               it.value().dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    }
    for (const auto& [key, value] : extra) out += ",\n  " + ordered_json(key).dump() + ": " + value;
    return out + "\n}\n";
}

namespace {

/// A refused value: what is wrong, and which value (a top-level member, or an element of a top-level array).
struct Refusal {
    std::string message;
    std::string key;
    long index = -1;
};

// Notes which character the parser read last, so the events of the pass below know where they are.
class TrackingIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator() = default;
    TrackingIterator(const char* p, const char** lastRead) : p_(p), lastRead_(lastRead) {}
    reference operator*() const {
        *lastRead_ = p_;
        return *p_;
    }
    TrackingIterator& operator++() {
        ++p_;
        return *this;
    }
    TrackingIterator operator++(int) {
        TrackingIterator before = *this;
        ++p_;
        return before;
    }
    bool operator==(const TrackingIterator& other) const { return p_ == other.p_; }

  private:
    const char* p_ = nullptr;
    const char** lastRead_ = nullptr;
};

// A second pass over a text that parsed, finding where the refused value starts. The parser reports no
// positions of its own; it reads one character past a number, never past anything else.
class ValueLocator {
  public:
    using number_integer_t = json::number_integer_t;
    using number_unsigned_t = json::number_unsigned_t;
    using number_float_t = json::number_float_t;
    using string_t = json::string_t;
    using binary_t = json::binary_t;

    ValueLocator(std::string_view text, const char* const& lastRead, const Refusal& wanted)
        : end_(text.data() + text.size()), lastRead_(lastRead), previousEnd_(text.data()), wanted_(wanted) {}

    const char* found() const { return found_; }

    bool null() { return value(false); }
    bool boolean(bool) { return value(false); }
    bool number_integer(number_integer_t) { return value(true); }
    bool number_unsigned(number_unsigned_t) { return value(true); }
    bool number_float(number_float_t, const string_t&) { return value(true); }
    bool string(string_t&) { return value(false); }
    bool binary(binary_t&) { return value(false); }
    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(string_t& k) {
        if (depth_ == 1) member_ = k;
        tokenEnd(false);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  private:
    bool value(bool number) {
        // The value starts after the separators that follow the previous token.
        const char* start = previousEnd_;
        while (start < end_ && (std::string_view(" \t\r\n:,").find(*start) != std::string_view::npos))
            ++start;
        // A repeated member counts by its last value, as in the parsed document: read to the end.
        if (member_ == wanted_.key) {
            if (depth_ == 1 && wanted_.index < 0) found_ = start;
            if (depth_ == 2 && inMemberArray_ && ++element_ == wanted_.index) found_ = start;
        }
        tokenEnd(number);
        return true;
    }
    bool open(bool array) {
        value(false);
        if (depth_ == 1) {
            inMemberArray_ = array;
            element_ = -1;
        }
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        tokenEnd(false);
        return true;
    }
    void tokenEnd(bool number) {
        // After a number the parser has read the character that ended it, unless the text ended there.
        const bool lookahead =
            number && std::string_view("0123456789.eE+-").find(*lastRead_) == std::string_view::npos;
        previousEnd_ = lookahead ? lastRead_ : lastRead_ + 1;
    }

    const char* end_;
    const char* const& lastRead_;
    const char* previousEnd_;
    const Refusal& wanted_;
    const char* found_ = nullptr;
    int depth_ = 0;
    std::string member_;
    bool inMemberArray_ = false;
    long element_ = -1;
};

JsonProblem problemAt(std::string_view text, std::size_t offset, std::string message) {
    offset = std::min(offset, text.size());
    JsonProblem p;
    p.message = std::move(message);
    p.offset = offset;
    p.line = 1 + static_cast<std::size_t>(
                     std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n'));
    const auto lineStart = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    p.column = offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
    return p;
}

JsonProblem locate(std::string_view text, const Refusal& refusal) {
    const char* lastRead = text.data();
    ValueLocator locator(text, lastRead, refusal);
    const TrackingIterator first(text.data(), &lastRead), last(text.data() + text.size(), &lastRead);
    json::sax_parse(first, last, &locator);
    const std::size_t offset =
        locator.found() != nullptr ? static_cast<std::size_t>(locator.found() - text.data()) : 0;
    return problemAt(text, offset, refusal.message);
}

bool number(const json& doc, const char* key, double& out, Refusal& r) {
    const auto it = doc.find(key);
    if (it == doc.end() || it->is_null()) {
        out = 0;
        return true;
    }
    if (!it->is_number()) {
        r = {format("\"%s\" must be a number", key), key};
        return false;
    }
    out = it->get<double>();
    if (!std::isfinite(static_cast<float>(out))) {  // every value ends up in a float
        r = {format("\"%s\" is too large", key), key};
        return false;
    }
    return true;
}

bool integer(const json& doc, const char* key, double lo, double hi, std::int64_t& out, Refusal& r) {
    double d = 0;
    if (!number(doc, key, d, r)) return false;
    if (d != std::floor(d) || d < lo || d > hi) {
        r = {format("\"%s\" must be a whole number from %.0f to %.0f", key, lo, hi), key};
        return false;
    }
    out = static_cast<std::int64_t>(d);
    return true;
}

bool samples(const json& doc, const char* key, std::vector<float>& out, Refusal& r) {
    const auto it = doc.find(key);
    if (it == doc.end() || it->is_null()) return true;
    if (!it->is_array()) {
        r = {format("\"%s\" must be an array of numbers", key), key};
        return false;
    }
    if (it->size() > static_cast<std::size_t>(Recording::kCapacity)) {
        r = {format("\"%s\" holds more than %d samples", key, Recording::kCapacity), key};
        return false;
    }
    for (std::size_t i = 0; i < it->size(); ++i) {
        const json& item = (*it)[i];
        if (!item.is_number()) {
            r = {format("\"%s\" must hold numbers only (item %zu is not one)", key, i + 1), key,
                 static_cast<long>(i)};
            return false;
        }
        const auto value = static_cast<float>(item.get<double>());
        if (!std::isfinite(value)) {
            r = {format("\"%s\": item %zu is too large", key, i + 1), key, static_cast<long>(i)};
            return false;
        }
        out.push_back(value);
    }
    return true;
}

// Every check before the first change, so a refused text leaves the recording as it was.
bool fill(const json& doc, Recording& rec, Refusal& r) {
    if (!doc.is_object()) {
        r.message = "the recording must be a JSON object";
        return false;
    }
    std::int64_t kind = 0, start = 0, stop = 0, interval = 0, count = -1;
    constexpr double kTimeLimit = 32503680000.0;  // year 3000
    if (!integer(doc, "kind", 0, 4, kind, r) ||
        !integer(doc, "startTime", -kTimeLimit, kTimeLimit, start, r) ||
        !integer(doc, "stopTime", -kTimeLimit, kTimeLimit, stop, r) ||
        !integer(doc, "intervalSeconds", 0, 99999 * 60.0, interval, r))
        return false;
    if (doc.contains("sampleCount") && !integer(doc, "sampleCount", 0, Recording::kCapacity, count, r))
        return false;
    std::string serial, description;
    for (const auto& [key, target] : {std::pair{"serial", &serial}, {"description", &description}}) {
        const auto it = doc.find(key);
        if (it == doc.end() || it->is_null()) continue;
        if (!it->is_string()) {
            r = {format("\"%s\" must be a string", key), key};
            return false;
        }
        *target = it->get<std::string>();
    }
    double stats[10] = {};
    const char* statKeys[10] = {"tempMax", "tempMin", "tempAvg",   "tempUpper", "humiMax",
                                "humiMin", "humiAvg", "humiUpper", "tempLower", "humiLower"};
    for (int k = 0; k < 10; ++k)
        if (!number(doc, statKeys[k], stats[k], r)) return false;
    std::vector<float> temperature, humidity;
    if (!samples(doc, "temperature", temperature, r) || !samples(doc, "humidity", humidity, r)) return false;
    if (count < 0) count = static_cast<std::int64_t>(temperature.size());
    if (temperature.size() < static_cast<std::size_t>(count)) {
        r = {format("\"temperature\" holds %zu values but \"sampleCount\" is %lld", temperature.size(),
                    static_cast<long long>(count)),
             "temperature"};
        return false;
    }
    if (kind == KindTempHumi && !humidity.empty() && humidity.size() < static_cast<std::size_t>(count)) {
        r = {format("\"humidity\" holds %zu values but \"sampleCount\" is %lld", humidity.size(),
                    static_cast<long long>(count)),
             "humidity"};
        return false;
    }

    // Without a stop time the recording ends at its last sample, as the instrument would report it.
    if (!doc.contains("stopTime") && count > 0) stop = start + interval * (count - 1);

    rec.reset();
    rec.kind = static_cast<std::int32_t>(kind);
    rec.values[Recording::ValSerial] = serial;
    rec.startTime = start;
    rec.stopTime = stop;
    rec.intervalSeconds = interval;
    rec.sampleCount = static_cast<std::int32_t>(count);
    rec.tempMax = static_cast<float>(stats[0]);
    rec.tempMin = static_cast<float>(stats[1]);
    rec.tempAvg = static_cast<float>(stats[2]);
    rec.tempUpper = static_cast<float>(stats[3]);
    rec.humiMax = static_cast<float>(stats[4]);
    rec.humiMin = static_cast<float>(stats[5]);
    rec.humiAvg = static_cast<float>(stats[6]);
    rec.humiUpper = static_cast<float>(stats[7]);
    rec.tempLower = static_cast<float>(stats[8]);
    rec.humiLower = static_cast<float>(stats[9]);
    rec.tempAlarmOn = rec.kind != KindTempCompact && rec.tempLower < rec.tempUpper;
    rec.humiAlarmOn = rec.kind == KindTempHumi && rec.humiLower < rec.humiUpper;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        rec.temperature[i] = temperature[i];
        rec.humidity[i] = i < humidity.size() ? humidity[i] : 0.0f;
    }
    rec.samplesLoaded = rec.sampleCount;
    rec.dataFlags = Recording::kSamplesPresent;
    rec.description() = description;
    rec.buildSampleTimes();
    return true;
}

// Builds the document and keeps the first error with its position: a syntax error, or a number too large
// for a double, which the library reports as a different exception without a position.
class DocumentBuilder {
  public:
    using number_integer_t = json::number_integer_t;
    using number_unsigned_t = json::number_unsigned_t;
    using number_float_t = json::number_float_t;
    using string_t = json::string_t;
    using binary_t = json::binary_t;

    explicit DocumentBuilder(json& doc) : dom_(doc, false) {}

    bool null() { return dom_.null(); }
    bool boolean(bool b) { return dom_.boolean(b); }
    bool number_integer(number_integer_t n) { return dom_.number_integer(n); }
    bool number_unsigned(number_unsigned_t n) { return dom_.number_unsigned(n); }
    bool number_float(number_float_t n, const string_t& s) { return dom_.number_float(n, s); }
    bool string(string_t& s) { return dom_.string(s); }
    bool binary(binary_t& b) { return dom_.binary(b); }
    bool start_object(std::size_t n) { return dom_.start_object(n); }
    bool key(string_t& k) { return dom_.key(k); }
    bool end_object() { return dom_.end_object(); }
    bool start_array(std::size_t n) { return dom_.start_array(n); }
    bool end_array() { return dom_.end_array(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        // position counts the characters read, the offending one included.
        errorOffset = position == 0 ? 0 : position - 1;
        error = e.what();
        // "[json.exception.parse_error.101] parse error at line 1, column 9: syntax error ..." without the
        // parts that name the library and repeat the position.
        const auto bracket = error.find("] ");
        if (bracket != std::string::npos) error.erase(0, bracket + 2);
        const auto column = error.find("column ");
        const auto colon = column == std::string::npos ? std::string::npos : error.find(": ", column);
        if (colon != std::string::npos) error.erase(0, colon + 2);
        return false;
    }

    std::string error;
    std::size_t errorOffset = 0;

  private:
    nlohmann::detail::json_sax_dom_parser<json> dom_;
};

}  // namespace

bool recordingFromJson(std::string_view text, Recording& rec, JsonProblem* problem) {
    JsonProblem scratch;
    if (problem == nullptr) problem = &scratch;
    json doc;
    DocumentBuilder builder(doc);
    if (!json::sax_parse(text.begin(), text.end(), &builder)) {
        *problem = problemAt(text, builder.errorOffset, builder.error);
        return false;
    }
    Refusal refusal;
    if (fill(doc, rec, refusal)) return true;
    *problem = refusal.key.empty() ? problemAt(text, text.find_first_not_of(" \t\r\n"), refusal.message)
                                   : locate(text, refusal);
    return false;
}

}  // namespace thermivo
