// The tray icon and its pop-up menu on the simulated desktop.
#include "platform/sim/tray.h"

#include "platform/sim/images.h"

namespace brenvik::sim {

namespace {

// The shell takes at most kTrayTipBytes of a tip, up to its first zero byte.
// The cut never splits a double-byte character, which would leave a lead byte
// the shell would show as garbage.
Text CutTip(const CodePage& codePage, std::string_view tip)
{
    tip = tip.substr(0, tip.find('\0'));
    std::size_t end = 0;
    while (end < tip.size()) {
        const std::size_t next = end + CharLength(codePage, tip, end);
        if (next > kTrayTipBytes)
            break;
        end = next;
    }
    return Text(tip.substr(0, end));
}

}  // namespace

bool SimTray::setIcon(WindowId owner, std::span<const unsigned char> iconFile, std::string_view tipAnsi)
{
    if (!ui_.isAlive(owner) || !ReadIconFile(iconFile))
        return hasIcon(owner);
    TrayIconState& state = icons_[owner.value];
    if (state.present)
        ++state.modifies;
    else
        ++state.adds;
    state.present = true;
    state.tipAnsi = CutTip(codePage_, tipAnsi);
    state.iconFile.assign(iconFile.begin(), iconFile.end());
    return true;
}

void SimTray::removeIcon(WindowId owner)
{
    auto it = icons_.find(owner.value);
    if (it == icons_.end() || !it->second.present)
        return;
    it->second.present = false;
    ++it->second.deletes;
}

void SimTray::popupMenu(WindowId owner, std::span<const std::string_view> itemsUtf8)
{
    // Only one menu is tracked at a time; the shell refuses a second one.
    if (!ui_.isAlive(owner) || openMenu_)
        return;
    ui_.activate(owner);
    TrayMenuRecord record{owner, {}, std::nullopt};
    for (std::string_view item : itemsUtf8)
        record.itemsUtf8.emplace_back(item);
    menus_.push_back(std::move(record));
    openMenu_ = OpenMenu{menus_.size() - 1, itemsUtf8.size()};

    // The menu's own loop dispatches everything until the user chooses or
    // dismisses, a quit message arrives, or the owner is gone.
    ui_.runLoopUntil([&] { return openMenu_->closed || !ui_.isAlive(owner); });
    const std::optional<int> chosen = menus_[openMenu_->record].chosen;
    openMenu_.reset();

    // The menu posts the chosen command, so it arrives after this returns.
    if (chosen)
        ui_.postEvent({EventKind::MenuCommand, owner, -1, *chosen, 0});
    ++nullMessages_;
}

void SimTray::postClick(WindowId owner, int type)
{
    if (hasIcon(owner))
        ui_.postEvent({EventKind::Tray, owner, -1, type, 0});
}

void SimTray::userClick(WindowId owner, int type, int delayMs)
{
    ui_.user().call([this, owner, type] { postClick(owner, type); }, delayMs);
}

void SimTray::userDoubleClick(WindowId owner, int delayMs)
{
    ui_.user().call(
        [this, owner] {
            postClick(owner, TrayEventType::LeftButtonUp);
            postClick(owner, TrayEventType::LeftDoubleClick);
            postClick(owner, TrayEventType::LeftButtonUp);
        },
        delayMs);
}

void SimTray::userRightClick(WindowId owner, int delayMs)
{
    userClick(owner, TrayEventType::RightButtonUp, delayMs);
}

void SimTray::answerMenu(std::optional<int> index)
{
    if (!openMenu_ || openMenu_->closed ||
        (index && (*index < 0 || static_cast<std::size_t>(*index) >= openMenu_->items))) {
        ++missed_;
        return;
    }
    menus_[openMenu_->record].chosen = index;
    openMenu_->closed = true;
}

void SimTray::chooseMenuItem(int index, int delayMs)
{
    ui_.user().call([this, index] { answerMenu(index); }, delayMs);
}

void SimTray::dismissMenu(int delayMs)
{
    ui_.user().call([this] { answerMenu(std::nullopt); }, delayMs);
}

TrayIconState SimTray::icon(WindowId owner) const
{
    auto it = icons_.find(owner.value);
    return it == icons_.end() ? TrayIconState{} : it->second;
}

void SimTray::simulateShellRestart()
{
    ++restarts_;
    for (auto& [value, state] : icons_) {
        if (!state.present)
            continue;
        if (ui_.isAlive(WindowId{value}))
            ++state.adds;
        else
            state.present = false;  // a dead owner cannot hear the broadcast
    }
}

}  // namespace brenvik::sim
