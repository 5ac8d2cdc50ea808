// The simulated desktop put together: the services over one virtual clock,
// and a run of the program that ends in an outcome instead of ending the test.
#include "platform/sim/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "platform/sim/clipboard.h"
#include "platform/sim/clock.h"
#include "platform/sim/code_page.h"
#include "platform/sim/faults.h"
#include "platform/sim/files.h"
#include "platform/sim/folder_picker.h"
#include "platform/sim/hotkeys.h"
#include "platform/sim/images.h"
#include "platform/sim/message_boxes.h"
#include "platform/sim/process.h"
#include "platform/sim/tray.h"
#include "platform/sim/ui.h"

namespace brenvik::sim {

struct SimDesktop::Impl {
    SimClock clock;
    SimCodePage codePage;
    SimFiles files;
    FaultyFiles faults;
    SimProcess process;
    SimPause pause;
    SimUi ui;
    SimClipboard clipboard;
    SimMessageBoxes messageBoxes;
    SimTray tray;
    SimHotkeys hotkeys;
    SimFolderPicker folderPicker;
    SimWindowImages images;
    Platform platform;
    bool ran = false;

    Impl(std::filesystem::path root, const SimOptions& options)
        : clock(options.timeLimitMs),
          codePage(options.codePage),
          files(std::move(root)),
          faults(files),
          process(clock, faults, options.executablePath),
          pause(clock),
          ui(clock, codePage, process, options.screenWidth, options.screenHeight),
          messageBoxes(ui),
          tray(ui, codePage),
          hotkeys(ui),
          folderPicker(ui),
          images(ui),
          platform{process,      ui,   faults,  pause,        codePage, clipboard,
                   messageBoxes, tray, hotkeys, folderPicker, images}
    {
        ui.user().attach(clipboard, messageBoxes);
        files.useCodePage(codePage);
        files.setExecutablePath(options.executablePath);
    }
};

SimDesktop::SimDesktop(std::filesystem::path root, SimOptions options)
    : impl_(std::make_unique<Impl>(std::move(root), options))
{
}

SimDesktop::~SimDesktop() = default;

Platform& SimDesktop::platform()
{
    return impl_->platform;
}

RunOutcome SimDesktop::run(const EntryRoutine& entry)
{
    if (impl_->ran) {
        // A second program on the same desktop would inherit the first one's
        // windows, exit routines and clock: a test must build a fresh desktop.
        std::fputs("brenvik sim: a SimDesktop runs the program once\n", stderr);
        std::abort();
    }
    impl_->ran = true;
    try {
        try {
            const int code = entry(impl_->platform);
            impl_->process.endAfterEntryReturned();
            impl_->clock.markEnded();
            return {RunEnd::Exited, code};
        } catch (const std::bad_alloc&) {
            impl_->process.fatalError(kOutOfMemoryMessage);
        }
    } catch (const RunEnded& end) {
        return end.outcome;
    } catch (const InjectedCrash&) {
        impl_->clock.markEnded();
        return {RunEnd::Crashed, 0};
    }
}

SimUi& SimDesktop::ui()
{
    return impl_->ui;
}

SimClipboard& SimDesktop::clipboard()
{
    return impl_->clipboard;
}

SimMessageBoxes& SimDesktop::messageBoxes()
{
    return impl_->messageBoxes;
}

SimProcess& SimDesktop::process()
{
    return impl_->process;
}

SimFiles& SimDesktop::files()
{
    return impl_->files;
}

FaultyFiles& SimDesktop::faults()
{
    return impl_->faults;
}

std::int64_t SimDesktop::nowMs() const
{
    return impl_->clock.nowMs();
}

}  // namespace brenvik::sim
