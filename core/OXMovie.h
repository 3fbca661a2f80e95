#pragma once
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <memory>
#include <mutex>

#include "core/OXFile.h"
#include "platform/foundation/KeyedArchiver.h"

// One identified movie. Fixed after construction but for its file reference and its stream links.
class OXMovie final : public ox::Coding {
 public:
  QString description() const;
  // From one streamer plug-in entry; always a record.
  static std::shared_ptr<OXMovie> initWithStreamerDictionary(const QVariantMap& entry);
  // From one cloud search hit {"id", "fields"}; empty without "fields".
  static std::shared_ptr<OXMovie> initWithDictionary(const QVariantMap& hit);
  // Appends each link not yet held, once, in the given order.
  void addLinks(const QStringList& links);
  static std::shared_ptr<OXMovie> initWithCoder(const ox::Decoder& coder);
  void encodeWithCoder(ox::Coder& coder) const override;
  QString archiveClassName() const override { return QStringLiteral("OXMovie"); }

  QString imdb() const { return imdb_; }
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
  std::shared_ptr<OXFile> file() const;
  void setFile(std::shared_ptr<OXFile> file);
  QStringList links() const;
  QStringList trailers() const { return trailers_; }

 private:
  OXMovie() = default;

  QString imdb_;
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
  QStringList trailers_;
  // The file reference and the links change after construction; they are read and replaced atomically.
  mutable std::mutex mutex_;
  std::shared_ptr<OXFile> file_;
  QStringList links_;
};
