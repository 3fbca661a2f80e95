// Every input kept for a fuzz target, its seed corpus and the crashes its fuzzer found (once mended), replayed
// through the target's entry in the ordinary build: a reader that breaks on one of them fails here on every change.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <string_view>

#include "tests/fuzz/FuzzEntry.h"

#define OX_FUZZ_TARGETS(X) \
  X(api_answer)            \
  X(binary_plist)          \
  X(file_title)            \
  X(library_store)         \
  X(picture)               \
  X(search_answer)         \
  X(server_request)        \
  X(soundtrack)            \
  X(subtitle_zip)          \
  X(tvdb_xml)              \
  X(unarchiver)            \
  X(xmlrpc_answer)

#define OX_FUZZ_DECLARE(name) extern "C" int oxfuzz_##name(const uint8_t* data, size_t size);
OX_FUZZ_TARGETS(OX_FUZZ_DECLARE)

namespace {

// The target's seeds and kept crashes, each through its entry; a target has seeds of its own.
void replay(const char* name, int (*entry)(const uint8_t*, size_t)) {
  int seeds = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    QDirIterator it(QStringLiteral(OX_SOURCE_DIR "/tests/fuzz/%1/%2").arg(QLatin1String(kind), QLatin1String(name)),
                    QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
      QFile file(it.next());
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
      const QByteArray bytes = file.readAll();
      SCOPED_TRACE(file.fileName().toStdString());
      EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), 0);
      seeds += std::string_view(kind) == "corpus";
    }
  }
  EXPECT_GE(seeds, 3) << "the seed corpus of " << name;
}

}  // namespace

#define OX_FUZZ_TEST(name) \
  TEST(FuzzCorpus, name) { replay(#name, oxfuzz_##name); }
OX_FUZZ_TARGETS(OX_FUZZ_TEST)
