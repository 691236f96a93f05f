#include "data/RecordingJson.h"

#include <cmath>
#include <memory>

#include "app/Format.h"

namespace thermivo {

namespace {
void appendKey(std::string& out, const char* key, const std::string& value) {
    if (out.size() > 2) out += ",\n";
    out += "  ";
    out += jsonQuote(key);
    out += ": ";
    out += value;
}

template <typename Array, typename Fn>
std::string jsonArray(const Array& items, std::size_t count, Fn toText) {
    std::string out = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += ",";
        out += toText(items[i]);
    }
    return out + "]";
}
}  // namespace

std::string recordingToJson(const Recording& rec, const std::vector<std::pair<std::string, std::string>>& extra) {
    const auto n = static_cast<std::size_t>(rec.usableSamples());
    std::string out = "{\n";
    appendKey(out, "kind", format("%d", rec.kind));
    appendKey(out, "serial", jsonQuote(rec.serialText()));
    appendKey(out, "startTime", format("%lld", static_cast<long long>(rec.startTime)));
    appendKey(out, "stopTime", format("%lld", static_cast<long long>(rec.stopTime)));
    appendKey(out, "startText", jsonQuote(rec.values[Recording::ValStart]));
    appendKey(out, "stopText", jsonQuote(rec.values[Recording::ValStop]));
    appendKey(out, "intervalSeconds", format("%lld", static_cast<long long>(rec.intervalSeconds)));
    appendKey(out, "intervalText", jsonQuote(rec.values[Recording::ValInterval]));
    appendKey(out, "sampleCount", format("%d", rec.sampleCount));
    appendKey(out, "countText", jsonQuote(rec.values[Recording::ValCount]));
    appendKey(out, "samplesLoaded", format("%d", rec.samplesLoaded));
    const std::pair<const char*, float> stats[] = {
        {"tempMax", rec.tempMax},     {"tempMin", rec.tempMin},     {"tempAvg", rec.tempAvg},
        {"tempUpper", rec.tempUpper}, {"tempLower", rec.tempLower}, {"humiMax", rec.humiMax},
        {"humiMin", rec.humiMin},     {"humiAvg", rec.humiAvg},     {"humiUpper", rec.humiUpper},
        {"humiLower", rec.humiLower}};
    for (const auto& [key, value] : stats) appendKey(out, key, jsonNumber(value));
    appendKey(out, "tempAlarmOn", rec.tempAlarmOn ? "true" : "false");
    appendKey(out, "humiAlarmOn", rec.humiAlarmOn ? "true" : "false");
    appendKey(out, "validMask", format("%u", rec.validMask));
    appendKey(out, "dataFlags", format("%u", static_cast<unsigned>(rec.dataFlags)));
    appendKey(out, "description", jsonQuote(rec.description()));
    appendKey(out, "labels", jsonArray(rec.labels, rec.labels.size(), [](const std::string& s) { return jsonQuote(s); }));
    appendKey(out, "values", jsonArray(rec.values, rec.values.size(), [](const std::string& s) { return jsonQuote(s); }));
    appendKey(out, "temperature", jsonArray(rec.temperature, n, [](float v) { return jsonNumber(v); }));
    appendKey(out, "humidity", jsonArray(rec.humidity, rec.kind == KindTempHumi ? n : 0,
                                         [](float v) { return jsonNumber(v); }));
    appendKey(out, "sampleTime", jsonArray(rec.sampleTime, n, [](std::int64_t v) {
                  return format("%lld", static_cast<long long>(v));
              }));
    for (const auto& key : extra) appendKey(out, key.first.c_str(), key.second);
    return out + "\n}\n";
}

namespace {
bool number(const JsonValue& json, const char* key, double& out, std::string* error) {
    const JsonValue* v = json.find(key);
    if (v == nullptr || v->isNull()) {
        out = 0;
        return true;
    }
    if (!v->isNumber()) {
        *error = format("\"%s\" must be a number", key);
        return false;
    }
    out = v->asNumber();
    return true;
}

bool integer(const JsonValue& json, const char* key, double lo, double hi, std::int64_t& out, std::string* error) {
    double d = 0;
    if (!number(json, key, d, error)) return false;
    if (d != std::floor(d) || d < lo || d > hi) {
        *error = format("\"%s\" must be a whole number from %.0f to %.0f", key, lo, hi);
        return false;
    }
    out = static_cast<std::int64_t>(d);
    return true;
}

bool samples(const JsonValue& json, const char* key, std::vector<float>& out, std::string* error) {
    const JsonValue* v = json.find(key);
    if (v == nullptr || v->isNull()) return true;
    if (!v->isArray()) {
        *error = format("\"%s\" must be an array of numbers", key);
        return false;
    }
    if (v->asArray().size() > static_cast<std::size_t>(Recording::kCapacity)) {
        *error = format("\"%s\" holds more than %d samples", key, Recording::kCapacity);
        return false;
    }
    for (const auto& item : v->asArray()) {
        if (!item.isNumber()) {
            *error = format("\"%s\" must hold numbers only", key);
            return false;
        }
        out.push_back(static_cast<float>(item.asNumber()));
    }
    return true;
}
}  // namespace

bool recordingFromJson(const JsonValue& json, Recording& rec, std::string* error) {
    std::string scratch;
    if (error == nullptr) error = &scratch;
    if (!json.isObject()) {
        *error = "the recording must be a JSON object";
        return false;
    }
    std::int64_t kind = 0, start = 0, stop = 0, interval = 0, count = -1;
    constexpr double kTimeLimit = 32503680000.0;  // year 3000
    if (!integer(json, "kind", 0, 4, kind, error) || !integer(json, "startTime", -kTimeLimit, kTimeLimit, start, error) ||
        !integer(json, "stopTime", -kTimeLimit, kTimeLimit, stop, error) ||
        !integer(json, "intervalSeconds", 0, 99999 * 60.0, interval, error))
        return false;
    if (json.find("sampleCount") != nullptr && !integer(json, "sampleCount", 0, Recording::kCapacity, count, error))
        return false;
    std::string serial, description;
    for (auto [key, target] : {std::pair{"serial", &serial}, {"description", &description}}) {
        const JsonValue* v = json.find(key);
        if (v == nullptr || v->isNull()) continue;
        if (!v->isString()) {
            *error = format("\"%s\" must be a string", key);
            return false;
        }
        *target = v->asString();
    }
    double stats[10] = {};
    const char* statKeys[10] = {"tempMax", "tempMin", "tempAvg", "tempUpper", "humiMax",
                                "humiMin", "humiAvg", "humiUpper", "tempLower", "humiLower"};
    for (int k = 0; k < 10; ++k)
        if (!number(json, statKeys[k], stats[k], error)) return false;
    std::vector<float> temperature, humidity;
    if (!samples(json, "temperature", temperature, error) || !samples(json, "humidity", humidity, error)) return false;
    if (count < 0) count = static_cast<std::int64_t>(temperature.size());
    if (temperature.size() < static_cast<std::size_t>(count)) {
        *error = format("\"temperature\" holds %zu values but \"sampleCount\" is %lld", temperature.size(),
                        static_cast<long long>(count));
        return false;
    }
    if (kind == KindTempHumi && !humidity.empty() && humidity.size() < static_cast<std::size_t>(count)) {
        *error = format("\"humidity\" holds %zu values but \"sampleCount\" is %lld", humidity.size(),
                        static_cast<long long>(count));
        return false;
    }

    // Without a stop time the recording ends at its last sample, as the instrument would report it.
    if (json.find("stopTime") == nullptr && count > 0) stop = start + interval * (count - 1);

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

}  // namespace thermivo
