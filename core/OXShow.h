#pragma once
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "core/OXMediaFields.h"
#include "platform/foundation/KeyedArchiver.h"

// One identified TV show; fixed after construction. A show has no file and no links.
class OXShow final : public ox::Coding, public OXMediaFields {
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

 private:
  OXShow() = default;

  quint64 showID_ = 0;
};
