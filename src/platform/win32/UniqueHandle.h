// Move-only owners of Win32 handles, one per kind of closer; the invalid value is part of the type.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits> class UniqueResource {
public:
    using T = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(T Value) : Value(Value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& Other) noexcept : Value(Other.release()) {}
    UniqueResource& operator=(UniqueResource&& Other) noexcept {
        reset(Other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const { return Value; }
    explicit operator bool() const { return Value != Traits::Invalid(); }
    T release() { return std::exchange(Value, Traits::Invalid()); }
    void reset(T NewValue = Traits::Invalid()) {
        T old = std::exchange(Value, NewValue);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    // For APIs that return the handle through a pointer.
    T* put() {
        reset();
        return &Value;
    }

private:
    T Value = Traits::Invalid();
};

namespace handle_traits {
struct Kernel {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE H) { ::CloseHandle(H); }
};
struct File {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE H) { ::CloseHandle(H); }
};
struct Find : File {
    static void Close(HANDLE H) { ::FindClose(H); }
};
struct Key {
    using Type = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY H) { ::RegCloseKey(H); }
};
// Not a handle of its own: the ownership of a mutex whose handle another owner keeps open.
struct MutexOwnership {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE H) { ::ReleaseMutex(H); }
};
struct Module {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE H) { ::FreeLibrary(H); }
};
} // namespace handle_traits

// Handles whose "none" is NULL (processes, threads, pipes, mutexes).
using UniqueHandle = UniqueResource<handle_traits::Kernel>;
// Handles whose "none" is INVALID_HANDLE_VALUE and that CloseHandle closes (files).
using UniqueFileHandle = UniqueResource<handle_traits::File>;
// Searches from FindFirstFile(Ex)W, which only FindClose ends.
using UniqueFindHandle = UniqueResource<handle_traits::Find>;
using UniqueHKey = UniqueResource<handle_traits::Key>;
// A mutex this thread acquired (a wait that returned WAIT_OBJECT_0 or WAIT_ABANDONED), released
// with the owner. Declared after the UniqueHandle that keeps the mutex open, so that it is
// released before the handle is closed.
using UniqueMutexOwnership = UniqueResource<handle_traits::MutexOwnership>;
// Loaded DLLs (LoadLibraryExW).
using UniqueModule = UniqueResource<handle_traits::Module>;
