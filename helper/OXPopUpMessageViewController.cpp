#include "helper/OXPopUpMessageViewController.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Images.h"

const QString OXPopUpMessageViewController::kShowSourcesNotification = QStringLiteral("showSourcesNotification");

namespace {
constexpr int kWidth = 330;
constexpr int kHeight = 520;
}  // namespace

OXPopUpMessageViewController::OXPopUpMessageViewController() : view_(new QWidget) {
  view_->setObjectName(QStringLiteral("OXPopUpMessageViewController"));
  view_->resize(kWidth, kHeight);
  iconImageView_ = new QLabel(view_);
  iconImageView_->setGeometry((kWidth - 96) / 2, 150, 96, 96);
  iconImageView_->setAlignment(Qt::AlignCenter);
  titleField_ = new QLabel(view_);
  titleField_->setGeometry(10, 262, kWidth - 20, 28);
  titleField_->setAlignment(Qt::AlignCenter);
  QFont font = titleField_->font();
  font.setPointSizeF(font.pointSizeF() * 1.4);
  font.setBold(true);
  titleField_->setFont(font);
  titleField_->setStyleSheet(QStringLiteral("color: #3a3a3c;"));
  messageField_ = new QLabel(view_);
  messageField_->setGeometry(30, 294, kWidth - 60, 48);
  messageField_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  messageField_->setWordWrap(true);
  messageField_->setStyleSheet(QStringLiteral("color: #848484;"));
  buttonSources_ = new QPushButton(view_);
  buttonSources_->setGeometry((kWidth - 200) / 2, 352, 200, 32);
  connect(buttonSources_, &QPushButton::clicked, this, [this] { showSources(); });
}

OXPopUpMessageViewController::~OXPopUpMessageViewController() { delete view_.data(); }

void OXPopUpMessageViewController::setMessage(const char* icon, const QString& title, const QString& message,
                                              const QString& button) {
  iconImageView_->setPixmap(QPixmap::fromImage(ox::imageNamed(QString::fromLatin1(icon) + QStringLiteral("@2x.png"))));
  titleField_->setText(title);
  messageField_->setText(message);
  buttonSources_->setText(button);
  buttonSources_->setVisible(!button.isEmpty());
}

void OXPopUpMessageViewController::setEmptyLibraryMessageMovies() {
  setMessage("iconMoviesEmpty", tr("No movies available"), tr("Try adding some to resources."),
             tr("Add movies sources"));
}

void OXPopUpMessageViewController::setEmptyLibraryMessageShows() {
  setMessage("iconTVShowsEmpty", tr("No TV Shows available"), tr("Try adding some to resources."),
             tr("Add TV Shows sources"));
}

void OXPopUpMessageViewController::setCreatingLibraryMessageMovies() {
  setMessage("iconMoviesEmpty", tr("Creating library..."),
             tr("Please wait patiently until Ombrix finishes to recognize all your files."), QString());
}

void OXPopUpMessageViewController::setCreatingLibraryMessageShows() {
  setMessage("iconTVShowsEmpty", tr("Creating library..."),
             tr("Please wait patiently until Ombrix finishes to recognize all your files."), QString());
}

void OXPopUpMessageViewController::showSources() {
  ox::NotificationCenter::defaultCenter().post(kShowSourcesNotification);
}
