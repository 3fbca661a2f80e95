#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "platform/foundation/PropertyList.h"
#include "tests/support/TestUtil.h"

// The update marker is such a file: {"date": <when the helper wrote it>}.
TEST(PropertyList, DatesRoundTripAndAnIndependentReaderReadsThem) {
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(1714599667250, Qt::UTC);
  const QByteArray bytes = ox::propertyListData(QVariantMap{{"date", when}, {"name", "update"}});
  ASSERT_FALSE(bytes.isEmpty());
  const QVariantMap back = ox::propertyListValue(bytes).toMap();
  EXPECT_EQ(back.value("date").toDateTime(), when);
  EXPECT_EQ(back.value("name").toString(), "update");

  QTemporaryDir dir;
  QFile file(dir.filePath("update.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();
  QByteArray out;
  const QString script = dir.filePath("read.py");
  QFile py(script);
  ASSERT_TRUE(py.open(QIODevice::WriteOnly));
  py.write("import plistlib, sys, datetime\n"
           "d = plistlib.load(open(sys.argv[1], 'rb'))['date']\n"
           "print(int(d.replace(tzinfo=datetime.timezone.utc).timestamp() * 1000))\n");
  py.close();
  ASSERT_EQ(oxtest::runPython(script, {file.fileName()}, &out), 0);
  EXPECT_EQ(out.trimmed().toLongLong(), when.toMSecsSinceEpoch());
}
