#include "app/appstate.h"

#include <cstring>

ApplicationState AppState;

void ClearAppState() {
    std::memset(&AppState, 0, sizeof AppState);
}

HINSTANCE AppInstance() {
    return AppState.instance ? AppState.instance : GetModuleHandleW(nullptr);
}
