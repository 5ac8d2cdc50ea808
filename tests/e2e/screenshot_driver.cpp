// Brings brenvik.exe into the two states that scripts/screenshot captures:
// MainWindow with two folders and a letter, then CopyWindow listing three
// files. A separate Windows program that drives the exe from outside (so it
// may include <windows.h>, through driver.h), never linked into it.
//
// It talks to the script through files in --stage-dir: for each window it
// writes NAME.rect ("left top width height" in screen pixels) once the window
// is shown, and goes on when the script has written NAME.done.
//
// Usage: e2e_screenshot --exe=PATH --temp-root=FOLDER --stage-dir=FOLDER
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver.h"

namespace brenvik::e2e {

namespace {

std::wstring Argument(int argc, char** argv, std::string_view name)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with(name))
            return FromAnsi(argument.substr(name.size()));
    }
    return {};
}

// Hands the window's place to the script and waits until it has captured it.
void Capture(HWND window, const std::wstring& stageDir, const std::wstring& name)
{
    // Let the window finish painting before the script looks at it.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);
    RECT rect{};
    GetWindowRect(window, &rect);
    const std::string place = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                              std::to_string(rect.right - rect.left) + " " +
                              std::to_string(rect.bottom - rect.top) + "\n";
    WriteFileBytes(stageDir + L"\\" + name + L".rect", place);
    WaitUntil([&] { return FileExists(stageDir + L"\\" + name + L".done"); },
              "the screenshot of " + ToUtf8(name), milliseconds(60000));
}

int Run(int argc, char** argv)
{
    const std::wstring exe = Argument(argc, argv, "--exe=");
    const std::wstring tempRoot = Argument(argc, argv, "--temp-root=");
    const std::wstring stageDir = Argument(argc, argv, "--stage-dir=");
    if (exe.empty() || tempRoot.empty() || stageDir.empty()) {
        std::fprintf(stderr, "usage: e2e_screenshot --exe=PATH --temp-root=FOLDER --stage-dir=FOLDER\n");
        return 2;
    }

    const ScratchFolder scratch(tempRoot);
    const std::wstring app = scratch / L"app";
    const std::wstring source = scratch / L"照片";
    const std::wstring first = scratch / L"backup";
    const std::wstring second = scratch / L"预设目标";
    for (const std::wstring& folder : {app, source, first, second})
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            throw DriverError("cannot make the folder " + ToUtf8(folder));
    if (!CopyFileW(exe.c_str(), (app + L"\\brenvik.exe").c_str(), FALSE))
        throw DriverError("cannot copy " + ToUtf8(exe));
    WriteFileBytes(app + L"\\pz.txt", ToAnsi(first) + "|" + ToAnsi(second) + "|||");
    std::vector<std::string> files;
    for (const wchar_t* name : {L"a.txt", L"报告.doc", L"large.bin"}) {
        const std::wstring path = source + L"\\" + name;
        WriteFileBytes(path, std::string(1500, 'x'));
        files.push_back(ToAnsi(path));
    }

    RunningProgram program(app + L"\\brenvik.exe", app);
    HWND main = program.waitForWindow(L"Brenvik1.0");
    Click(ChildAt(main, L"Edit", 409, 17));
    TypeText(L"j");
    WaitUntil([&] { return WindowText(ChildAt(main, L"Edit", 409, 17)) == L"j"; }, "the letter j in slot 1",
              kStepTimeout, &program);
    Capture(main, stageDir, L"mainwindow");

    Click(ChildWithText(main, L"Button", L"开启监控"));
    WaitUntil([&] { return !IsWindowVisible(main); }, "MainWindow to hide", kStepTimeout, &program);
    const ClipboardFiles clipboard(files);
    PressChord(VK_CONTROL, 'J');
    HWND copyWindow = program.waitForWindow(L"Quorvex");
    Capture(copyWindow, stageDir, L"copywindow");

    ClickCloseBox(copyWindow);
    WaitUntil([&] { return !IsWindow(copyWindow); }, "CopyWindow to close", kStepTimeout, &program);
    // The shell's notice of a right click on the tray icon, then "退出".
    PostMessageW(main, 0x8064, 100, WM_RBUTTONUP);
    ChooseMenuItem(program.waitForMenu(), 1);
    const int code = program.waitForExit();
    std::printf("brenvik.exe ended with exit code %d\n", code);
    return code == 0 ? 0 : 1;
}

}  // namespace

}  // namespace brenvik::e2e

int main(int argc, char** argv)
{
    try {
        return brenvik::e2e::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "e2e_screenshot: %s\n", error.what());
        return 1;
    }
}
