// The settings file pz.txt beside the executable: the five destination folders
// joined by "|", in the ANSI code page, with no line end.
#pragma once

#include <cstdint>
#include <vector>

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// A settings file larger than this counts as unreadable: five folders of at
// most 259 bytes and four separators need far less.
inline constexpr std::int64_t kMaxSettingsBytes = 64 * 1024;

// MainWindow's settings step: SettingsPath := the executable's folder +
// "\pz.txt"; loads the file when something exists at that path, else creates
// it empty. Nothing is reported.
void RunSettingsStep(Platform& platform, SharedState& state, WindowId mainWindow);

// Reads pz.txt and, when it holds 1 to 5 pieces, puts piece k into slot k's
// folder box; otherwise no box changes.
void LoadSettings(Platform& platform, const SharedState& state, WindowId mainWindow);

// Writes the five folder boxes, joined by "|", to pz.txt. The file is replaced
// as a whole: the bytes go to a file beside it first, which then takes its
// name, so a failure or a crash never leaves the settings empty or cut.
void SaveSettings(Platform& platform, const SharedState& state, WindowId mainWindow);

// The settings text: the bytes up to the first 0x00 or 0x1A that is not the
// second byte of a double-byte character.
Text SettingsText(const CodePage& codePage, std::string_view bytes);

// Cuts a text at every "|" that begins a character. Each separator ends a
// piece, empty ones too; what follows the last one is a piece only when it is
// not empty, so the empty text gives no pieces.
std::vector<Text> SplitSettings(const CodePage& codePage, std::string_view text);

}  // namespace brenvik
