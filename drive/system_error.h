// The operating system's own words for its error codes; each platform back
// end provides them.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

// The system's message for osError, with the line end the system gives it
// (empty when the system has no message for it).
std::u16string SystemErrorText(uint32_t osError);

// The platform's code for "a parameter is not valid", reported when a
// caller hands a command a buffer smaller than the command needs.
uint32_t InvalidParameterError();

}  // namespace vestrel
