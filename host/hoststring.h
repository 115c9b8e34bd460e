// The host's own string objects: texts that the host hands the module through the string interface.
#pragma once

#include "sdk/ikvostring.h"

#include <string>

namespace host {

// A new string object holding `text`, with one reference for the caller.
platform::ComPtr<IKVOString> MakeString(std::u16string text);

} // namespace host
