// The shell's folder picker (SHBrowseForFolderW), the chosen path in ANSI
// bytes (SHGetPathFromIDListA).
//
// The picker is modal only to its owner; to keep the user from reaching any
// other window of the program meanwhile, every top-level window of the
// program's thread is disabled while it is open and gets its own enabled
// state back afterwards, as do the foreground and active windows.
#include "platform/win32/shell_native.h"

#include <shlobj.h>

#include <vector>

namespace brenvik::win32 {

namespace {

struct WindowState {
    HWND hwnd;
    bool enabled;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM windows)
{
    reinterpret_cast<std::vector<WindowState>*>(windows)->push_back({hwnd, IsWindowEnabled(hwnd) != FALSE});
    return TRUE;
}

// Frees the shell's item list of the chosen folder.
class UniqueItemList {
public:
    explicit UniqueItemList(PIDLIST_ABSOLUTE list) : list_(list) {}
    UniqueItemList(const UniqueItemList&) = delete;
    UniqueItemList& operator=(const UniqueItemList&) = delete;
    ~UniqueItemList() { CoTaskMemFree(list_); }
    PIDLIST_ABSOLUTE get() const { return list_; }

private:
    PIDLIST_ABSOLUTE list_;
};

}  // namespace

Text Win32FolderPicker::pickFolder(std::string_view promptUtf8)
{
    std::wstring prompt;
    std::vector<WindowState> windows;
    try {
        prompt = Widen(promptUtf8);
        EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    } catch (const std::bad_alloc&) {
        process_.fatalError(kOutOfMemoryMessage);
    }
    const HWND active = GetActiveWindow();
    const HWND foreground = GetForegroundWindow();
    for (const WindowState& window : windows)
        EnableWindow(window.hwnd, FALSE);

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = active;
    info.pidlRoot = nullptr;  // the desktop: the whole namespace
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_EDITBOX;
    const UniqueItemList chosen{SHBrowseForFolderW(&info)};

    for (const WindowState& window : windows) {
        if (IsWindow(window.hwnd))
            EnableWindow(window.hwnd, window.enabled ? TRUE : FALSE);
    }
    if (foreground != nullptr && IsWindow(foreground))
        SetForegroundWindow(foreground);
    if (active != nullptr && IsWindow(active))
        SetActiveWindow(active);

    char path[MAX_PATH] = {};
    if (chosen.get() == nullptr || !SHGetPathFromIDListA(chosen.get(), path))
        return {};
    return Text(path);
}

}  // namespace brenvik::win32
