// The engine's worker threads. Each is started detached and reports only by posting
// to the setup window; a false start leaves the last error set.
#pragma once
#include "engine/download_state.h"

// Asks the server for the installer's size: WM_DOWN_SIZE, or WM_DOWN_ERROR with tag 41.
bool StartSizeProbe();

// Fetches the rest of one part: WM_DOWN_PROGRESS per read, then WM_CHUNK_DONE, or
// WM_DOWN_ERROR with the part's index.
bool StartPartThread(DownloadChunk* chunk);

// Appends one complete part to the temporary file: WM_CHUNK_WRITTEN, or WM_DOWN_ERROR.
bool StartPartWriter(DownloadChunk* chunk);

// Turns the finished file into the installer and runs it: progress 90 and 100, then
// WM_INSTALL_DONE, or WM_DOWN_ERROR.
bool StartInstaller();
