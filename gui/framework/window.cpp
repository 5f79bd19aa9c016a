#include "gui/framework/window.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace {

constexpr unsigned BUCKET_COUNT = 157;

// Bucket heads; their window pointer stays null and the entries hang off
// `next`. Zero-initialised before any constructor runs, so windows can be
// registered even from other static initialisers.
LuWindowHashEntry windowTable[BUCKET_COUNT];

LuWindowHashEntry* bucketOf(HWND hwnd) {
    // Only the low 32 bits of a handle are significant, on 64-bit Windows too.
    uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd));
    return &windowTable[value % BUCKET_COUNT];
}

}  // namespace

void initControls() {
    InitCommonControls();
}

LRESULT CALLBACK globalWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LuWindow* window = findWindow(hwnd);
    if (!window) return DefWindowProcA(hwnd, message, wParam, lParam);
    return window->windowProc(message, wParam, lParam);
}

void registerWindow(LuWindow* window) {
    LuWindowHashEntry* last = bucketOf(window->getHandle());
    while (last->next) last = last->next;
    last->next = new LuWindowHashEntry{window, nullptr};
}

LuWindow* findWindow(HWND hwnd) {
    for (LuWindowHashEntry* entry = bucketOf(hwnd)->next; entry; entry = entry->next) {
        if (entry->window->getHandle() == hwnd) return entry->window;
    }
    return nullptr;
}

void unregisterWindow(LuWindow* window) {
    LuWindowHashEntry* previous = bucketOf(window->getHandle());
    for (LuWindowHashEntry* entry = previous->next; entry; previous = entry, entry = entry->next) {
        if (entry->window == window) {
            previous->next = entry->next;
            delete entry;
            return;
        }
    }
}

LuWindow::LuWindow()
    : parent(nullptr), handle(nullptr), id(0), instance(nullptr), previousProc(nullptr) {}

LuWindow::~LuWindow() {
    unregisterWindow(this);
}

LRESULT LuWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return defaultProc(message, wParam, lParam);
}

LRESULT LuWindow::onHScroll(int, int, HWND) {
    return NOT_HANDLED;
}

LRESULT LuWindow::onVScroll(int, int, HWND) {
    return NOT_HANDLED;
}

bool LuWindow::create(LuWindow* parentWindow, UINT controlId, HINSTANCE module, void* createParam) {
    parent = parentWindow;
    instance = module;
    id = controlId;
    HWND parentHandle = parentWindow ? parentWindow->handle : nullptr;
    DWORD windowStyle = style();
    const char* windowClass = className();
    DWORD extendedStyle = exStyle();
    // Windows start hidden; the application shows them once they are placed.
    if (parentWindow) windowStyle |= WS_CHILD;
    // For a child the menu argument carries the control id.
    HMENU menuOrId = reinterpret_cast<HMENU>(static_cast<uintptr_t>(controlId));
    handle = CreateWindowExA(extendedStyle, windowClass, nullptr, windowStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parentHandle, menuOrId,
                             module, createParam);
    if (!handle) return false;
    // Messages sent during CreateWindowExA found no object and got default
    // processing; from here on they reach this object.
    registerWindow(this);
    return onCreate();
}

LRESULT LuWindow::defaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (previousProc) return CallWindowProcA(previousProc, handle, message, wParam, lParam);
    return DefWindowProcA(handle, message, wParam, lParam);
}

void LuWindow::show() {
    ShowWindow(handle, SW_SHOW);
}

void LuWindow::resize(int width, int height) {
    RECT rect;
    GetWindowRect(handle, &rect);
    MoveWindow(handle, rect.left, rect.top, width, height, TRUE);
}

void LuWindow::move(int x, int y, int width, int height) {
    MoveWindow(handle, x, y, width, height, TRUE);
}

void LuWindow::setFont(HFONT font) {
    SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void LuWindow::bringToFront() {
    SetForegroundWindow(handle);
}

void LuWindow::setText(const char* text) {
    SetWindowTextA(handle, text);
}

int LuWindow::getText(char* buffer, int capacity) {
    return GetWindowTextA(handle, buffer, capacity);
}

int LuWindow::messageLoop() {
    MSG message;
    for (;;) {
        BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        // -1 is an error, not a message: looping on would spin forever.
        if (result == -1) return -1;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
