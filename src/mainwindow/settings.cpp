// Loading and saving pz.txt.
#include "mainwindow/settings.h"

#include <string>

#include "mainwindow/main_window.h"

namespace brenvik {

namespace {

// The file the new settings are written to before they take pz.txt's name.
Text PendingSettingsPath(const Text& settingsPath)
{
    return settingsPath + ".new";
}

// The whole content of the file, or nothing when it cannot be opened, is too
// large or cannot be read to its end.
std::string ReadSettingsFile(Files& files, const Text& path)
{
    FileHandle file =
        files.open(path, FileAccess::Read | FileAccess::Write, FileShare::Read | FileShare::Write,
                   FileDisposition::OpenExisting, FileAttribute::Normal);
    if (!file)
        return {};
    const std::int64_t size = file->size();
    if (size <= 0 || size > kMaxSettingsBytes)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const IoResult read = file->read(bytes.data() + got, bytes.size() - got);
        if (!read.ok())
            return {};
        if (read.bytes == 0)
            break;  // The file shrank meanwhile; what was read stands.
        got += read.bytes;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace

Text SettingsText(const CodePage& codePage, std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size(); pos += CharLength(codePage, bytes, pos)) {
        if (bytes[pos] == '\0' || bytes[pos] == '\x1A')
            return Text(bytes.substr(0, pos));
    }
    return Text(bytes);
}

std::vector<Text> SplitSettings(const CodePage& codePage, std::string_view text)
{
    std::vector<Text> pieces;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(codePage, text, pos)) {
        if (text[pos] == '|') {
            pieces.emplace_back(text.substr(start, pos - start));
            start = pos + 1;
        }
    }
    if (start < text.size())
        pieces.emplace_back(text.substr(start));
    return pieces;
}

void RunSettingsStep(Platform& platform, SharedState& state, WindowId mainWindow)
{
    state.SettingsPath = platform.process.executableDirectory() + "\\pz.txt";
    if (platform.files.exists(state.SettingsPath)) {
        LoadSettings(platform, state, mainWindow);
        return;
    }
    // A new, empty file; one that appeared meanwhile is left as it is.
    platform.files.open(state.SettingsPath, FileAccess::Write, FileShare::None, FileDisposition::CreateNew,
                        FileAttribute::Normal);
}

void LoadSettings(Platform& platform, const SharedState& state, WindowId mainWindow)
{
    const Text text = SettingsText(platform.codePage, ReadSettingsFile(platform.files, state.SettingsPath));
    const std::vector<Text> pieces = SplitSettings(platform.codePage, text);
    if (pieces.empty() || pieces.size() > kSlotCount)
        return;
    for (std::size_t k = 0; k < pieces.size(); ++k)
        platform.ui.setText(FolderBox(mainWindow, static_cast<int>(k) + 1), pieces[k]);
}

void SaveSettings(Platform& platform, const SharedState& state, WindowId mainWindow)
{
    Text joined;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (slot > 1)
            joined += '|';
        joined += platform.ui.text(FolderBox(mainWindow, slot));
    }

    Files& files = platform.files;
    const Text pending = PendingSettingsPath(state.SettingsPath);
    bool written = false;
    {
        FileHandle file = files.open(pending, FileAccess::Write, FileShare::None,
                                     FileDisposition::CreateAlways, FileAttribute::Normal);
        if (file) {
            const IoResult result = file->write(joined.data(), joined.size());
            written = result.ok() && result.bytes == joined.size();
        }
    }
    // The old settings stay unless the new ones were written in full.
    if (!written || !files.move(pending, state.SettingsPath, /*replaceExisting=*/true))
        files.remove(pending);
}

}  // namespace brenvik
