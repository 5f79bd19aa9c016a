#include "gui/framework/app.h"

#include <windows.h>

namespace {

int lowHalf(uintptr_t value) {
    return static_cast<int>(value & 0xFFFF);
}
int highHalf(uintptr_t value) {
    return static_cast<int>((value >> 16) & 0xFFFF);
}

}  // namespace

LRESULT LuApp::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = NOT_HANDLED;
    switch (message) {
        case WM_DESTROY:
            result = onDestroy();
            break;
        case WM_SIZE:
            result = onSize(static_cast<UINT>(wParam), lowHalf(lParam), highHalf(lParam));
            break;
        case WM_NOTIFY:
            result = onNotify(wParam, lParam);
            break;
        case WM_COMMAND:
            result = onCommand(lowHalf(wParam), highHalf(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_HSCROLL:
            result = onHScroll(lowHalf(wParam), highHalf(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_VSCROLL:
            result = onVScroll(lowHalf(wParam), highHalf(wParam), reinterpret_cast<HWND>(lParam));
            break;
    }
    if (result == NOT_HANDLED) return defaultProc(message, wParam, lParam);
    return result;
}

LRESULT LuApp::onHScroll(int code, int position, HWND control) {
    if (control == handle) return NOT_HANDLED;
    LuWindow* window = findWindow(control);
    if (!window) return NOT_HANDLED;
    return window->onHScroll(code, position, control);
}

LRESULT LuApp::onVScroll(int code, int position, HWND control) {
    if (control == handle) return NOT_HANDLED;
    LuWindow* window = findWindow(control);
    if (!window) return NOT_HANDLED;
    return window->onVScroll(code, position, control);
}

LRESULT LuApp::onCommand(int, int, HWND) {
    return NOT_HANDLED;
}

LRESULT LuApp::onNotify(WPARAM, LPARAM) {
    return NOT_HANDLED;
}

LRESULT LuApp::onSize(UINT, int, int) {
    return NOT_HANDLED;
}

LRESULT LuApp::onDestroy() {
    PostQuitMessage(0);
    return 0;
}
