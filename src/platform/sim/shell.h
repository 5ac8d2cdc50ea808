// The shell's services on the simulated desktop: the tray icon, global
// hotkeys, the folder picker and the windows' images.
#pragma once

#include "platform/folder_picker.h"
#include "platform/hotkeys.h"
#include "platform/images.h"
#include "platform/process.h"
#include "platform/tray.h"

namespace brenvik::sim {

// Not built yet: every call ends the run as a fatal error.
class SimTray final : public Tray {
public:
    explicit SimTray(Process& process) : process_(process) {}
    bool setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi) override;
    void removeIcon(WindowId owner) override;
    void popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8) override;

private:
    Process& process_;
};

// Not built yet: every call ends the run as a fatal error.
class SimHotkeys final : public Hotkeys {
public:
    explicit SimHotkeys(Process& process) : process_(process) {}
    std::int32_t registerHotkey(WindowId window, ControlId notifyLabel, std::int32_t modifiers,
                                std::int32_t key) override;
    void unregisterHotkey(WindowId window, std::int32_t id) override;

private:
    Process& process_;
};

// Not built yet: every call ends the run as a fatal error.
class SimFolderPicker final : public FolderPicker {
public:
    explicit SimFolderPicker(Process& process) : process_(process) {}
    Text pickFolder(std::string_view promptUtf8) override;

private:
    Process& process_;
};

// Not built yet: every call ends the run as a fatal error.
class SimWindowImages final : public WindowImages {
public:
    explicit SimWindowImages(Process& process) : process_(process) {}
    bool setWindowIcon(WindowId window, std::span<const unsigned char> iconFile) override;
    bool setPicture(ControlId picture, std::span<const unsigned char> png) override;

private:
    Process& process_;
};

}  // namespace brenvik::sim
