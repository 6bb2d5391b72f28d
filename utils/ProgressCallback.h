// The one callback shape through which every stage (downloaders, package
// and uninstaller runners, the coordinator) reports its events.
//
// (event code, value, text). Called synchronously on the sender's thread;
// the receiver must return quickly. The text is valid only during the call:
// a receiver that keeps it copies it.
#pragma once
#include <functional>

using ProgressCallback = std::function<void(int, double, const wchar_t*)>;
