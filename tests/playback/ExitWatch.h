#pragma once
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "playback/OXVideoOSD.h"

// Exit requests posted by a playback's display, with the fraction they carry.
struct ExitWatch {
  std::vector<float> percentages;
  ox::NotificationCenter::Token token;
  ExitWatch() {
    token = ox::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(exitPlayerNotification), nullptr,
        [this](const ox::Notification& n) { percentages.push_back(n.userInfo.value("percentage").toFloat()); });
  }
  ~ExitWatch() { ox::NotificationCenter::defaultCenter().removeObserver(token); }
  ExitWatch(const ExitWatch&) = delete;
  ExitWatch& operator=(const ExitWatch&) = delete;
};
