// Move-only owners of Win32 handles, one per kind of closer; the invalid value is part of the type.
#pragma once

#include <windows.h>

#include <utility>

template <typename T, auto Invalid, auto Close> class UniqueResource {
public:
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
    explicit operator bool() const { return Value != T(Invalid); }
    T release() { return std::exchange(Value, T(Invalid)); }
    void reset(T NewValue = T(Invalid)) {
        T old = std::exchange(Value, NewValue);
        if (old != T(Invalid))
            Close(old);
    }
    // For APIs that return the handle through a pointer.
    T* put() {
        reset();
        return &Value;
    }

private:
    T Value = T(Invalid);
};

namespace handle_detail {
inline void CloseKernelHandle(HANDLE H) {
    ::CloseHandle(H);
}
inline void CloseKey(HKEY H) {
    ::RegCloseKey(H);
}
} // namespace handle_detail

// Handles whose "none" is NULL (processes, threads, pipes, mutexes).
using UniqueHandle = UniqueResource<HANDLE, nullptr, handle_detail::CloseKernelHandle>;
// Handles whose "none" is INVALID_HANDLE_VALUE (files).
using UniqueFileHandle =
    UniqueResource<HANDLE, INVALID_HANDLE_VALUE, handle_detail::CloseKernelHandle>;
using UniqueHKey = UniqueResource<HKEY, nullptr, handle_detail::CloseKey>;
