// The module's entry: the library entry point, the one export through which the host learns every class object,
// and the registration steps in their fixed order.
#pragma once

#include "frame/classlist.h"
#include "frame/hostservices.h"
#include "platform/owl/module.h"

#include <optional>
#include <string>
#include <string_view>

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;

extern "C" {
// Returns TRUE for every reason. The library calls it itself when it is loaded and unloaded.
BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);
// Registers every class object of the module with the host, in the fixed order; always S_OK.
HRESULT DllRegisterClassObjects(IUnknown* host);
}

namespace CX::Module {

using MessageClassLink = KVO::LinkedClassObject<MessageFactoryAccessor, IMsgIdMessageClassObject>;

// The instance handle given at attach (null before).
HINSTANCE Instance();
// The OWL module object that the module's windows and dialogs are created with (null before attach and after
// detach).
owl::TModule* GetModule();

// Step 1: the document class object and the view class objects.
HRESULT RegisterDocumentClasses();
// Step 2: every calculation class object on the calculation list, in list order.
void RegisterCalculationClasses();
// Step 3: the five event-draw class objects, by draw-type number.
void RegisterEventDrawClasses();
// Step 4: every message class object on the message list, with the message factory.
void RegisterMessageClasses();
// Step 5: the nine self tests, with the test registry.
void RegisterSelfTests();

// A module's version texts, "N/A" for each it does not have, and the fourth part of its file version.
struct VersionTexts {
    std::u16string fileVersion;
    std::u16string description;
    WORD fourthPart = 0;
};
VersionTexts ReadVersionTexts(HINSTANCE module);

// Asks the host whether pre-release notes are wanted and shows one for an alpha, beta or final-candidate build.
void ShowPreReleaseNote();
// The note for a build, or nothing: the version's fourth part below 1024 and its text naming such a build.
std::optional<std::u16string> PreReleaseNoteText(std::u16string_view versionText, std::u16string_view description,
                                                 WORD fourthPart);

} // namespace CX::Module
