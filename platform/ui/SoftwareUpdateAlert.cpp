#include "platform/ui/SoftwareUpdateAlert.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>

#include "platform/foundation/Info.h"
#include "platform/system/Workspace.h"

namespace ox {

namespace {

QPointer<QMessageBox>& alert() {
  static QPointer<QMessageBox> shown;
  return shown;
}

QString text(const char* english) { return QCoreApplication::translate("SoftwareUpdateAlert", english); }

}  // namespace

void SoftwareUpdateAlert::checkForUpdates() { SoftwareUpdater::shared().checkForUpdates(&SoftwareUpdateAlert::show); }

QMessageBox* SoftwareUpdateAlert::current() { return alert().data(); }

void SoftwareUpdateAlert::show(const SoftwareUpdater::CheckResult& result) {
  QMessageBox* box = alert();
  if (!box) {
    box = new QMessageBox;
    box->setObjectName(QStringLiteral("SoftwareUpdateAlert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Over the helper's panel, which floats over other windows and may have been opened to stay.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowTitle(text("Software Update"));
    alert() = box;
  }
  for (QAbstractButton* button : box->buttons()) {
    box->removeButton(button);
    button->deleteLater();
  }
  const QString program = infoValue(QStringLiteral("CFBundleName")).toString();
  using Outcome = SoftwareUpdater::CheckResult::Outcome;
  switch (result.outcome) {
    case Outcome::NewerVersion: {
      box->setIcon(QMessageBox::Information);
      box->setText(text("A new version of %1 is available.").arg(program));
      QString detail = text("%1 %2 is out; you have %3.").arg(program, result.offeredVersion, result.currentVersion);
      if (result.releasePage.isEmpty()) {
        box->addButton(QMessageBox::Ok);
      } else {
        detail += QLatin1Char(' ') + text("Its release page tells what is new and how to install it.");
        QPushButton* page = box->addButton(text("Show Release Page"), QMessageBox::AcceptRole);
        QObject::connect(page, &QAbstractButton::clicked, box,
                         [url = result.releasePage] { Workspace::shared().openURL(url); });
        box->setDefaultButton(page);
        box->addButton(text("Later"), QMessageBox::RejectRole);
      }
      box->setInformativeText(detail);
      break;
    }
    case Outcome::UpToDate:
      box->setIcon(QMessageBox::Information);
      box->setText(text("%1 is up to date.").arg(program));
      box->setInformativeText(text("Version %1 is the newest there is.").arg(result.currentVersion));
      box->addButton(QMessageBox::Ok);
      break;
    case Outcome::FeedUnreadable:
      box->setIcon(QMessageBox::Warning);
      box->setText(text("The update information could not be read."));
      box->setInformativeText(text("Check the network connection and try again later."));
      box->addButton(QMessageBox::Ok);
      break;
  }
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace ox
