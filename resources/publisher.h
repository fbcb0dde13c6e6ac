// The publisher's names and addresses, in one place for the wizard, the
// update check and the installer. Plain macros, so that resource scripts
// can use them too.
#pragma once

// The publisher's host; the product's pages live below its web root.
#define VESTREL_PUBLISHER_HOST L"www.t4ksoft.net"
#define VESTREL_PUBLISHER_DOMAIN L"t4ksoft.net"
#define VESTREL_PUBLISHER_NAME L"t4k Software"
#define VESTREL_WEB_ROOT L"https://www.t4ksoft.net/"
// The product's web address, shown and opened by the wizard's links.
#define VESTREL_WEB_ADDRESS L"https://www.t4ksoft.net/vestrel/"
// The installer's Start Menu folder and the two folder levels below
// Program Files of its default install folder ("t4k_Vestrel" follows).
#define VESTREL_START_MENU_FOLDER VESTREL_PUBLISHER_DOMAIN
#define VESTREL_INSTALL_LEVEL1 VESTREL_PUBLISHER_DOMAIN
#define VESTREL_INSTALL_LEVEL2 L"Utilities"
