#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>

#include "platform/system/LoginItem.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kBuild = QStringLiteral(OX_BINARY_DIR);
const QString kHelperName = QStringLiteral("Varnel.OmbrixHelper");

// Everything `cmake --install` puts under the prefix, but for peerflix, which only a build that has it carries.
const QStringList kTree = {
    "bin/ombrix",
    "bin/ombrix-helper",
    "share/applications/Varnel.Ombrix.desktop",
    "share/applications/Varnel.OmbrixHelper.desktop",
    "share/doc/ombrix/changelog.gz",
    "share/doc/ombrix/copyright",
    "share/icons/hicolor/128x128/apps/Varnel.Ombrix.png",
    "share/icons/hicolor/128x128/apps/Varnel.OmbrixHelper.png",
    "share/icons/hicolor/256x256/apps/Varnel.Ombrix.png",
    "share/icons/hicolor/256x256/apps/Varnel.OmbrixHelper.png",
    "share/icons/hicolor/48x48/apps/Varnel.Ombrix.png",
    "share/icons/hicolor/48x48/apps/Varnel.OmbrixHelper.png",
    "share/man/man1/ombrix-helper.1.gz",
    "share/man/man1/ombrix.1.gz",
};
const QString kPeerflix = QStringLiteral("share/ombrix/peerflix/");
// What Debian's checker is told of peerflix's modules, installed with them.
const QString kPeerflixOverrides = QStringLiteral("share/lintian/overrides/ombrix");

struct Outcome {
  int code = -1;
  QString out;
};

// Runs a program to its end; its exit code (-1 when it did not end by itself) and its output, both channels. A busy
// machine packs and strips a sanitized build's programs in minutes; a stuck program never ends.
Outcome run(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = oxtest::programEnvironment(), const QString& folder = {}) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setProcessEnvironment(env);
  if (!folder.isEmpty()) p.setWorkingDirectory(folder);
  p.start(program, args);
  Outcome r;
  if (!p.waitForFinished(600000)) {
    p.kill();  // our own child, stuck
    p.waitForFinished();
  } else if (p.exitStatus() == QProcess::NormalExit) {
    r.code = p.exitCode();
  }
  r.out = QString::fromLocal8Bit(p.readAll());
  return r;
}

// The files below `root`, relative to it, sorted.
QStringList filesBelow(const QString& root) {
  QStringList files;
  for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
    files << QDir(root).relativeFilePath(it.next());
  files.sort();
  return files;
}

// peerflix is installed when tools/peerflix.sh has put it in the build folder.
bool buildHasPeerflix() { return QFile::exists(kBuild + "/peerflix/node_modules/peerflix/app.js"); }

QStringList withoutPeerflix(QStringList files) {
  files.removeIf([](const QString& f) { return f.startsWith(kPeerflix) || f == kPeerflixOverrides; });
  return files;
}

// The keys of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString& path) {
  QFile file(path);
  QMap<QString, QString> keys;
  if (!file.open(QIODevice::ReadOnly)) return keys;
  for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
    if (const int eq = line.indexOf('='); eq > 0 && !line.startsWith('#')) keys.insert(line.left(eq), line.mid(eq + 1));
  return keys;
}

// The tree without peerflix, whose thousands of files only the test of the whole tree copies, stripped as the README
// installs it.
class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(prefix.isValid());
    ASSERT_EQ(install("Unspecified"), 0);
  }
  int install(const QString& component) {
    const Outcome r = run(QStringLiteral(OX_CMAKE_COMMAND), {"--install", kBuild, "--prefix", prefix.path(),
                                                              "--component", component, "--strip"});
    EXPECT_EQ(r.code, 0) << qPrintable(r.out);
    return r.code;
  }
  QString at(const QString& relative) const { return QDir(prefix.path()).filePath(relative); }

  QTemporaryDir prefix;
};

}  // namespace

TEST_F(Installed, BothProgramsTheirEntriesAndIconsAndNothingElseLandUnderThePrefix) {
  ASSERT_EQ(install("peerflix"), 0);
  const QStringList files = filesBelow(prefix.path());
  EXPECT_EQ(withoutPeerflix(files), kTree);
  EXPECT_EQ(buildHasPeerflix(), files.contains(kPeerflix + "node_modules/peerflix/app.js"));
  EXPECT_EQ(buildHasPeerflix(), files.contains(kPeerflixOverrides));
  for (const QString& file : kTree) {
    if (!file.endsWith(".png")) continue;
    const int side = file.section('/', 3, 3).section('x', 0, 0).toInt();
    EXPECT_EQ(QImageReader(at(file)).size(), QSize(side, side)) << qPrintable(file);
  }
  // An installed program must not look for its libraries in the build or source tree.
  for (const QString& program : QStringList{"bin/ombrix", "bin/ombrix-helper"}) {
    const Outcome elf = run("readelf", {"--dynamic", at(program)});
    ASSERT_EQ(elf.code, 0) << qPrintable(elf.out);
    EXPECT_FALSE(elf.out.contains(kBuild)) << qPrintable(elf.out);
    EXPECT_FALSE(elf.out.contains(QStringLiteral(OX_SOURCE_DIR))) << qPrintable(elf.out);
  }
}

// Nothing installed may name a folder of the machine that built it: programs find their resources compiled in or
// under their own prefix, and a package's files must not carry its builder's paths.
TEST_F(Installed, TheProgramsHoldNoPathOfTheBuildMachine) {
#ifdef __SANITIZE_ADDRESS__
  // Its undefined-behaviour checks keep every source path for their reports; such a build is never installed.
  GTEST_SKIP() << "a sanitized build names its sources";
#endif
  QStringList buildPaths = {kBuild, QStringLiteral(OX_SOURCE_DIR)};
  for (const QString& path : QStringList(buildPaths)) buildPaths << QFileInfo(path).canonicalFilePath();
  for (const QString& program : QStringList{"bin/ombrix", "bin/ombrix-helper"}) {
    // Texts in bytes, and in UTF-16 as QStringLiteral keeps them.
    for (const char* encoding : {"s", "l"}) {
      const Outcome strings = run("strings", {"-a", "-e", encoding, at(program)});
      ASSERT_EQ(strings.code, 0) << qPrintable(strings.out);
      ASSERT_GT(strings.out.size(), 1000);
      for (const QString& line : strings.out.split('\n'))
        for (const QString& path : buildPaths) EXPECT_FALSE(line.contains(path)) << qPrintable(program + ": " + line);
    }
  }
}

TEST_F(Installed, EachDesktopEntryIsValidAndNamesAnInstalledProgramAndIcon) {
  const QStringList entries = {at("share/applications/Varnel.Ombrix.desktop"),
                               at("share/applications/Varnel.OmbrixHelper.desktop")};
  const Outcome validate = run("desktop-file-validate", entries);
  EXPECT_EQ(validate.code, 0);
  EXPECT_EQ(validate.out, QString());  // warnings and hints too
  const QList<QStringList> expected = {{"Ombrix", "ombrix", "Varnel.Ombrix"},
                                       {"Ombrix Helper", "ombrix-helper", "Varnel.OmbrixHelper"}};
  for (int i = 0; i < entries.size(); ++i) {
    const QMap<QString, QString> entry = desktopEntry(entries[i]);
    EXPECT_EQ(entry.value("Name"), expected[i][0]);
    EXPECT_EQ(entry.value("Exec"), expected[i][1]);
    EXPECT_TRUE(QFileInfo(at("bin/" + entry.value("Exec"))).isExecutable());
    EXPECT_EQ(entry.value("Icon"), expected[i][2]);
    EXPECT_TRUE(QFile::exists(at("share/icons/hicolor/256x256/apps/" + entry.value("Icon") + ".png")));
    EXPECT_EQ(entry.value("Categories"), "AudioVideo;Video;Player;");
    EXPECT_FALSE(entry.value("Keywords").isEmpty());
    EXPECT_EQ(entry.value("Terminal"), "false");
  }
}

// Started as the menu starts it, in a fresh home on a bus of its own, Ombrix starts the helper from its own folder;
// the helper owns its name and makes itself a login item that starts the installed helper.
TEST_F(Installed, OmbrixStartsTheHelperBesideItWhoseLoginItemNamesTheInstalledHelper) {
  oxtest::PrivateBus bus;
  ASSERT_TRUE(bus.isRunning());
  QTemporaryDir home;
  QProcessEnvironment env = oxtest::programEnvironment();
  for (const char* name : {"OMBRIX_HELPER_PATH", "OMBRIX_MAIN_APP_PATH", "OMBRIX_RESOURCES_DIR",
                           "OMBRIX_PEERFLIX_SCRIPT", "OMBRIX_BUNDLE_IDENTIFIER", "OMBRIX_HELPER_BUNDLE_IDENTIFIER",
                           "OMBRIX_MAIN_APP_BUNDLE_IDENTIFIER"})
    env.remove(QString::fromLatin1(name));
  for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    QDir().mkpath(home.filePath(name));
    env.insert(name, home.filePath(name));
  }
  QFile screen(home.filePath("screen.json"));
  ASSERT_TRUE(screen.open(QIODevice::WriteOnly));
  screen.write(R"({"screens":[{"name":"Test","x":0,"y":0,"width":960,"height":540,"logicalDpi":96,)"
               R"("logicalBaseDpi":96,"dpr":1}]})");
  screen.close();
  const QString frame = home.filePath("home.png");
  env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName());
  env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
  env.insert("OMBRIX_KILLALL", "/nonexistent/killall");
  env.insert("OMBRIX_FRAME_PATH", frame);
  env.insert("OMBRIX_QUIT_AFTER_FRAME", "1");

  const Outcome ombrix = run(at("bin/ombrix"), {}, env, home.path());
  EXPECT_EQ(ombrix.code, 0) << qPrintable(ombrix.out);
  EXPECT_EQ(QImage(frame).size(), QSize(960, 540)) << qPrintable(ombrix.out);

  const bool started = oxtest::spinUntil([&] { return bus.hasOwner(kHelperName); }, 20000);
  uint helper = 0;
  if (started) {
    QDBusConnection watcher = QDBusConnection::connectToBus(bus.address(), "install-test-watcher");
    helper = watcher.interface()->servicePid(kHelperName).value();
    QDBusConnection::disconnectFromBus("install-test-watcher");
  }
  // The helper was started detached, so the test ends it, by its process id.
  const auto end = qScopeGuard([&] {
    if (helper == 0) return;
    ::kill(pid_t(helper), SIGTERM);
    if (!oxtest::spinUntil([&] { return !bus.hasOwner(kHelperName); }, 20000)) ::kill(pid_t(helper), SIGKILL);
  });
  ASSERT_TRUE(started);
  ASSERT_GT(helper, 0u);
  const QString item = home.filePath("XDG_CONFIG_HOME/autostart/Varnel.OmbrixHelper.desktop");
  EXPECT_TRUE(oxtest::spinUntil([&] { return QFile::exists(item); }, 20000));
  const QString installedHelper = QFileInfo(at("bin/ombrix-helper")).canonicalFilePath();
  EXPECT_EQ(desktopEntry(item).value("Exec"), ox::LoginItem::quoteExecArgument(installedHelper));
}

// The package made by cpack into a folder of its own, of the tree without peerflix (whose thousands of files only the
// tests that need them copy) unless `component` is ALL.
class DebianPackage : public ::testing::Test {
 protected:
  // `extra` adds cpack settings; answers the package's path, empty when none was made.
  QString make(const QStringList& extra = {}, const QString& component = QStringLiteral("Unspecified")) {
    EXPECT_TRUE(out.isValid());
    const QString projects = kBuild + ";Ombrix;" + component + ";/";
    const Outcome cpack = run(QStringLiteral(OX_CPACK_COMMAND),
                              QStringList{"--config", kBuild + "/CPackConfig.cmake", "-G", "DEB", "-B", out.path(),
                                          "-D", "CPACK_INSTALL_CMAKE_PROJECTS=" + projects} +
                                  extra);
    EXPECT_EQ(cpack.code, 0) << qPrintable(cpack.out);
    const QStringList debs = QDir(out.path()).entryList({"ombrix_*.deb"}, QDir::Files);
    EXPECT_EQ(debs.size(), 1) << qPrintable(cpack.out);
    return debs.size() == 1 ? QDir(out.path()).filePath(debs.first()) : QString();
  }
  static QString field(const QString& deb, const QString& name) {
    const Outcome r = run("dpkg-deb", {"--field", deb, name});
    EXPECT_EQ(r.code, 0) << qPrintable(r.out);
    return r.out.trimmed();
  }
  static bool lists(const QString& relations, const QString& package) {
    return relations.contains(QRegularExpression("(^|, )" + package + "( |,|$)"));
  }

  QTemporaryDir out;
};

TEST_F(DebianPackage, HoldsTheInstalledTreeDependsOnTheLibrariesAndRecommendsNodeAndAvahi) {
  const QString deb = make();
  ASSERT_FALSE(deb.isEmpty());
  const Outcome contents = run("dpkg-deb", {"--contents", deb});
  ASSERT_EQ(contents.code, 0) << qPrintable(contents.out);
  QStringList files;
  // Each line: mode, owner, size, date, time, path (and " -> target" for a link).
  for (const QString& line : contents.out.split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
    if (fields.size() > 5 && !line.startsWith('d'))
      files << QString(fields[5]).remove(QRegularExpression("^\\./usr/"));
  }
  files.sort();
  EXPECT_EQ(files, kTree);

  const QString depends = field(deb, "Depends");
  for (const QString& package :
       QStringList{"libvlc5", "vlc-plugin-base", "libqt6core6", "libqt6gui6", "libqt6widgets6", "ca-certificates",
                   "default-dbus-session-bus \\| dbus-session-bus"})
    EXPECT_TRUE(lists(depends, package)) << qPrintable(package) << " in " << qPrintable(depends);
  // node only runs peerflix, which this package does not carry.
  EXPECT_FALSE(lists(depends, "nodejs")) << qPrintable(depends);
  const QString recommends = field(deb, "Recommends");
  EXPECT_TRUE(lists(recommends, "nodejs")) << qPrintable(recommends);
  EXPECT_TRUE(lists(recommends, "avahi-daemon")) << qPrintable(recommends);

  // The changelog's latest entry is this version's.
  const Outcome changelog =
      run("sh", {"-c", "dpkg-deb --fsys-tarfile \"$0\" | tar -xO ./usr/share/doc/ombrix/changelog.gz | gzip -dc",
                 deb});
  EXPECT_EQ(changelog.code, 0) << qPrintable(changelog.out);
  EXPECT_TRUE(changelog.out.startsWith("ombrix (" + field(deb, "Version") + ") ")) << qPrintable(changelog.out);
}

TEST_F(DebianPackage, CarryingPeerflixItDependsOnNode) {
  QTemporaryDir peerflix;
  ASSERT_TRUE(QDir().mkpath(peerflix.filePath("node_modules/peerflix")));
  QFile app(peerflix.filePath("node_modules/peerflix/app.js"));
  ASSERT_TRUE(app.open(QIODevice::WriteOnly));
  app.close();
  const QString deb = make({"-D", "CPACK_INSTALLED_DIRECTORIES=" + peerflix.path() + ";usr/share/ombrix/peerflix"});
  ASSERT_FALSE(deb.isEmpty());
  const Outcome contents = run("dpkg-deb", {"--contents", deb});
  ASSERT_TRUE(contents.out.contains("./usr/share/ombrix/peerflix/node_modules/peerflix/app.js"))
      << qPrintable(contents.out);
  EXPECT_TRUE(lists(field(deb, "Depends"), "nodejs"));
  EXPECT_FALSE(lists(field(deb, "Recommends"), "nodejs"));
}

// Debian's own checker, as strict as it goes: no error and no warning, and of its notes none of those that Debian's own
// packages avoid: unhardened programs (where this build hardens them: not in a sanitizer or unoptimised build),
// compiler notes left in them, a menu entry without keywords, an empty folder, or an override that silences nothing.
namespace {
void expectLintianClean(const QString& deb) {
  const Outcome lintian = run("lintian", {"--pedantic", "-I", "-E", "--fail-on", "error,warning", deb});
  EXPECT_EQ(lintian.code, 0) << qPrintable(lintian.out);
  QStringList unwanted = {"^[EW]: ", "binary-has-unneeded-section", "desktop-entry-lacks-keywords-entry",
                          "package-contains-empty-directory", "unused-override"};
#ifdef _FORTIFY_SOURCE
  unwanted << "hardening-no-";
#endif
  for (const QString& tag : unwanted)
    EXPECT_FALSE(lintian.out.contains(QRegularExpression(tag, QRegularExpression::MultilineOption)))
        << qPrintable(tag) << " in " << qPrintable(lintian.out);
}
}  // namespace

TEST_F(DebianPackage, LintianFindsNoErrorOrWarningAndTheProgramsAreHardenedAndStripped) {
  if (QStandardPaths::findExecutable("lintian").isEmpty()) GTEST_SKIP() << "lintian is not installed";
  const QString deb = make();
  ASSERT_FALSE(deb.isEmpty());
  expectLintianClean(deb);
}

// The package carrying the peerflix that tools/peerflix.sh fetched: as clean, and peerflix still starts from it with
// its modules' tests and examples left out.
TEST_F(DebianPackage, CarryingTheFetchedPeerflixLintianFindsNoErrorOrWarningAndPeerflixStarts) {
  if (QStandardPaths::findExecutable("lintian").isEmpty()) GTEST_SKIP() << "lintian is not installed";
  if (!buildHasPeerflix()) GTEST_SKIP() << "the build folder holds no peerflix: run tools/peerflix.sh to check it";
  const QString deb = make({}, QStringLiteral("ALL"));
  ASSERT_FALSE(deb.isEmpty());
  expectLintianClean(deb);

  QTemporaryDir root;
  const Outcome unpack = run("dpkg-deb", {"--extract", deb, root.path()});
  ASSERT_EQ(unpack.code, 0) << qPrintable(unpack.out);
  // --version loads every module the program requires before it answers.
  const Outcome peerflix =
      run("node", {root.filePath("usr/share/ombrix/peerflix/node_modules/peerflix/app.js"), "--version"});
  EXPECT_EQ(peerflix.code, 0) << qPrintable(peerflix.out);
  EXPECT_EQ(peerflix.out.trimmed(), "0.39.0");
}
