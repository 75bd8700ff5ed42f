// The window's custom messages: the event protocol between the worker threads and the
// window, and the notification-area icon's callback.
#pragma once
#include <windows.h>

#include "engine/rules/retry_policy.h"  // the error tags

inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 100;    // 1124, from the shell
inline constexpr UINT WM_DOWN_PROGRESS = WM_USER + 200;  // 1224, (percent or 0, bytes read)
inline constexpr UINT WM_DOWN_SIZE = WM_USER + 201;      // 1225, (0, installer size)
inline constexpr UINT WM_CHUNK_DONE = WM_USER + 202;     // 1226, (0, part index)
inline constexpr UINT WM_DOWN_ERROR = WM_USER + 203;     // 1227, (error code, tag)
inline constexpr UINT WM_INSTALL_DONE = WM_USER + 204;   // 1228
inline constexpr UINT WM_CHUNK_WRITTEN = WM_USER + 205;  // 1229, (0, part index)

using setup::DOWN_TAG_PROBE;   // 41
using setup::DOWN_TAG_SYSTEM;  // 42
using setup::DOWN_TAG_URL;     // 43
