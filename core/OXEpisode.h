#pragma once
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "core/OXFileAndLinks.h"
#include "platform/foundation/KeyedArchiver.h"

// One identified episode. Fixed after construction but for its file reference and its stream links.
class OXEpisode final : public ox::Coding, public OXFileAndLinks {
 public:
  QString description() const;
  // From one cloud search hit; empty without "fields" or with an "id" shorter than 3 characters.
  static std::shared_ptr<OXEpisode> initWithDictionary(const QVariantMap& hit);
  // From one streamer plug-in entry; always a record. A magnet first link gives a path-less file record
  // titled with the link's display name.
  static std::shared_ptr<OXEpisode> initWithStreamerDictionary(const QVariantMap& entry);
  static std::shared_ptr<OXEpisode> initWithCoder(const ox::Decoder& coder);
  void encodeWithCoder(ox::Coder& coder) const override;
  QString archiveClassName() const override { return QStringLiteral("OXEpisode"); }

  quint64 episodeID() const { return episodeID_; }
  // The thumbnail address as the input gave it.
  QString imageThumb() const { return imageThumb_; }
  QString title() const { return title_; }
  quint64 showID() const { return showID_; }
  quint64 seasonNumber() const { return seasonNumber_; }
  quint64 episodeNumber() const { return episodeNumber_; }

 private:
  OXEpisode() = default;

  quint64 episodeID_ = 0;
  QString imageThumb_;
  QString title_;
  quint64 showID_ = 0;
  quint64 seasonNumber_ = 0;
  quint64 episodeNumber_ = 0;
};
