#pragma once
#include <QString>

#include <functional>

// The text between the first occurrence of `first` and the next occurrence of `second` (or of `first` again, or
// the end). Absent (a null QString) when `first` does not occur; an empty text is a found, empty answer.
QString textBetween(const QString& s, const QString& first, const QString& second);

// Runs `block` once on the main thread `seconds` from now; answers at once and never runs it inside the call
// (0 or less: the next turn of the main queue). Callable from any thread; nothing cancels it.
void performBlockAfterDelay(std::function<void()> block, double seconds);
