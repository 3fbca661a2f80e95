#pragma once
#include <QObject>
#include <QPointer>

class QLabel;
class QPushButton;
class QWidget;

// The message the panel shows in place of an empty list: the library is being created, or there is nothing to list
// and folders should be added. The panel list decides which and when; this view fills in its texts and offers the
// button that opens the folder settings.
class OXPopUpMessageViewController : public QObject {
  Q_OBJECT
 public:
  static const QString kShowSourcesNotification;  // "showSourcesNotification"

  OXPopUpMessageViewController();
  ~OXPopUpMessageViewController() override;

  QWidget* view() const { return view_.data(); }
  QLabel* iconImageView() const { return iconImageView_; }
  QLabel* titleField() const { return titleField_; }
  QLabel* messageField() const { return messageField_; }
  QPushButton* buttonSources() const { return buttonSources_; }

  void setEmptyLibraryMessageMovies();
  void setEmptyLibraryMessageShows();
  void setCreatingLibraryMessageMovies();
  void setCreatingLibraryMessageShows();
  // The button's action.
  void showSources();

 private:
  void setMessage(const char* icon, const QString& title, const QString& message, const QString& button);

  QPointer<QWidget> view_;
  QLabel* iconImageView_ = nullptr;
  QLabel* titleField_ = nullptr;
  QLabel* messageField_ = nullptr;
  QPushButton* buttonSources_ = nullptr;
};
