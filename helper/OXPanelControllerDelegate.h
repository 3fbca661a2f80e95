#pragma once

class OXPanelController;
class StatusItemView;

// What the panel asks of its owner (the application's delegate).
class OXPanelControllerDelegate {
 public:
  virtual ~OXPanelControllerDelegate() = default;
  // The status item the panel drops from; null when there is none.
  virtual StatusItemView* statusItemViewForPanelController(OXPanelController* controller) = 0;
};
