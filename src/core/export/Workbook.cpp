#include "export/Workbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "app/Format.h"
#include "export/CompoundFile.h"
#include "export/WorkbookError.h"

namespace thermivo {
namespace {

// Record types of the BIFF8 records written or read here.
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodepage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kIndex = 0x020B;

constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::size_t kMaxRecordData = 8224;
constexpr std::uint16_t kCellXf = 15;  // the first cell format after the 15 style formats

/// Formatting runs and phonetic data of a shared string, kept as read so a save writes them back.
struct RichTail {
    std::uint16_t runs = 0;
    std::uint32_t extLength = 0;
    std::string bytes;  // 4 bytes per run, then the phonetic block
};

[[noreturn]] void bad(const std::string& why) {
    throw WorkbookError(WorkbookErrc::BadFile, "The file is not a readable workbook: " + why + ".");
}

// ---- UTF-8 <-> UTF-16 ----------------------------------------------------------------------------------

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if (b >= 0xC2 && b < 0xF5) {
            len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t v = b & (0x3F >> (len - 1));
            bool ok = i + len <= s.size();
            for (std::size_t k = 1; ok && k < len; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                ok = (c & 0xC0) == 0x80;
                v = (v << 6) | (c & 0x3F);
            }
            const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
            if (ok && v >= minimum && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string toUtf8(const std::u16string& s) {
    if (std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; }))
        return std::string(s.begin(), s.end());
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

bool fitsLatin1(const std::u16string& s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x100; });
}

// ---- writing -------------------------------------------------------------------------------------------

void put8(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
}
void put16(std::string& s, unsigned v) {
    put8(s, v);
    put8(s, v >> 8);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

void putChars(std::string& s, const std::u16string& u, std::size_t from, std::size_t count, bool compressed) {
    for (std::size_t i = from; i < from + count; ++i) {
        if (compressed) {
            put8(s, u[i]);
        } else {
            put16(s, u[i]);
        }
    }
}

void record(std::string& out, std::uint16_t type, std::string_view data) {
    put16(out, type);
    put16(out, static_cast<unsigned>(data.size()));
    out.append(data);
}

std::string bof(std::uint16_t kind) {
    std::string d;
    put16(d, kBiff8);
    put16(d, kind);
    put16(d, 0x0DBB);  // build
    put16(d, 0x07CC);  // year
    put32(d, 0);       // file history
    put32(d, 0x06);    // lowest version that may read the file
    return d;
}

std::string font() {
    std::string d;
    put16(d, 200);     // 10 point
    put16(d, 0);       // attributes
    put16(d, 0x7FFF);  // automatic colour
    put16(d, 400);     // normal weight
    put16(d, 0);       // no super/subscript
    put8(d, 0);        // no underline
    put8(d, 0);        // family
    put8(d, 0);        // character set
    put8(d, 0);
    const std::string name = "Arial";
    put8(d, static_cast<unsigned>(name.size()));
    put8(d, 0);
    d += name;
    return d;
}

std::string xf(bool style) {
    std::string d;
    put16(d, 0);                        // font
    put16(d, 0);                        // number format "General"
    put16(d, style ? 0xFFF5 : 0x0001);  // locked; style formats have no parent
    put8(d, 0x20);                      // aligned bottom
    put8(d, 0);
    put8(d, 0);
    put8(d, style ? 0 : 0xF8);  // a cell format carries its own attributes
    put32(d, 0);                // borders
    put32(d, 0);
    put16(d, 0x20C0);  // pattern colours 64 / 65 (system defaults)
    return d;
}

std::string window2(bool first) {
    std::string d;
    put16(d, first ? 0x06B6 : 0x00B6);  // grid, headers, zeros, outline; the first sheet is selected
    put16(d, 0);
    put16(d, 0);
    put16(d, 64);
    put16(d, 0);
    put16(d, 0);
    put16(d, 0);
    put32(d, 0);
    return d;
}

std::string shortName(const std::string& utf8) {
    const std::u16string u = toUtf16(utf8);
    const bool compressed = fitsLatin1(u);
    std::string d;
    put8(d, static_cast<unsigned>(u.size()));
    put8(d, compressed ? 0 : 1);
    putChars(d, u, 0, u.size(), compressed);
    return d;
}

/// Shared string table: unique strings in first-use order.
struct StringTable {
    std::vector<const std::string*> strings;
    std::unordered_map<std::string_view, std::uint32_t> index;
    std::uint32_t total = 0;
    /// Rich strings among the first ones (those copied from the file read), by index.
    const std::map<std::uint32_t, RichTail>* rich = nullptr;

    std::uint32_t add(const std::string& s) {
        ++total;
        const auto [it, inserted] = index.try_emplace(s, static_cast<std::uint32_t>(strings.size()));
        if (inserted) strings.push_back(&s);
        return it->second;
    }
};

/// Writes SST with its CONTINUE records and the EXTSST index at the end of `out`.
void writeSst(std::string& out, const StringTable& table) {
    const std::size_t unique = table.strings.size();
    const std::size_t perBucket = std::max<std::size_t>(8, (unique + 127) / 128);
    std::string extsst;
    put16(extsst, static_cast<unsigned>(perBucket));

    std::size_t recordStart = out.size();
    std::uint16_t recordType = kSst;
    std::string cur;
    put32(cur, table.total);
    put32(cur, static_cast<std::uint32_t>(unique));
    auto flush = [&] {
        record(out, recordType, cur);
        recordType = kContinue;
        recordStart = out.size();
        cur.clear();
    };
    for (std::size_t k = 0; k < unique; ++k) {
        const std::string& text = *table.strings[k];
        const bool ascii = std::all_of(text.begin(), text.end(), [](char ch) { return (ch & 0x80) == 0; });
        const std::u16string u = ascii ? std::u16string(text.begin(), text.end()) : toUtf16(text);
        const bool compressed = ascii || fitsLatin1(u);
        const std::size_t charSize = compressed ? 1 : 2;
        const RichTail* tail = nullptr;
        if (table.rich != nullptr && !table.rich->empty()) {
            const auto it = table.rich->find(static_cast<std::uint32_t>(k));
            if (it != table.rich->end()) tail = &it->second;
        }
        const std::size_t headerSize = 3 + (tail && tail->runs ? 2 : 0) + (tail && tail->extLength ? 4 : 0);
        // A string's length, flags and first character stay in one record.
        if (cur.size() + headerSize + charSize > kMaxRecordData) flush();
        if (k % perBucket == 0) {
            put32(extsst, static_cast<std::uint32_t>(recordStart + 4 + cur.size()));
            put16(extsst, static_cast<unsigned>(4 + cur.size()));
            put16(extsst, 0);
        }
        put16(cur, static_cast<unsigned>(u.size()));
        put8(cur,
             (compressed ? 0 : 1) | (tail && tail->runs ? 0x08 : 0) | (tail && tail->extLength ? 0x04 : 0));
        if (tail && tail->runs) put16(cur, tail->runs);
        if (tail && tail->extLength) put32(cur, tail->extLength);
        std::size_t done = 0;
        while (done < u.size()) {
            const std::size_t room = (kMaxRecordData - cur.size()) / charSize;
            if (room == 0) {
                flush();
                put8(cur, compressed ? 0 : 1);  // each continuation repeats the flags
                continue;
            }
            const std::size_t take = std::min(room, u.size() - done);
            putChars(cur, u, done, take, compressed);
            done += take;
        }
        if (tail != nullptr) {
            // Runs and phonetic data continue in the next record without a flags byte.
            std::size_t at = 0;
            while (at < tail->bytes.size()) {
                const std::size_t room = kMaxRecordData - cur.size();
                if (room == 0) {
                    flush();
                    continue;
                }
                const std::size_t take = std::min(room, tail->bytes.size() - at);
                cur.append(tail->bytes, at, take);
                at += take;
            }
        }
    }
    flush();
    record(out, kExtSst, extsst);
}

/// True when the text is still the one read from a number cell at that position.
bool isNumberCell(const Worksheet& ws, std::size_t r, std::size_t c, double* value) {
    const auto it = ws.numbers.find({static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(c)});
    if (it == ws.numbers.end() || numberText(it->second) != ws.rows[r][c]) return false;
    *value = it->second;
    return true;
}

/// Appends one cell record (LABELSST or NUMBER) in one piece: the sheets hold most of the file's bytes.
void cellRecord(std::string& out, std::uint16_t type, std::size_t row, std::size_t col, std::uint64_t payload,
                int payloadBytes, std::uint16_t xfIndex) {
    char buf[18];
    const int len = 6 + payloadBytes;
    const unsigned v[] = {type, static_cast<unsigned>(len), static_cast<unsigned>(row),
                          static_cast<unsigned>(col), xfIndex};
    for (int i = 0; i < 5; ++i) {
        buf[2 * i] = static_cast<char>(v[i] & 0xFF);
        buf[2 * i + 1] = static_cast<char>((v[i] >> 8) & 0xFF);
    }
    for (int i = 0; i < payloadBytes; ++i) buf[10 + i] = static_cast<char>((payload >> (8 * i)) & 0xFF);
    out.append(buf, static_cast<std::size_t>(4 + len));
}

std::string sheetStream(const Worksheet& ws, bool first, StringTable& table, std::uint16_t xfIndex) {
    std::size_t rowMin = SIZE_MAX, rowMax = 0, colMin = SIZE_MAX, colMax = 0, cells = 0;
    for (std::size_t r = 0; r < ws.rows.size(); ++r) {
        for (std::size_t c = 0; c < ws.rows[r].size(); ++c) {
            if (ws.rows[r][c].empty()) continue;
            ++cells;
            rowMin = std::min(rowMin, r);
            rowMax = std::max(rowMax, r + 1);
            colMin = std::min(colMin, c);
            colMax = std::max(colMax, c + 1);
        }
    }
    if (rowMin == SIZE_MAX) rowMin = colMin = 0;

    std::string out;
    out.reserve(cells * 18 + 128);
    record(out, kBof, bof(kBofWorksheet));
    std::string dim;
    put32(dim, static_cast<std::uint32_t>(rowMin));
    put32(dim, static_cast<std::uint32_t>(rowMax));
    put16(dim, static_cast<unsigned>(colMin));
    put16(dim, static_cast<unsigned>(colMax));
    put16(dim, 0);
    record(out, kDimensions, dim);
    for (std::size_t r = 0; r < ws.rows.size(); ++r) {
        for (std::size_t c = 0; c < ws.rows[r].size(); ++c) {
            const std::string& text = ws.rows[r][c];
            if (text.empty()) continue;
            double value = 0;
            if (!ws.numbers.empty() && isNumberCell(ws, r, c, &value)) {
                std::uint64_t bits = 0;
                std::memcpy(&bits, &value, sizeof bits);
                cellRecord(out, kNumber, r, c, bits, 8, xfIndex);
            } else {
                cellRecord(out, kLabelSst, r, c, table.add(text), 4, xfIndex);
            }
        }
    }
    record(out, kWindow2, window2(first));
    record(out, kEof, {});
    return out;
}

// ---- reading -------------------------------------------------------------------------------------------

std::uint16_t get16(std::string_view s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      (static_cast<unsigned char>(s[at + 1]) << 8));
}

std::uint32_t get32(std::string_view s, std::size_t at) {
    return get16(s, at) | (static_cast<std::uint32_t>(get16(s, at + 2)) << 16);
}

struct Record {
    std::uint16_t type = 0;
    std::string_view data;
};

/// Walks the records of a stream from a position; every length is checked against the stream.
class RecordCursor {
  public:
    RecordCursor(std::string_view stream, std::size_t pos) : stream_(stream), pos_(pos) {}

    bool next(Record& r) {
        if (pos_ + 4 > stream_.size()) return false;
        r.type = get16(stream_, pos_);
        const std::size_t len = get16(stream_, pos_ + 2);
        if (pos_ + 4 + len > stream_.size()) bad("a record runs past the end of the stream");
        r.data = stream_.substr(pos_ + 4, len);
        pos_ += 4 + len;
        return true;
    }

    std::size_t position() const { return pos_; }

    bool peekType(std::uint16_t* type) const {
        if (pos_ + 4 > stream_.size()) return false;
        *type = get16(stream_, pos_);
        return true;
    }

  private:
    std::string_view stream_;
    std::size_t pos_;
};

/// Reads strings of the SST across its CONTINUE records.
class SegmentReader {
  public:
    explicit SegmentReader(std::vector<std::string_view> segments) : segments_(std::move(segments)) {}

    bool atEnd() {
        while (seg_ < segments_.size() && off_ >= segments_[seg_].size()) nextSegment();
        return seg_ >= segments_.size();
    }

    unsigned byte() {
        if (atEnd()) bad("the shared string table is truncated");
        return static_cast<unsigned char>(segments_[seg_][off_++]);
    }

    unsigned word() {
        const unsigned lo = byte();
        return lo | (byte() << 8);
    }

    std::uint32_t dword() {
        const std::uint32_t lo = word();
        return lo | (static_cast<std::uint32_t>(word()) << 16);
    }

    void skip(std::size_t n) {
        while (n > 0) {
            if (atEnd()) bad("the shared string table is truncated");
            const std::size_t take = std::min(n, segments_[seg_].size() - off_);
            off_ += take;
            n -= take;
        }
    }

    void read(std::size_t n, std::string& out) {
        while (n > 0) {
            if (atEnd()) bad("the shared string table is truncated");
            const std::size_t take = std::min(n, segments_[seg_].size() - off_);
            out.append(segments_[seg_].substr(off_, take));
            off_ += take;
            n -= take;
        }
    }

    /// The next string; its formatting runs and phonetic data go to `tail` (when given) instead of away.
    std::string string(RichTail* tail = nullptr) {
        const std::size_t count = word();
        const unsigned flags = byte();
        const std::size_t runs = (flags & 0x08) ? word() : 0;
        const std::size_t extra = (flags & 0x04) ? dword() : 0;
        bool wide = (flags & 0x01) != 0;
        std::u16string u;
        u.reserve(count);
        while (u.size() < count) {
            if (off_ >= segments_[seg_].size()) {
                nextSegment();
                if (seg_ >= segments_.size()) bad("the shared string table is truncated");
                wide = (byte() & 0x01) != 0;
                continue;
            }
            const std::string_view seg = segments_[seg_];
            const std::size_t charSize = wide ? 2 : 1;
            const std::size_t avail = (seg.size() - off_) / charSize;
            if (avail == 0) bad("a shared string splits a character");
            const std::size_t take = std::min(avail, count - u.size());
            // Written in place: a 60000-row sheet has a few hundred thousand characters here.
            const std::size_t have = u.size();
            u.resize(have + take);
            char16_t* out = u.data() + have;
            if (wide) {
                for (std::size_t i = 0; i < take; ++i)
                    out[i] = static_cast<char16_t>(get16(seg, off_ + 2 * i));
            } else {
                for (std::size_t i = 0; i < take; ++i)
                    out[i] = static_cast<char16_t>(static_cast<unsigned char>(seg[off_ + i]));
            }
            off_ += take * charSize;
        }
        if (tail != nullptr && (runs > 0 || extra > 0)) {
            tail->runs = static_cast<std::uint16_t>(runs);
            tail->extLength = static_cast<std::uint32_t>(extra);
            read(runs * 4 + extra, tail->bytes);
        } else {
            skip(runs * 4);
            skip(extra);
        }
        return toUtf8(u);
    }

  private:
    void nextSegment() {
        ++seg_;
        off_ = 0;
    }

    std::vector<std::string_view> segments_;
    std::size_t seg_ = 0;
    std::size_t off_ = 0;
};

/// XLUnicodeString inside one record (LABEL): 16-bit count, flags, characters.
std::string unicodeString(std::string_view d, std::size_t at) {
    if (at + 3 > d.size()) bad("a text cell is truncated");
    const std::size_t count = get16(d, at);
    const bool wide = (static_cast<unsigned char>(d[at + 2]) & 0x01) != 0;
    at += 3;
    if (at + count * (wide ? 2 : 1) > d.size()) bad("a text cell is truncated");
    std::u16string u;
    u.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        u.push_back(wide ? static_cast<char16_t>(get16(d, at + 2 * i))
                         : static_cast<char16_t>(static_cast<unsigned char>(d[at + i])));
    return toUtf8(u);
}

double rkValue(std::uint32_t rk) {
    double v = 0;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

void setCell(Worksheet& ws, std::size_t row, std::size_t col, std::string text) {
    if (row >= Worksheet::kMaxRows || col >= Worksheet::kMaxColumns) bad("a cell lies outside the worksheet");
    if (ws.rows.size() <= row) ws.rows.resize(row + 1);
    auto& cells = ws.rows[row];
    if (cells.size() <= col) cells.resize(col + 1);
    cells[col] = std::move(text);
    ws.numbers.erase({static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(col)});
}

void setNumber(Worksheet& ws, std::size_t row, std::size_t col, double value) {
    setCell(ws, row, col, numberText(value));
    ws.numbers[{static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(col)}] = value;
}

std::string errorText(unsigned code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        default:
            return "#N/A";
    }
}

std::string boolOrErrorText(unsigned value, bool isError) {
    if (isError) return errorText(value);
    return value != 0 ? "TRUE" : "FALSE";
}

/// Reads the cells of one worksheet; returns the stream position after its EOF record. Formula cells read
/// as their last computed value; embedded objects (charts) are passed over.
std::size_t readSheet(std::string_view stream, std::size_t pos, Worksheet& ws,
                      const std::vector<std::string>& sst) {
    if (pos >= stream.size()) bad("a worksheet lies outside the stream");
    RecordCursor cur(stream, pos);
    Record r;
    if (!cur.next(r) || r.type != kBof || r.data.size() < 4) bad("a worksheet does not start with BOF");
    if (get16(r.data, 0) != kBiff8) bad("a worksheet is not in BIFF8 format");
    if (get16(r.data, 2) != kBofWorksheet) bad("the workbook holds a sheet that is not a worksheet");
    int embedded = 0;
    // A formula whose text follows in a STRING record.
    bool stringPending = false;
    std::size_t pendingRow = 0, pendingColumn = 0;
    for (;;) {
        if (!cur.next(r)) bad("a worksheet ends without EOF");
        const std::string_view d = r.data;
        if (embedded > 0) {
            if (r.type == kBof) ++embedded;
            if (r.type == kEof) --embedded;
            continue;
        }
        switch (r.type) {
            case kEof:
                return cur.position();
            case kBof:
                ++embedded;
                break;
            case kLabelSst: {
                if (d.size() < 10) bad("a text cell is truncated");
                const std::uint32_t i = get32(d, 6);
                if (i >= sst.size()) bad("a text cell refers to a missing shared string");
                setCell(ws, get16(d, 0), get16(d, 2), sst[i]);
                break;
            }
            case kLabel:
            case kRString:
                if (d.size() < 6) bad("a text cell is truncated");
                setCell(ws, get16(d, 0), get16(d, 2), unicodeString(d, 6));
                break;
            case kNumber: {
                if (d.size() < 14) bad("a number cell is truncated");
                const std::uint64_t bits = get32(d, 6) | (static_cast<std::uint64_t>(get32(d, 10)) << 32);
                double v = 0;
                std::memcpy(&v, &bits, sizeof v);
                setNumber(ws, get16(d, 0), get16(d, 2), v);
                break;
            }
            case kRk:
                if (d.size() < 10) bad("a number cell is truncated");
                setNumber(ws, get16(d, 0), get16(d, 2), rkValue(get32(d, 6)));
                break;
            case kMulRk: {
                if (d.size() < 6 || (d.size() - 6) % 6 != 0) bad("a row of number cells is malformed");
                const std::size_t row = get16(d, 0);
                const std::size_t first = get16(d, 2);
                const std::size_t n = (d.size() - 6) / 6;
                if (get16(d, d.size() - 2) + 1u != first + n) bad("a row of number cells is malformed");
                for (std::size_t k = 0; k < n; ++k)
                    setNumber(ws, row, first + k, rkValue(get32(d, 4 + 6 * k + 2)));
                break;
            }
            case kFormula: {
                if (d.size() < 14) bad("a formula cell is truncated");
                const std::size_t row = get16(d, 0), col = get16(d, 2);
                if (get16(d, 12) != 0xFFFF) {
                    const std::uint64_t bits = get32(d, 6) | (static_cast<std::uint64_t>(get32(d, 10)) << 32);
                    double v = 0;
                    std::memcpy(&v, &bits, sizeof v);
                    setNumber(ws, row, col, v);
                } else {
                    const auto kind = static_cast<unsigned char>(d[6]);
                    const auto value = static_cast<unsigned char>(d[8]);
                    if (kind == 0) {
                        stringPending = true;
                        pendingRow = row;
                        pendingColumn = col;
                    } else if (kind == 1 || kind == 2)
                        setCell(ws, row, col, boolOrErrorText(value, kind == 2));
                    else
                        setCell(ws, row, col, {});
                }
                break;
            }
            case kString:
                if (stringPending) setCell(ws, pendingRow, pendingColumn, unicodeString(d, 0));
                stringPending = false;
                break;
            case kBoolErr:
                if (d.size() < 8) bad("a cell is truncated");
                setCell(
                    ws, get16(d, 0), get16(d, 2),
                    boolOrErrorText(static_cast<unsigned char>(d[6]), static_cast<unsigned char>(d[7]) != 0));
                break;
            default:
                break;  // formatting and layout records carry no cell text
        }
    }
}

struct SheetRef {
    std::uint32_t pos;
    std::string name;
};

}  // namespace

const std::string& Worksheet::cell(std::size_t row, std::size_t column) const {
    static const std::string empty;
    if (row >= rows.size() || column >= rows[row].size()) return empty;
    return rows[row][column];
}

const Worksheet* Workbook::find(std::string_view name) const {
    for (const auto& ws : sheets_) {
        if (ws.name.size() == name.size() &&
            std::equal(ws.name.begin(), ws.name.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return &ws;
    }
    return nullptr;
}

Worksheet* Workbook::find(std::string_view name) {
    return const_cast<Worksheet*>(static_cast<const Workbook*>(this)->find(name));
}

Worksheet& Workbook::addSheet(const std::string& name) {
    if (const std::string problem = sheetNameProblem(name); !problem.empty())
        throw WorkbookError(WorkbookErrc::Semantic, problem);
    if (find(name)) throw WorkbookError(WorkbookErrc::TableExists, "Table '" + name + "' already exists.");
    Worksheet ws;
    ws.name = name;
    sheets_.push_back(std::move(ws));
    return sheets_.back();
}

std::string sheetNameProblem(const std::string& name) {
    if (name.empty()) return "A worksheet name cannot be empty.";
    if (toUtf16(name).size() > Workbook::kMaxSheetNameLength)
        return "The worksheet name '" + name + "' is longer than 31 characters.";
    if (name.find_first_of("[]:*?/\\") != std::string::npos)
        return "The worksheet name '" + name + "' contains one of the characters [ ] : * ? / \\.";
    return {};
}

std::string numberText(double value) {
    if (!std::isfinite(value)) return "#NUM!";
    if (value == 0) return "0";  // also for -0
    return format("%.15g", value);
}

struct Workbook::Original {
    struct RawRecord {
        std::uint16_t type;
        std::size_t offset;  // of the record header in `stream`
        std::size_t length;  // header included
    };
    std::string stream;
    std::vector<RawRecord> globals;  // from BOF to before EOF; the SST's CONTINUE records are not listed
    std::vector<std::string> sst;
    std::map<std::uint32_t, RichTail> rich;
    std::uint32_t sstTotal = 0;
    std::vector<std::size_t> sheetStarts;  // stream position of each sheet as read
    bool hasCellFormats = false;
};

namespace {

/// A sheet copied from the file read, moved from `oldStart` to `newStart`: the INDEX record holds stream
/// positions (of the DEFCOLWIDTH and DBCELL records), which move with it; everything else is relative.
void appendMovedSheet(std::string& out, std::string_view sheet, std::size_t oldStart, std::size_t newStart) {
    const std::size_t base = out.size();
    out.append(sheet);
    const auto delta = static_cast<std::uint32_t>(newStart - oldStart);
    RecordCursor cur(sheet, 0);
    Record r;
    int depth = 0;
    while (cur.next(r)) {
        if (r.type == kBof) ++depth;
        if (r.type == kEof && --depth == 0) break;
        if (r.type != kIndex || depth != 1 || r.data.size() < 16) continue;
        const std::size_t dataAt = base + cur.position() - r.data.size();
        auto patch = [&](std::size_t at) {
            const std::uint32_t v = get32(out, at);
            if (v == 0) return;
            const std::uint32_t moved = v + delta;
            for (int b = 0; b < 4; ++b)
                out[at + static_cast<std::size_t>(b)] = static_cast<char>(moved >> (8 * b));
        };
        patch(dataAt + 12);
        for (std::size_t at = 16; at + 4 <= r.data.size(); at += 4) patch(dataAt + at);
    }
}

}  // namespace

std::string Workbook::toXls() const {
    if (sheets_.empty())
        throw WorkbookError(WorkbookErrc::Semantic, "A workbook needs at least one worksheet.");
    for (const auto& ws : sheets_) {
        if (ws.rows.size() > Worksheet::kMaxRows)
            throw WorkbookError(WorkbookErrc::Semantic, "The worksheet '" + ws.name + "' has too many rows.");
        for (const auto& row : ws.rows)
            if (row.size() > Worksheet::kMaxColumns)
                throw WorkbookError(WorkbookErrc::Semantic,
                                    "The worksheet '" + ws.name + "' has too many columns.");
    }
    // A file without cell formats (a bare minimum some tools write) has nothing to keep but its cells.
    if (original_ && original_->hasCellFormats) return toXlsKeepingOriginal();
    StringTable table;
    std::size_t cellCount = 0;
    for (const auto& ws : sheets_)
        for (const auto& row : ws.rows) cellCount += row.size();
    table.index.reserve(cellCount);
    std::vector<std::string> sheetStreams;
    sheetStreams.reserve(sheets_.size());
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        sheetStreams.push_back(sheetStream(sheets_[i], i == 0, table, kCellXf));

    std::string out;
    record(out, kBof, bof(kBofGlobals));
    std::string d;
    put16(d, 1200);  // UTF-16 text
    record(out, kCodepage, d);
    d.clear();
    for (unsigned v : {0u, 0u, 0x3A98u, 0x2328u, 0x0038u, 0u, 0u, 1u, 600u}) put16(d, v);
    record(out, kWindow1, d);
    for (int i = 0; i < 5; ++i) record(out, kFont, font());
    for (int i = 0; i < 16; ++i) record(out, kXf, xf(i < 15));
    d.clear();
    put16(d, 0x8000);  // built-in style of XF 0: "Normal"
    put8(d, 0);
    put8(d, 0xFF);
    record(out, kStyle, d);
    std::vector<std::size_t> plyPositions;
    for (const auto& ws : sheets_) {
        d.clear();
        plyPositions.push_back(out.size() + 4);
        put32(d, 0);  // patched below, once the sheet offsets are known
        put8(d, 0);   // visible
        put8(d, 0);   // worksheet
        d += shortName(ws.name);
        record(out, kBoundSheet, d);
    }
    writeSst(out, table);
    record(out, kEof, {});
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        const auto pos = static_cast<std::uint32_t>(out.size());
        for (int b = 0; b < 4; ++b)
            out[plyPositions[i] + static_cast<std::size_t>(b)] = static_cast<char>(pos >> (8 * b));
        out += sheetStreams[i];
    }
    return writeCompoundFile(out);
}

// A workbook read from a file is written as a spreadsheet program adds sheets to it: every global record
// (fonts, number formats, cell formats, styles, names, ...) and every untouched sheet is copied as it was;
// the shared strings keep their numbers and ours follow; one cell format of ours is added when the file
// has none like it; new sheets are appended, so the sheet numbers that names and formulas use stay valid.
std::string Workbook::toXlsKeepingOriginal() const {
    const Original& o = *original_;
    StringTable table;
    table.rich = &o.rich;
    table.strings.reserve(o.sst.size());
    table.index.reserve(o.sst.size());
    for (std::size_t k = 0; k < o.sst.size(); ++k) {
        table.strings.push_back(&o.sst[k]);
        if (o.rich.count(static_cast<std::uint32_t>(k)) == 0)
            table.index.try_emplace(o.sst[k], static_cast<std::uint32_t>(k));
    }
    table.total = o.sstTotal;

    // Our cell format: one of the file's own when it has an identical one, else appended after its last.
    const std::string ours = xf(false);
    std::size_t xfCount = 0, lastXf = SIZE_MAX, lastBoundSheet = SIZE_MAX;
    std::optional<std::size_t> sameXf;
    for (std::size_t k = 0; k < o.globals.size(); ++k) {
        const auto& g = o.globals[k];
        if (g.type == kXf) {
            if (!sameXf && std::string_view(o.stream).substr(g.offset + 4, g.length - 4) == ours)
                sameXf = xfCount;
            ++xfCount;
            lastXf = k;
        }
        if (g.type == kBoundSheet) lastBoundSheet = k;
    }
    const bool appendXf = !sameXf.has_value();
    const auto cellXf = static_cast<std::uint16_t>(sameXf.value_or(xfCount));
    if (appendXf && xfCount >= 4050)
        throw WorkbookError(WorkbookErrc::BadFile, "The workbook has no room for another cell format.");

    std::vector<std::string> sheetStreams(sheets_.size());
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (!sheets_[i].originalRecords) sheetStreams[i] = sheetStream(sheets_[i], false, table, cellXf);

    std::string out;
    std::vector<std::size_t> plyPositions;
    bool sstWritten = false;
    auto newBoundSheets = [&] {
        for (std::size_t i = o.sheetStarts.size(); i < sheets_.size(); ++i) {
            std::string d;
            plyPositions.push_back(out.size() + 4);
            put32(d, 0);
            put8(d, 0);
            put8(d, 0);
            d += shortName(sheets_[i].name);
            record(out, kBoundSheet, d);
        }
    };
    for (std::size_t k = 0; k < o.globals.size(); ++k) {
        const auto& g = o.globals[k];
        if (g.type == kSst) {
            writeSst(out, table);
            sstWritten = true;
            continue;
        }
        if (g.type == kExtSst) continue;
        if (g.type == kBoundSheet) plyPositions.push_back(out.size() + 4);
        out.append(o.stream, g.offset, g.length);
        if (k == lastXf && appendXf) record(out, kXf, ours);
        if (k == lastBoundSheet) newBoundSheets();
    }
    if (lastBoundSheet == SIZE_MAX) newBoundSheets();
    if (!sstWritten) writeSst(out, table);
    record(out, kEof, {});
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        const std::size_t pos = out.size();
        for (int b = 0; b < 4; ++b)
            out[plyPositions[i] + static_cast<std::size_t>(b)] = static_cast<char>(pos >> (8 * b));
        if (const auto& span = sheets_[i].originalRecords) {
            appendMovedSheet(out, std::string_view(o.stream).substr(span->first, span->second - span->first),
                             span->first, pos);
        } else {
            out += sheetStreams[i];
        }
    }
    return writeCompoundFile(out);
}

Workbook Workbook::fromXls(std::string_view file) {
    auto original = std::make_shared<Original>();
    original->stream = readWorkbookStream(file);
    const std::string& stream = original->stream;
    RecordCursor cur(stream, 0);
    Record r;
    if (!cur.next(r) || r.type != kBof || r.data.size() < 4)
        bad("the workbook stream does not start with BOF");
    if (get16(r.data, 0) != kBiff8) bad("the workbook is not in BIFF8 format (Excel 97 or later)");
    if (get16(r.data, 2) != kBofGlobals) bad("the workbook stream does not start with the workbook globals");
    original->globals.push_back({kBof, 0, cur.position()});

    std::vector<SheetRef> refs;
    std::vector<std::string>& sst = original->sst;
    for (;;) {
        const std::size_t at = cur.position();
        if (!cur.next(r)) bad("the workbook globals end without EOF");
        if (r.type == kEof) break;
        original->globals.push_back({r.type, at, cur.position() - at});
        if (r.type == kXf) original->hasCellFormats = true;
        if (r.type == kBoundSheet) {
            if (r.data.size() < 8) bad("a sheet entry is truncated");
            const std::size_t count = static_cast<unsigned char>(r.data[6]);
            const bool wide = (static_cast<unsigned char>(r.data[7]) & 0x01) != 0;
            if (8 + count * (wide ? 2 : 1) > r.data.size()) bad("a sheet name is truncated");
            std::u16string u;
            for (std::size_t i = 0; i < count; ++i)
                u.push_back(wide ? static_cast<char16_t>(get16(r.data, 8 + 2 * i))
                                 : static_cast<char16_t>(static_cast<unsigned char>(r.data[8 + i])));
            if (r.data[5] != 0) bad("the workbook holds a chart or macro sheet");
            refs.push_back({get32(r.data, 0), toUtf8(u)});
        } else if (r.type == kSst) {
            if (r.data.size() < 8) bad("the shared string table is truncated");
            original->sstTotal = get32(r.data, 0);
            const std::uint32_t unique = get32(r.data, 4);
            std::vector<std::string_view> segments{r.data.substr(8)};
            std::uint16_t type = 0;
            while (cur.peekType(&type) && type == kContinue) {
                cur.next(r);
                segments.push_back(r.data);
            }
            SegmentReader reader(std::move(segments));
            // Every string takes at least three bytes, so the record sizes bound this loop.
            while (sst.size() < unique) {
                RichTail tail;
                sst.push_back(reader.string(&tail));
                if (tail.runs > 0 || tail.extLength > 0)
                    original->rich.emplace(static_cast<std::uint32_t>(sst.size() - 1), std::move(tail));
            }
        }
    }
    Workbook wb;
    for (const auto& ref : refs) {
        Worksheet ws;
        ws.name = ref.name;
        const std::size_t end = readSheet(stream, ref.pos, ws, sst);
        ws.originalRecords = std::make_pair(static_cast<std::size_t>(ref.pos), end);
        original->sheetStarts.push_back(ref.pos);
        if (!sheetNameProblem(ws.name).empty() || wb.find(ws.name))
            bad("a worksheet name is invalid or repeated");
        wb.sheets_.push_back(std::move(ws));
    }
    wb.original_ = std::move(original);
    return wb;
}

Workbook Workbook::load(const std::string& path) {
    return fromXls(readWholeFile(path));
}

void Workbook::save(const std::string& path) const {
    replaceFileAtomically(path, toXls());
}

// ---- files ---------------------------------------------------------------------------------------------

namespace {

[[noreturn]] void ioError(const std::string& what, const std::string& path, int err) {
    throw WorkbookError(WorkbookErrc::Io, what + " '" + path + "': " + std::strerror(err));
}

}  // namespace

std::string readWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ioError("Cannot open", path, errno);
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ioError("Cannot read", path, err);
        }
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

void replaceFileAtomically(const std::string& path, std::string_view bytes) {
    const SaveResult saved = saveFileSafely(path, bytes);
    if (!saved.ok()) throw WorkbookError(WorkbookErrc::Io, saved.detail, saved.problem);
}

}  // namespace thermivo
