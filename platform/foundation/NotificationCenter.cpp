#include "platform/foundation/NotificationCenter.h"

#include <condition_variable>
#include <vector>

namespace ox {

struct NotificationCenter::Entry {
  QString name;
  const void* object = nullptr;
  std::function<void(const Notification&)> block;

  std::mutex mutex;
  std::condition_variable idle;
  bool removed = false;
  int running = 0;  // calls in progress, on any thread
};

namespace {
// How many observer calls the current thread is inside (of any centre).
thread_local int t_deliveryDepth = 0;
}  // namespace

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter* const center = new NotificationCenter;
  return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, const void* object,
                                                          std::function<void(const Notification&)> block) {
  auto entry = std::make_shared<Entry>();
  entry->name = name;
  entry->object = object;
  entry->block = std::move(block);
  std::lock_guard lock(m_mutex);
  const Token token = m_next++;
  m_entries.emplace(token, std::move(entry));
  return token;
}

void NotificationCenter::removeObserver(Token token) {
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(token);
    if (it == m_entries.end()) return;
    entry = std::move(it->second);
    m_entries.erase(it);
  }
  std::unique_lock lock(entry->mutex);
  entry->removed = true;
  if (t_deliveryDepth == 0) entry->idle.wait(lock, [&] { return entry->running == 0; });
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo) {
  std::vector<std::shared_ptr<Entry>> targets;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& [token, entry] : m_entries) {
      if (!entry->name.isEmpty() && entry->name != name) continue;
      if (entry->object && entry->object != object) continue;
      targets.push_back(entry);
    }
  }
  if (targets.empty()) return;
  const Notification note{name, object, userInfo};
  for (const auto& entry : targets) {
    {
      std::lock_guard lock(entry->mutex);
      if (entry->removed) continue;  // removed by an earlier observer of this same post
      ++entry->running;
    }
    struct Done {
      Entry& e;
      ~Done() {
        --t_deliveryDepth;
        std::lock_guard lock(e.mutex);
        if (--e.running == 0) e.idle.notify_all();
      }
    } done{*entry};
    ++t_deliveryDepth;
    entry->block(note);
  }
}

}  // namespace ox
