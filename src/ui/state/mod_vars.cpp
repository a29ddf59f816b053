#include "ui/state/mod_vars.h"

ModVars& modVars() {
    static ModVars vars;
    return vars;
}

void resetModVars() {
    modVars() = ModVars{};
}
