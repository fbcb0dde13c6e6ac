// The installer's application object and entry point. There is no message
// loop of its own: the dialog's modal loop is the program's.
#include <windows.h>

#include "installer/installer_dlg.h"

namespace vestrel::installer {

class Ct4kInstallerApp {
  public:
    int InitInstance(HINSTANCE instance) {
        Ct4kInstallerDlg dialog;
        dialog.DoModal(instance);
        PostQuitMessage(0);
        return 0;
    }
};

}  // namespace vestrel::installer

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vestrel::installer::Ct4kInstallerApp app;
    return app.InitInstance(instance);
}
