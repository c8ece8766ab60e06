// The paths one start of the program hands over to a window of another: the payload of the
// message that carries them, as plain text work so it is tested on every platform.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Tells a hand-over apart from any other data a window might be sent.
inline constexpr unsigned long HandoverTag = 0x4B534831; // "KSH1"

// The paths as one block of UTF-16 code units, each path ended by a NUL.
std::u16string EncodeHandover(const std::vector<std::wstring>& Paths);

// The paths back from a block of Bytes bytes; nothing when it is not a well-formed hand-over
// (an odd size, no NUL at its end). Empty entries are dropped.
std::optional<std::vector<std::wstring>> DecodeHandover(const void* Data, size_t Bytes);
