#pragma once
#include <mutex>

namespace thermivo {

/// The lock of the shared recording: the serial reader thread holds it while it decodes into the recording,
/// and the user-interface thread while it reads or changes it. Recursive, because a handler that holds it
/// may refresh a view that takes it again on the same thread.
using RecordingMutex = std::recursive_mutex;
using RecordingLock = std::unique_lock<RecordingMutex>;

/// Holds `mutex` when there is one; a window without an instrument link shares its recording with no one.
inline RecordingLock lockRecording(RecordingMutex* mutex) {
    return mutex != nullptr ? RecordingLock(*mutex) : RecordingLock();
}

}  // namespace thermivo
