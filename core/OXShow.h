#pragma once
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"

// One identified TV show; fixed after construction. A show has no file and no links.
class OXShow final : public ox::Coding {
 public:
  QString description() const;
  // From one cloud search hit; empty without "fields" or with an "id" shorter than 3 characters.
  static std::shared_ptr<OXShow> initWithDictionary(const QVariantMap& hit);
  // From one streamer plug-in entry; empty when its "id" is 0 or absent.
  static std::shared_ptr<OXShow> initWithStreamerDictionary(const QVariantMap& entry);
  static std::shared_ptr<OXShow> initWithCoder(const ox::Decoder& coder);
  void encodeWithCoder(ox::Coder& coder) const override;
  QString archiveClassName() const override { return QStringLiteral("OXShow"); }

  quint64 showID() const { return showID_; }
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

 private:
  OXShow() = default;
  void readMediaFields(const QVariantMap& from);

  quint64 showID_ = 0;
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
