#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <memory>

struct libvlc_media_t;

namespace ox {

// One playable item: a URL (also a local HTTP stream address) or a file path, with its input options.
class VLCMedia {
 public:
  // Empty result for an empty or invalid URL, an empty path, or when libvlc is unavailable.
  static std::shared_ptr<VLCMedia> mediaWithURL(const QUrl& url);
  static std::shared_ptr<VLCMedia> mediaWithPath(const QString& path);
  ~VLCMedia();
  VLCMedia(const VLCMedia&) = delete;
  VLCMedia& operator=(const VLCMedia&) = delete;

  // Each entry becomes one option string: the key alone when its value is null, otherwise "key=value". A leading
  // "--" (the command-line form) reaches libvlc as ":", the form it reads for a media.
  void addOptions(const QVariantMap& options);
  // The option strings added so far, in order, as given.
  QStringList options() const { return options_; }
  // The URL the media plays (a file URL for a path).
  QUrl url() const { return url_; }

  // nullptr once libvlc is released at the program's end.
  libvlc_media_t* handle() const { return media_; }

 private:
  VLCMedia(libvlc_media_t* media, QUrl url);
  libvlc_media_t* media_;
  int holder_ = 0;
  QUrl url_;
  QStringList options_;
};

}  // namespace ox
