// The shell's folder picker on the simulated desktop: the scripted user's
// answers, the program's windows disabled while it is open, and a record of
// every picker shown.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_picker.h"
#include "platform/platform.h"
#include "platform/sim/ui.h"

namespace brenvik::sim {

// The longest path SHGetPathFromIDListA returns, in bytes, before its zero.
inline constexpr std::size_t kMaxPickedPathBytes = 259;

// One picker the program opened.
struct FolderPickerRecord {
    std::string promptUtf8;
    WindowId owner;  // the program's active window when it opened; 0 if none
    Text result;     // what pickFolder returned
};

class SimFolderPicker final : public FolderPicker {
public:
    explicit SimFolderPicker(SimUi& ui) : ui_(ui) {}

    Text pickFolder(std::string_view promptUtf8) override;

    // --- the scripted user -----------------------------------------------------
    // Each answers the open picker (the innermost one, if they nest) when the
    // scripted user's timeline reaches it. Performed while no picker is open,
    // it does nothing but count as a missed action.

    // Chooses the folder with this path (ANSI bytes), typed or picked in the tree.
    void scriptChoice(Text path, int delayMs = 0);
    void scriptCancel(int delayMs = 0);
    // Chooses something that has no file-system path (such as a virtual folder).
    void scriptChoiceWithoutPath(int delayMs = 0);

    // --- observation -----------------------------------------------------------

    static SimFolderPicker& of(Platform& platform)
    {
        return static_cast<SimFolderPicker&>(platform.folderPicker);
    }

    const std::vector<FolderPickerRecord>& pickers() const { return pickers_; }
    bool isOpen() const { return !open_.empty(); }
    int missedActions() const { return missed_; }

private:
    struct Open {
        std::optional<Text> answer;  // the path, empty when there is none
    };
    void answer(Text path);

    SimUi& ui_;
    std::vector<Open*> open_;  // the pickers open now, innermost last
    std::vector<FolderPickerRecord> pickers_;
    int missed_ = 0;
};

}  // namespace brenvik::sim
