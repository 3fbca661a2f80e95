#include "app/PanelResume.h"

#include <algorithm>
#include <cmath>

#include "app/OXPanelResumeView.h"
#include "app/OXSetupLayers.h"
#include "core/OXPreferencesValues.h"

using namespace ox;

std::shared_ptr<PanelResume> PanelResume::initWithPanelView(const ViewPtr& view) {
  std::shared_ptr<PanelResume> w(new PanelResume);
  if (auto* builder = dynamic_cast<OXSetupLayers*>(view.get())) {
    builder->setupLayers();
    w->addContent(view);
    w->panelView_ = view;
  }
  w->present(w->panelView_);
  return w;
}

float PanelResume::resumeRatio(float storedRatio) {
  if (!std::isfinite(storedRatio)) return 0.0f;
  return std::clamp(storedRatio, 0.0f, 1.0f);
}

bool PanelResume::askToResume(float storedRatio, std::shared_ptr<PanelResume>& panel, NotificationCenter::Token& token,
                              std::function<void(const Notification&)> answered) {
  if (!asksToResume(storedRatio)) return false;
  panel = initWithPanelView(
      std::make_shared<OXPanelResumeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame()));
  // One registration at a time, so one answer starts one playback.
  if (!token)
    token = NotificationCenter::defaultCenter().addObserver(QString::fromLatin1(closePanelResumeNotification), nullptr,
                                                            std::move(answered));
  return true;
}

qint64 PanelResume::takeAnswer(const Notification& notification, NotificationCenter::Token& token) {
  NotificationCenter::defaultCenter().removeObserver(token);
  token = 0;
  const QVariant answer = notification.userInfo.value(QString::fromLatin1(closePanelResumeIndexKey));
  return answer.isValid() ? answer.toLongLong() : -1;
}
