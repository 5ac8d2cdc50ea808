// The tray icon and its pop-up menu on the simulated desktop: what the shell
// holds for each owner, the scripted user's clicks on the icon and choices in
// the menu, and the shell restarting.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/ui.h"
#include "platform/text.h"
#include "platform/tray.h"

namespace brenvik::sim {

// The most bytes of a tip the shell takes.
inline constexpr std::size_t kTrayTipBytes = 62;

// What the shell shows for one owner's icon.
struct TrayIconState {
    bool present = false;
    Text tipAnsi;
    std::vector<unsigned char> iconFile;
    int adds = 0;      // NIM_ADD, the re-adds after a shell restart included
    int modifies = 0;  // NIM_MODIFY
    int deletes = 0;   // NIM_DELETE
};

// One pop-up menu the program showed.
struct TrayMenuRecord {
    WindowId owner;
    std::vector<std::string> itemsUtf8;
    std::optional<int> chosen;  // the item chosen, if the menu was not dismissed
};

class SimTray final : public Tray {
public:
    SimTray(SimUi& ui, const CodePage& codePage) : ui_(ui), codePage_(codePage) {}

    bool setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi) override;
    void removeIcon(WindowId owner) override;
    void popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8) override;

    // --- the scripted user -----------------------------------------------------
    // Each is queued on the scripted user's timeline (SimUser::call). A click
    // reaches the owner only while its icon is in the notification area.

    // The shell's notification of this type (TrayEventType), posted to the owner.
    void userClick(WindowId owner, int type, int delayMs = 0);
    // A double click, as the shell reports it: left button up, double click, up.
    void userDoubleClick(WindowId owner, int delayMs = 0);
    void userRightClick(WindowId owner, int delayMs = 0);
    // Chooses the open menu's item (0-based) or closes the menu without a
    // choice. Performed while no menu is open, or for an item the menu does
    // not have, it does nothing but count as a missed action.
    void chooseMenuItem(int index, int delayMs = 0);
    void dismissMenu(int delayMs = 0);

    // The shell restarts and broadcasts taskbar-created: it forgets every icon,
    // and the icon of every owner that is still alive is added again.
    void simulateShellRestart();

    // --- observation -----------------------------------------------------------

    static SimTray& of(Platform& platform) { return static_cast<SimTray&>(platform.tray); }

    // The owner's icon as the shell holds it (a default state if it never had one).
    TrayIconState icon(WindowId owner) const;
    bool hasIcon(WindowId owner) const { return icon(owner).present; }
    const std::vector<TrayMenuRecord>& menus() const { return menus_; }
    bool menuOpen() const { return openMenu_.has_value(); }
    // Null messages posted to owners after their menu closed.
    int nullMessagesPosted() const { return nullMessages_; }
    int shellRestarts() const { return restarts_; }
    int missedActions() const { return missed_; }

private:
    struct OpenMenu {
        std::size_t record;  // index in menus_
        std::size_t items;
        bool closed = false;
    };
    void postClick(WindowId owner, int type);
    void answerMenu(std::optional<int> index);

    SimUi& ui_;
    const CodePage& codePage_;
    std::map<std::uint32_t, TrayIconState> icons_;
    std::vector<TrayMenuRecord> menus_;
    std::optional<OpenMenu> openMenu_;
    int nullMessages_ = 0;
    int restarts_ = 0;
    int missed_ = 0;
};

}  // namespace brenvik::sim
