// Registry handles, predefined root keys, value types and access rights.
// On Windows they come from the Windows API; on Linux the same names and
// values are defined here, so that the predefined roots can be told apart and
// handed to any registry store.
#pragma once

#include <cstdint>

#include "platform/ResultTypes.h"

#ifndef _WIN32

// An opaque key handle: only ever compared and handed back to a store.
typedef struct HKEY__* HKEY;

// The predefined roots, sign-extended as on 64-bit Windows.
#define QUORVEL_PREDEFINED_KEY(value) ((HKEY)(intptr_t)(int32_t)(value))
#define HKEY_CLASSES_ROOT QUORVEL_PREDEFINED_KEY(0x80000000u)
#define HKEY_CURRENT_USER QUORVEL_PREDEFINED_KEY(0x80000001u)
#define HKEY_LOCAL_MACHINE QUORVEL_PREDEFINED_KEY(0x80000002u)
#define HKEY_USERS QUORVEL_PREDEFINED_KEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA QUORVEL_PREDEFINED_KEY(0x80000004u)
#define HKEY_CURRENT_CONFIG QUORVEL_PREDEFINED_KEY(0x80000005u)
#define HKEY_DYN_DATA QUORVEL_PREDEFINED_KEY(0x80000006u)

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u

#endif
