#pragma once
// Guard pages for the shared tests on Windows: the mmap calls they make, on VirtualAlloc and VirtualProtect.
#include <windows.h>

#include <cstddef>

#define PROT_NONE 0
#define PROT_READ 1
#define PROT_WRITE 2
#define MAP_PRIVATE 0x02
#define MAP_ANONYMOUS 0x20
#define MAP_FAILED (reinterpret_cast<void*>(-1))

inline void* mmap(void*, size_t length, int, int, int, long) {
    void* memory = ::VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return memory == nullptr ? MAP_FAILED : memory;
}
inline int mprotect(void* address, size_t length, int protection) {
    DWORD old = 0;
    const DWORD wanted = protection == PROT_NONE ? PAGE_NOACCESS : PAGE_READWRITE;
    return ::VirtualProtect(address, length, wanted, &old) ? 0 : -1;
}
inline int munmap(void* address, size_t) { return ::VirtualFree(address, 0, MEM_RELEASE) ? 0 : -1; }
