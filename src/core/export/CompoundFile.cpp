#include "export/CompoundFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "export/WorkbookError.h"

namespace thermivo {
namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFFu;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kFatSect = 0xFFFFFFFDu;
constexpr std::uint32_t kDifSect = 0xFFFFFFFCu;
constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFAu;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderDifat = 109;
constexpr std::size_t kMiniCutoff = 4096;
constexpr std::size_t kDirEntrySize = 128;

[[noreturn]] void bad(const std::string& why) {
    throw WorkbookError(WorkbookErrc::BadFile, "The file is not a readable workbook: " + why + ".");
}

void put16(std::string& s, std::size_t at, std::uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint16_t get16(std::string_view s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      (static_cast<unsigned char>(s[at + 1]) << 8));
}

std::uint32_t get32(std::string_view s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

void putDirEntry(std::string& dir, std::size_t at, const char* name, std::uint8_t type, std::uint32_t child,
                 std::uint32_t start, std::uint32_t size) {
    const std::size_t len = std::strlen(name);
    for (std::size_t i = 0; i < len; ++i) put16(dir, at + 2 * i, static_cast<unsigned char>(name[i]));
    put16(dir, at + 64, static_cast<std::uint16_t>((len + 1) * 2));
    dir[at + 66] = static_cast<char>(type);
    dir[at + 67] = 1;  // black: a one-node tree is trivially balanced
    put32(dir, at + 68, kNoStream);
    put32(dir, at + 72, kNoStream);
    put32(dir, at + 76, child);
    put32(dir, at + 116, start);
    put32(dir, at + 120, size);
}

void putEmptyDirEntry(std::string& dir, std::size_t at) {
    put32(dir, at + 68, kNoStream);
    put32(dir, at + 72, kNoStream);
    put32(dir, at + 76, kNoStream);
}

}  // namespace

std::string writeCompoundFile(const std::string& workbookStream) {
    constexpr std::size_t kSector = 512;
    constexpr std::size_t kPerSector = kSector / 4;
    const std::string_view stream = workbookStream;
    // Short streams are padded with zeros (the sectors start zeroed) so that no mini stream is needed.
    const std::size_t streamSize = std::max(stream.size(), kMiniCutoff);
    if (streamSize > 0x7FFFFFFFu)
        throw WorkbookError(WorkbookErrc::Io, "The workbook is too large to be written.");

    const std::size_t streamSectors = (streamSize + kSector - 1) / kSector;
    // Sector counts depend on each other: iterate until the FAT covers itself and the DIFAT.
    std::size_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const std::size_t total = streamSectors + 1 + fatSectors + difatSectors;
        const std::size_t needFat = (total + kPerSector - 1) / kPerSector;
        const std::size_t needDifat =
            needFat > kHeaderDifat ? (needFat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1) : 0;
        if (needFat == fatSectors && needDifat == difatSectors) break;
        fatSectors = std::max(fatSectors, needFat);
        difatSectors = std::max(difatSectors, needDifat);
    }
    const std::size_t dirSector = streamSectors;
    const std::size_t firstFat = dirSector + 1;
    const std::size_t firstDifat = firstFat + fatSectors;
    const std::size_t totalSectors = firstDifat + difatSectors;

    std::vector<std::uint32_t> fat(fatSectors * kPerSector, kFreeSect);
    for (std::size_t i = 0; i < streamSectors; ++i)
        fat[i] = i + 1 < streamSectors ? static_cast<std::uint32_t>(i + 1) : kEndOfChain;
    fat[dirSector] = kEndOfChain;
    for (std::size_t i = 0; i < fatSectors; ++i) fat[firstFat + i] = kFatSect;
    for (std::size_t i = 0; i < difatSectors; ++i) fat[firstDifat + i] = kDifSect;

    std::string out(kHeaderSize + totalSectors * kSector, '\0');
    std::memcpy(out.data(), kSignature, sizeof kSignature);
    put16(out, 24, 0x003E);
    put16(out, 26, 0x0003);
    put16(out, 28, 0xFFFE);
    put16(out, 30, 9);
    put16(out, 32, 6);
    put32(out, 44, static_cast<std::uint32_t>(fatSectors));
    put32(out, 48, static_cast<std::uint32_t>(dirSector));
    put32(out, 56, kMiniCutoff);
    put32(out, 60, kEndOfChain);
    put32(out, 68, difatSectors ? static_cast<std::uint32_t>(firstDifat) : kEndOfChain);
    put32(out, 72, static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < kHeaderDifat; ++i)
        put32(out, 76 + 4 * i, i < fatSectors ? static_cast<std::uint32_t>(firstFat + i) : kFreeSect);

    auto sectorAt = [&](std::size_t n) { return kHeaderSize + n * kSector; };
    std::memcpy(out.data() + sectorAt(0), stream.data(), stream.size());

    std::string dir(kSector, '\0');
    putDirEntry(dir, 0, "Root Entry", 5, 1, kEndOfChain, 0);
    putDirEntry(dir, kDirEntrySize, "Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(streamSize));
    putEmptyDirEntry(dir, 2 * kDirEntrySize);
    putEmptyDirEntry(dir, 3 * kDirEntrySize);
    std::memcpy(out.data() + sectorAt(dirSector), dir.data(), kSector);

    for (std::size_t i = 0; i < fat.size(); ++i) put32(out, sectorAt(firstFat) + 4 * i, fat[i]);

    std::size_t nextFat = kHeaderDifat;
    for (std::size_t d = 0; d < difatSectors; ++d) {
        const std::size_t base = sectorAt(firstDifat + d);
        for (std::size_t i = 0; i + 1 < kPerSector; ++i, ++nextFat)
            put32(out, base + 4 * i,
                  nextFat < fatSectors ? static_cast<std::uint32_t>(firstFat + nextFat) : kFreeSect);
        put32(out, base + 4 * (kPerSector - 1),
              d + 1 < difatSectors ? static_cast<std::uint32_t>(firstDifat + d + 1) : kEndOfChain);
    }
    return out;
}

namespace {

/// Read-only view of a compound file with every offset checked against the file size.
class Reader {
  public:
    explicit Reader(std::string_view file) : file_(file) {
        if (file_.size() < kHeaderSize) bad("too short for a compound file");
        if (std::memcmp(file_.data(), kSignature, sizeof kSignature) != 0) bad("no compound file signature");
        if (get16(file_, 28) != 0xFFFE) bad("wrong byte order mark");
        const std::uint16_t shift = get16(file_, 30);
        if (shift != 9 && shift != 12) bad("unsupported sector size");
        sector_ = std::size_t{1} << shift;
        if (get16(file_, 32) != 6) bad("unsupported mini sector size");
        miniCutoff_ = get32(file_, 56);
        sectorCount_ = file_.size() <= sector_ ? 0 : (file_.size() - sector_ + sector_ - 1) / sector_;
        loadFat();
    }

    std::string stream(const char* wanted) {
        const std::string dir = chain(get32(file_, 48), std::string::npos, fat_, sector_, false);
        const std::size_t entries = dir.size() / kDirEntrySize;
        if (entries == 0) bad("empty directory");
        const std::string_view root(dir.data(), kDirEntrySize);
        if (root[66] != 5) bad("the first directory entry is not the root");
        for (std::size_t e = 1; e < entries; ++e) {
            const std::string_view entry(dir.data() + e * kDirEntrySize, kDirEntrySize);
            if (entry[66] != 2 || !nameIs(entry, wanted)) continue;
            const std::uint32_t start = get32(entry, 116);
            const std::size_t size = get32(entry, 120);
            if (size < miniCutoff_) return miniStream(root, start, size);
            return chain(start, size, fat_, sector_, false);
        }
        if (findName(dir, entries, "Book")) bad("a workbook older than BIFF8 (Excel 97)");
        bad("no Workbook stream");
    }

  private:
    static bool nameIs(std::string_view entry, const char* wanted) {
        const std::size_t bytes = get16(entry, 64);
        const std::size_t len = std::strlen(wanted);
        if (bytes != (len + 1) * 2) return false;
        for (std::size_t i = 0; i < len; ++i) {
            const std::uint16_t c = get16(entry, 2 * i);
            if (c > 0x7F || std::tolower(c) != std::tolower(static_cast<unsigned char>(wanted[i])))
                return false;
        }
        return true;
    }

    static bool findName(const std::string& dir, std::size_t entries, const char* wanted) {
        for (std::size_t e = 1; e < entries; ++e)
            if (nameIs(std::string_view(dir.data() + e * kDirEntrySize, kDirEntrySize), wanted)) return true;
        return false;
    }

    std::string_view sectorData(std::uint32_t n) const {
        if (n >= sectorCount_) bad("a sector number points past the end of the file");
        const std::size_t at = (static_cast<std::size_t>(n) + 1) * sector_;
        return file_.substr(at, std::min(sector_, file_.size() - at));
    }

    void loadFat() {
        const std::size_t perSector = sector_ / 4;
        const std::uint32_t fatCount = get32(file_, 44);
        if (fatCount > sectorCount_) bad("more FAT sectors than the file holds");
        std::vector<std::uint32_t> fatSectors;
        fatSectors.reserve(fatCount);
        for (std::size_t i = 0; i < kHeaderDifat && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(get32(file_, 76 + 4 * i));
        std::uint32_t difat = get32(file_, 68);
        std::size_t difatSeen = 0;
        while (fatSectors.size() < fatCount) {
            if (difat > kMaxRegSect || ++difatSeen > sectorCount_) bad("broken DIFAT chain");
            const std::string_view d = sectorData(difat);
            if (d.size() < sector_) bad("truncated DIFAT sector");
            for (std::size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
                fatSectors.push_back(get32(d, 4 * i));
            difat = get32(d, 4 * (perSector - 1));
        }
        fat_.reserve(fatSectors.size() * perSector);
        for (const std::uint32_t s : fatSectors) {
            if (s > kMaxRegSect) bad("missing FAT sector");
            const std::string_view d = sectorData(s);
            for (std::size_t i = 0; i + 4 <= d.size(); i += 4) fat_.push_back(get32(d, i));
        }
    }

    /// Follows a chain of `unit`-byte blocks through `table`; stops at `size` bytes (npos: at the end).
    std::string chain(std::uint32_t start, std::size_t size, const std::vector<std::uint32_t>& table,
                      std::size_t unit, bool mini) const {
        std::string out;
        if (size != std::string::npos) {
            if (size > file_.size() + unit) bad("a stream is larger than the file");
            out.reserve(size);
        }
        std::vector<bool> seen(table.size(), false);
        std::uint32_t n = start;
        while (size == std::string::npos || out.size() < size) {
            if (n == kEndOfChain) {
                if (size == std::string::npos) break;
                bad("a stream ends before its recorded size");
            }
            if (n >= table.size()) bad("a sector chain leaves the allocation table");
            if (seen[n]) bad("a sector chain loops");
            seen[n] = true;
            std::string_view block;
            if (mini) {
                const std::size_t at = static_cast<std::size_t>(n) * unit;
                if (at + unit > ministream_.size()) bad("a mini sector lies outside the mini stream");
                block = std::string_view(ministream_).substr(at, unit);
            } else {
                block = sectorData(n);
            }
            const std::size_t take =
                size == std::string::npos ? block.size() : std::min(block.size(), size - out.size());
            out.append(block.data(), take);
            n = table[n];
        }
        return out;
    }

    std::string miniStream(std::string_view root, std::uint32_t start, std::size_t size) {
        ministream_ = chain(get32(root, 116), get32(root, 120), fat_, sector_, false);
        const std::string minifatBytes = chain(get32(file_, 60), std::string::npos, fat_, sector_, false);
        std::vector<std::uint32_t> minifat;
        minifat.reserve(minifatBytes.size() / 4);
        for (std::size_t i = 0; i + 4 <= minifatBytes.size(); i += 4)
            minifat.push_back(get32(minifatBytes, i));
        return chain(start, size, minifat, 64, true);
    }

    std::string_view file_;
    std::size_t sector_ = 512;
    std::size_t sectorCount_ = 0;
    std::size_t miniCutoff_ = kMiniCutoff;
    std::vector<std::uint32_t> fat_;
    std::string ministream_;
};

}  // namespace

std::string readWorkbookStream(std::string_view file) {
    Reader reader(file);
    return reader.stream("Workbook");
}

}  // namespace thermivo
