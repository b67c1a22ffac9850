// Resource ids of the library, shared by ZanScript.rc and the code. The
// legacy configuration keeps two class scripts under other ids and has no
// AppID script.
#pragma once

#define IDS_PROJNAME 100
#define IDR_SCRIPT 101
#define IDS_SCRIPTLOAD_DESC 104
#ifdef ZAN_LEGACY_CONFIGURATION
#define IDR_SCRIPTLOAD 202
#define IDR_ZANDICTIONARY 203
#else
#define IDR_SCRIPTLOAD 102
#define IDR_ZANDICTIONARY 103
#define IDR_ZANSCRIPT_APPID 105
#endif
