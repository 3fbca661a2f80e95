#include <gtest/gtest.h>

#include <QPainter>
#include <thread>

#include "helper/NSImage_iOSBehaviour.h"
#include "helper/OXMenubarController.h"
#include "platform/ui/Images.h"
#include "scanner/OXCoreLibrary.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/TestUtil.h"

using helpertest::FakeStatusItem;

namespace {

QImage named(const char* name) { return ox::imageNamed(QString::fromLatin1(name) + QStringLiteral("@2x.png")); }

// The scan engine posts from its threads.
void postFromAnotherThread(const QString& name) {
  std::thread([name] { ox::NotificationCenter::defaultCenter().post(name); }).join();
}

}  // namespace

TEST(StatusItem, ScanningBlinksWithOneTimerAndStopsOnTheNormalPair) {
  FakeStatusItem::install();
  OXMenubarController menubar;
  FakeStatusItem* item = FakeStatusItem::last();
  ASSERT_NE(item, nullptr);
  ASSERT_FALSE(named("status_off").isNull());
  EXPECT_EQ(menubar.statusItemView()->image(), named("status_off"));
  EXPECT_EQ(menubar.statusItemView()->alternateImage(), named("status_on"));
  EXPECT_EQ(item->length(), 24);

  postFromAnotherThread(OXCoreLibrary::kScanningState);
  ASSERT_TRUE(oxtest::spinUntil([&] { return menubar.timerIcon() != nullptr; }));
  const QTimer* timer = menubar.timerIcon();
  EXPECT_EQ(timer->interval(), 500);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(menubar.statusItemView()->image(), named("status_alt_off"));
  postFromAnotherThread(OXCoreLibrary::kScanningState);
  oxtest::spinFor(20);
  EXPECT_EQ(menubar.timerIcon(), timer);  // the second start leaves the one timer

  // Each tick swaps the pairs; highlighted, the "_on" images show.
  menubar.alternateImageIcon();
  EXPECT_EQ(menubar.statusItemView()->image(), named("status_off"));
  menubar.alternateImageIcon();
  EXPECT_EQ(menubar.statusItemView()->alternateImage(), named("status_alt_on"));
  menubar.setHasActiveIcon(true);
  EXPECT_EQ(item->images.back(), menubar.statusItemView()->drawRect());

  postFromAnotherThread(OXCoreLibrary::kStopScanningState);
  ASSERT_TRUE(oxtest::spinUntil([&] { return menubar.timerIcon() == nullptr; }));
  EXPECT_EQ(menubar.statusItemView()->image(), named("status_off"));
  EXPECT_EQ(menubar.statusItemView()->alternateImage(), named("status_on"));

  // A stop without a scan changes nothing.
  const size_t drawn = item->images.size();
  menubar.statusBarStopScanningState();
  EXPECT_EQ(item->images.size(), drawn);
  EXPECT_EQ(menubar.timerIcon(), nullptr);
}

TEST(StatusItem, ViewRedrawsOnChangesOnlyAndPressesReachTheAction) {
  FakeStatusItem::install(QRect(900, 0, 24, 22));
  StatusItemView view(ox::StatusItem::create(24));
  FakeStatusItem* item = FakeStatusItem::last();
  view.setImage(named("status_off"));
  view.setAlternateImage(named("status_on"));
  ASSERT_EQ(item->images.size(), 1u);  // the alternate image is not showing

  view.setImage(named("status_off"));
  view.setHighlighted(false);
  EXPECT_EQ(item->images.size(), 1u);
  view.setHighlighted(true);
  ASSERT_EQ(item->images.size(), 2u);
  view.setAlternateImage(named("status_alt_on"));
  EXPECT_EQ(item->images.size(), 3u);

  // Highlighted: a light plate behind the icon; plain: nothing behind it. The icon sits in the middle.
  const QImage lit = item->images.back();
  EXPECT_EQ(lit.size(), QSize(48, 44));
  EXPECT_GT(qAlpha(lit.pixel(2, 22)), 40);
  view.setHighlighted(false);
  EXPECT_EQ(qAlpha(item->images.back().pixel(2, 22)), 0);
  EXPECT_GT(qAlpha(item->images.back().pixel(24, 22)), 0);

  int presses = 0;
  view.setAction([&] { ++presses; });
  item->press();
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(view.globalRect(), QRectF(900, 0, 24, 22));
}

TEST(StatusItem, ThreePartImageStretchesTheMiddleBetweenTheCaps) {
  QImage source(30, 10, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&source);
  p.fillRect(0, 0, 5, 10, Qt::red);
  p.fillRect(5, 0, 20, 10, Qt::green);
  p.fillRect(25, 0, 5, 10, Qt::blue);
  p.end();

  const QImage wide = NSImage_iOSBehaviour::leftCapWidth(source, 5, 40, 5);
  ASSERT_EQ(wide.size(), QSize(50, 10));
  EXPECT_EQ(QColor(wide.pixel(2, 5)), QColor(Qt::red));
  EXPECT_EQ(QColor(wide.pixel(25, 5)), QColor(Qt::green));
  EXPECT_EQ(QColor(wide.pixel(47, 5)), QColor(Qt::blue));

  // No middle: the two caps side by side.
  const QImage caps = NSImage_iOSBehaviour::leftCapWidth(source, 5, 0, 5);
  ASSERT_EQ(caps.size(), QSize(10, 10));
  EXPECT_EQ(QColor(caps.pixel(4, 5)), QColor(Qt::red));
  EXPECT_EQ(QColor(caps.pixel(5, 5)), QColor(Qt::blue));
}
