#pragma once
#include <functional>
#include <memory>

#include "app/OXOverlayWindow.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/View.h"

// Posted by the resume and two-option panels with the chosen answer: user info { "index": integer }, 0 for the first
// answer ("Resume"), 1 for the second ("Play"), -1 when the two-option panel was left without an answer.
inline constexpr const char* closePanelResumeNotification = "closePanelResume";
inline constexpr const char* closePanelResumeIndexKey = "index";

// The overlay window that shows a panel view (the resume question, or the two-option panel) and gives it the keys
// while it is key. The panel knows nothing of what is being played: the opener listens for
// closePanelResumeNotification and acts on the answer. Closing orders the window out at once. Main thread only.
class PanelResume : public OXOverlayWindow {
 public:
  // Builds the window over the chosen screen, lays out the view (a view that cannot build its layers is not
  // shown), shows the window, makes the view its first responder and fades in.
  static std::shared_ptr<PanelResume> initWithPanelView(const ox::ViewPtr& view);

  ox::ViewPtr panelView() const { return panelView_; }

  // The ratio a title resumes at, from its stored watched ratio: within 0..1, and 0 for a value that is no finite
  // number. An opener asks only when it is above 0, and otherwise plays from the start at once.
  static float resumeRatio(float storedRatio);
  static bool asksToResume(float storedRatio) { return resumeRatio(storedRatio) > 0; }

  // The resume question of a browser: when `storedRatio` is worth asking about, shows the question over the chosen
  // screen into `panel` and registers `answered` for its answer in `token`, once (a panel left with Menu posts
  // nothing and leaves the registration for the next one), then returns true; otherwise shows nothing and returns
  // false, and the caller plays from the start.
  static bool askToResume(float storedRatio, std::shared_ptr<PanelResume>& panel, ox::NotificationCenter::Token& token,
                          std::function<void(const ox::Notification&)> answered);
  // The answer's index (0 resume, 1 from the start, -1 none), ending the registration askToResume made.
  static qint64 takeAnswer(const ox::Notification& notification, ox::NotificationCenter::Token& token);

 protected:
  PanelResume() = default;

 private:
  ox::ViewPtr panelView_;
};
