// Entry point of keymixw: registers the window class, creates the main window
// and runs the message loop.
#include <windows.h>

#include "gui/app/main_frame.h"
#include "gui/app/texts.h"
#include "gui/framework/window.h"

namespace {

constexpr int EXIT_FAILED = -1;

bool registerMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = globalWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MAIN_ICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    windowClass.lpszClassName = "KEYMIX";
    return RegisterClassA(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    initControls();
    // The folder dialog is a COM object of the shell.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!registerMainClass(instance)) {
        MessageBoxA(nullptr, CLASS_FAILED, ERROR_CAPTION, MB_ICONERROR);
        return EXIT_FAILED;
    }
    // Lives until the process ends, like its controls.
    MainFrame* frame = new MainFrame;
    if (!frame->create(nullptr, 0, instance, nullptr)) {
        MessageBoxA(nullptr, WINDOW_FAILED, ERROR_CAPTION, MB_ICONERROR);
        return EXIT_FAILED;
    }
    frame->setText(TITLE);
    frame->resize(465, 245);
    frame->show();
    return frame->messageLoop();
}
