// The window's side of the download: the part table, progress, and what every failure
// leads to. All of it runs on the window's thread; the decisions are RetryPolicy's.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "app/language.h"
#include "engine/download_target.h"
#include "engine/rules/part_plan.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"

LRESULT CMainDlg::OnDownSize(LPARAM size) {
    const auto bytes = static_cast<std::uint32_t>(size);
    if (!setup::IsSupportedInstallerSize(bytes)) {  // 0, or 2 GiB and more: no part table can hold it
        PostToSetupWindow(WM_DOWN_ERROR, ERROR_INVALID_DATA, DOWN_TAG_SYSTEM);
        return 0;
    }
    if (!PrepareTargetFile()) return 0;
    FileSize = bytes;
    InstallerSize = bytes;
    Chunks = new (std::nothrow) DownloadChunk[setup::PART_COUNT];
    if (!Chunks) {
        PostToSetupWindow(WM_DOWN_ERROR, ERROR_NOT_ENOUGH_MEMORY, DOWN_TAG_SYSTEM);
        return 0;
    }

    const auto plan = setup::PlanParts(FileSize);
    for (int i = 0; i < setup::PART_COUNT; ++i) {
        Chunks[i] = DownloadChunk{i, plan[i].offset, plan[i].length, 0, nullptr};
    }
    for (int i = 0; i < setup::PART_COUNT; ++i) {
        DownloadChunk& part = Chunks[i];
        part.buffer = new (std::nothrow) std::uint8_t[part.length ? part.length : 1];
        if (!part.buffer) {
            PostToSetupWindow(WM_DOWN_ERROR, ERROR_NOT_ENOUGH_MEMORY, DOWN_TAG_SYSTEM);
            return 0;
        }
        if (!setup::PartNeedsRequest(plan[i], 0)) {
            PostToSetupWindow(WM_CHUNK_DONE, 0, i);  // an empty part is complete at once
        } else if (!StartPartThread(&part)) {
            PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
            return 0;
        }
    }
    return 0;
}

LRESULT CMainDlg::OnDownProgress(WPARAM percent, LPARAM bytes) {
    int shown = static_cast<int>(percent);
    if (shown == 0) {
        ReceivedTotal += static_cast<std::uint32_t>(bytes);
        shown = setup::ProgressPercent(ReceivedTotal, FileSize);
    }
    // Forty parts report every read; only a new percentage is worth a repaint, so the
    // queue drains quickly and clicks and paints are never starved.
    if (shown != ShownPercent) {
        ::SendMessageW(ProgressBar, PBM_SETPOS, shown, 0);
        ShowPercent(shown);
    }
    for (int part : Retries.OnProgress()) RestartPart(part);
    return 0;
}

LRESULT CMainDlg::OnDownError(WPARAM, LPARAM tag) {
    switch (Retries.OnError(static_cast<int>(tag))) {
    case setup::ErrorAction::RestartProbe:
        if (!StartSizeProbe()) PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        break;
    case setup::ErrorAction::RestartPart:
        RestartPart(static_cast<int>(tag));
        break;
    case setup::ErrorAction::SwitchToWinHttp:
        SwitchToWinHttp();
        break;
    case setup::ErrorAction::ShowUrlError:
        ShowFatalError(L"error : URL, URL error");
        break;
    case setup::ErrorAction::ShowSystemError:
        ShowFatalError(LoadLangString(L"STR_SYSTEM_ERROR"));
        break;
    case setup::ErrorAction::ShowNetworkError:
        ShowFatalError(LoadLangString(L"STR_NETWORK_ERROR"));
        break;
    case setup::ErrorAction::Park:    // waits for the next progress of any part
    case setup::ErrorAction::Ignore:
        break;
    }
    return 0;
}

void CMainDlg::RestartPart(int index) {
    if (!Chunks || index < 0 || index >= setup::PART_COUNT) return;
    if (!StartPartThread(&Chunks[index])) PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
}

void CMainDlg::ShowFatalError(const std::wstring& text) {
    // The box is modal, but the engine's messages keep being handled while it is open.
    MessageBox(text, LoadLangString(L"STR_ERROR"), MB_ICONINFORMATION);
    QuitSetup(SETUP_EXIT_CODE);
}

void CMainDlg::SwitchToWinHttp() {
    UseWinHttp = true;
    Retries.OnSwitchToWinHttp();
    if (TargetFile != INVALID_HANDLE_VALUE) ::CloseHandle(TargetFile);
    TargetFile = INVALID_HANDLE_VALUE;
    Writer.Reset();
    OnInstall();
}

void CMainDlg::ShowPercent(int percent) {
    ShownPercent = percent;
    ::SetWindowTextW(PercentLabel, setup::PercentText(percent).c_str());
}
