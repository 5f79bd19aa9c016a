// The top-level window class: splits the messages an application cares about
// into virtual handlers.
#ifndef GUI_FRAMEWORK_APP_H_
#define GUI_FRAMEWORK_APP_H_

#include <windows.h>

#include "gui/framework/window.h"

// A top-level window of class "LUAPP" (which the application registers). Each
// handler answers a message result or NOT_HANDLED for default processing.
class LuApp : public LuWindow {
public:
    DWORD exStyle() override { return 0; }
    DWORD style() override { return WS_OVERLAPPEDWINDOW; }
    const char* className() override { return "LUAPP"; }
    bool onCreate() override { return true; }
    // Dispatches WM_DESTROY, WM_SIZE, WM_NOTIFY, WM_COMMAND, WM_HSCROLL and
    // WM_VSCROLL to the handlers; everything else goes to `defaultProc`.
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Reflect scroll messages of a control to the control's object.
    LRESULT onHScroll(int code, int position, HWND control) override;
    LRESULT onVScroll(int code, int position, HWND control) override;
    virtual LRESULT onCommand(int id, int code, HWND control);
    virtual LRESULT onNotify(WPARAM wParam, LPARAM lParam);
    // Width and height of the client area, in pixels.
    virtual LRESULT onSize(UINT type, int width, int height);
    // Posts the quit message with code 0 and answers 0.
    virtual LRESULT onDestroy();
};

#endif  // GUI_FRAMEWORK_APP_H_
