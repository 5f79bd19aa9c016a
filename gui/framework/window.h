// The object layer over the Win32 window API: one object per window, found
// through a process-wide table keyed by window handle.
#ifndef GUI_FRAMEWORK_WINDOW_H_
#define GUI_FRAMEWORK_WINDOW_H_

#include <windows.h>

// A handler result that asks for the message's default processing; any other
// value is the message's result, so a handler cannot deliver 0x8000 itself.
constexpr LRESULT NOT_HANDLED = 0x8000;

// One window (top-level or control) as an object. Construction makes no platform
// window; `create` does. Destruction only unregisters the object: the platform
// window is left to the platform.
class LuWindow {
public:
    LuWindow();
    ~LuWindow();
    LuWindow(const LuWindow&) = delete;
    LuWindow& operator=(const LuWindow&) = delete;

    virtual DWORD exStyle() { return 0; }
    virtual DWORD style() { return 0; }
    // The registered window class to create; null for a plain LuWindow, which
    // therefore cannot be created.
    virtual const char* className() { return nullptr; }
    // Runs once the window exists and is registered; false makes `create` fail
    // while the window and its table entry stay.
    virtual bool onCreate() { return true; }
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Scroll messages; code and position are the unsigned halves of wParam,
    // control the scroll bar's handle.
    virtual LRESULT onHScroll(int code, int position, HWND control);
    virtual LRESULT onVScroll(int code, int position, HWND control);

    // Creates the platform window (hidden, at default place and size; a child
    // when `parent` is given) and registers this object under it. False when the
    // window could not be made or `onCreate` answered false.
    bool create(LuWindow* parent, UINT id, HINSTANCE instance, void* createParam);
    // Chains to `previousProc` when set, else to DefWindowProcA.
    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND getHandle() const { return handle; }
    void show();
    // New outer size in pixels; the top-left corner stays where it is on screen.
    void resize(int width, int height);
    // Place and size; for a control, in client coordinates of its parent.
    void move(int x, int y, int width, int height);
    void setFont(HFONT font);
    void bringToFront();
    void setText(const char* text);
    // Copies at most capacity - 1 characters and a terminator into `buffer`;
    // returns the number of characters copied.
    int getText(char* buffer, int capacity);
    // Runs the thread's message loop for all its windows; returns the code given
    // to PostQuitMessage.
    int messageLoop();

protected:
    LuWindow* parent;  // not owned; null for a top-level window
    HWND handle;
    UINT id;
    HINSTANCE instance;
    WNDPROC previousProc;
};

// One entry of a window table bucket; the chain behind a bucket head owns its
// entries.
struct LuWindowHashEntry {
    LuWindow* window;  // not owned
    LuWindowHashEntry* next;
};

// Loads the common controls; call once before creating any LuProgress.
void initControls();
// The window procedure for the window classes an application registers: hands
// each message to the object registered for the handle, else DefWindowProcA.
LRESULT CALLBACK globalWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Appends an entry for the object under its current handle; no duplicate check.
void registerWindow(LuWindow* window);
// The object registered first for `hwnd`, or null.
LuWindow* findWindow(HWND hwnd);
// Removes the object's first entry under its current handle, if any.
void unregisterWindow(LuWindow* window);

#endif  // GUI_FRAMEWORK_WINDOW_H_
