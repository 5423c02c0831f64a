// Input under Wine. Allegro asks DirectInput for the emulated keyboard and
// mouse (GUID_SysKeyboardEm2, GUID_SysMouseEm2), which Windows has and Wine
// 8 does not: there Allegro would get no input at all. So the program
// defines those two GUIDs itself, as data it may change, and under Wine
// points them at the standard devices before Allegro makes its own; on
// Windows they keep their values. The other DirectX GUIDs Allegro needs are
// defined here too, in place of libdxguid, which defines the two in the
// same object and so cannot be linked beside this one.
#define INITGUID
#define GUID_SysKeyboardEm2 unused_GUID_SysKeyboardEm2
#define GUID_SysMouseEm2 unused_GUID_SysMouseEm2
#include <windows.h>
#include <ddraw.h>
#include <dinput.h>
#include <dsound.h>
#undef GUID_SysKeyboardEm2
#undef GUID_SysMouseEm2

extern "C" {
GUID GUID_SysKeyboardEm2 = {0x6F1D2B83, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
GUID GUID_SysMouseEm2 = {0x6F1D2B81, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
}

// Before install_keyboard and install_mouse. True when running under Wine.
bool use_standard_input_under_wine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;
    GUID_SysKeyboardEm2 = GUID_SysKeyboard;
    GUID_SysMouseEm2 = GUID_SysMouse;
    return true;
}
