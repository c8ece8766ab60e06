// Message loops for window tests that wait while the windows under test work.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

// Runs Act every Interval ms, from a thread timer, inside whatever message loop runs, for as long
// as it lives.
class TEvery {
public:
    TEvery(UINT Interval, std::function<void()> Act) {
        Pending = std::move(Act);
        Timer = SetTimer(nullptr, 0, Interval, Fire);
    }
    ~TEvery() {
        KillTimer(nullptr, Timer);
        Pending = nullptr;
    }
    TEvery(const TEvery&) = delete;
    TEvery& operator=(const TEvery&) = delete;

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
        if (Pending)
            Pending();
    }
    static inline std::function<void()> Pending;
    UINT_PTR Timer;
};

// Handles this thread's messages for Ms milliseconds.
inline void PumpFor(int Ms) {
    const ULONGLONG End = GetTickCount64() + static_cast<ULONGLONG>(Ms);
    MSG Msg;
    while (GetTickCount64() < End) {
        while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageW(&Msg);
        }
        Sleep(10);
    }
}
