#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/SafeSave.h"
#include "data/Recording.h"

namespace thermivo {

/// The program's scrambled data file (*.kvlu): a plain header of five numbers, a scrambled body of
/// fixed-width decimal fields, and a 64-byte description block. One object serves one save or one open.
class RecordFile {
  public:
    enum Mode : int { ModeRead = 1, ModeWrite = 2 };

    /// Opens `path` for reading (mode 1) or prepares a save to it (mode 2). A save writes a temporary file
    /// in the same folder and renames it over `path` only when everything was written.
    RecordFile(std::string path, int mode);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    /// True when the file was opened (reading) or its folder accepts a temporary file (writing).
    bool isOpen() const { return open_; }

    /// Writes the whole recording. False when the file could not be written or a value does not fit its
    /// field; the file at `path` is then left as it was.
    bool write(const Recording& rec);
    /// Reads the whole file into `rec`. False when the file is rejected; `rec` then holds whatever was filled
    /// before the failed check, and the caller resets it.
    bool read(Recording& rec);
    void close();

    /// Why the last write or read failed, in plain words (English, for logs and the command-line tool).
    const std::string& error() const { return error_; }
    /// Why the last write failed, for the user (saveProblemText).
    SaveProblem problem() const { return problem_; }
    const std::array<std::uint8_t, 5>& headerNumbers() const { return headerNumbers_; }
    std::uint8_t key() const { return key_; }

    // The building blocks, exposed for tests and tools.
    static constexpr std::size_t kHeaderSize = 15;
    static constexpr std::size_t kDescriptionSize = 64;
    static constexpr std::uint8_t kChainSeed = 'K';
    static std::uint8_t keyOf(const std::array<std::uint8_t, 5>& n);
    static std::uint8_t positionMask(std::size_t offset);
    static std::uint8_t scrambleByte(std::uint8_t plain, std::size_t offset, std::uint8_t key,
                                     std::uint8_t chain);
    static std::uint8_t unscrambleByte(std::uint8_t raw, std::size_t offset, std::uint8_t key,
                                       std::uint8_t chain);
    /// The whole file image of a recording for the given header numbers; empty (and `error`) when a field
    /// does not fit.
    static std::vector<std::uint8_t> encode(const Recording& rec, const std::array<std::uint8_t, 5>& numbers,
                                            std::string* error = nullptr, SaveProblem* problem = nullptr);
    /// The description block's text: the bytes the file was opened with while the description is unchanged
    /// (so Chinese GBK and Western Windows-1252 texts survive a save), else the description as UTF-8.
    static std::string descriptionBytes(const Recording& rec);
    /// Fills `rec` from a file image; the same checks and results as `read`.
    static bool decode(const std::vector<std::uint8_t>& bytes, Recording& rec, std::string* error = nullptr);
    /// Header numbers as the writer draws them from the current local time.
    static std::array<std::uint8_t, 5> drawHeaderNumbers();

  private:
    std::string path_;
    int mode_;
    bool open_ = false;
    int readFd_ = -1;
    bool stream_ = false;  ///< read to its end: it has no size (a pipe, a FIFO, a device)
    std::string error_;
    SaveProblem problem_ = SaveProblem::None;
    std::array<std::uint8_t, 5> headerNumbers_{};
    std::uint8_t key_ = 0;
};

}  // namespace thermivo
