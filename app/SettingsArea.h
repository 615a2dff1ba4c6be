#pragma once
// The settings text carried in the program's own image: one fixed area of
// 20,480 bytes in its own PE section (".brkcfg"), so release tooling can
// rewrite it in a built executable. UTF-16LE with a byte-order mark,
// zero-terminated, the rest zero.
#include <cstddef>

constexpr size_t kSettingsAreaBytes = 20480;
constexpr size_t kSettingsAreaChars = kSettingsAreaBytes / sizeof(wchar_t);

// The area as the image holds it (read through a barrier so the compiler never
// folds in the text it was built with).
const wchar_t* SettingsAreaText();
