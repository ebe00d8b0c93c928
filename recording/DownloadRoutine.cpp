#include "DownloadRoutine.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/StatusChannel.h"
#include "playback/StreamWorker.h"
#include "tembrik/platform/ProgramDir.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace recording {

namespace {

// Signalled under PlayerState::RecordMutex whenever RecordFile is closed.
std::condition_variable recordClosed;

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

// Creates the temporary file or cuts it to length 0. Unbuffered, so a failing write (disk full)
// shows at the block that failed rather than at a later flush.
std::FILE* CreateTempFile(std::string* reason) {
    const std::string path = RecordTempPath().string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *reason = SystemReason(errno);
        return nullptr;
    }
    // Linux has no exclusive open; the lock keeps any cooperating opener off the file while it is
    // written, and is released when the file is closed.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *reason = "the file is in use";
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::ftruncate(fd, 0) == 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!file) {
        *reason = SystemReason(errno);
        ::close(fd);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

// Caller holds RecordMutex.
void CloseRecordFile(PlayerState& s) {
    if (s.RecordFile)
        std::fclose(s.RecordFile);
    s.RecordFile = nullptr;
    s.RecordRequest = 0;
    s.RecordState = 0;
    recordClosed.notify_all();
}

} // namespace

std::filesystem::path RecordTempPath() {
    return tembrik::platform::programDir() / "TmpAudioFile.tmp";
}

RecordOutcome DownloadRoutine(std::uint64_t request, const char* buffer, std::size_t length) {
    if (buffer && length == 0)
        MainStatusChannel().send({StatusHeaders, 0, QString::fromLatin1(buffer)});
    PlayerState& s = State();
    if (s.RecordState.load() == 0)
        return {};

    RecordOutcome outcome;
    bool freeStream = false;
    {
        std::lock_guard lock(s.RecordMutex);
        const bool current = request == playback::CurrentRequest();
        // The call that finds the request, header, block or end alike, starts the recording, so the
        // first block after the request is the first one written.
        if (s.RecordState == 1 && current) {
            std::FILE* file = CreateTempFile(&outcome.reason);
            if (!file) {
                s.RecordState = 0;
                outcome.event = RecordEvent::StartFailed;
                return outcome;
            }
            s.RecordFile = file;
            s.RecordRequest = request;
            s.RecordState = 2;
        }
        if (s.RecordState != 2 || s.RecordRequest != request)
            return {};
        if (!buffer) {
            CloseRecordFile(s);
            outcome.event = RecordEvent::Ended;
            // Stop or a newer request has freed an outdated stream already, and StreamHandle may
            // name the newer one by now.
            freeStream = current;
        } else if (length > 0 && std::fwrite(buffer, 1, length, s.RecordFile) != length) {
            outcome.reason = SystemReason(errno);
            outcome.event = RecordEvent::WriteFailed;
            CloseRecordFile(s);
            return outcome;
        }
    }
    if (freeStream)
        playback::Audio().StreamFree(s.StreamHandle);
    return outcome;
}

bool RequestRecording() {
    std::int32_t idle = 0;
    return State().RecordState.compare_exchange_strong(idle, 1);
}

bool CancelRequest() {
    PlayerState& s = State();
    std::lock_guard lock(s.RecordMutex);
    if (s.RecordState != 1)
        return false;
    s.RecordState = 0;
    return true;
}

bool WaitForRecordingClosed(std::chrono::milliseconds timeout) {
    PlayerState& s = State();
    std::unique_lock lock(s.RecordMutex);
    if (recordClosed.wait_for(lock, timeout, [&] { return s.RecordFile == nullptr; }))
        return true;
    CloseRecordFile(s);
    return false;
}

} // namespace recording
