#include "data/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/TextCodec.h"
#include "app/UiText.h"
#include "data/LocalTime.h"

namespace thermivo {

namespace {

constexpr std::size_t kValueWidth = 7;
// Largest file a reader could accept: long humidity header plus 99999 sample pairs and the block.
constexpr std::size_t kMaxFileSize = 15 + 117 + 14 * 99999 + 64;

// Body offsets of the fields after the count, and of the first sample, by layout.
struct Layout {
    std::size_t intervalDigits;
    std::size_t countDigits;
    bool hasLimits;
    bool hasHumidity;
    std::size_t firstSample;
    std::size_t sampleWidth;
};
constexpr Layout kLongLayout{5, 7, true, false, 82, 7};
constexpr Layout kCompactLayout{2, 4, false, false, 62, 7};
constexpr Layout kHumidityLayout{5, 7, true, true, 117, 14};

const Layout& layoutOf(std::int32_t kind) {
    if (kind == KindTempCompact) return kCompactLayout;
    if (kind == KindTempHumi) return kHumidityLayout;
    return kLongLayout;
}

// atof of a fixed-width value field: leading blanks skipped, parsing stops at the first foreign character.
float parseValue(const char* begin, const char* end) {
    while (begin < end && *begin == ' ') ++begin;
    if (begin < end && *begin == '+') ++begin;
    // Only digits, a sign and a point make a number here; from_chars would also take "inf" and "nan".
    if (begin == end || !((*begin >= '0' && *begin <= '9') || *begin == '-' || *begin == '.')) return 0.0f;
    double v = 0.0;
    const auto res = std::from_chars(begin, end, v, std::chars_format::fixed);
    if (res.ec != std::errc() || !std::isfinite(static_cast<float>(v))) return 0.0f;
    return static_cast<float>(v);
}

// A value field: "%4.2f" padded with blanks to 7 characters. Where that is wider than the field (the
// no-value marker -1000.00, or 12345.60 read from a file as 12345.6), the widest text with fewer decimals
// that reads back to the same value, so that every file the reader accepts can be saved again.
// False only when no 7 characters hold the value.
bool appendValueField(std::string& body, float value) {
    if (!std::isfinite(value)) return false;
    char buf[64];
    for (int decimals = 2; decimals >= 0; --decimals) {
        const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                       std::chars_format::fixed, decimals);
        if (res.ec != std::errc()) return false;
        const auto len = static_cast<std::size_t>(res.ptr - buf);
        if (len > kValueWidth) continue;
        if (decimals < 2 && parseValue(buf, res.ptr) != value) return false;
        const std::size_t start = body.size();
        // "%4.2f" pads on the left to four characters; "0.00" is already four, but keep the rule.
        if (len < 4) body.append(4 - len, ' ');
        body.append(buf, len);
        body.append(kValueWidth - (body.size() - start), ' ');
        return true;
    }
    return false;
}

// A zero-padded count or interval of exactly `digits` characters ("%.5d"); a negative value read from a
// file keeps its sign in the same width ("-0001"), as the reader takes it. False when it does not fit.
bool appendIntegerField(std::string& body, long long value, std::size_t digits) {
    // Built by appending, not "-" + ...: GCC 12 at -O3 warns falsely (-Wrestrict) about the insert at the
    // front.
    std::string text = value < 0 ? "-" : "";
    text += value < 0 ? format("%.*lld", static_cast<int>(digits) - 1, -value)
                      : format("%.*lld", static_cast<int>(digits), value);
    if (text.size() != digits) return false;
    body += text;
    return true;
}

bool appendTimeField(std::string& body, std::int64_t seconds) {
    const auto p = toLocal(seconds);
    if (!p || p->year < 1900 || p->year > 3000) return false;
    body += format("%4d%.2d%.2d%.2d%.2d", p->year, p->month, p->day, p->hour, p->minute);
    return true;
}

// atoi of a fixed-width field: leading blanks, an optional sign, then digits up to the first other char.
long parseInteger(const std::uint8_t* p, std::size_t width) {
    std::size_t i = 0;
    while (i < width && p[i] == ' ') ++i;
    bool negative = false;
    if (i < width && (p[i] == '-' || p[i] == '+')) negative = p[i++] == '-';
    long v = 0;
    for (; i < width && p[i] >= '0' && p[i] <= '9'; ++i) v = v * 10 + (p[i] - '0');
    return negative ? -v : v;
}

float parseValue(const std::uint8_t* p, std::size_t width) {
    const char* begin = reinterpret_cast<const char*>(p);
    return parseValue(begin, begin + width);
}

bool isCheckedCharacter(std::uint8_t c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ' ';
}

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

void setProblem(SaveProblem* problem, SaveProblem value) {
    if (problem != nullptr) *problem = value;
}

// A small fixed generator so the header numbers do not depend on the C library's rand().
struct HeaderGenerator {
    std::uint32_t state;
    std::uint8_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<std::uint8_t>((state >> 16) & 0x7FFF);
    }
};

}  // namespace

std::string RecordFile::descriptionBytes(const Recording& rec) {
    const std::string& source = rec.descriptionSource;
    if (!source.empty() && source.size() <= kDescriptionSize &&
        descriptionToUtf8(source, source.size() == kDescriptionSize, AppSettings::instance().languageId) ==
            rec.description()) {
        return source;
    }
    return utf8CutBytes(rec.description(), kDescriptionSize);
}

std::uint8_t RecordFile::keyOf(const std::array<std::uint8_t, 5>& n) {
    const unsigned divisor = n[2] == 0 ? 1u : n[2];
    return static_cast<std::uint8_t>((n[3] * n[4] + (n[0] * n[1]) / divisor) & 0xFF);
}

std::uint8_t RecordFile::positionMask(std::size_t offset) {
    return static_cast<std::uint8_t>(((offset >> 8) ^ offset) & 0xFF);
}

namespace {
// The bit flips and rotations depend only on the low seven bits of the position mask and on the 7-bit
// value, so both directions are tabulated once; a 60000-sample file then costs a lookup per byte.
struct ScrambleTables {
    std::uint8_t forward[128][128];
    std::uint8_t backward[128][128];
    ScrambleTables() {
        for (unsigned mask = 0; mask < 128; ++mask) {
            for (unsigned v = 0; v < 128; ++v) {
                unsigned x = v;
                for (unsigned j = 0; j < 7; ++j) {
                    if (mask & (1u << j)) x ^= 1u << j;
                    x = ((x << 1) | (x >> 6)) & 0x7Fu;
                }
                forward[mask][v] = static_cast<std::uint8_t>(x);
                x = v;
                for (unsigned j = 0; j < 7; ++j) {
                    x = ((x >> 1) | (x << 6)) & 0x7Fu;
                    const unsigned bit = 6 - j;
                    if (mask & (1u << bit)) x ^= 1u << bit;
                }
                backward[mask][v] = static_cast<std::uint8_t>(x);
            }
        }
    }
};

const ScrambleTables& tables() {
    static const ScrambleTables t;
    return t;
}
}  // namespace

std::uint8_t RecordFile::scrambleByte(std::uint8_t plain, std::size_t offset, std::uint8_t key,
                                      std::uint8_t chain) {
    const unsigned x = tables().forward[positionMask(offset) & 0x7F][plain & 0x7F];
    const auto s = static_cast<std::uint8_t>((x ^ key ^ chain) & 0x7Fu);
    return s == 0x1A ? 0x9A : s;
}

std::uint8_t RecordFile::unscrambleByte(std::uint8_t raw, std::size_t offset, std::uint8_t key,
                                        std::uint8_t chain) {
    if (raw == 0x9A) raw = 0x1A;
    if (raw >= 0x80) return 0;
    return tables().backward[positionMask(offset) & 0x7F][(key ^ chain ^ raw) & 0x7Fu];
}

std::array<std::uint8_t, 5> RecordFile::drawHeaderNumbers() {
    const auto now = toLocal(nowSeconds());
    std::uint32_t seed = 1;
    if (now) {
        seed = static_cast<std::uint32_t>(now->second * now->minute * now->hour + now->day * now->month);
    }
    HeaderGenerator gen{seed};
    std::array<std::uint8_t, 5> n{};
    for (auto& v : n) v = gen.next();
    // C divides in the key formula; a zero there would make the file unreadable.
    for (int tries = 0; n[2] == 0 && tries < 64; ++tries) n[2] = gen.next();
    if (n[2] == 0) n[2] = 1;
    return n;
}

std::vector<std::uint8_t> RecordFile::encode(const Recording& rec, const std::array<std::uint8_t, 5>& numbers,
                                             std::string* error, SaveProblem* problem) {
    setProblem(problem, SaveProblem::None);
    if (numbers[2] == 0) {
        setError(error, "header number C must not be 0");
        setProblem(problem, SaveProblem::WriteFailed);
        return {};
    }
    const Layout& layout = layoutOf(rec.kind);
    const std::int32_t n = rec.sampleCount;
    if (n < 0 || n > Recording::kCapacity) {
        setError(error, format("sample count %d is outside 0..%d", n, Recording::kCapacity));
        setProblem(problem, SaveProblem::TooManySamples);
        return {};
    }

    std::string body;
    body.reserve(layout.firstSample + layout.sampleWidth * static_cast<std::size_t>(n));
    std::string serial = rec.serialText();
    if (serial.size() > 11) serial.resize(11);
    // A zero byte is what the reader makes of a byte above 0x7F, so it is written back as it was read.
    for (const char c : serial) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            setError(error, "the serial number must be ASCII");
            setProblem(problem, SaveProblem::SerialNotAscii);
            return {};
        }
    }
    body += serial;
    body.append(11 - serial.size(), ' ');
    if (!appendTimeField(body, rec.startTime) || !appendTimeField(body, rec.stopTime)) {
        setError(error, "start or stop time outside the years 1900-3000");
        setProblem(problem, SaveProblem::TimeOutOfRange);
        return {};
    }
    const auto minutes = static_cast<long long>(rec.intervalSeconds / 60);
    if (!appendIntegerField(body, minutes, layout.intervalDigits) ||
        !appendIntegerField(body, n, layout.countDigits)) {
        setError(error,
                 format("interval of %lld minutes or count of %d does not fit this file layout", minutes, n));
        setProblem(problem, SaveProblem::CompactLayoutFull);
        return {};
    }

    bool fits = appendValueField(body, rec.tempMax) && appendValueField(body, rec.tempMin) &&
                appendValueField(body, rec.tempAvg);
    if (layout.hasLimits)
        fits = fits && appendValueField(body, rec.tempUpper) && appendValueField(body, rec.tempLower);
    if (layout.hasHumidity) {
        fits = fits && appendValueField(body, rec.humiMax) && appendValueField(body, rec.humiMin) &&
               appendValueField(body, rec.humiAvg) && appendValueField(body, rec.humiUpper) &&
               appendValueField(body, rec.humiLower);
    }
    if (!fits) {
        setError(error, "a statistic or limit does not fit its 7-character field");
        setProblem(problem, SaveProblem::ValueTooWide);
        return {};
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (!appendValueField(body, rec.temperature[k]) ||
            (layout.hasHumidity && !appendValueField(body, rec.humidity[k]))) {
            setError(error, format("sample %d does not fit its 7-character field", i + 1));
            setProblem(problem, SaveProblem::ValueTooWide);
            return {};
        }
    }

    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + body.size() + kDescriptionSize);
    const std::string header =
        format("%3d%3d%3d%3d%3d", numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]);
    out.insert(out.end(), header.begin(), header.end());
    const std::uint8_t key = keyOf(numbers);
    std::uint8_t chain = kChainSeed;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const auto plain = static_cast<std::uint8_t>(body[i]);
        out.push_back(scrambleByte(plain, kHeaderSize + i, key, chain));
        chain = plain;
    }
    const std::string description = descriptionBytes(rec);
    out.insert(out.end(), description.begin(), description.end());
    out.resize(out.size() + kDescriptionSize - description.size(), 0);
    return out;
}

bool RecordFile::decode(const std::vector<std::uint8_t>& bytes, Recording& rec, std::string* error) {
    const std::size_t length = bytes.size();
    if (length < 77) {
        setError(error, "file too short");
        return false;
    }
    if (length > kMaxFileSize) {
        setError(error, "file too long");
        return false;
    }
    std::array<std::uint8_t, 5> numbers{};
    for (std::size_t k = 0; k < 5; ++k)
        numbers[k] = static_cast<std::uint8_t>(parseInteger(&bytes[k * 3], 3) & 0xFF);
    if (numbers[2] == 0) {
        setError(error, "header number C is 0");
        return false;
    }
    const std::uint8_t key = keyOf(numbers);

    // The last 64 bytes up to the first zero are the candidate description.
    std::string candidate;
    for (std::size_t i = length - kDescriptionSize; i < length && bytes[i] != 0; ++i)
        candidate += static_cast<char>(bytes[i]);
    const bool blockFull = candidate.size() == kDescriptionSize;

    const std::size_t bodyLength = length - kHeaderSize;
    std::vector<std::uint8_t> plain(bodyLength);
    std::uint8_t chain = kChainSeed;
    for (std::size_t i = 0; i < bodyLength; ++i) {
        const std::uint8_t p = unscrambleByte(bytes[kHeaderSize + i], kHeaderSize + i, key, chain);
        if (i == 0 && p != 'D' && p != 'i' && p != 'U') {
            setError(error, "not a data file (unknown serial number)");
            return false;
        }
        if (i >= 4 && i + kDescriptionSize < bodyLength && !isCheckedCharacter(p)) {
            setError(error, format("damaged data at byte %zu", kHeaderSize + i));
            return false;
        }
        plain[i] = p;
        chain = p;
    }

    std::string serial(plain.begin(), plain.begin() + 11);
    rec.values[Recording::ValSerial] = serial;
    rec.kind = kindFromFileSerial(serial);
    rec.validMask = Recording::MaskSerial;
    const Layout& layout = layoutOf(rec.kind);
    // Every header field must lie inside the file before anything is taken from it.
    if (bodyLength < layout.firstSample) {
        setError(error, "file too short for its header");
        return false;
    }

    auto readTime = [&](std::size_t at, std::int64_t& out, std::string& textOut, std::uint32_t bit) {
        const long year = parseInteger(&plain[at], 4);
        if (year < 1900 || year > 3000) return false;
        const auto t = fromLocal(static_cast<int>(year), static_cast<int>(parseInteger(&plain[at + 4], 2)),
                                 static_cast<int>(parseInteger(&plain[at + 6], 2)),
                                 static_cast<int>(parseInteger(&plain[at + 8], 2)),
                                 static_cast<int>(parseInteger(&plain[at + 10], 2)), 0);
        if (!t) return false;
        // mktime carries month 99 of the year 3000 into 3008: such a time could not be written again.
        const auto normalised = toLocal(*t);
        if (!normalised || normalised->year < 1900 || normalised->year > 3000) return false;
        out = *t;
        textOut = formatLocalMinutes(*t);
        rec.validMask |= bit;
        return true;
    };
    if (!readTime(11, rec.startTime, rec.values[Recording::ValStart], Recording::MaskStart) ||
        !readTime(23, rec.stopTime, rec.values[Recording::ValStop], Recording::MaskStop)) {
        setError(error, "start or stop time is not a valid date");
        return false;
    }

    std::size_t at = 35;
    const long minutes = parseInteger(&plain[at], layout.intervalDigits);
    at += layout.intervalDigits;
    rec.intervalSeconds = static_cast<std::int64_t>(minutes) * 60;
    rec.values[Recording::ValInterval] = intervalText(rec.intervalSeconds);
    rec.validMask |= Recording::MaskInterval;

    const long count = parseInteger(&plain[at], layout.countDigits);
    at += layout.countDigits;
    rec.sampleCount = static_cast<std::int32_t>(count);
    rec.values[Recording::ValCount] = format("%d", rec.sampleCount);
    rec.validMask |= Recording::MaskCount;

    auto nextValue = [&]() {
        const float v = parseValue(&plain[at], kValueWidth);
        at += kValueWidth;
        return v;
    };
    rec.tempMax = nextValue();
    rec.tempMin = nextValue();
    rec.tempAvg = nextValue();
    rec.validMask |= Recording::MaskTempMax | Recording::MaskTempMin | Recording::MaskTempAvg;
    rec.tempUpper = rec.tempLower = 0.0f;
    rec.tempAlarmOn = rec.humiAlarmOn = false;
    if (layout.hasLimits) {
        rec.tempUpper = nextValue();
        rec.tempLower = nextValue();
        rec.validMask |= Recording::MaskTempUpper | Recording::MaskTempLower;
        rec.tempAlarmOn = rec.tempLower < rec.tempUpper;
    }
    rec.formatTemperatureTexts();
    if (layout.hasHumidity) {
        const std::string& unit = AppSettings::instance().humidityUnit;
        float* fields[5] = {&rec.humiMax, &rec.humiMin, &rec.humiAvg, &rec.humiUpper, &rec.humiLower};
        for (int k = 0; k < 5; ++k) {
            *fields[k] = nextValue();
            rec.values[static_cast<std::size_t>(Recording::ValHumiMax + k)] =
                format("%4.2f", static_cast<double>(*fields[k])) + unit;
        }
        rec.validMask |= Recording::MaskHumiMax | Recording::MaskHumiMin | Recording::MaskHumiAvg |
                         Recording::MaskHumiUpper | Recording::MaskHumiLower;
        rec.humiAlarmOn = rec.humiLower < rec.humiUpper;
    }

    // The arrays hold 60000 samples: a larger announcement is refused rather than cut.
    bool samplesRead = false;
    std::size_t end = layout.firstSample;
    if (count >= 0 && count <= Recording::kCapacity) {
        const std::size_t n = static_cast<std::size_t>(count);
        end = layout.firstSample + layout.sampleWidth * n;
        if (bodyLength == end || bodyLength == end + kDescriptionSize) {
            rec.dataFlags |= Recording::kSamplesPresent;
            at = layout.firstSample;
            for (std::size_t i = 0; i < n; ++i) {
                rec.temperature[i] = nextValue();
                if (layout.hasHumidity) rec.humidity[i] = nextValue();
            }
            samplesRead = true;
        }
    }

    if (samplesRead && bodyLength == end + kDescriptionSize && !candidate.empty()) {
        rec.description() = descriptionToUtf8(candidate, blockFull, AppSettings::instance().languageId);
        rec.descriptionSource = candidate;
    } else {
        rec.setDefaultDescription();
        rec.descriptionSource.clear();
    }
    rec.samplesLoaded = rec.sampleCount;
    rec.samplesMissing = 0;
    rec.validMask |= Recording::MaskDescription;
    if (!samplesRead) {
        // Nothing beyond the arrays may be announced as loaded.
        if (rec.samplesLoaded < 0 || rec.samplesLoaded > Recording::kCapacity) rec.samplesLoaded = 0;
        setError(error, count > Recording::kCapacity
                            ? format("file announces %ld samples; at most %d can be held", count,
                                     Recording::kCapacity)
                            : std::string("file length does not match its sample count"));
        return false;
    }
    return true;
}

RecordFile::RecordFile(std::string path, int mode) : path_(std::move(path)), mode_(mode) {
    if (mode_ == ModeRead) {
        readFd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (readFd_ >= 0 && ::fstat(readFd_, &st) != 0) {
            const int err = errno;
            ::close(readFd_);
            readFd_ = -1;
            errno = err;
        } else if (readFd_ >= 0 && S_ISDIR(st.st_mode)) {
            ::close(readFd_);
            readFd_ = -1;
            errno = EISDIR;
        }
        // A pipe, a FIFO, a terminal or /dev/null is read to its end like a file.
        stream_ = readFd_ >= 0 && !S_ISREG(st.st_mode);
        open_ = readFd_ >= 0;
        if (!open_) error_ = std::strerror(errno);
    } else if (mode_ == ModeWrite) {
        // Probe that the folder takes a new file, so a save that cannot work fails before anything is drawn.
        const std::string target = resolveSaveTarget(path_);
        const std::size_t slash = target.find_last_of('/');
        const std::string folder =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
        struct stat st {};
        int err = 0;
        if (target.empty() || target.back() == '/')
            err = EISDIR;
        else if (::stat(folder.c_str(), &st) != 0)
            err = errno;
        else if (!S_ISDIR(st.st_mode))
            err = ENOTDIR;
        else if (::access(folder.c_str(), W_OK) != 0)
            err = errno;
        open_ = err == 0;
        if (!open_) {
            error_ = "cannot create a file in " + folder + ": " + std::strerror(err);
            problem_ = saveProblemFromErrno(err);
        }
    }
}

RecordFile::~RecordFile() {
    close();
}

void RecordFile::close() {
    if (readFd_ >= 0) ::close(readFd_);
    readFd_ = -1;
    open_ = false;
}

bool RecordFile::write(const Recording& rec) {
    if (!open_ || mode_ != ModeWrite) {
        if (error_.empty()) error_ = "file is not open for writing";
        if (problem_ == SaveProblem::None) problem_ = SaveProblem::WriteFailed;
        return false;
    }
    headerNumbers_ = drawHeaderNumbers();
    key_ = keyOf(headerNumbers_);
    const std::vector<std::uint8_t> image = encode(rec, headerNumbers_, &error_, &problem_);
    if (image.empty()) return false;
    const SaveResult saved =
        saveFileSafely(path_, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    problem_ = saved.problem;
    error_ = saved.detail;
    return saved.ok();
}

bool RecordFile::read(Recording& rec) {
    if (readFd_ < 0) {
        if (error_.empty()) error_ = "file is not open for reading";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t got = 0;
    if (stream_) {
        // No size to ask for: read until the end, one byte past the limit to tell "too long".
        bytes.resize(kMaxFileSize + 1);
        while (got < bytes.size()) {
            const ssize_t n = ::read(readFd_, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error_ = std::strerror(errno);
                return false;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got > kMaxFileSize) {
            error_ = "file too long";
            return false;
        }
    } else {
        struct stat st {};
        if (::fstat(readFd_, &st) != 0) {
            error_ = std::strerror(errno);
            return false;
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size > kMaxFileSize) {
            error_ = "file too long";
            return false;
        }
        bytes.resize(size);
        while (got < size) {
            const ssize_t n = ::pread(readFd_, bytes.data() + got, size - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    bytes.resize(got);
    if (got >= kHeaderSize) {
        for (std::size_t k = 0; k < 5; ++k)
            headerNumbers_[k] = static_cast<std::uint8_t>(parseInteger(&bytes[k * 3], 3) & 0xFF);
        key_ = keyOf(headerNumbers_);
    }
    return decode(bytes, rec, &error_);
}

}  // namespace thermivo
