#include "wizard/update_thread.h"

namespace vestrel::wizard {

DWORD WINAPI UpdateCheckThread(void*) {
    return 0;
}

LRESULT OnUpdateAvailable(HWND, WPARAM, LPARAM) {
    return 0;
}

}  // namespace vestrel::wizard
