#include "console/keymix.h"

int main(int argc, char** argv) {
    return runKeymix(argc, argv);
}
