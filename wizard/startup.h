// The start-up steps run before the wizard's windows exist, and the exit
// steps they register, which run after the entry point has returned, in
// reverse order.
#pragma once

namespace vestrel::wizard {

void RunStartUpSteps();

}  // namespace vestrel::wizard
