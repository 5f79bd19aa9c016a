#include "bms/parser.h"

#include "bms/bms.h"

namespace {

int resultCode = 0;
int lineCounter = 0;

}  // namespace

bool BmsLoad(const char* path, BmsBms** chart) {
    (void)path;
    (void)chart;
    resultCode = BMS_ERROR_OPEN;
    return false;
}

int BmsGetErrorLine() {
    return lineCounter;
}

int BmsGetErrorCode() {
    return resultCode;
}

const char* BmsGetErrorMessage() {
    return BmsErrorText(resultCode);
}

const char* BmsErrorText(int code) {
    (void)code;
    return "";
}
