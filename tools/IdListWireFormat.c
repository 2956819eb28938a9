/* How the test prefix's proxy/stub (tools/FolderViewProxy.idl) carries an ID
 * list between processes: a four-byte-aligned byte count, then the list's
 * bytes, its terminating zero count included. A count of zero stands for no
 * list. The receiving side gets the list in task memory, as the interfaces'
 * callers free it. C, as the rest of the proxy/stub is. */
#include <string.h>

#include "FolderViewProxy.h"

static const ULONG kCountSize = sizeof(ULONG);

static unsigned char* AlignedUp(unsigned char* buffer) {
  return (unsigned char*)(((ULONG_PTR)buffer + 3) & ~(ULONG_PTR)3);
}

/* The bytes of the list: each item's count, up to and with the terminating zero. */
static ULONG ListSize(const ITEMIDLIST* list) {
  const unsigned char* bytes = (const unsigned char*)list;
  ULONG size = 0;
  if (list == NULL) return 0;
  for (;;) {
    USHORT count;
    memcpy(&count, bytes + size, sizeof(count));
    if (count == 0) return size + sizeof(count);
    size += count;
  }
}

ULONG __RPC_USER WholeIdList_UserSize(ULONG* flags, ULONG start, WholeIdList* list) {
  (void)flags;
  return ((start + 3) & ~3u) + kCountSize + ListSize(*list);
}

unsigned char* __RPC_USER WholeIdList_UserMarshal(ULONG* flags, unsigned char* buffer, WholeIdList* list) {
  const ULONG size = ListSize(*list);
  (void)flags;
  buffer = AlignedUp(buffer);
  memcpy(buffer, &size, kCountSize);
  buffer += kCountSize;
  if (size != 0) memcpy(buffer, *list, size);
  return buffer + size;
}

unsigned char* __RPC_USER WholeIdList_UserUnmarshal(ULONG* flags, unsigned char* buffer, WholeIdList* list) {
  ULONG size;
  (void)flags;
  buffer = AlignedUp(buffer);
  memcpy(&size, buffer, kCountSize);
  buffer += kCountSize;
  *list = NULL;
  if (size == 0) return buffer;
  /* No list is shorter than its terminator. */
  if (size < sizeof(USHORT)) RpcRaiseException(RPC_X_BAD_STUB_DATA);
  *list = (ITEMIDLIST*)CoTaskMemAlloc(size);
  if (*list == NULL) RpcRaiseException(E_OUTOFMEMORY);
  memcpy(*list, buffer, size);
  return buffer + size;
}

void __RPC_USER WholeIdList_UserFree(ULONG* flags, WholeIdList* list) {
  (void)flags;
  CoTaskMemFree(*list);
  *list = NULL;
}
