#include "platform/media/VLCMedia.h"

#include <vlc/vlc.h>

#include <QFileInfo>

#include "platform/foundation/FileName.h"
#include "platform/media/VLCLibrary.h"

namespace ox {

std::shared_ptr<VLCMedia> VLCMedia::mediaWithURL(const QUrl& url) {
  if (url.isEmpty() || !url.isValid() || url.scheme().isEmpty()) return {};
  libvlc_instance_t* vlc = VLCLibrary::sharedInstance();
  if (!vlc) return {};
  libvlc_media_t* m = url.isLocalFile() ? libvlc_media_new_path(vlc, QFile::encodeName(url.toLocalFile()).constData())
                                        : libvlc_media_new_location(vlc, url.toEncoded().constData());
  if (!m) return {};
  return std::shared_ptr<VLCMedia>(new VLCMedia(m, url));
}

std::shared_ptr<VLCMedia> VLCMedia::mediaWithPath(const QString& path) {
  if (path.isEmpty()) return {};
  libvlc_instance_t* vlc = VLCLibrary::sharedInstance();
  if (!vlc) return {};
  libvlc_media_t* m = libvlc_media_new_path(vlc, encodeFileName(path).constData());
  if (!m) return {};
  return std::shared_ptr<VLCMedia>(new VLCMedia(m, QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())));
}

VLCMedia::VLCMedia(libvlc_media_t* media, QUrl url) : media_(media), url_(std::move(url)) {
  holder_ = VLCLibrary::addHolder([this] {
    libvlc_media_release(media_);
    media_ = nullptr;
  });
}

VLCMedia::~VLCMedia() {
  VLCLibrary::removeHolder(holder_);
  if (media_) libvlc_media_release(media_);
}

void VLCMedia::addOptions(const QVariantMap& options) {
  for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
    const QVariant& v = it.value();
    const QString option = (v.isNull() || !v.isValid()) ? it.key() : it.key() + QLatin1Char('=') + v.toString();
    options_ << option;
    // libvlc reads a media option as "name" or ":name" and silently drops the command-line form "--name".
    QString forVlc = option;
    if (forVlc.startsWith(QLatin1String("--"))) forVlc.replace(0, 2, QLatin1Char(':'));
    if (media_) libvlc_media_add_option(media_, forVlc.toUtf8().constData());
  }
}

}  // namespace ox
