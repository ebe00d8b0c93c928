#pragma once
// The download routine every stream of the main engine is opened with: it reports the server's
// header text to the main window and, while a recording runs, appends the stream's audio bytes to
// the temporary file in the program directory.
//
// RecordState (an atomic in PlayerState) moves 0 -> 1 on the GUI thread (Record pressed), 1 -> 2 on
// the download thread (the first block after the request opens the file) and 2 -> 0 there (the
// download ended). RecordFile and RecordRequest are guarded by PlayerState::RecordMutex; every state
// change that involves the file is made under it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace recording {

// The temporary file: "TmpAudioFile.tmp" in the program directory.
std::filesystem::path RecordTempPath();

// What a call of the routine did to the recording, for the main window to follow up on its thread.
enum class RecordEvent {
    None,
    Ended,       // the recorded stream's download ended: the file is closed, RecordState is 0
    StartFailed, // the temporary file could not be created: RecordState is back at 0
    WriteFailed, // a block could not be written (disk full): the file is closed, RecordState is 0
};

struct RecordOutcome {
    RecordEvent event = RecordEvent::None;
    std::string reason; // StartFailed, WriteFailed: the system's reason
};

// On the download thread of the stream opened by play request `request`: header text (buffer with
// length 0), audio block (length > 0) or the end of the download (buffer null). Only the stream of
// the current request starts a recording, and only the recorded stream's calls write to it or end
// it, so a stream outdated by Stop or a newer request can neither start a recording nor append to
// one, and its late end never frees the newer stream.
RecordOutcome DownloadRoutine(std::uint64_t request, const char* buffer, std::size_t length);

// GUI thread: Record pressed with RecordState 0. Returns false when a recording is already on.
bool RequestRecording();

// GUI thread: withdraws a request no block has answered yet. False when the first block came first
// (RecordState is 2 then) or nothing was requested.
bool CancelRequest();

// GUI thread, after the recorded stream was freed: waits until its download end has closed the
// file. If it does not come within `timeout`, closes the file itself and ends the recording, so a
// copy never reads a file still being written and a lost end cannot leave RecordState at 2.
// Returns false in that case.
bool WaitForRecordingClosed(std::chrono::milliseconds timeout);

} // namespace recording
