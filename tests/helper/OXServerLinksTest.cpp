#include "helper/OXServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/FileName.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/helper/ServerFixture.h"

using servertest::ServedLibrary;

namespace {

// Somebody else: the owner a link planted in a shared folder has.
const uid_t kOther = ::geteuid() == 65534 ? 65533 : 65534;

QByteArray bytesOf(const QString& path) { return ox::encodeFileName(path); }

bool makeLink(const QString& target, const QString& path) {
  return ::symlink(bytesOf(target).constData(), bytesOf(path).constData()) == 0;
}

// A second folder, as another drive holding the films and the owner's private files.
struct Elsewhere {
  QTemporaryDir dir;
  QByteArray film;
  Elsewhere() {
    film.resize(1 << 20);
    QRandomGenerator(37).fillRange(reinterpret_cast<quint32*>(film.data()), film.size() / 4);
    libtest::writeFile(path("film.mkv"), film);
    libtest::writeFile(path("secret.txt"), "private key");
  }
  QString path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace

TEST(OXServerLinks, AFilmBehindTheOwnersLinkToAnotherDriveIsServedByteForByte) {
  ServedLibrary served;
  Elsewhere drive;
  ASSERT_TRUE(makeLink(drive.path("film.mkv"), served.path("linked.mkv")));
  ASSERT_TRUE(makeLink(drive.dir.path(), served.path("Drive")));
  ASSERT_TRUE(makeLink(QStringLiteral("linked.mkv"), served.path("chained.mkv")));  // relative, through a second link
  served.library->addContent(libtest::movie("tt0000011", served.path("linked.mkv")));
  served.library->addContent(libtest::movie("tt0000012", served.path("Drive/film.mkv")));
  served.library->addContent(libtest::movie("tt0000013", served.path("chained.mkv")));
  for (const char* imdb : {"tt0000011", "tt0000012", "tt0000013"}) {
    SCOPED_TRACE(imdb);
    const ox::HttpResponse whole = served.get(QStringLiteral("/movies/") + QLatin1String(imdb));
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.header("Content-Type"), "video/x-matroska");
    EXPECT_TRUE(whole.body == drive.film);
    const ox::HttpResponse part = served.get(QStringLiteral("/movies/") + QLatin1String(imdb), "bytes=1000-70999");
    EXPECT_EQ(part.status, 206);
    EXPECT_TRUE(part.body == drive.film.mid(1000, 70000));
  }
}

TEST(OXServerLinks, OnlyRegularFilesAreServedAndAPipeHoldsNoThread) {
  ServedLibrary served;
  Elsewhere drive;
  ASSERT_TRUE(makeLink(drive.dir.path(), served.path("folder.mkv")));
  ASSERT_TRUE(makeLink(QStringLiteral("/dev/zero"), served.path("zero.mkv")));
  ASSERT_TRUE(makeLink(QStringLiteral("loop.mkv"), served.path("loop.mkv")));
  const QByteArray pipe = bytesOf(served.path("pipe.mkv"));
  ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
  const char* const names[] = {"folder.mkv", "zero.mkv", "loop.mkv", "pipe.mkv"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(names[i]);
    const QString imdb = QStringLiteral("tt000002%1").arg(i);
    served.library->addContent(libtest::movie(imdb, served.path(names[i])));
    ox::HttpRequest request;
    request.url = served.url("/movies/" + imdb);
    request.totalTimeoutMs = 5000;
    request.maxBytes = 1 << 20;
    EXPECT_EQ(servertest::perform(request).status, 404);
  }
  // A server thread stuck opening the pipe would otherwise hold the server's end for ever.
  if (const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK); writer >= 0) ::close(writer);
}

TEST(OXServerLinks, ALinkWhoseOwnerDoesNotOwnWhatItLeadsToIsAnsweredAsAMissingFile) {
  ServedLibrary served;
  Elsewhere drive;
  // Planted by somebody who may write into the shared folder: a file, a folder and a hop in a chain of links.
  ASSERT_TRUE(makeLink(drive.path("secret.txt"), served.path("Salt & Pepper 2011.mkv")));
  ASSERT_TRUE(makeLink(drive.dir.path(), served.path("Planted")));
  ASSERT_TRUE(makeLink(drive.path("secret.txt"), served.path("hop.mkv")));
  ASSERT_TRUE(makeLink(QStringLiteral("hop.mkv"), served.path("own.mkv")));  // the owner's link onto the planted one
  for (const char* planted : {"Salt & Pepper 2011.mkv", "Planted", "hop.mkv"})
    if (::lchown(bytesOf(served.path(planted)).constData(), kOther, kOther) != 0)
      GTEST_SKIP() << "uid " << ::geteuid() << " cannot give a link to another owner";
  served.library->addContent(libtest::movie("tt0000031", served.path("Salt & Pepper 2011.mkv")));
  served.library->addContent(libtest::movie("tt0000032", served.path("Planted/secret.txt")));
  served.library->addContent(libtest::movie("tt0000033", served.path("own.mkv")));
  for (const char* imdb : {"tt0000031", "tt0000032", "tt0000033"}) {
    SCOPED_TRACE(imdb);
    for (const QByteArray& range : {QByteArray(), QByteArray("bytes=0-3")}) {
      const ox::HttpResponse r = served.get(QStringLiteral("/movies/") + QLatin1String(imdb), range);
      EXPECT_EQ(r.status, 404);
      EXPECT_FALSE(r.body.contains("private"));
    }
  }

  // A film that belongs to somebody else is no more the owner's to send through their own link.
  ASSERT_TRUE(makeLink(drive.path("film.mkv"), served.path("theirs.mkv")));
  ASSERT_EQ(::chown(bytesOf(drive.path("film.mkv")).constData(), kOther, kOther), 0);
  served.library->addContent(libtest::movie("tt0000034", served.path("theirs.mkv")));
  EXPECT_EQ(served.get("/movies/tt0000034").status, 404);
  // Their own link to their own film is theirs to share.
  ASSERT_EQ(::lchown(bytesOf(served.path("theirs.mkv")).constData(), kOther, kOther), 0);
  const ox::HttpResponse shared = served.get("/movies/tt0000034");
  EXPECT_EQ(shared.status, 200);
  EXPECT_TRUE(shared.body == drive.film);
}
