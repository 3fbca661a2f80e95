#pragma once
#include <QObject>
#include <QPointer>

class QScrollArea;
class QWidget;

// The tour: a small window of four pages (welcome, sources, the helper, the main program). Arriving on the helper
// page, from either side, opens the panel and keeps it open. Each page holds a child tagged 10 whose value is the
// page's number, from which the current page is read.
class OXTutorialWindowController : public QObject {
  Q_OBJECT
 public:
  static constexpr int kPageTag = 10;
  static constexpr int kFadeMs = 300;
  static const QString kOpenPopUpPermanent;  // "openPopUpPermanent"

  OXTutorialWindowController();
  ~OXTutorialWindowController() override;

  QWidget* window() const { return window_.data(); }
  QWidget* welcomeView() const { return welcomeView_; }
  QWidget* sourcesView() const { return sourcesView_; }
  QWidget* helperView() const { return helperView_; }
  QWidget* ombrixMacView() const { return ombrixMacView_; }
  QScrollArea* borderMovieSourcesView() const { return borderMovieSourcesView_; }
  QScrollArea* borderShowSourcesView() const { return borderShowSourcesView_; }

  // The window's content view: the page on show (the one fading in while pages change).
  QWidget* contentView() const { return contentView_; }
  // The content view's page number; 0 when there is none.
  int getCurrentIndex() const;
  void next();
  void previous();
  void moreHelp();
  // A change of page is fading.
  bool isChangingPage() const { return changing_; }

 private:
  QWidget* makePage(int number, const QString& title, const QString& text);
  void changePage(QWidget* page);
  void setContentView(QWidget* page);

  QPointer<QWidget> window_;
  QWidget* welcomeView_ = nullptr;
  QWidget* sourcesView_ = nullptr;
  QWidget* helperView_ = nullptr;
  QWidget* ombrixMacView_ = nullptr;
  QScrollArea* borderMovieSourcesView_ = nullptr;
  QScrollArea* borderShowSourcesView_ = nullptr;
  QWidget* contentView_ = nullptr;
  bool changing_ = false;
};
