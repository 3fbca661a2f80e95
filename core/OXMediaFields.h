#pragma once
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include "platform/foundation/KeyedArchiver.h"

// What a movie and a show both describe: read the same way from search hits and streamer entries, and archived
// under the same keys. Fixed once the record is built.
class OXMediaFields {
 public:
  QString title() const { return title_; }
  quint64 year() const { return year_; }
  quint64 runtime() const { return runtime_; }
  QStringList genres() const { return genres_; }
  float rating() const { return rating_; }
  QUrl soundtrack() const { return soundtrack_; }
  QUrl poster() const { return poster_; }
  QUrl backdrops() const { return backdrops_; }
  quint64 popularity() const { return popularity_; }
  float score() const { return score_; }

 protected:
  OXMediaFields() = default;
  ~OXMediaFields() = default;

  // "year", "runtime", "rating", "soundtrack", "poster" and "image" (the backdrops) of a hit's fields or an entry.
  void readMediaFields(const QVariantMap& from);
  // "title" through "score", in this order, as both records archive them.
  void encodeMediaFields(ox::Coder& coder) const;
  void decodeMediaFields(const ox::Decoder& coder);

  QString title_;
  quint64 year_ = 0;
  quint64 runtime_ = 0;
  QStringList genres_;
  float rating_ = 0;
  QUrl soundtrack_;
  QUrl poster_;
  QUrl backdrops_;
  quint64 popularity_ = 0;
  float score_ = 0;
};
