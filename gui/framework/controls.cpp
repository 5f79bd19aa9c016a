#include "gui/framework/controls.h"

#include <windows.h>
#include <commctrl.h>

bool LuCheckBox::isChecked() {
    return SendMessageA(handle, BM_GETCHECK, 0, 0) != 0;
}

void LuCheckBox::setChecked(bool flag) {
    SendMessageA(handle, BM_SETCHECK, flag ? 1 : 0, 0);
}

void LuProgress::setRange(int maximum) {
    SendMessageA(handle, PBM_SETRANGE, 0, MAKELPARAM(0, maximum & 0xFFFF));
}

void LuProgress::setStep(int step) {
    SendMessageA(handle, PBM_SETSTEP, step, 0);
}

void LuProgress::setPos(int position) {
    SendMessageA(handle, PBM_SETPOS, position, 0);
}
