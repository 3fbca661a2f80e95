#pragma once
#include <QImage>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <memory>

// Ombrix's private cache under Application Support ("<Application Support>/<bundle name>/<folder name>"): the
// subtitle cache that playback fills and clears, image and list caches, and the rewriting of image URLs from their
// "/original/" size to "/w500/", "/w780/" or "/w1920/".
//
// An instance made by plain construction has no cache root: only the three size rewritings mean anything on it,
// and the path operations answer empty (nothing is created or deleted). Names that come from the network
// (subtitle names, image names) must stay inside their folder: a name that is empty, ".", "..", or holds "/" or NUL
// is refused with an empty path.
class OXApplicationSupport {
 public:
  OXApplicationSupport() = default;
  // Empty when the root cannot be made: no bundle name, an unfit folder name, or a folder that cannot be created.
  static std::unique_ptr<OXApplicationSupport> initWithFolderName(const QString& folderName);

  QString folderBaseName() const { return folderBaseName_; }
  QString pathWithFilename(const QString& filename) const;
  // Creates the sub-folder when missing and answers the file's path in it (the file itself is not created).
  QString createAndGetPathWithFilename(const QString& filename, const QString& subFolder) const;
  // JPEG at full quality; YES only when the file was written.
  static bool saveImageAsJpeg(const QImage& image, const QString& path);

  void saveTopMovieCache(const QVariantList& list) const;
  QVariantList getTopMovieTodayCache() const;  // empty when there is none for today
  void saveMoviePoster500(const QImage& image, const QUrl& url) const;
  QImage moviePoster500ForURL(const QUrl& url) const;
  void saveMoviePoster780(const QImage& image, const QUrl& url) const;
  QImage moviePoster780ForURL(const QUrl& url) const;
  void saveBackdropImage(const QImage& image, const QUrl& url) const;
  QImage movieBackdropImageForURL(const QUrl& url) const;
  void saveLibrary(const QVariantList& list) const;
  QVariantList loadLibrary() const;  // empty when missing or unreadable

  // The URL's text with every "/original/" (any case) replaced; empty for an empty URL.
  static QString get500ModeFromURL(const QUrl& url);
  static QString get780ModeFromURL(const QUrl& url);
  // TheTVDB's own images keep their size.
  static QString get1920ModeFromURL(const QUrl& url);

  // Deletes the "Subtitles" folder with everything in it; errors are ignored.
  void cleanSubtitleFolder() const;
  bool existFileForLanguage(const QString& name) const;
  QString pathForSubtitleLanguageName(const QString& name) const;
  QString pathForSubtitleLanguageNameZIP(const QString& name) const;
  // Creates nothing.
  QString pathForSubtitleLanguageName(const QString& name, const QString& srtFile) const;

  // A single path component that cannot leave its folder.
  static bool isSafeName(const QString& name);
  // A name from the network made into one that passes isSafeName: separators ("/" and "\\"), NUL and other control
  // characters become "_", and an empty name, "." or ".." becomes "_" as well.
  static QString safeName(const QString& name);
  // The name under which the image, preview and list caches keep the file of an address: the last component of its
  // encoded path, as it is written there (percent escapes kept); empty when it is empty or, decoded, not a safe name
  // (a backslash counts as a separator too).
  static QString cacheFileNameForURL(const QUrl& url);

 private:
  QString subtitleFolder() const;  // created when missing; empty without a root
  void saveImage(const QImage& image, const QUrl& url, const QString& subFolder) const;
  QImage imageForURL(const QString& rewritten, const QString& subFolder) const;
  QString topMovieCachePath() const;

  QString folderBaseName_;
};
