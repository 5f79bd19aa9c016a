// Thin wrappers over the system's control classes. Their messages do not pass
// through the framework; they are registered only so a parent can find them.
#ifndef GUI_FRAMEWORK_CONTROLS_H_
#define GUI_FRAMEWORK_CONTROLS_H_

#include <windows.h>

#include "gui/framework/window.h"

// A left-aligned text label.
class LuStatic : public LuWindow {
public:
    DWORD exStyle() override { return 0; }
    DWORD style() override { return 0; }
    const char* className() override { return "STATIC"; }
};

// A single-line edit field with a sunken edge.
class LuEdit : public LuWindow {
public:
    DWORD exStyle() override { return WS_EX_CLIENTEDGE; }
    DWORD style() override { return 0; }
    const char* className() override { return "EDIT"; }
};

// A push button; its clicks reach the parent as WM_COMMAND with its id.
class LuButton : public LuWindow {
public:
    DWORD exStyle() override { return 0; }
    DWORD style() override { return BS_PUSHBUTTON; }
    const char* className() override { return "BUTTON"; }
};

// A check box that toggles itself when clicked.
class LuCheckBox : public LuButton {
public:
    DWORD exStyle() override { return 0; }
    DWORD style() override { return BS_AUTOCHECKBOX; }
    // True for any state but unchecked, so an indeterminate box counts as checked.
    bool isChecked();
    void setChecked(bool flag);
};

// A progress bar (needs initControls first).
class LuProgress : public LuWindow {
public:
    DWORD exStyle() override { return 0; }
    DWORD style() override { return 0; }
    const char* className() override { return "msctls_progress32"; }
    // Range 0 to `maximum`; only its low 16 bits count.
    void setRange(int maximum);
    void setStep(int step);
    void setPos(int position);
};

#endif  // GUI_FRAMEWORK_CONTROLS_H_
