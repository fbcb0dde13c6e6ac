// Keeping the computer awake while discs are recorded: a sleeping system
// would ruin the copy. A no-op where the platform has no such request.
#pragma once

namespace vestrel {

void KeepSystemAwake(bool awake);

}  // namespace vestrel
