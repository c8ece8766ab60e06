// Exceptions that carry a message written for the user; the top-level handler shows it.
#pragma once

#include "CoreFault.h"

#include <windows.h>

#include <exception>
#include <initializer_list>
#include <string>

class EAppError : public std::exception {
public:
    explicit EAppError(std::wstring Message);
    const std::wstring& Message() const { return Text; }
    const char* what() const noexcept override { return Narrow.c_str(); }

private:
    std::wstring Text;
    std::string Narrow;
};

// A file operation failed with a system error code.
class EInOutError : public EAppError {
public:
    explicit EInOutError(DWORD Code);
    DWORD ErrorCode() const { return Code; }

private:
    DWORD Code;
};

// The user-facing text for a failed file operation.
std::wstring InOutErrorMessage(DWORD Code);

// The system's own words for an error code, without a closing full stop.
std::wstring SystemErrorText(DWORD Code);

// The user's text for a fault the core reports, from the string table in the user's language.
std::wstring CoreFaultMessage(const ECoreFault& Fault);
