// The path fields of the main window.
#ifndef GUI_APP_FILE_EDIT_H_
#define GUI_APP_FILE_EDIT_H_

#include <windows.h>

#include "gui/framework/controls.h"

// An edit field that scrolls sideways, so a path longer than the field can be
// typed and read in full.
class FileEdit : public LuEdit {
public:
    DWORD exStyle() override { return WS_EX_CLIENTEDGE; }
    DWORD style() override { return ES_AUTOHSCROLL; }
};

#endif  // GUI_APP_FILE_EDIT_H_
