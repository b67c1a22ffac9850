// Resource ids of the library, shared by ZanScript.rc and the code.
#pragma once

#define IDS_PROJNAME 100
#define IDR_SCRIPT 101
#define IDR_SCRIPTLOAD 102
#define IDR_ZANDICTIONARY 103
#define IDS_SCRIPTLOAD_DESC 104
#define IDR_ZANSCRIPT_APPID 105
