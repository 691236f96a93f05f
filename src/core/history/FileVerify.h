#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "history/HistoryLog.h"

namespace thermivo {

struct Recording;
class RecordingStore;

/// SHA-256 of what identifies a recording's samples: serial number, start, interval, count and every
/// sample to the hundredth the record file keeps. A download and every file written from it share it.
std::string recordingFingerprint(const Recording& rec);

/// A moment as the details of a row give it: "YYYY-MM-DDTHH:MMZ" (UTC).
std::string historyUtcText(std::int64_t seconds);

/// The row of a download that ended: serial number, samples received and announced, start and interval;
/// a complete one also carries the fingerprint of its samples.
HistoryEntry downloadEntry(HistoryEvent event, const Recording& rec);

/// The row of something done with a recording that left no file (a printout sent to a printer): serial
/// number, sample count, start and fingerprint after the given details.
HistoryEntry recordingEntry(HistoryEvent event, const Recording& rec, const HistoryDetails& details);

/// The row of a file written or read: its path, SHA-256 (of the file now on disk) and the recording's
/// serial number, sample count and fingerprint. `extra` details follow the path.
HistoryEntry fileEntry(HistoryEvent event, const std::string& path, const Recording& rec,
                       const HistoryDetails& extra = {});
/// Records a file written or read; a log that is nullptr records nothing. The file is hashed only here.
void recordFile(HistoryLog* log, HistoryEvent event, const std::string& path, const Recording& rec,
                const HistoryDetails& extra = {});

/// What the history and the kept originals say of a file.
struct FileVerdict {
    enum Origin {
        Unreadable,           ///< the file cannot be read
        OriginalDownload,     ///< a complete download kept this very file
        WrittenFromOriginal,  ///< Thermivo wrote it, with the samples of a complete download
        WrittenOther,         ///< Thermivo wrote it, but no complete download holds its samples
        Unknown,              ///< the history never saw this file
    };
    enum Samples {
        NotARecordFile,
        NoKeptOriginal,  ///< no original of this serial number and start is kept here
        SameAsOriginal,
        DifferFromOriginal,
        KeptOriginalUnreadable,
    };
    Origin origin = Unknown;
    Samples samples = NotARecordFile;
    std::string fileSha256;
    std::string error;                   ///< why the file or the history could not be read
    HistoryRow row;                      ///< the row that names the file (origin Original/Written*)
    std::optional<HistoryRow> original;  ///< the complete download the file was written from
    // Record files: the comparison with the kept original.
    std::string serial;
    std::int64_t startTime = 0;
    std::string keptPath;
    int firstDifference = -1;  ///< 1-based number of the first sample that differs; 0 when the counts differ
    std::string fileValue, keptValue;  ///< the two values of that sample (or the two counts)
    std::int64_t differenceTime = 0;
    /// The kept original was read, and it is no file the history saw downloaded.
    bool keptOriginalUnrecorded = false;
};

/// Looks the file up in the history by its SHA-256 and, for a record file, compares its samples with the
/// kept original of the same serial number and start in `store`.
FileVerdict verifyFile(HistoryLog& log, const RecordingStore& store, const std::string& path);

/// The verdict in the user's language: one line of origin, then for a record file one of its samples.
std::string verdictText(const FileVerdict& v);
/// One short text for a status line: the first changed sample, else where the file came from.
std::string verdictShortText(const FileVerdict& v);

}  // namespace thermivo
