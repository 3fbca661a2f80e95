#pragma once
#include <functional>

class QObject;

namespace ox {

// The main queue: work for the thread of the QCoreApplication, run by its event loop.

// Runs `block` on the main thread at a later turn of its event loop, never inside this call (also when called on the
// main thread). Blocks posted from one thread run in the order they were posted. Without an application the block
// is dropped with a log line.
void dispatchMain(std::function<void()> block);

// Runs `block` once on the main thread `seconds` from now (measured from this call). A delay of 0 or less, or NaN,
// runs it at the next turn, exactly like dispatchMain. May be called from any thread; never runs inside the call.
void dispatchMainAfter(double seconds, std::function<void()> block);

// Work for a main-thread object from any thread: runs `block` at once when called on the main thread, else at a
// later turn of the main queue, and then only if `guard` still exists. The caller keeps `guard` alive during this
// call (an observer that is removed before its object goes does).
void performOnMainThread(QObject* guard, std::function<void()> block);

// True on the thread of the QCoreApplication.
bool isMainThread();

}  // namespace ox
