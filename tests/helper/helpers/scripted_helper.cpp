// Ombrix Helper as the program runs it (its own main), with a person who acts once it has launched, as the
// environment variable OX_TEST_USER says:
//   "login"  types an e-mail and a password into the account form and presses Return;
//   "search" picks an unrecognised film: the panel hands it to the manual search page, which searches at once;
//   "logout" presses the status item (a stand-in for the desktop's tray icon) as soon as it is there, then Log Out.
// Several actions, separated by blanks, follow each other; a log-out after a login waits for its answer (the list).
// It prints "user: <action>" as each is done. The process tests then stall the service and ask the helper to quit.
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>

#include "core/OXFile.h"
#include "helper/OXHelperApplication.h"
#include "helper/OXSearchListViewController.h"
#include "platform/ui/StatusItem.h"

namespace {

QWidget* widgetNamed(const QString& name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == name) return w;
  return nullptr;
}

bool login() {
  QWidget* form = widgetNamed(QStringLiteral("OXSignUpLoginController"));
  if (!form || !form->isVisible()) return false;
  const QList<QLineEdit*> fields = form->findChildren<QLineEdit*>();
  if (fields.size() < 2 || !fields[0]->isEnabled()) return false;
  QTest::keyClicks(fields[0], QStringLiteral("quitter@ombrix.example"));
  QTest::keyClicks(fields[1], QStringLiteral("secret"));
  QTest::keyClick(fields[1], Qt::Key_Return);
  return true;
}

bool search() {
  QWidget* page = widgetNamed(QStringLiteral("OXSearchListViewController"));
  if (!page) return false;
  for (auto* view : page->findChildren<QAbstractItemView*>()) {
    if (auto* controller = qobject_cast<OXSearchListViewController*>(view->model())) {
      auto file = OXFile::initWithType(OXFile::kTypeMovie);
      file->setFilePath(QStringLiteral("/srv/videos/Unheard Of Film 1999.mkv"));
      controller->setContent(file);
      return true;
    }
  }
  return false;
}

// The tray's stand-in: the desktop delivers a press to the item only while the program's event loop runs.
class TrayItem : public ox::StatusItem {
 public:
  explicit TrayItem(double length) : StatusItem(length) { shown() = this; }
  ~TrayItem() override { shown() = nullptr; }
  void setImage(const QImage&) override {}
  QRect geometry() const override { return {}; }
  void press() { pressed(); }
  static TrayItem*& shown() {
    static TrayItem* item = nullptr;
    return item;
  }
};

bool logOut(bool afterLogin) {
  QWidget* list = widgetNamed(QStringLiteral("OXPanelListController"));
  if (!TrayItem::shown() || !list || (afterLogin && !list->isVisible())) return false;
  TrayItem::shown()->press();
  for (auto* button : list->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("Log Out")) {
      button->click();
      return true;
    }
  return false;
}

bool perform(const QString& action, const QString& before) {
  if (action == QStringLiteral("login")) return login();
  if (action == QStringLiteral("search")) return search();
  return action == QStringLiteral("logout") && logOut(before == QStringLiteral("login"));
}

void act() {
  const QStringList actions = qEnvironmentVariable("OX_TEST_USER").split(u' ', Qt::SkipEmptyParts);
  if (actions.contains(QStringLiteral("logout")))
    ox::StatusItem::setFactory([](double length) { return std::make_unique<TrayItem>(length); });
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, actions, done = qsizetype(0)]() mutable {
    if (!perform(actions.value(done), actions.value(done - 1))) return;
    std::printf("user: %s\n", qPrintable(actions.value(done)));
    std::fflush(stdout);
    if (++done == actions.size()) timer->deleteLater();
  });
  timer->start(100);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(act)

int main(int argc, char** argv) { return OXHelperApplication::main(argc, argv); }
