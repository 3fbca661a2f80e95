#pragma once
#include <QStringList>
#include <memory>
#include <mutex>

#include "core/OXFile.h"

// The part of a movie or an episode that changes after construction: its file reference and its stream links.
// Both are read and replaced atomically.
class OXFileAndLinks {
 public:
  std::shared_ptr<OXFile> file() const {
    std::lock_guard lock(mutex_);
    return file_;
  }
  void setFile(std::shared_ptr<OXFile> file) {
    std::lock_guard lock(mutex_);
    file_ = std::move(file);
  }
  QStringList links() const {
    std::lock_guard lock(mutex_);
    return links_;
  }
  // Appends each link not yet held, once, in the given order.
  void addLinks(const QStringList& links) {
    std::lock_guard lock(mutex_);
    for (const QString& link : links)
      if (!links_.contains(link)) links_ << link;
  }

 protected:
  OXFileAndLinks() = default;
  ~OXFileAndLinks() = default;

  // Set without the lock only while the record is being built, before anyone else can see it.
  mutable std::mutex mutex_;
  std::shared_ptr<OXFile> file_;
  QStringList links_;
};
