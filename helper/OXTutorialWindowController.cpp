#include "helper/OXTutorialWindowController.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "core/OXServiceHosts.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/system/Workspace.h"

const QString OXTutorialWindowController::kOpenPopUpPermanent = QStringLiteral("openPopUpPermanent");

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 360;

// The tag-10 child: the page dots, whose value is the page's number.
QLabel* pageMark(QWidget* page, int number) {
  QString dots;
  for (int i = 1; i <= 4; ++i) dots += i == number ? QStringLiteral("\u25CF ") : QStringLiteral("\u25CB ");
  auto* mark = new QLabel(dots.trimmed(), page);
  mark->setProperty("tag", OXTutorialWindowController::kPageTag);
  mark->setProperty("intValue", number);
  mark->setAlignment(Qt::AlignCenter);
  mark->setStyleSheet(QStringLiteral("color: #b0b0b8;"));
  return mark;
}

QScrollArea* framedArea(QWidget* parent, const QString& caption) {
  auto* area = new QScrollArea(parent);
  area->setObjectName(caption);
  area->setFixedSize(200, 96);
  // A white line at level 0.75, one point wide.
  area->setStyleSheet(QStringLiteral("QScrollArea { border: 1px solid rgb(191, 191, 191); background: transparent; }"));
  auto* label = new QLabel(caption);
  label->setAlignment(Qt::AlignCenter);
  label->setStyleSheet(QStringLiteral("color: #d8d8de; background: transparent;"));
  area->setWidget(label);
  area->setWidgetResizable(true);
  return area;
}

}  // namespace

OXTutorialWindowController::OXTutorialWindowController() : window_(new QWidget) {
  window_->setObjectName(QStringLiteral("OXTutorialWindowController"));
  window_->setWindowTitle(tr("Welcome to Ombrix"));
  window_->setFixedSize(kWidth, kHeight);
  window_->setAttribute(Qt::WA_StyledBackground);
  window_->setStyleSheet(
      QStringLiteral("#OXTutorialWindowController { background: #26282d; } QLabel { color: white; }"));
  auto* layout = new QVBoxLayout(window_);
  layout->setContentsMargins(0, 0, 0, 0);

  welcomeView_ = makePage(1, tr("Welcome to Ombrix"),
                          tr("Ombrix turns your folders of movies and TV shows into a home media centre, "
                             "with posters, backdrops, trailers and subtitles."));
  sourcesView_ = makePage(2, tr("Your sources"),
                          tr("Tell Ombrix Helper where your movies and your TV shows are: one or more folders of "
                             "each. Drop them on its settings window or choose them there."));
  auto* areas = new QHBoxLayout;
  areas->addStretch();
  borderMovieSourcesView_ = framedArea(sourcesView_, tr("Movies"));
  borderShowSourcesView_ = framedArea(sourcesView_, tr("TV Shows"));
  areas->addWidget(borderMovieSourcesView_);
  areas->addSpacing(24);
  areas->addWidget(borderShowSourcesView_);
  areas->addStretch();
  static_cast<QVBoxLayout*>(sourcesView_->layout())->insertLayout(2, areas);
  helperView_ = makePage(3, tr("Ombrix Helper"),
                         tr("The helper lives in the tray. It scans your folders, recognises your files and keeps "
                            "the library up to date. Click its icon to see what it found."));
  ombrixMacView_ = makePage(4, tr("Ombrix"),
                            tr("Open Ombrix to browse and play your library full screen, with the keyboard or a "
                               "remote control."));
  setContentView(welcomeView_);
}

OXTutorialWindowController::~OXTutorialWindowController() {
  for (QWidget* page : {welcomeView_, sourcesView_, helperView_, ombrixMacView_})
    if (page && page != contentView_) delete page;
  delete window_.data();
}

QWidget* OXTutorialWindowController::makePage(int number, const QString& title, const QString& text) {
  auto* page = new QWidget;
  page->setFixedSize(kWidth, kHeight);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(40, 36, 40, 20);
  auto* heading = new QLabel(title, page);
  QFont font = heading->font();
  font.setPointSizeF(font.pointSizeF() * 1.8);
  font.setBold(true);
  heading->setFont(font);
  heading->setAlignment(Qt::AlignCenter);
  auto* body = new QLabel(text, page);
  body->setWordWrap(true);
  body->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  body->setStyleSheet(QStringLiteral("color: #d8d8de;"));
  column->addWidget(heading);
  column->addWidget(body);
  column->addStretch();
  column->addWidget(pageMark(page, number));

  auto* buttons = new QHBoxLayout;
  auto* help = new QPushButton(tr("More help"), page);
  help->setFlat(true);
  help->setStyleSheet(QStringLiteral("color: #7fb2ff; text-decoration: underline; border: none;"));
  connect(help, &QPushButton::clicked, this, [this] { moreHelp(); });
  buttons->addWidget(help);
  buttons->addStretch();
  if (number > 1) {
    auto* back = new QPushButton(tr("Back"), page);
    back->setObjectName(QStringLiteral("previous"));
    connect(back, &QPushButton::clicked, this, [this] { previous(); });
    buttons->addWidget(back);
  }
  auto* forward = new QPushButton(number == 4 ? tr("Done") : tr("Next"), page);
  forward->setObjectName(QStringLiteral("next"));
  forward->setDefault(true);
  connect(forward, &QPushButton::clicked, this, [this] { next(); });
  buttons->addWidget(forward);
  column->addLayout(buttons);
  return page;
}

int OXTutorialWindowController::getCurrentIndex() const {
  if (!contentView_) return 0;
  for (const QObject* child : contentView_->children())
    if (child->property("tag").toInt() == kPageTag) return child->property("intValue").toInt();
  return 0;
}

void OXTutorialWindowController::next() {
  const int page = getCurrentIndex();
  if (changing_ && page != 4) return;
  switch (page) {
    case 1:
      changePage(sourcesView_);
      break;
    case 2:
      changePage(helperView_);
      ox::NotificationCenter::defaultCenter().post(kOpenPopUpPermanent);
      break;
    case 3:
      changePage(ombrixMacView_);
      break;
    case 4:
      window_->close();
      break;
    default:
      break;
  }
}

void OXTutorialWindowController::previous() {
  if (changing_) return;
  switch (getCurrentIndex()) {
    case 2:
      changePage(welcomeView_);
      break;
    case 3:
      changePage(sourcesView_);
      break;
    case 4:
      changePage(helperView_);
      ox::NotificationCenter::defaultCenter().post(kOpenPopUpPermanent);
      break;
    default:
      break;
  }
}

void OXTutorialWindowController::moreHelp() {
  const QString site = OXServiceHosts::baseURL(OXService::WebSite);
  ox::Workspace::shared().openURL(QUrl(site + QStringLiteral("/ombrixapp/help/")));
}

void OXTutorialWindowController::setContentView(QWidget* page) {
  if (contentView_) {
    window_->layout()->removeWidget(contentView_);
    contentView_->hide();
    contentView_->setParent(nullptr);
  }
  contentView_ = page;
  page->setParent(window_);
  window_->layout()->addWidget(page);
  page->show();
}

void OXTutorialWindowController::changePage(QWidget* page) {
  changing_ = true;
  auto* fadeOut = new QGraphicsOpacityEffect(contentView_);
  contentView_->setGraphicsEffect(fadeOut);
  auto* out = new QPropertyAnimation(fadeOut, "opacity", this);
  out->setDuration(kFadeMs);
  out->setStartValue(1.0);
  out->setEndValue(0.0);
  connect(out, &QPropertyAnimation::finished, this, [this, page] {
    contentView_->setGraphicsEffect(nullptr);
    auto* fadeIn = new QGraphicsOpacityEffect(page);
    fadeIn->setOpacity(0);
    page->setGraphicsEffect(fadeIn);
    setContentView(page);
    auto* in = new QPropertyAnimation(fadeIn, "opacity", this);
    in->setDuration(kFadeMs);
    in->setEndValue(1.0);
    // Without the effect the page draws sharp again.
    connect(in, &QPropertyAnimation::finished, this, [this, page] {
      page->setGraphicsEffect(nullptr);
      changing_ = false;
    });
    in->start(QAbstractAnimation::DeleteWhenStopped);
  });
  out->start(QAbstractAnimation::DeleteWhenStopped);
}
