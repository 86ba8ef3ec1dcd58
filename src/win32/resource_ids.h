// Resource identifiers, shared by the resource script and the code.
#pragma once

// String-table entry with the saver's name, as the platform's list of savers shows it.
#define IDS_DESCRIPTION 1
// The executable's icon, in two identical groups.
#define IDI_ROSES 107
#define IDI_ROSES_SMALL 108

#ifndef RC_INVOKED
namespace roses {
// The window class asks for this icon, and the settings mode for this dialog template; the
// saver ships neither, so the class has no icon and the settings mode ends with -1.
inline constexpr int class_icon_id = 100;
inline constexpr int settings_dialog_id = 2003;
} // namespace roses
#endif
