// The real brenvik.exe, driven from outside its process as a person would:
// started in a folder of its own, its windows found by title, its controls by
// class and place, clicks and keys given as real input, files put on the
// clipboard; the checks are what it shows, the files it writes and its exit code.
//
// A separate Windows program that never links the program's code, so it may
// include <windows.h> (through driver.h).
//
// Arguments after GoogleTest's own: --exe=PATH (the brenvik.exe to copy and
// start) and optionally --temp-root=FOLDER (where the scratch folders go; the
// system's temporary folder otherwise).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver.h"

namespace brenvik::e2e {

namespace {

struct Options {
    std::wstring exe;
    std::wstring tempRoot;
};

// Set once by main before any test runs; read only afterwards.
Options& TheOptions()
{
    static Options options;
    return options;
}

// Where MainWindow's controls are, in client pixels.
constexpr std::array<int, 5> kFolderBoxTops{16, 40, 64, 88, 112};
constexpr std::array<int, 5> kLetterBoxTops{17, 45, 67, 89, 112};
constexpr int kFolderBoxLeft = 56;
constexpr int kLetterBoxLeft = 409;

// The program's tray icon reports mouse activity with this private message;
// the shell posts it to MainWindow with the icon's identifier and the mouse
// message. From outside, the test posts what the shell would on a right click.
constexpr UINT kTrayCallbackMessage = 0x8064;
constexpr WPARAM kTrayIconId = 100;

constexpr int kTrayMenuExit = 1;  // "显示", then "退出"

struct MainWindowView {
    HWND window = nullptr;
    std::array<HWND, 5> folderBoxes{};
    std::array<HWND, 5> letterBoxes{};
    HWND startButton = nullptr;
    HWND exitButton = nullptr;

    std::array<std::string, 5> folders() const
    {
        std::array<std::string, 5> texts;
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = WindowTextAnsi(folderBoxes[i]);
        return texts;
    }
};

MainWindowView FindMainWindow(const RunningProgram& program)
{
    MainWindowView view;
    view.window = program.waitForWindow(L"Brenvik1.0");
    for (std::size_t i = 0; i < 5; ++i) {
        view.folderBoxes[i] = ChildAt(view.window, L"Edit", kFolderBoxLeft, kFolderBoxTops[i]);
        view.letterBoxes[i] = ChildAt(view.window, L"Edit", kLetterBoxLeft, kLetterBoxTops[i]);
    }
    view.startButton = ChildWithText(view.window, L"Button", L"开启监控");
    view.exitButton = ChildWithText(view.window, L"Button", L"退出程序");
    return view;
}

// A shown text differs from its background, and the program's texts are
// black, so a black background hides them. A window just shown gets a moment
// to paint.
bool ShowsLegibleText(HWND control)
{
    const auto legible = [control] {
        const ScreenSample sample = SampleScreen(control);
        return sample.colours >= 2 && sample.commonest != 0x000000u;
    };
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(3000);
    while (!legible()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Sleep(50);
    }
    return true;
}

struct SourceFile {
    std::wstring name;
    std::string bytes;
};

// Three files of different sizes: one chunk and a bit, exactly one chunk under
// a Chinese name (GBK bytes in code page 936), and several chunks of bytes of
// every value, the zero byte, 0x1A and CR LF among them.
std::vector<SourceFile> MakeSources()
{
    std::string large;
    unsigned state = 12345;
    for (int i = 0; i < 2501; ++i) {
        state = state * 1103515245u + 12345u;
        large.push_back(static_cast<char>(state >> 16));
    }
    large.replace(0, 4, std::string("\0\x1a\r\n", 4));
    return {
        {L"small.txt", "seventeen bytes!\n"},
        {L"报告数据.txt", std::string(1000, 'g')},
        {L"large.bin", large},
    };
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 936u)
            << "the end-to-end tests run with code page 936 (LC_ALL=zh_CN.UTF-8 under Wine)";
        ASSERT_FALSE(TheOptions().exe.empty()) << "no --exe=PATH given";
        scratch_ = std::make_unique<ScratchFolder>(TheOptions().tempRoot);
        appFolder_ = MakeFolder(L"app");
        ASSERT_TRUE(CopyFileW(TheOptions().exe.c_str(), exe().c_str(), FALSE))
            << "cannot copy " << ToUtf8(TheOptions().exe) << " (error " << GetLastError() << ")";
    }

    std::wstring MakeFolder(std::wstring_view name)
    {
        const std::wstring path = *scratch_ / name;
        if (!CreateDirectoryW(path.c_str(), nullptr))
            throw DriverError("cannot make the folder " + ToUtf8(path));
        return path;
    }

    std::wstring exe() const { return appFolder_ + L"\\brenvik.exe"; }
    std::wstring settings() const { return appFolder_ + L"\\pz.txt"; }
    RunningProgram start() const { return RunningProgram(exe(), appFolder_); }

    std::unique_ptr<ScratchFolder> scratch_;
    std::wstring appFolder_;
};

// The first start in a folder without settings: the window as laid out, the
// empty settings file made beside the exe, and the close box ending it.
TEST_F(EndToEnd, FirstStartMakesAnEmptySettingsFileAndTheCloseBoxEndsTheProgram)
{
    RunningProgram program = start();
    const MainWindowView main = FindMainWindow(program);

    RECT frame{};
    GetWindowRect(main.window, &frame);
    EXPECT_EQ(frame.right - frame.left, 570);
    EXPECT_EQ(frame.bottom - frame.top, 170);
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - 570) / 2) << "not centred";
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - 170) / 2) << "not centred";
    EXPECT_EQ(main.folders(), (std::array<std::string, 5>{}));
    HWND hint = ChildWithText(main.window, L"Static", L"快捷键crrl+字母");
    EXPECT_TRUE(ShowsLegibleText(hint)) << "the hint's text cannot be read: black on black";
    ASSERT_TRUE(FileExists(settings()));
    EXPECT_EQ(ReadFileBytes(settings()), "");

    ClickCloseBox(main.window);
    EXPECT_EQ(program.waitForExit(), 0);
}

TEST_F(EndToEnd, EscEndsTheProgram)
{
    RunningProgram program = start();
    const MainWindowView main = FindMainWindow(program);
    BringToForeground(main.window);
    PressKey(VK_ESCAPE);
    EXPECT_EQ(program.waitForExit(), 0);
}

// One hotkey press: CopyWindow lists the clipboard's files and names the
// folder; confirming copies them, "复制完成" is dismissed, the window goes.
void CopyThroughHotkey(const RunningProgram& program, WORD letterKey, const std::wstring& folder,
                       const std::vector<std::string>& ansiSources)
{
    PressChord(VK_CONTROL, letterKey);
    HWND copyWindow = program.waitForWindow(L"Quorvex");
    std::string listed;
    for (const std::string& path : ansiSources)
        listed += path + "\r\n";
    EXPECT_EQ(WindowTextAnsi(ChildAt(copyWindow, L"Edit", 8, 24)), listed);
    HWND summary = ChildAt(copyWindow, L"Static", 8, 2);
    EXPECT_EQ(WindowText(summary), L"你有3个文件需要复制到" + folder);
    EXPECT_TRUE(ShowsLegibleText(summary)) << "the summary's text cannot be read: black on black";

    Click(ChildWithText(copyWindow, L"Button", L"确认复制"));
    HWND box = program.waitForDialogWithText(L"复制完成");
    EXPECT_EQ(Title(box), L"信息提示");
    EXPECT_EQ(WindowText(ChildAt(copyWindow, L"Static", 16, 200)), L"已完成3个文件的复制");
    Click(GetDlgItem(box, IDOK));
    WaitUntil([&] { return !IsWindow(copyWindow); }, "CopyWindow to close after \"复制完成\"", kStepTimeout,
              &program);
}

// The road of one request, twice: a folder set through the picker and one
// from a prepared settings file, letters typed, monitoring started, files
// copied through each slot's hotkey; the tray's "退出" ends the run. A restart
// finds both folders again, and "退出程序" ends it.
TEST_F(EndToEnd, CopiesTheClipboardFilesThroughEachSlotsHotkeyAndKeepsTheFolders)
{
    const std::wstring sourceFolder = MakeFolder(L"source");
    const std::wstring picked = MakeFolder(L"picked");
    const std::wstring prepared = MakeFolder(L"预设目标");
    const std::vector<SourceFile> sources = MakeSources();
    std::vector<std::string> ansiSources;
    for (const SourceFile& file : sources) {
        WriteFileBytes(sourceFolder + L"\\" + file.name, file.bytes);
        ansiSources.push_back(ToAnsi(sourceFolder + L"\\" + file.name));
    }
    WriteFileBytes(settings(), "|" + ToAnsi(prepared) + "|||");

    {
        RunningProgram program = start();
        const MainWindowView main = FindMainWindow(program);
        EXPECT_EQ(main.folders(), (std::array<std::string, 5>{"", ToAnsi(prepared), "", "", ""}));

        DoubleClick(main.folderBoxes[0]);
        HWND picker = program.waitForDialogWithText(L"选择要复制到的目录");
        ChooseFolder(picker, picked);
        WaitUntil([&] { return !IsWindow(picker); }, "the folder picker to close", kStepTimeout, &program);
        EXPECT_EQ(WindowTextAnsi(main.folderBoxes[0]), ToAnsi(picked));

        Click(main.letterBoxes[0]);
        TypeText(L"j");
        Click(main.letterBoxes[1]);
        TypeText(L"kx");  // the box takes one character
        WaitUntil(
            [&] {
                return WindowText(main.letterBoxes[0]) == L"j" && WindowText(main.letterBoxes[1]) == L"k";
            },
            "the letters j and k in the letter boxes of slots 1 and 2", kStepTimeout, &program);

        Click(main.startButton);
        WaitUntil([&] { return !IsWindowVisible(main.window); }, "MainWindow to hide after \"开启监控\"",
                  kStepTimeout, &program);
        EXPECT_EQ(ReadFileBytes(settings()), ToAnsi(picked) + "|" + ToAnsi(prepared) + "|||");
        // Input is handled in order: the "x" came before the click, and the box refused it.
        EXPECT_EQ(WindowText(main.letterBoxes[1]), L"k");

        ClipboardFiles clipboard(ansiSources);
        CopyThroughHotkey(program, 'J', picked, ansiSources);
        CopyThroughHotkey(program, 'K', prepared, ansiSources);
        for (const std::wstring& folder : {picked, prepared})
            for (const SourceFile& file : sources)
                EXPECT_EQ(ReadFileBytes(folder + L"\\" + file.name), file.bytes)
                    << "the copy of " << ToUtf8(file.name) << " in " << ToUtf8(folder);

        PostMessageW(main.window, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
        ChooseMenuItem(program.waitForMenu(), kTrayMenuExit);
        EXPECT_EQ(program.waitForExit(), 0) << "after the tray menu's \"退出\"";
    }

    RunningProgram program = start();
    const MainWindowView main = FindMainWindow(program);
    EXPECT_EQ(main.folders(), (std::array<std::string, 5>{ToAnsi(picked), ToAnsi(prepared), "", "", ""}));
    EXPECT_EQ(WindowText(main.letterBoxes[0]), L"") << "letters are not kept";
    Click(main.exitButton);
    EXPECT_EQ(program.waitForExit(), 0) << "after \"退出程序\"";
}

std::wstring DefaultTempRoot()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring root(buffer, length);
    while (!root.empty() && root.back() == L'\\')
        root.pop_back();
    return root;
}

}  // namespace

}  // namespace brenvik::e2e

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    using namespace brenvik::e2e;
    Options& options = TheOptions();
    options.tempRoot = DefaultTempRoot();
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--exe="))
            options.exe = FullPath(FromAnsi(argument.substr(6)));
        else if (argument.starts_with("--temp-root="))
            options.tempRoot = FullPath(FromAnsi(argument.substr(12)));
    }
    return RUN_ALL_TESTS();
}
