#pragma once
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "core/OXFileAndLinks.h"
#include "core/OXMediaFields.h"
#include "platform/foundation/KeyedArchiver.h"

// One identified movie. Fixed after construction but for its file reference and its stream links.
class OXMovie final : public ox::Coding, public OXMediaFields, public OXFileAndLinks {
 public:
  QString description() const;
  // From one streamer plug-in entry; always a record.
  static std::shared_ptr<OXMovie> initWithStreamerDictionary(const QVariantMap& entry);
  // From one cloud search hit {"id", "fields"}; empty without "fields".
  static std::shared_ptr<OXMovie> initWithDictionary(const QVariantMap& hit);
  static std::shared_ptr<OXMovie> initWithCoder(const ox::Decoder& coder);
  void encodeWithCoder(ox::Coder& coder) const override;
  QString archiveClassName() const override { return QStringLiteral("OXMovie"); }

  QString imdb() const { return imdb_; }
  QStringList trailers() const { return trailers_; }

 private:
  OXMovie() = default;

  QString imdb_;
  QStringList trailers_;
};
