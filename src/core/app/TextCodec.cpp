#include "app/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "app/Format.h"

namespace thermivo {

namespace {
void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Windows-1252 0x80..0x9F; 0 marks the five undefined positions.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
}  // namespace

std::optional<std::string> gbkToUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::vector<char> in(bytes.begin(), bytes.end());
    std::vector<char> out(bytes.size() * 4 + 4);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    return std::string(out.data(), out.size() - outLeft);
}

std::string windows1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0) {
            const char16_t c = kCp1252High[b - 0x80];
            appendUtf8(out, c != 0 ? c : 0xFFFD);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

namespace {
// GB2312 as GBK encodes it: symbol rows A1-A9 and character rows B0-F7, each with a second byte A1-FE.
bool isGb2312Lead(unsigned b) {
    return (b >= 0xA1 && b <= 0xA9) || (b >= 0xB0 && b <= 0xF7);
}
bool isGb2312Trail(unsigned b) {
    return b >= 0xA1 && b <= 0xFE;
}
bool isChineseLanguage(std::uint16_t languageId) {
    return (languageId & 0x3FF) == 0x04;
}

struct Gb2312Scan {
    bool fits = true;       // every byte above 0x7F belongs to a GB2312 pair (or is the cut last lead)
    std::size_t pairs = 0;  // complete pairs
    bool cutLast = false;   // the last byte is a lead without its second byte
};

Gb2312Scan scanGb2312(const std::string& bytes, bool blockFull) {
    Gb2312Scan scan;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) continue;
        if (!isGb2312Lead(b)) {
            scan.fits = false;
            return scan;
        }
        if (i + 1 == bytes.size()) {
            // Only a writer that cut the text at the end of the full block leaves half a character there.
            scan.fits = blockFull;
            scan.cutLast = blockFull;
            return scan;
        }
        if (!isGb2312Trail(static_cast<unsigned char>(bytes[i + 1]))) {
            scan.fits = false;
            return scan;
        }
        ++scan.pairs;
        ++i;
    }
    return scan;
}
}  // namespace

// The description block carries no mark of its encoding: files come from writers on Chinese systems (GBK),
// Western ones (Windows-1252) and this program (UTF-8). The bytes decide:
//  1. Valid UTF-8 is UTF-8: neither Western nor Chinese text of any length is valid UTF-8 by accident.
//  2. Chinese text in GBK is a run of two-byte characters in the GB2312 range (lead A1-A9 or B0-F7, second
//     byte A1-FE) between ASCII characters; a writer that cuts at byte 64 may leave a lead byte alone at the
//     end of a full block. Western text almost never pairs up that way: an accented letter stands beside
//     ASCII letters ("K\xFChlraum": FC is no lead byte; "caf\xE9" ends in a lone byte in a short block).
//  3. So GBK when every byte above 0x7F fits that pattern, Windows-1252 otherwise; with a single pair as
//     the only evidence (two accented letters side by side could be one Chinese character) the system
//     language decides: Chinese systems read GBK, others Windows-1252.
DescriptionEncoding descriptionEncoding(const std::string& bytes, bool blockFull, std::uint16_t languageId) {
    if (isValidUtf8(bytes)) return DescriptionEncoding::Utf8;
    const Gb2312Scan scan = scanGb2312(bytes, blockFull);
    if (!scan.fits) return DescriptionEncoding::Windows1252;
    if (scan.pairs >= 2 || (scan.pairs == 1 && scan.cutLast)) return DescriptionEncoding::Gbk;
    return isChineseLanguage(languageId) ? DescriptionEncoding::Gbk : DescriptionEncoding::Windows1252;
}

std::string descriptionToUtf8(const std::string& bytes, bool blockFull, std::uint16_t languageId) {
    switch (descriptionEncoding(bytes, blockFull, languageId)) {
        case DescriptionEncoding::Utf8:
            return bytes;
        case DescriptionEncoding::Gbk: {
            std::string whole = bytes;
            if (scanGb2312(bytes, blockFull).cutLast) whole.pop_back();
            if (auto text = gbkToUtf8(whole)) return *text;
            return windows1252ToUtf8(bytes);
        }
        case DescriptionEncoding::Windows1252:
            break;
    }
    return windows1252ToUtf8(bytes);
}

}  // namespace thermivo
