// Writing the parts to the temporary file strictly in order, one writer at a time.
#include <algorithm>

#include "engine/download_target.h"
#include "engine/rules/part_plan.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"

namespace {

constexpr DWORD kWritePiece = 256 * 1024;

DWORD WINAPI PartWriterThread(void* argument) {
    const DownloadChunk& chunk = *static_cast<const DownloadChunk*>(argument);
    const std::uint8_t* next = chunk.buffer;
    DWORD rest = chunk.length;
    while (rest > 0) {  // a short write is continued, not a failure
        // At most kWritePiece bytes per call: under Wine one call for a whole part of
        // megabytes took several times as long as the same bytes in pieces.
        DWORD written = 0;
        if (!::WriteFile(TargetFile, next, std::min(rest, kWritePiece), &written, nullptr)) {
            PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
            return 0;
        }
        next += written;
        rest -= written;
    }
    ::FlushFileBuffers(TargetFile);
    PostToSetupWindow(WM_CHUNK_WRITTEN, 0, chunk.index);
    return 0;
}

bool IsPartIndex(LPARAM index) { return index >= 0 && index < setup::PART_COUNT; }

}  // namespace

bool StartPartWriter(DownloadChunk* chunk) { return StartDetachedThread(&PartWriterThread, chunk); }

LRESULT CMainDlg::OnChunkDone(LPARAM index) {
    if (!Chunks || !IsPartIndex(index)) return 0;
    Retries.OnPartDone();
    if (const auto writable = Writer.OnPartDone(static_cast<int>(index))) StartWriter(*writable);
    return 0;
}

LRESULT CMainDlg::OnChunkWritten(LPARAM index) {
    const setup::WriteOrder::Written written = Writer.OnPartWritten(static_cast<int>(index));
    if (written.kind == setup::WriteOrder::Written::WrongIndex) {
        PostToSetupWindow(WM_DOWN_ERROR, 0, DOWN_TAG_SYSTEM);
        return 0;
    }
    DownloadChunk& part = Chunks[index];
    delete[] part.buffer;
    part.buffer = nullptr;
    switch (written.kind) {
    case setup::WriteOrder::Written::Finished:
        ::CloseHandle(TargetFile);
        TargetFile = INVALID_HANDLE_VALUE;
        delete[] Chunks;
        Chunks = nullptr;
        if (!StartInstaller()) PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        break;
    case setup::WriteOrder::Written::StartNext:
        StartWriter(written.next);
        break;
    default:  // the next part is still being received; its completion starts the writer
        break;
    }
    return 0;
}

void CMainDlg::StartWriter(int index) {
    if (!StartPartWriter(&Chunks[index])) PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
}
