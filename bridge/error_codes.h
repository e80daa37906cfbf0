// The host error codes this plug-in produces itself. Everything else it
// returns is a code the host gave it.
#pragma once

#include "bridge/host_api.h"

// Memory could not be allocated (a list, a segment buffer, a string), or an
// unexpected exception reached the entry point. Nothing is left held when a
// handler returns it.
inline constexpr hostapi::HostError kOutOfMemoryError = hostapi::fourCharCode('!', 'm', 'e', 'm');

// The message cannot be read: a null record, caller, selector or basic suite.
inline constexpr hostapi::HostError kBadMessageError = hostapi::fourCharCode('!', 'm', 's', 'g');

// A message that needs the globals record arrived before startup, after
// shutdown, or while the art lists are missing (after an unload).
inline constexpr hostapi::HostError kNotStartedError = hostapi::fourCharCode('!', 'i', 'n', 'i');

// The host could not make the tool's icon.
inline constexpr hostapi::HostError kNoIconError = hostapi::fourCharCode('!', 'i', 'c', 'o');
