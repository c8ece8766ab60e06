// Filling user-visible templates. The words live in the Windows string table; the core only puts
// names and numbers into the places the templates mark.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

// Template with "%1" ... "%9" replaced by the arguments in order; "%%" gives one "%". A placeholder
// without an argument, and any other "%", stays as it is.
std::wstring FormatTemplate(const std::wstring& Template,
                            std::initializer_list<std::wstring> Arguments);

// Playing time as "m:ss", from one hour on "h:mm:ss"; whole seconds, rounded down; negative
// times count as 0. 295000 -> "4:55", 3723000 -> "1:02:03".
std::wstring FormatPlayingTime(int64_t Ms);

// A sentence without its full stop and the line breaks and blanks after it, so that a text which
// quotes it can end with its own: ".", and the ideographic "。" Japanese and Chinese end with
// (some system messages have both).
std::wstring WithoutFinalStop(std::wstring Text);

// An exit code as people look it up: small codes in decimal, codes from 0x10000 on (Windows
// status codes such as an access violation) in hexadecimal, "0xC0000005".
std::wstring FormatExitCode(uint32_t Code);
