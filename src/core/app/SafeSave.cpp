#include "app/SafeSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "app/Format.h"
#include "app/UiText.h"

namespace thermivo {

std::string saveProblemText(SaveProblem problem) {
    switch (problem) {
        case SaveProblem::None:
            return {};
        case SaveProblem::ValueTooWide:
            return text(2100);
        case SaveProblem::CompactLayoutFull:
            return text(2101);
        case SaveProblem::TooManySamples:
            return text(2102);
        case SaveProblem::SerialNotAscii:
            return text(2103);
        case SaveProblem::TimeOutOfRange:
            return text(2104);
        case SaveProblem::PermissionDenied:
            return text(2105);
        case SaveProblem::DiskFull:
            return text(2106);
        case SaveProblem::ReadOnlyDisk:
            return text(2107);
        case SaveProblem::FolderMissing:
            return text(2108);
        case SaveProblem::NotAFile:
            return text(2109);
        case SaveProblem::WriteFailed:
            return text(2110);
        case SaveProblem::WorkbookUnreadable:
            return text(2111);
        case SaveProblem::WorkbookSheetExists:
            return text(2112);
        case SaveProblem::WorkbookFailed:
            return text(2113);
    }
    return text(2110);
}

std::string saveProblemMessage(SaveProblem problem, const std::string& detail) {
    const std::string reason = saveProblemText(problem);
    return detail.empty() ? reason : reason + "\n(" + detail + ")";
}

SaveProblem saveProblemFromErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return SaveProblem::PermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return SaveProblem::DiskFull;
        case EROFS:
            return SaveProblem::ReadOnlyDisk;
        case ENOENT:
        case ENOTDIR:
            return SaveProblem::FolderMissing;
        case EISDIR:
            return SaveProblem::NotAFile;
        default:
            return SaveProblem::WriteFailed;
    }
}

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

SaveResult failure(int err, const std::string& what, const std::string& path) {
    return {saveProblemFromErrno(err), what + " '" + path + "': " + std::strerror(err)};
}

std::atomic<int (*)(int)> fileSync{nullptr};

int syncFile(int fd) {
    const auto sync = fileSync.load();
    return sync != nullptr ? sync(fd) : ::fsync(fd);
}

}  // namespace

void setFileSyncForTesting(int (*sync)(int fd)) {
    fileSync.store(sync);
}

std::string resolveSaveTarget(const std::string& path) {
    std::string current = path;
    // A loop of links is left to the open below, which reports it.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0) return current;
        target.resize(static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : folderOf(current) + "/" + target;
    }
    return current;
}

SaveResult saveFileSafely(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = resolveSaveTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return failure(EISDIR, "Cannot replace", target);

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + format(".tmp%ld.%u", static_cast<long>(::getpid()), counter++);
        // 0666 less the umask, as an ordinary new file gets; a replaced file's own bits are set below.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return failure(errno, "Cannot create a file beside", target);
    }
    if (fd < 0) return failure(EEXIST, "Cannot create a file beside", target);
    if (exists) {
        // Only root may give a file away; others keep their own. Kept in a variable: a (void) cast does not
        // quiet GCC's unused-result warning under _FORTIFY_SOURCE.
        [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        if (::fchmod(fd, st.st_mode & 07777) != 0) {
            const int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            return failure(err, "Cannot keep the permissions of", target);
        }
    }
    auto fail = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return failure(err, what, target);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("Cannot write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (syncFile(fd) != 0) return fail("Cannot write", errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return failure(err, "Cannot write", target);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return failure(err, "Cannot replace", target);
    }
    // The rename lives in the folder; without this a power cut may bring back the old file or none at all.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return {};
}

}  // namespace thermivo
