// Marks what HalcyonSessionCtrl exports to its hosts.
#pragma once

#if defined(_WIN32)
#if defined(SESSIONCTRL_BUILDING_DLL)
#define SESSIONCTRL_API __declspec(dllexport)
#else
#define SESSIONCTRL_API __declspec(dllimport)
#endif
#else
#define SESSIONCTRL_API __attribute__((visibility("default")))
#endif
