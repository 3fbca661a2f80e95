#pragma once
#include <functional>

#include "platform/layers/TimingFunction.h"

namespace ox {

// Groups layer changes. Transactions nest; a value set on a transaction (duration, pacing, disabled actions) holds
// for it and for the transactions opened inside it, unless they set their own. Setting a value or a completion
// block with no transaction open opens an implicit one, committed at the next flush. Main thread only.
class Transaction {
 public:
  static void begin();
  static void commit();
  // Commits implicit transactions, lays out every tree that asked for it and makes new layers presented; posted
  // to the event loop after any change, and run by the renderer before it draws.
  static void flush();

  static double animationDuration();  // 0.25 s unless set
  static void setAnimationDuration(double seconds);
  static TimingFunction animationTimingFunction();  // the default curve unless set
  static void setAnimationTimingFunction(const TimingFunction& f);
  static bool disableActions();
  static void setDisableActions(bool disable);
  // The block runs on the main thread once every animation added after it was set, in this transaction or in one
  // nested in it, has ended (or was replaced); with no such animation, at the next turn of the event loop after
  // the commit. Never inside the commit.
  static void setCompletionBlock(std::function<void()> block);

  // Open transactions, implicit ones included.
  static int depth();

  // Called after a flush that followed a change anywhere (the window surfaces repaint on it).
  static int addFlushObserver(std::function<void()> observer);
  static void removeFlushObserver(int id);
};

}  // namespace ox
