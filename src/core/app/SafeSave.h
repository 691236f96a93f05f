#pragma once
#include <string>
#include <string_view>

namespace thermivo {

/// Why a save failed, for the user (saveProblemText) and for branching.
enum class SaveProblem {
    None,
    ValueTooWide,       ///< a value needs more than the 7 characters of its field
    CompactLayoutFull,  ///< interval or count beyond what the compact layout holds
    TooManySamples,     ///< more samples than a recording holds
    SerialNotAscii,     ///< the serial number holds characters a data file cannot
    TimeOutOfRange,     ///< start or stop time outside the years 1900-3000
    PermissionDenied,
    DiskFull,
    ReadOnlyDisk,
    FolderMissing,
    NotAFile,             ///< the name is a folder or a device
    WriteFailed,          ///< any other input/output error
    WorkbookUnreadable,   ///< the existing workbook cannot be read, so it cannot be added to
    WorkbookSheetExists,  ///< the workbook already has a worksheet of that name
    WorkbookFailed,       ///< the workbook could not be written for another reason
};

/// The reason in plain words, in the current language.
std::string saveProblemText(SaveProblem problem);
/// What a message box says about a failed save: the reason in plain words, then the technical detail (which
/// file, what the system said) in parentheses on a line of its own.
std::string saveProblemMessage(SaveProblem problem, const std::string& detail);
/// The problem an errno value of a failed file operation means.
SaveProblem saveProblemFromErrno(int err);

/// Outcome of a save: the problem (None on success) and a technical detail for logs and the command line.
struct SaveResult {
    SaveProblem problem = SaveProblem::None;
    std::string detail;
    bool ok() const { return problem == SaveProblem::None; }
};

/// The one way the program writes a file: symbolic links are followed so the file they point to is replaced
/// (the link stays a link); an existing file keeps its permission bits (and owner where allowed); the bytes
/// go to a temporary file in the same folder, which is synced, renamed over the target, and the folder is
/// synced. On failure the target is left as it was and no temporary file remains.
SaveResult saveFileSafely(const std::string& path, std::string_view bytes);

/// The call that makes a written file's bytes durable before it is renamed into place (fsync by default);
/// tests put their own here to see it called on the whole file, or to make it fail. nullptr restores it.
void setFileSyncForTesting(int (*sync)(int fd));

/// The path a save to `path` replaces: `path` with its symbolic links followed (also a link to a file that
/// does not exist yet).
std::string resolveSaveTarget(const std::string& path);

}  // namespace thermivo
