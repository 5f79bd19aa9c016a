#include "gui/framework/window.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "gui/framework/app.h"
#include "gui/framework/controls.h"

namespace {

// Registers the "LUAPP" class with the framework's procedure, as an
// application does for its own class.
void registerAppClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = globalWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LUAPP";
    registered = RegisterClassA(&windowClass) != 0;
    initControls();
}

// A stand-in for default processing: records what reaches it and answers a
// recognisable result.
std::vector<UINT> chainedMessages;
constexpr LRESULT CHAINED_RESULT = 4242;

LRESULT CALLBACK recordingProc(HWND, UINT message, WPARAM, LPARAM) {
    chainedMessages.push_back(message);
    return CHAINED_RESULT;
}

// A top-level window whose handlers record their arguments and answer what the
// test chose.
class RecordingApp : public LuApp {
public:
    LRESULT onCommand(int commandId, int code, HWND control) override {
        calls.push_back("command " + std::to_string(commandId) + " " + std::to_string(code) + " " +
                        std::to_string(reinterpret_cast<uintptr_t>(control)));
        return answer;
    }
    LRESULT onNotify(WPARAM wParam, LPARAM lParam) override {
        calls.push_back("notify " + std::to_string(wParam) + " " + std::to_string(lParam));
        return answer;
    }
    LRESULT onSize(UINT type, int width, int height) override {
        calls.push_back("size " + std::to_string(type) + " " + std::to_string(width) + " " +
                        std::to_string(height));
        return answer;
    }
    LRESULT onDestroy() override {
        calls.push_back("destroy");
        return answer;
    }
    void chainToRecorder() { previousProc = recordingProc; }

    std::vector<std::string> calls;
    LRESULT answer = 0;
};

// Destroys the platform window at the end of a test; the framework never does.
struct WindowCloser {
    HWND handle;
    ~WindowCloser() {
        if (IsWindow(handle)) DestroyWindow(handle);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

TEST(LuAppTest, DispatchesToOverridesWithUnsignedHalves) {
    registerAppClass();
    RecordingApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    app.chainToRecorder();
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* call;
    } cases[] = {
        {WM_COMMAND, 0xFFFE03E9, 0x1234, "command 1001 65534 4660"},
        {WM_SIZE, 2, static_cast<LPARAM>(0xC8FFFF), "size 2 65535 200"},
        {WM_NOTIFY, 7, 99, "notify 7 99"},
        {WM_DESTROY, 0, 0, "destroy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        app.calls.clear();
        chainedMessages.clear();
        app.answer = 17;
        EXPECT_EQ(17, SendMessageA(app.getHandle(), c.message, c.wParam, c.lParam));
        ASSERT_EQ(1u, app.calls.size());
        EXPECT_EQ(c.call, app.calls[0]);
        EXPECT_TRUE(chainedMessages.empty());

        // 0x8000 asks for default processing, whose result comes back instead.
        app.answer = NOT_HANDLED;
        EXPECT_EQ(CHAINED_RESULT, SendMessageA(app.getHandle(), c.message, c.wParam, c.lParam));
        EXPECT_EQ(std::vector<UINT>{c.message}, chainedMessages);
    }
    // Messages without a handler go straight to default processing.
    app.calls.clear();
    chainedMessages.clear();
    EXPECT_EQ(CHAINED_RESULT, SendMessageA(app.getHandle(), WM_USER + 5, 0, 0));
    EXPECT_TRUE(app.calls.empty());
    EXPECT_EQ(std::vector<UINT>{WM_USER + 5}, chainedMessages);
}

TEST(LuAppTest, UnhandledMessagesReachDefWindowProc) {
    registerAppClass();
    LuApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    // WM_SETTEXT and WM_GETTEXT work only if DefWindowProcA handles them.
    app.setText("title");
    char buffer[16] = {};
    EXPECT_EQ(5, app.getText(buffer, sizeof buffer));
    EXPECT_STREQ("title", buffer);
    // A command nobody handles ends in DefWindowProcA, whatever its code.
    EXPECT_EQ(0, SendMessageA(app.getHandle(), WM_COMMAND, MAKEWPARAM(1234, BN_CLICKED), 0));
    EXPECT_EQ(0, SendMessageA(app.getHandle(), WM_COMMAND, MAKEWPARAM(1234, 0xFFFF), 0));
}

TEST(LuAppTest, DestroyEndsTheMessageLoopWithCodeZero) {
    registerAppClass();
    LuApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    PostMessageA(app.getHandle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(0, app.messageLoop());
    EXPECT_FALSE(IsWindow(app.getHandle()));

    // The loop dispatches what was posted before the quit message, then returns its code.
    LuEdit edit;
    ASSERT_TRUE(edit.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser editCloser{edit.getHandle()};
    PostMessageA(edit.getHandle(), EM_SETMODIFY, TRUE, 0);
    PostQuitMessage(7);
    EXPECT_EQ(7, app.messageLoop());
    EXPECT_TRUE(SendMessageA(edit.getHandle(), EM_GETMODIFY, 0, 0));
}

// A control whose scroll handlers record what is reflected to them.
class ScrollRecorder : public LuStatic {
public:
    LRESULT onHScroll(int code, int position, HWND control) override {
        return record('H', code, position, control);
    }
    LRESULT onVScroll(int code, int position, HWND control) override {
        return record('V', code, position, control);
    }
    LRESULT record(char bar, int code, int position, HWND control) {
        calls.push_back(std::string(1, bar) + " " + std::to_string(code) + " " +
                        std::to_string(position) + (control == getHandle() ? " self" : " other"));
        return 55;
    }
    std::vector<std::string> calls;
};

TEST(LuAppTest, ReflectsScrollMessagesToTheControlObject) {
    registerAppClass();
    RecordingApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    app.chainToRecorder();
    ScrollRecorder control;
    ASSERT_TRUE(control.create(&app, 0, GetModuleHandleA(nullptr), nullptr));
    LuStatic plain;
    ASSERT_TRUE(plain.create(&app, 0, GetModuleHandleA(nullptr), nullptr));
    HWND stranger = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD, 0, 0, 1, 1, app.getHandle(),
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, stranger);

    const WPARAM wParam = MAKEWPARAM(SB_THUMBTRACK, 0xFFF0);
    auto control_lParam = reinterpret_cast<LPARAM>(control.getHandle());
    chainedMessages.clear();
    EXPECT_EQ(55, SendMessageA(app.getHandle(), WM_HSCROLL, wParam, control_lParam));
    EXPECT_EQ(55, SendMessageA(app.getHandle(), WM_VSCROLL, wParam, control_lParam));
    EXPECT_EQ((std::vector<std::string>{"H 5 65520 self", "V 5 65520 self"}), control.calls);
    EXPECT_TRUE(chainedMessages.empty());

    // The window's own bar, a control keeping the base handler, and a window
    // without an object all end in default processing.
    const struct {
        const char* name;
        HWND bar;
    } ends[] = {{"own", app.getHandle()}, {"plain", plain.getHandle()}, {"stranger", stranger}};
    for (const auto& e : ends) {
        SCOPED_TRACE(e.name);
        chainedMessages.clear();
        EXPECT_EQ(CHAINED_RESULT, SendMessageA(app.getHandle(), WM_VSCROLL, wParam,
                                               reinterpret_cast<LPARAM>(e.bar)));
        EXPECT_EQ(std::vector<UINT>{WM_VSCROLL}, chainedMessages);
    }
    EXPECT_EQ(2u, control.calls.size());
}

// Records every message the object sees and what the table held in onCreate.
class CreationProbe : public LuApp {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return LuApp::windowProc(message, wParam, lParam);
    }
    bool onCreate() override {
        seenBeforeOnCreate = seen.size();
        foundInOnCreate = findWindow(getHandle()) == this;
        return answer;
    }
    std::vector<UINT> seen;
    size_t seenBeforeOnCreate = 99;
    bool foundInOnCreate = false;
    bool answer = true;
};

TEST(LuWindowTest, CreationMessagesGetDefaultProcessingBeforeOnCreate) {
    registerAppClass();
    CreationProbe probe;
    ASSERT_TRUE(probe.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{probe.getHandle()};
    // WM_NCCREATE, WM_CREATE and the rest arrived before registration.
    EXPECT_EQ(0u, probe.seenBeforeOnCreate);
    EXPECT_TRUE(probe.foundInOnCreate);
    EXPECT_FALSE(IsWindowVisible(probe.getHandle()));
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW),
              GetWindowLongA(probe.getHandle(), GWL_STYLE) &
                  static_cast<LONG>(WS_OVERLAPPEDWINDOW | WS_CHILD | WS_VISIBLE));
    SendMessageA(probe.getHandle(), WM_USER, 0, 0);
    EXPECT_EQ(std::vector<UINT>{WM_USER}, probe.seen);

    // onCreate answering false fails create, but the window stays registered.
    CreationProbe refused;
    refused.answer = false;
    EXPECT_FALSE(refused.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser refusedCloser{refused.getHandle()};
    EXPECT_TRUE(IsWindow(refused.getHandle()));
    EXPECT_EQ(&refused, findWindow(refused.getHandle()));
}

// A window of a class nobody registered.
class Unregistered : public LuWindow {
public:
    const char* className() override { return "KEYMIX_NO_SUCH_CLASS"; }
};

TEST(LuWindowTest, FailedCreationLeavesNoHandleAndNoEntry) {
    Unregistered window;
    EXPECT_FALSE(window.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    EXPECT_EQ(nullptr, window.getHandle());
    EXPECT_EQ(nullptr, findWindow(nullptr));
    LuWindow plain;
    EXPECT_FALSE(plain.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    EXPECT_EQ(nullptr, plain.getHandle());
}

TEST(LuWindowTest, ChildrenStartHiddenAtOriginWithNoSize) {
    registerAppClass();
    LuApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    LuStatic label;
    LuEdit edit;
    LuButton button;
    LuCheckBox check;
    LuProgress progress;
    const struct {
        const char* name;
        LuWindow* control;
        UINT id;
        const char* className;
        LONG style;
        LONG exStyle;
    } cases[] = {
        {"static", &label, 0, "Static", 0, 0},
        {"edit", &edit, 0, "Edit", 0, WS_EX_CLIENTEDGE},
        {"button", &button, 1003, "Button", BS_PUSHBUTTON, 0},
        {"check", &check, 7, "Button", BS_AUTOCHECKBOX, 0},
        {"progress", &progress, 0, "msctls_progress32", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.control->create(&app, c.id, GetModuleHandleA(nullptr), nullptr));
        HWND handle = c.control->getHandle();
        EXPECT_EQ(c.control, findWindow(handle));
        EXPECT_EQ(app.getHandle(), GetParent(handle));
        EXPECT_EQ(static_cast<int>(c.id), GetDlgCtrlID(handle));
        char name[64] = {};
        GetClassNameA(handle, name, sizeof name);
        EXPECT_STRCASEEQ(c.className, name);
        LONG style = GetWindowLongA(handle, GWL_STYLE);
        EXPECT_EQ(WS_CHILD, style & (WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(c.style, style & 0xFFFF);
        EXPECT_EQ(c.exStyle, GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        RECT rect;
        GetWindowRect(handle, &rect);
        POINT origin = {0, 0};
        ClientToScreen(app.getHandle(), &origin);
        EXPECT_EQ(origin.x, rect.left);
        EXPECT_EQ(origin.y, rect.top);
        EXPECT_EQ(rect.left, rect.right);
        EXPECT_EQ(rect.top, rect.bottom);
    }
    edit.move(40, 10, 350, 20);
    edit.show();
    EXPECT_TRUE(IsWindowVisible(edit.getHandle()) == FALSE);  // the parent is still hidden
    EXPECT_NE(0, GetWindowLongA(edit.getHandle(), GWL_STYLE) & WS_VISIBLE);
    RECT rect;
    GetWindowRect(edit.getHandle(), &rect);
    MapWindowPoints(nullptr, app.getHandle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(40, rect.left);
    EXPECT_EQ(10, rect.top);
    EXPECT_EQ(390, rect.right);
    EXPECT_EQ(30, rect.bottom);
}

TEST(LuWindowTest, ResizeKeepsTheTopLeftCorner) {
    registerAppClass();
    LuApp app;
    ASSERT_TRUE(app.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{app.getHandle()};
    app.move(50, 60, 200, 100);
    app.resize(465, 180);
    RECT rect;
    GetWindowRect(app.getHandle(), &rect);
    EXPECT_EQ(50, rect.left);
    EXPECT_EQ(60, rect.top);
    EXPECT_EQ(515, rect.right);
    EXPECT_EQ(240, rect.bottom);
}

TEST(LuWindowTest, GetTextCutsAtCapacityMinusOne) {
    LuEdit edit;
    ASSERT_TRUE(edit.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{edit.getHandle()};
    std::string text(300, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    edit.setText(text.c_str());
    const struct {
        int capacity;
        int length;
    } cases[] = {{260, 259}, {301, 300}, {400, 300}, {2, 1}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::vector<char> buffer(c.capacity + 1, '#');
        EXPECT_EQ(c.length, edit.getText(buffer.data(), c.capacity));
        EXPECT_EQ(text.substr(0, c.length), std::string(buffer.data()));
        EXPECT_EQ('#', buffer[c.capacity]);
    }
}

// A window object whose handle the test chooses, to exercise the table alone.
class FakeWindow : public LuWindow {
public:
    explicit FakeWindow(uintptr_t value) { handle = reinterpret_cast<HWND>(value); }
    void forget() { handle = nullptr; }
};

TEST(LuWindowTableTest, SharedHandlesAndSharedBuckets) {
    // 0x10000 and 0x10000 + 157 fall into the same bucket, on any width of handle.
    const uintptr_t base = 0x10000;
    FakeWindow first(base), second(base), neighbour(base + 157), distant(base + 157 * 1000);
    EXPECT_EQ(nullptr, findWindow(first.getHandle()));
    registerWindow(&first);
    registerWindow(&neighbour);
    registerWindow(&second);
    registerWindow(&distant);
    EXPECT_EQ(&first, findWindow(first.getHandle()));
    EXPECT_EQ(&neighbour, findWindow(neighbour.getHandle()));
    EXPECT_EQ(&distant, findWindow(distant.getHandle()));
    EXPECT_EQ(nullptr, findWindow(reinterpret_cast<HWND>(base + 314)));

    unregisterWindow(&first);
    EXPECT_EQ(&second, findWindow(first.getHandle()));
    unregisterWindow(&first);  // no longer registered: nothing happens
    EXPECT_EQ(&second, findWindow(first.getHandle()));
    EXPECT_EQ(&neighbour, findWindow(neighbour.getHandle()));
    unregisterWindow(&second);
    EXPECT_EQ(nullptr, findWindow(first.getHandle()));
    EXPECT_EQ(&distant, findWindow(distant.getHandle()));
    // The destructors unregister neighbour and distant.
}

TEST(LuWindowTableTest, DestructionUnregisters) {
    const HWND value = reinterpret_cast<HWND>(0x20000);
    {
        FakeWindow window(0x20000);
        registerWindow(&window);
        EXPECT_EQ(&window, findWindow(value));
    }
    EXPECT_EQ(nullptr, findWindow(value));
    // An object that was never registered can be destroyed too.
    { FakeWindow window(0x20000); }
    EXPECT_EQ(nullptr, findWindow(value));
}

TEST(LuControlsTest, ProgressRangeStepAndPosition) {
    initControls();
    LuProgress bar;
    ASSERT_TRUE(bar.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{bar.getHandle()};
    const struct {
        int maximum;
        int low;
        int high;
    } ranges[] = {{200, 0, 200}, {0x10064, 0, 100}, {65535, 0, 65535}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.maximum);
        bar.setRange(r.maximum);
        PBRANGE range = {};
        SendMessageA(bar.getHandle(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(r.low, range.iLow);
        EXPECT_EQ(r.high, static_cast<int>(static_cast<unsigned>(range.iHigh) & 0xFFFF));
    }
    bar.setRange(200);
    bar.setPos(150);
    EXPECT_EQ(150, SendMessageA(bar.getHandle(), PBM_GETPOS, 0, 0));
    // A position below the range shows an empty bar.
    bar.setPos(-1);
    EXPECT_EQ(0, SendMessageA(bar.getHandle(), PBM_GETPOS, 0, 0));
    bar.setStep(7);
    SendMessageA(bar.getHandle(), PBM_STEPIT, 0, 0);
    SendMessageA(bar.getHandle(), PBM_STEPIT, 0, 0);
    EXPECT_EQ(14, SendMessageA(bar.getHandle(), PBM_GETPOS, 0, 0));
}

TEST(LuControlsTest, CheckBoxStates) {
    LuCheckBox box;
    ASSERT_TRUE(box.create(nullptr, 0, GetModuleHandleA(nullptr), nullptr));
    WindowCloser closer{box.getHandle()};
    EXPECT_FALSE(box.isChecked());
    box.setChecked(true);
    EXPECT_EQ(BST_CHECKED, SendMessageA(box.getHandle(), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(box.isChecked());
    box.setChecked(false);
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(box.getHandle(), BM_GETCHECK, 0, 0));
    EXPECT_FALSE(box.isChecked());
    // Any state but unchecked counts as checked, the indeterminate one included.
    SendMessageA(box.getHandle(), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_TRUE(box.isChecked());
}

}  // namespace
