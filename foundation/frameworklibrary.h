// Loading the host framework library outside a host (self tests): the library beside the executable offers the
// framework class object through its DllGetClassObject export, and this process registers it for itself.
#pragma once

#include "platform/win/wintypes.h"

#include <string>

namespace KVO {

// The framework library's file name, looked for in the folder of the running executable.
inline constexpr const char16_t* kFrameworkLibraryName = u"libhost.so";

// Loads the library and registers its framework class object for the process. A missing library or export is
// shown in a message box naming the file and thrown as XKVO (the process goes on); a failure of the class-object
// calls is thrown as its HRESULT.
void LoadFrameworkClassObject();
// The same for a library file of the caller's choice.
void LoadFrameworkClassObjectFrom(const std::u16string& file);
// Revokes the registration and frees the library (nothing when nothing was loaded).
void FreeFrameworkLibrary();

} // namespace KVO
