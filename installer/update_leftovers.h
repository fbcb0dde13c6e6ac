// What the wizard's update check leaves in the user's application-data
// folder, removed with the installation.
#pragma once

namespace vestrel::installer {

// Deletes the update check's three working files and then its working
// folder when that is empty. A working folder that is a link to elsewhere
// is left alone, with whatever it leads to.
void RemoveUpdateCheckFiles();

}  // namespace vestrel::installer
