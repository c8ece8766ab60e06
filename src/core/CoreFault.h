// What the core cannot go on from, as a fact rather than a sentence: a kind and the values that go
// with it. The window says it in the user's language, from its string table; the core holds no
// words the user reads.
#pragma once

#include <exception>
#include <string>
#include <vector>

enum class TCoreFaultKind {
    // Every numbered name of a converted file, up to the largest number, is taken.
    // Values: the file's name without a number.
    NoFreeName,
};

class ECoreFault : public std::exception {
public:
    explicit ECoreFault(TCoreFaultKind Kind, std::vector<std::wstring> Values = {});
    TCoreFaultKind Kind() const { return Kind_; }
    const std::vector<std::wstring>& Values() const { return Values_; }
    // The kind's name ("NoFreeName"), for a debugger or a test's message; never shown.
    const char* what() const noexcept override;

private:
    TCoreFaultKind Kind_;
    std::vector<std::wstring> Values_;
};
