#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#ifdef OX_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include "tests/support/TestTempFolder.h"

#if defined(__SANITIZE_THREAD__)
#define OX_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OX_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OX_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OX_TEST_ASAN 1
#endif
#endif
#if defined(OX_TEST_ASAN) || defined(OX_TEST_TSAN)
#include <dlfcn.h>
#endif
#ifdef OX_TEST_TSAN
#include <sched.h>

#include <cstdarg>

// Qt is not instrumented: its thread pool and event queues move data under futex-based locks that ThreadSanitizer
// cannot see, so memory touched inside Qt's own code would be reported as racing. Races in our code still are.
// QProcess spawns with a vfork-style clone, after which the sanitizer takes the process for a forked child of many
// threads and would refuse new threads; the stand-in helper spawns from a throw-away thread for that reason.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1 die_after_fork=0"; }

// The sanitizer's clone interceptor does a fork's bookkeeping in the child, and a vfork-style child shares the
// parent's memory: its reset of the thread registry lands in the parent, whose later threads then start on broken
// records (a failed check or a crash at thread creation, tests apart). Such a child only runs to its exec, so it goes
// straight to the C library's clone; every other clone still passes through the sanitizer.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
  va_list rest;
  va_start(rest, arg);
  pid_t* const parentTid = va_arg(rest, pid_t*);
  void* const tls = va_arg(rest, void*);
  pid_t* const childTid = va_arg(rest, pid_t*);
  va_end(rest);
  using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
  static const Clone sanitized = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
  static const Clone plain = reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD), "clone"));
  const bool sharesMemory = (flags & CLONE_VM) && (flags & CLONE_VFORK);
  return (sharesMemory && plain ? plain : sanitized)(fn, stack, flags, arg, parentTid, tls, childTid);
}
#endif

// Every test executable owns the Qt application of the process, so that main-queue work and timers run
// whenever a test spins the event loop. Tests are headless whatever the caller's environment says.
// Online services: a test never reaches a real host. Until a test starts the local stand-ins (tests/support/StandIn.h),
// every service address points at a closed loopback port, whatever the caller's environment says. A helper under
// test serves its library on a free port and finds no system bus to announce it on the network through.
// The suite runs test processes side by side: each keeps its user defaults (and the rest of its configuration) in a
// folder of its own, so one test's defaults never reach another's; the programs a test starts inherit that folder.
// A test process and the programs it starts make their temporary files in a folder of its own, made before any other
// static object of the process and removed after the last one, so nothing they leave outlives the process.
static oxtest::TestTempFolder processTemporaryFolder __attribute__((init_priority(101)));

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config(QDir::tempPath() + QStringLiteral("/config-XXXXXX"));
  if (config.isValid()) qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  for (const char* name : {"OMBRIX_SEARCH_URL", "OMBRIX_MOVIE_SEARCH_URL", "OMBRIX_QUEUE_URL", "OMBRIX_TVDB_URL",
                           "OMBRIX_API_URL", "OMBRIX_API_STAGING_URL", "OMBRIX_OPENSUBTITLES_URL", "OMBRIX_BUCKET_URL",
                           "OMBRIX_SCRAPE_URL", "OMBRIX_WEBSITE_URL", "OMBRIX_FEED_URL", "OMBRIX_VIDEO_SITE_URL"})
    qputenv(name, "http://127.0.0.1:9");
  qputenv("OMBRIX_HELPER_PORT", "0");
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ombrix-tests-have-no-system-bus");
#ifdef OX_TEST_ASAN
  // libpixman, under libvlc's decoders, keeps the tables its load-time set-up allocates until it is unloaded. Releasing
  // libvlc unloads it, and the leak check at exit would then report those tables, with no frame to suppress them by
  // (the library is gone, and the fast unwinder stops inside it): it stays loaded for the process's life instead.
  dlopen("libpixman-1.so.0", RTLD_LAZY | RTLD_NODELETE);
#endif
  ::testing::InitGoogleTest(&argc, argv);
#ifdef OX_TEST_GUI
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  return RUN_ALL_TESTS();
}
