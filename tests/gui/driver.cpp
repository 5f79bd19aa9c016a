// Drives keymixw from outside, the way a person would: a Windows console program
// that runs inside the same Wine prefix as the program under test and reads one
// command per line on standard input. Fields are separated by tabs; texts travel
// as UTF-8 with backslash, tab, line feed and carriage return escaped. Each
// command answers zero or more "=" data lines and then one line starting with
// "OK" or "ERR".
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

constexpr UINT SEND_TIMEOUT = 2000;  // milliseconds for one sent message
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;

PROCESS_INFORMATION launched = {};

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

Fields split(const std::string& line) {
    Fields fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(unescape(line.substr(start, tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

void reply(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

std::string handleText(HWND hwnd) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
    return text;
}

HWND parseHandle(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 16)));
}

std::string number(long long value) {
    return std::to_string(value);
}

std::string className(HWND hwnd) {
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return toUtf8(name);
}

// The text through WM_GETTEXT: the only way to read another process's edit
// fields. Fails when the program does not answer within the timeout.
bool messageText(HWND hwnd, std::string* text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, SEND_TIMEOUT, &length))
        return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]),
                             SMTO_NORMAL, SEND_TIMEOUT, &copied))
        return false;
    *text = toUtf8(std::wstring(&buffer[0], copied));
    return true;
}

// The system's copy of a window's title or control text, readable while the
// program is busy and answers no messages.
std::string internalText(HWND hwnd) {
    wchar_t text[1024] = L"";
    InternalGetWindowText(hwnd, text, 1024);
    return toUtf8(text);
}

bool sendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result,
                 UINT timeout = SEND_TIMEOUT) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, timeout,
                               result ? result : &ignored) != 0;
}

bool belongsToLaunched(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return launched.hProcess && pid == launched.dwProcessId;
}

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Direct children only, in z order (creation order for these windows).
std::vector<HWND> children(HWND parent) {
    std::vector<HWND> windows;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        windows.push_back(child);
    return windows;
}

// Visible dialog windows (message boxes, file dialogs) owned by `owner`.
std::vector<HWND> ownedDialogs(HWND owner) {
    std::vector<HWND> dialogs;
    for (HWND hwnd : topLevelWindows()) {
        if (GetWindow(hwnd, GW_OWNER) == owner && IsWindowVisible(hwnd) &&
            className(hwnd) == "#32770")
            dialogs.push_back(hwnd);
    }
    return dialogs;
}

// Repeats `ready` every few milliseconds until it answers true or the time is up.
template <class Ready>
bool waitFor(int milliseconds, Ready ready) {
    DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return true;
        if (static_cast<int>(GetTickCount() - start) >= milliseconds) return false;
        Sleep(5);
    }
}

Fields describeRect(HWND hwnd, HWND relativeTo) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    if (relativeTo) MapWindowPoints(HWND_DESKTOP, relativeTo, reinterpret_cast<POINT*>(&rect), 2);
    return {number(rect.left), number(rect.top), number(rect.right - rect.left),
            number(rect.bottom - rect.top)};
}

Fields operator+(Fields head, const Fields& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::string join(const Fields& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + escape(fields[i]);
    return line;
}

// One data line of a reply.
void data(const Fields& fields) {
    reply("=" + join(fields));
}

// Pixels of a rectangle of the screen as 0x00RRGGBB values, row by row.
std::vector<uint32_t> grabPixels(HDC source, int x, int y, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(pixels, pixels + width * height);
    for (uint32_t& pixel : out) pixel &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return out;
}

// A standard icon drawn on a background of one colour.
std::vector<uint32_t> drawIcon(HICON icon, int width, int height, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    std::vector<uint32_t> out = grabPixels(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

// Which standard icon the icon control of a message box shows, told from its
// pixels on screen: the share of the icon's opaque pixels that match.
std::string recogniseIcon(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child : children(box)) {
        if (className(child) == "Static" &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
            iconControl = child;
    }
    if (!iconControl) return "none";
    RECT client;
    GetClientRect(iconControl, &client);
    POINT origin = {0, 0};
    ClientToScreen(iconControl, &origin);
    int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return "none";
    HDC screen = GetDC(nullptr);
    std::vector<uint32_t> shown = grabPixels(screen, origin.x, origin.y, width, height);
    ReleaseDC(nullptr, screen);

    const struct {
        int id;
        const char* name;
    } icons[] = {{32513, "error"}, {32514, "question"}, {32515, "warning"}, {32516, "information"}};
    std::string best = "unknown";
    double bestShare = 0.9;
    for (const auto& icon : icons) {
        HICON handle = LoadIconW(nullptr, MAKEINTRESOURCEW(icon.id));
        std::vector<uint32_t> onBlack = drawIcon(handle, width, height, RGB(0, 0, 0));
        std::vector<uint32_t> onWhite = drawIcon(handle, width, height, RGB(255, 255, 255));
        int opaque = 0, matching = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            if (onBlack[i] != onWhite[i]) continue;
            ++opaque;
            if (shown[i] == onBlack[i]) ++matching;
        }
        double share = opaque ? static_cast<double>(matching) / opaque : 0;
        if (share > bestShare) {
            bestShare = share;
            best = icon.name;
        }
    }
    return best;
}

struct Session {
    // Answers the command; false ends the session.
    bool run(const Fields& f);
    bool fail(const std::string& message) {
        reply("ERR\t" + escape(message));
        return true;
    }
    bool ok(const std::string& fields = std::string()) {
        reply(fields.empty() ? "OK" : "OK\t" + fields);
        return true;
    }
};

bool Session::run(const Fields& f) {
    const std::string& command = f[0];
    auto arg = [&f](size_t i) { return i < f.size() ? f[i] : std::string(); };
    auto hwndArg = [&](size_t i) { return parseHandle(arg(i)); };
    auto intArg = [&](size_t i) { return std::atoi(arg(i).c_str()); };

    if (command == "quit") {
        ok();
        return false;
    }
    if (command == "launch") {
        // launch <command line> <working folder>
        if (launched.hProcess) {
            CloseHandle(launched.hProcess);
            CloseHandle(launched.hThread);
            launched = {};
        }
        std::wstring line = fromUtf8(arg(1));
        std::wstring folder = fromUtf8(arg(2));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &launched)) {
            launched = {};
            fail("CreateProcess failed: " + number(GetLastError()));
        } else {
            ok(number(launched.dwProcessId));
        }
    } else if (command == "wait_exit") {
        // wait_exit <ms>: the launched program's exit code
        if (!launched.hProcess) return fail("nothing launched");
        if (WaitForSingleObject(launched.hProcess, intArg(1)) != WAIT_OBJECT_0)
            return fail("still running");
        DWORD code = 0;
        GetExitCodeProcess(launched.hProcess, &code);
        ok(number(static_cast<int>(code)));
    } else if (command == "kill") {
        if (launched.hProcess) {
            TerminateProcess(launched.hProcess, 1);
            WaitForSingleObject(launched.hProcess, 5000);
        }
        ok();
    } else if (command == "find_main") {
        // find_main <class> <ms>: the launched program's visible top-level window
        std::wstring wanted = fromUtf8(arg(1));
        HWND found = nullptr;
        bool seen = waitFor(intArg(2), [&] {
            for (HWND hwnd : topLevelWindows()) {
                if (belongsToLaunched(hwnd) && IsWindowVisible(hwnd) &&
                    className(hwnd) == toUtf8(wanted)) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        });
        if (!seen) return fail("no window of class " + arg(1));
        ok(handleText(found));
    } else if (command == "window") {
        // window <hwnd>: class, title (the system's copy), style, exstyle, owner,
        // visible, enabled, outer place and size on screen, client size
        HWND hwnd = hwndArg(1);
        if (!IsWindow(hwnd)) return fail("no such window");
        RECT client;
        GetClientRect(hwnd, &client);
        ok(join(Fields{className(hwnd), internalText(hwnd),
                       number(static_cast<uint32_t>(GetWindowLongW(hwnd, GWL_STYLE))),
                       number(static_cast<uint32_t>(GetWindowLongW(hwnd, GWL_EXSTYLE))),
                       handleText(GetWindow(hwnd, GW_OWNER)), number(IsWindowVisible(hwnd)),
                       number(IsWindowEnabled(hwnd))} +
                describeRect(hwnd, nullptr) + Fields{number(client.right), number(client.bottom)}));
    } else if (command == "children") {
        // children <hwnd>: one line per direct child: handle, class, id, style,
        // exstyle, place and size in the parent's client area, visible, text
        HWND parent = hwndArg(1);
        if (!IsWindow(parent)) return fail("no such window");
        for (HWND child : children(parent)) {
            std::string text;
            if (!messageText(child, &text)) text = internalText(child);
            data(Fields{handleText(child), className(child),
                        number(GetWindowLongPtrW(child, GWLP_ID)),
                        number(static_cast<uint32_t>(GetWindowLongW(child, GWL_STYLE))),
                        number(static_cast<uint32_t>(GetWindowLongW(child, GWL_EXSTYLE)))} +
                 describeRect(child, parent) + Fields{number(IsWindowVisible(child)), text});
        }
        ok();
    } else if (command == "text") {
        std::string text;
        if (!messageText(hwndArg(1), &text)) return fail("WM_GETTEXT timed out");
        ok(escape(text));
    } else if (command == "itext") {
        ok(escape(internalText(hwndArg(1))));
    } else if (command == "wait_itext") {
        // wait_itext <hwnd> <text> <ms>: until the system's copy of the text equals
        std::string last;
        bool seen = waitFor(intArg(3), [&] {
            last = internalText(hwndArg(1));
            return last == arg(2);
        });
        if (!seen) return fail("text stayed \"" + last + "\"");
        ok();
    } else if (command == "settext") {
        std::wstring text = fromUtf8(arg(2));
        if (!sendTimeout(hwndArg(1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                         nullptr))
            return fail("WM_SETTEXT timed out");
        ok();
    } else if (command == "click") {
        // Posted, never sent: the handler may open a modal box and not return.
        if (!PostMessageW(hwndArg(1), BM_CLICK, 0, 0)) return fail("PostMessage failed");
        ok();
    } else if (command == "command") {
        // command <hwnd> <id>: posts WM_COMMAND as a button of that id would
        if (!PostMessageW(hwndArg(1), WM_COMMAND, MAKEWPARAM(intArg(2), BN_CLICKED), 0))
            return fail("PostMessage failed");
        ok();
    } else if (command == "close") {
        if (!PostMessageW(hwndArg(1), WM_CLOSE, 0, 0)) return fail("PostMessage failed");
        ok();
    } else if (command == "getcheck") {
        DWORD_PTR state = 0;
        if (!sendTimeout(hwndArg(1), BM_GETCHECK, 0, 0, &state)) return fail("timed out");
        ok(number(state));
    } else if (command == "setcheck") {
        if (!sendTimeout(hwndArg(1), BM_SETCHECK, intArg(2), 0, nullptr)) return fail("timed out");
        ok();
    } else if (command == "progress") {
        // progress <hwnd>: position, low and high end of the range
        DWORD_PTR position = 0, low = 0, high = 0;
        if (!sendTimeout(hwndArg(1), PBM_GETPOS, 0, 0, &position) ||
            !sendTimeout(hwndArg(1), PBM_GETRANGE, TRUE, 0, &low) ||
            !sendTimeout(hwndArg(1), PBM_GETRANGE, FALSE, 0, &high))
            return fail("timed out");
        ok(number(static_cast<int>(position)) + "\t" + number(static_cast<int>(low)) + "\t" +
           number(static_cast<int>(high)));
    } else if (command == "barrier") {
        // barrier <edit> <ms>: returns once every message posted to the program
        // before it has been handled (or has opened the modal box it opens).
        HWND edit = hwndArg(1);
        DWORD_PTR modified = 0;
        if (!sendTimeout(edit, EM_SETMODIFY, FALSE, 0, nullptr, intArg(2)))
            return fail("program busy");
        PostMessageW(edit, EM_SETMODIFY, TRUE, 0);
        bool seen = waitFor(intArg(2), [&] {
            return sendTimeout(edit, EM_GETMODIFY, 0, 0, &modified) && modified;
        });
        if (!seen) return fail("barrier timed out");
        ok();
    } else if (command == "dialogs") {
        // dialogs <owner>: handles of the visible dialogs it owns
        std::string list;
        for (HWND hwnd : ownedDialogs(hwndArg(1)))
            list += (list.empty() ? "" : ",") + handleText(hwnd);
        ok(list);
    } else if (command == "wait_dialog") {
        // wait_dialog <owner> <ms>
        HWND found = nullptr;
        bool seen = waitFor(intArg(2), [&] {
            std::vector<HWND> dialogs = ownedDialogs(hwndArg(1));
            if (dialogs.empty()) return false;
            found = dialogs[0];
            return true;
        });
        if (!seen) return fail("no dialog");
        ok(handleText(found));
    } else if (command == "wait_gone") {
        // wait_gone <hwnd> <ms>
        if (!waitFor(intArg(2), [&] { return !IsWindow(hwndArg(1)); }))
            return fail("window still there");
        ok();
    } else if (command == "box") {
        // box <hwnd> <ms>: caption, text, buttons as id=text joined by "|", icon
        HWND box = hwndArg(1);
        std::string caption, text, buttons;
        if (!messageText(box, &caption)) return fail("box does not answer");
        for (HWND child : children(box)) {
            std::string childText;
            messageText(child, &childText);
            LONG_PTR id = GetWindowLongPtrW(child, GWLP_ID);
            if (id == MESSAGE_BOX_TEXT_ID) text = childText;
            if (className(child) == "Button" && IsWindowVisible(child))
                buttons += (buttons.empty() ? "" : "|") + number(id) + "=" + childText;
        }
        std::string icon;
        // The box may not be painted yet: look again until an icon is recognised.
        waitFor(intArg(2), [&] {
            icon = recogniseIcon(box);
            return icon != "unknown";
        });
        ok(escape(caption) + "\t" + escape(text) + "\t" + escape(buttons) + "\t" + icon);
    } else if (command == "file_dialog") {
        // file_dialog <dialog>: title, file type shown, file name field
        HWND dialog = hwndArg(1);
        std::string title, filter, name;
        messageText(dialog, &title);
        HWND types = GetDlgItem(dialog, 0x470);
        if (types) messageText(types, &filter);
        ok(escape(title) + "\t" + escape(filter));
    } else if (command == "choose_file") {
        // choose_file <dialog> <path>: types the path into the file name field
        // and presses OK
        HWND dialog = hwndArg(1);
        HWND field = nullptr;
        if (HWND combo = GetDlgItem(dialog, 0x47c)) {
            for (HWND child : descendants(combo))
                if (className(child) == "Edit") field = child;
        }
        if (!field) field = GetDlgItem(dialog, 0x480);
        // The folder dialog of the shell has a plain edit field for the name.
        for (HWND child : descendants(dialog)) {
            if (!field && className(child) == "Edit" && IsWindowVisible(child)) field = child;
        }
        if (!field) return fail("no file name field");
        std::wstring path = fromUtf8(arg(2));
        if (!sendTimeout(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), nullptr))
            return fail("WM_SETTEXT timed out");
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ok();
    } else if (command == "icon_resource") {
        // icon_resource <exe> <name>: image count of the icon group, then width,
        // height and bits per pixel of its first image as stored
        std::wstring path = fromUtf8(arg(1)), name = fromUtf8(arg(2));
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) return fail("cannot load " + arg(1));
        auto resource = [module](const wchar_t* id, const wchar_t* type, DWORD* size) {
            HRSRC found = FindResourceW(module, id, type);
            if (!found) return static_cast<const BYTE*>(nullptr);
            *size = SizeofResource(module, found);
            return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        };
        DWORD size = 0;
        const BYTE* group = resource(name.c_str(), MAKEINTRESOURCEW(14), &size);  // RT_GROUP_ICON
        if (!group || size < 6 + 14) {
            FreeLibrary(module);
            return fail("no icon group " + arg(2));
        }
        // GRPICONDIR: reserved, type, count; then 14-byte entries ending in the id.
        int count = group[4] | group[5] << 8;
        int firstId = group[6 + 12] | group[6 + 13] << 8;
        const BYTE* image = resource(MAKEINTRESOURCEW(firstId), MAKEINTRESOURCEW(3), &size);
        if (!image || size < sizeof(BITMAPINFOHEADER)) {
            FreeLibrary(module);
            return fail("no icon image");
        }
        BITMAPINFOHEADER header;
        std::memcpy(&header, image, sizeof header);
        FreeLibrary(module);
        // The height counts the image and its mask.
        ok(join({number(count), number(header.biWidth), number(header.biHeight / 2),
                 number(header.biBitCount)}));
    } else if (command == "windows") {
        // windows: every top-level window of the launched program, for diagnostics
        for (HWND hwnd : topLevelWindows()) {
            if (!belongsToLaunched(hwnd)) continue;
            data({handleText(hwnd), className(hwnd), internalText(hwnd),
                  number(IsWindowVisible(hwnd) ? 1 : 0), handleText(GetWindow(hwnd, GW_OWNER))});
        }
        ok();
    } else if (command == "paint") {
        // paint <hwnd>: has the window and its controls paint what is pending
        if (!RedrawWindow(hwndArg(1), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN))
            return fail("RedrawWindow failed");
        ok();
    } else if (command == "move") {
        // move <hwnd> <x> <y>: places a top-level window on the screen, for pictures
        if (!SetWindowPos(hwndArg(1), nullptr, intArg(2), intArg(3), 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
            return fail("SetWindowPos failed");
        ok();
    } else if (command == "xid") {
        // xid <hwnd>: the X11 window that Wine shows this window in
        HANDLE xid = GetPropW(hwndArg(1), L"__wine_x11_whole_window");
        ok(number(static_cast<long long>(reinterpret_cast<uintptr_t>(xid))));
    } else if (command == "foreground") {
        ok(handleText(GetForegroundWindow()));
    } else {
        fail("unknown command " + command);
    }
    return true;
}

}  // namespace

int main() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    Session session;
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool more = line.empty() ? session.fail("empty command") : session.run(split(line));
        std::fflush(stdout);
        line.clear();
        if (!more) break;
    }
    if (launched.hProcess) {
        CloseHandle(launched.hProcess);
        CloseHandle(launched.hThread);
    }
    return 0;
}
