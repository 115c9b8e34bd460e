// The Win32 subset in one include, for code that wants it all.
#pragma once

#include "platform/win/codepage.h"
#include "platform/win/errors.h"
#include "platform/win/files.h"
#include "platform/win/msgbox.h"
#include "platform/win/resources.h"
#include "platform/win/sync.h"
#include "platform/win/sysinfo.h"
#include "platform/win/uxtheme.h"
#include "platform/win/windef.h"
#include "platform/win/wingdi.h"
#include "platform/win/wintypes.h"
#include "platform/win/winuser.h"
