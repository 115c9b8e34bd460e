#include "platform/win/errors.h"

#include <algorithm>
#include <string_view>

namespace {
thread_local DWORD t_lastError = 0;

struct SystemText {
    DWORD code;
    std::u16string_view text;
};

// The texts of the system codes the module can meet: Win32 errors by number, COM results by value.
constexpr SystemText kTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {4, u"The system cannot open the file.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {14, u"Not enough memory resources are available to complete this operation.\r\n"},
    {29, u"The system cannot write to the specified device.\r\n"},
    {30, u"The system cannot read from the specified device.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {38, u"Reached the end of the file.\r\n"},
    {39, u"The disk is full.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {126, u"The specified module could not be found.\r\n"},
    {127, u"The specified procedure could not be found.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {1812, u"The specified image file did not contain a resource section.\r\n"},
    {1813, u"The specified resource type cannot be found in the image file.\r\n"},
    {1814, u"The specified resource name cannot be found in the image file.\r\n"},
    {0x80004001, u"Not implemented\r\n"},
    {0x80004002, u"No such interface supported\r\n"},
    {0x80004003, u"Invalid pointer\r\n"},
    {0x80004004, u"Operation aborted\r\n"},
    {0x80004005, u"Unspecified error\r\n"},
    {0x8000FFFF, u"Catastrophic failure\r\n"},
    {0x80020005, u"Type mismatch.\r\n"},
    {0x80020008, u"Bad variable type.\r\n"},
    {0x8002000A, u"Out of present range.\r\n"},
    {0x80030001, u"Unable to perform requested operation.\r\n"},
    {0x80030002, u"%1 could not be found.\r\n"},
    {0x80030003, u"The path %1 could not be found.\r\n"},
    {0x80030004, u"There are insufficient resources to open another file.\r\n"},
    {0x80030005, u"Access Denied.\r\n"},
    {0x80030006, u"Attempted an operation on an invalid object.\r\n"},
    {0x80030008, u"There is insufficient memory available to complete operation.\r\n"},
    {0x80030009, u"Invalid pointer error.\r\n"},
    {0x80030012, u"There are no more entries to return.\r\n"},
    {0x8003001D, u"A disk error occurred during a write operation.\r\n"},
    {0x8003001E, u"A disk error occurred during a read operation.\r\n"},
    {0x80030020, u"A share violation has occurred.\r\n"},
    {0x80030021, u"A lock violation has occurred.\r\n"},
    {0x80030050, u"%1 already exists.\r\n"},
    {0x80030057, u"Invalid parameter error.\r\n"},
    {0x80030070, u"There is insufficient disk space to complete operation.\r\n"},
    {0x800300FB, u"The file %1 is not a valid compound file.\r\n"},
    {0x800300FC, u"The name %1 is not valid.\r\n"},
    {0x800300FD, u"An unexpected error occurred.\r\n"},
    {0x800300FE, u"That function is not implemented.\r\n"},
    {0x800300FF, u"Invalid flag error.\r\n"},
    {0x80030100, u"Attempted to use an object that is busy.\r\n"},
    {0x80030101, u"The storage has been changed since the last commit.\r\n"},
    {0x80030102, u"Attempted to use an object that has ceased to exist.\r\n"},
    {0x80030103, u"Can't save.\r\n"},
    {0x80030104, u"The compound file %1 was produced with an incompatible version of storage.\r\n"},
    {0x80030106, u"Share.exe or equivalent is required for operation.\r\n"},
    {0x80030107, u"Illegal operation called on non-file based storage.\r\n"},
    {0x80040110, u"Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040111, u"ClassFactory cannot supply requested class\r\n"},
    {0x80040154, u"Class not registered\r\n"},
    {0x800401F0, u"CoInitialize has not been called.\r\n"},
};
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*)
{
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0 || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // COM results of facility 7 carry a Win32 error in their low word; the system knows both spellings.
    DWORD lookup = messageId;
    if ((messageId & 0xFFFF0000u) == 0x80070000u) {
        lookup = messageId & 0xFFFF;
    }
    const auto found = std::find_if(std::begin(kTexts), std::end(kTexts),
                                    [lookup](const SystemText& entry) { return entry.code == lookup; });
    if (found == std::end(kTexts)) {
        SetLastError(317); // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    if (found->text.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(found->text.begin(), found->text.end(), buffer);
    buffer[found->text.size()] = 0;
    return static_cast<DWORD>(found->text.size());
}
