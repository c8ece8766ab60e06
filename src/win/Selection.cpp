#include "Selection.h"

#include "Handover.h"
#include "PathForms.h"

#include <cwctype>
#include <utility>

namespace {

constexpr wchar_t TargetProperty[] = L"Kestrova.HandoverTarget";
// Held by the start that is opening the home window, until that window takes hand-overs.
constexpr wchar_t HomeLockName[] = L"KestrovaSelectionHome";
constexpr DWORD RetryMs = 25;
// The announcements' locks: more than Explorer ever starts for one selection (15 unless a user
// raises its limit, and this program takes up to 100 files that way).
constexpr int AnnouncementSlots = 128;

std::wstring AnnouncementName(int Slot) {
    return L"KestrovaSelectionStart." + std::to_wstring(Slot);
}

bool SameTextIgnoringCase(const std::wstring& A, const wchar_t* B) {
    size_t i = 0;
    for (; i < A.size() && B[i]; ++i) {
        if (std::towlower(A[i]) != std::towlower(B[i]))
            return false;
    }
    return i == A.size() && !B[i];
}

struct TOffer {
    const COPYDATASTRUCT* Data;
    DWORD AnswerMs;
    bool Taken = false;
    bool Unanswered = false;
};

BOOL CALLBACK OfferToWindow(HWND Window, LPARAM Param) {
    auto& Offer = *reinterpret_cast<TOffer*>(Param);
    if (!GetPropW(Window, TargetProperty))
        return TRUE;
    // The window comes to the front when it takes the files; this start may let it, since
    // Explorer gave it the right.
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    AllowSetForegroundWindow(Process);
    DWORD_PTR Answer = FALSE;
    if (!SendMessageTimeoutW(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(Offer.Data),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, Offer.AnswerMs, &Answer)) {
        // Still there, but slow to answer: many starts queue up at one window.
        if (IsWindow(Window))
            Offer.Unanswered = true;
        return TRUE;
    }
    if (Answer) {
        Offer.Taken = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TStartRequest ReadStartRequest(const std::vector<std::wstring>& Arguments) {
    TStartRequest Request;
    Request.Paths = CommandLinePaths(Arguments);
    // The switch cannot be a file name ("/" is not allowed in one), but CommandLinePaths has made
    // it absolute against the current drive: recognise it by its raw form.
    if (Arguments.size() > 1 && SameTextIgnoringCase(Arguments[1], SelectionSwitch)) {
        Request.FromSelection = true;
        if (!Request.Paths.empty())
            Request.Paths.erase(Request.Paths.begin());
    }
    return Request;
}

THandover HandOverToOpenWindow(const std::vector<std::wstring>& Paths, DWORD AnswerMs) {
    const std::u16string Block = EncodeHandover(Paths);
    COPYDATASTRUCT Data{};
    Data.dwData = HandoverTag;
    Data.cbData = static_cast<DWORD>(Block.size() * sizeof(char16_t));
    Data.lpData = const_cast<char16_t*>(Block.data());
    TOffer Offer{&Data, AnswerMs};
    EnumWindows(OfferToWindow, reinterpret_cast<LPARAM>(&Offer));
    if (Offer.Taken)
        return THandover::Taken;
    return Offer.Unanswered ? THandover::NoAnswer : THandover::Refused;
}

TAnnouncedStart::TAnnouncedStart() {
    for (int i = 0; i < AnnouncementSlots; ++i) {
        UniqueHandle Candidate(CreateMutexW(nullptr, FALSE, AnnouncementName(i).c_str()));
        if (!Candidate)
            continue;
        // One a start that died left behind is free again.
        const DWORD Got = WaitForSingleObject(Candidate.get(), 0);
        if (Got == WAIT_OBJECT_0 || Got == WAIT_ABANDONED) {
            Slot = std::move(Candidate);
            Held.reset(Slot.get());
            return;
        }
    }
}

void TAnnouncedStart::End() {
    Held.reset();
    Slot.reset();
}

bool SelectionStartsUnderWay() {
    for (int i = 0; i < AnnouncementSlots; ++i) {
        // A lock nobody has open does not exist: no start took it.
        UniqueHandle Slot(
            OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, AnnouncementName(i).c_str()));
        if (!Slot)
            continue;
        const DWORD Got = WaitForSingleObject(Slot.get(), 0);
        if (Got == WAIT_TIMEOUT)
            return true;
        if (Got == WAIT_OBJECT_0 || Got == WAIT_ABANDONED)
            UniqueMutexOwnership Taken(Slot.get()); // free: given back at once
    }
    return false;
}

TElection THomeElection::Run(const std::vector<std::wstring>& Paths, DWORD WaitMs) {
    // Until this start's files are with a window, or it opens one of its own.
    TAnnouncedStart Announced;
    Lock.reset(CreateMutexW(nullptr, FALSE, HomeLockName));
    const ULONGLONG Deadline = GetTickCount64() + WaitMs;
    for (;;) {
        const THandover Offered = HandOverToOpenWindow(Paths);
        if (Offered == THandover::Taken)
            return TElection::HandedOver;
        // A window that has not answered yet is offered the files again rather than given up
        // for a window of this start's own.
        if (Offered == THandover::Refused && Lock) {
            const DWORD Got = WaitForSingleObject(Lock.get(), 0);
            // An abandoned lock: the start that held it ended before its window was there.
            if (Got == WAIT_OBJECT_0 || Got == WAIT_ABANDONED) {
                Held.reset(Lock.get());
                // A home may have settled between the offer above and taking the lock.
                if (HandOverToOpenWindow(Paths) == THandover::Taken) {
                    Settle();
                    return TElection::HandedOver;
                }
                return TElection::Home;
            }
        }
        if (GetTickCount64() >= Deadline)
            return TElection::Alone;
        Sleep(RetryMs);
    }
}

void THomeElection::Settle() {
    Held.reset();
}

void MarkHandoverTarget(HWND Window, bool Target) {
    if (Target)
        SetPropW(Window, TargetProperty, reinterpret_cast<HANDLE>(1));
    else
        RemovePropW(Window, TargetProperty);
}

std::optional<std::vector<std::wstring>> ReadHandover(const COPYDATASTRUCT& Data) {
    if (Data.dwData != HandoverTag)
        return std::nullopt;
    return DecodeHandover(Data.lpData, Data.cbData);
}
