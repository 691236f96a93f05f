#pragma once
#include <cstdint>
#include <string>

#include "data/Recording.h"

namespace thermivo {

/// The folder where every complete download is kept, one record file per recording:
/// <root>/<serial>/<start time>.kvlu. A recording is known by its serial number and start time, so a
/// later download of the same recording replaces its file instead of adding a second one.
class RecordingStore {
  public:
    /// Outcome of keeping a recording: the file's path, and why it failed when it did.
    struct Kept {
        bool ok = false;
        std::string path;
        std::string error;
    };

    explicit RecordingStore(std::string root);

    /// $XDG_DATA_HOME/thermivo/recordings, or ~/.local/share/thermivo/recordings when it is unset or not
    /// absolute (the rule of the XDG base directory layout).
    static std::string defaultRoot();

    const std::string& root() const { return root_; }
    /// The folder of one instrument's recordings.
    std::string folderFor(const std::string& serial) const;
    /// The file that holds (or would hold) the recording of this serial number and start time.
    std::string pathFor(const std::string& serial, std::int64_t startTime) const;

    /// True when the folder holds a readable copy with this serial number, start time and sample count.
    bool holdsCopy(const std::string& serial, std::int64_t startTime, std::int32_t sampleCount) const;
    /// Writes the recording to its file (a temporary file renamed into place); a copy that is already
    /// there with the same samples count is left as it is.
    Kept keep(const Recording& rec) const;

    /// The start time as it appears in file names: local "YYYY-MM-DD_HH-MM".
    static std::string startName(std::int64_t startTime);
    /// A serial number made safe as a folder name.
    static std::string folderName(const std::string& serial);

  private:
    std::string root_;
};

/// Keeps the original of a complete download: the one place the window and the command line keep one, and
/// the one place to note it elsewhere too.
RecordingStore::Kept keepCompleteDownload(const RecordingStore& store, const Recording& rec);

}  // namespace thermivo
