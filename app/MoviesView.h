#pragma once
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/OXFullScreenMenu.h"
#include "app/OXSectionView.h"
#include "app/OXSubtitleLookup.h"
#include "app/PanelResume.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/layers/TextLayer.h"
#include "platform/media/AVPlayer.h"
#include "playback/OXPlayerController.h"

class OXMediaFields;

// The Movies section: the library's movies as a cover flow of reflected posters over the selected title's backdrop,
// a header with the number of titles and a clock, a footer with the title and, in turn, the genres, the rating stars
// and the running time, a looping soundtrack preview, and a splash screen over everything while a title opens.
// Left and Right move along the row, Play plays the selected movie (offering to resume it from its stored watched
// ratio), Menu goes back to Home or cancels a title that is opening.
//
// It is the base of the other browsing sections (shows, streamer titles, trailers): they keep its layer tree,
// selection and playback machinery and replace the override points below. Poster pictures are composed on an image
// queue of at most two operations, and only for the posters near the selection: a library of thousands would not fit
// in memory otherwise. OpenSubtitles is searched off the main thread too; only the main thread touches layers. Main
// thread only otherwise.
class MoviesView : public OXSectionView, public OXPlayerControllerDelegate {
 public:
  // A filter of the row: its name and the posters it lets through, in row order. The one in force decides which
  // posters are browsable; the selected index counts over its posters.
  struct FilterGroup {
    QString title;
    std::vector<ox::LayerPtr> posters;
  };

  // Hides the cursor; input is accepted from here on.
  explicit MoviesView(const QRectF& frame);
  ~MoviesView() override;

  // --- building (MoviesView.cpp)
  // The header, then setupMovie, then getLibrary.
  void setupLayers() override;
  // Backdrop, poster row, footer, splash screen, clock and footer rotation.
  void setupMovie();
  // One poster per record of contentList, in order; the first filter; the first title selected.
  void getLibrary();

  // --- override points
  // The header's name after the count: "Movies".
  virtual QString sectionName() const;
  // The titles of the row: the library's movies by title, case-insensitively.
  virtual QList<ox::CodingPtr> contentList() const;
  // Whether the poster of a record is veiled: a movie whose file path names no file. Asked on the image queue, so
  // an override reads only the record and the library, never the view.
  virtual bool isContentDisable(const ox::CodingPtr& record) const;
  // Play asks whether to resume when a watched ratio is stored, else plays from the start (MoviesViewInput.cpp).
  void keyPlay() override;
  // Cancels an opening title, or leaves for Home.
  void keyMenu() override;
  // Splash screen, no preview, input off; 0.3 s later the search for subtitles, then the player, unless cancelled
  // meanwhile.
  virtual void playMovieWithRatio(float ratio);
  // How the browser searches OpenSubtitles before it plays: search, empty the subtitle cache, log out.
  virtual OXSubtitleLookup::Order subtitleOrder() const;
  // Menu while a title opens or plays: the player closes and the browser comes back.
  virtual void closeSplashScreen();
  // The player's display asked to leave: the watched ratio is stored and the player closed.
  virtual void exitPlayerNotification(const ox::Notification& notification);
  // The player has closed: the browser comes back 0.6 s later, after the alert when `error`.
  void videoDidClosedWithError(bool error) override;

  // --- selection
  // The index is kept on the row, which the cover flow reads; any value may be stored, only those inside the
  // browsable list select a title.
  void setSelectedIndex(qint64 index);
  quint64 selectedIndex() const;
  quint64 numberOfCovers() const;
  // The record of the selected poster; empty when the index lies outside the browsable list.
  ox::CodingPtr objectSelected() const;
  QString selectedCoverTitle() const;
  QString selectedCoverRating() const;
  QUrl selectedCoverMusic() const;
  quint64 selectedCoverRuntime() const;
  QString selectedCoverGenre() const;
  // The file path of the selected movie; empty for any other record.
  QString selectedCoverFilePath() const;
  // The IMDb code of the selected movie, the key of its watched ratio.
  QString objectID() const;
  float selectedCoverPercentage() const;
  // Footer, preview and backdrop for the selection.
  void titleMovieAppear();
  void startMusic();
  void clearMusic();
  // One step of the footer rotation: genres, then stars, then running time.
  void updateSubtitle();
  void coverUp();
  void coverDown();
  void updateBackdrops();
  void updateDate();

  // The first `length` characters and an ellipsis once the text is that long or longer.
  static QString truncate(const QString& text, quint64 length);
  // The star glyphs of a 0-10 rating ("1" a full star, "2" a half); a blank for 0, for a negative rating and for a
  // rating that is no number.
  static QString ratingStars(float rating);
  // Registers the font resource "<name>.ttf"; true when it is missing or could not be registered.
  static bool loadLocalFonts(const QString& name);

  // --- input and playback (MoviesViewInput.cpp)
  void moveLeft() override;
  void moveRight() override;
  void moveUp() override {}
  // The genre filter menu.
  void moveDown() override;
  void holdLeft() override;
  void holdRight() override;
  void releaseButton() override;
  void keyDown(const ox::KeyEvent& event) override;
  void showSplashScreen();
  // The resume panel's answer: 0 resumes, 1 plays from the start.
  void closePanelNotification(const ox::Notification& notification);
  void videoDidLoaded() override;
  void videoDidFailed() override;

  // --- genre filters (MoviesViewFilters.cpp)
  // The eight filters of the table, by index: 0 "See Everything", then the mood filters by genre words (compared
  // exactly, leading blanks included), and 2 "Popular" by year and popularity.
  static constexpr quint64 kFilterCount = 8;
  // The English name of a filter, the key of its translation.
  static const char* filterName(quint64 filter);
  // Whether a record's fields let it through a filter; `currentYear` is the calendar year of the system date. Any
  // index outside 1-7 lets everything through; a record without genres passes no genre filter.
  static bool isInFilter(quint64 filter, const OXMediaFields& fields, qint64 currentYear);
  // The posters of the row that belong to a filter, in row order.
  std::vector<ox::LayerPtr> postersForMenu(quint64 filter) const;
  // The groups that let at least one poster through, in table order, the first of which is put in force; computed
  // once, after the row is filled.
  void buildFilterMenu();
  // The filter list, when there are two groups or more.
  void showFilterMenu();
  // The action of every entry of the filter list (the button's tag is the entry's index): the group in force
  // changes, only its posters stay browsable, the selection stays on the same title when it can, and the header
  // counts the group.
  void filterApply(const ox::Button& sender);
  // The selection after a change of group: the same poster when the group holds it, else the middle one.
  void newSelectedIndexForPreviousPosterSelected(const ox::LayerPtr& poster);

  // --- posters (MoviesViewPosters.cpp)
  // A poster of the row, bare: its parts come while it is within reach of the selection.
  ox::LayerPtr newPosterLayer();
  // Composes the poster's picture on the image queue and shows it from the main queue, unless the view has left or
  // the poster has gone out of reach meanwhile.
  void setImageinPoster(const ox::LayerPtr& poster);
  // Browsable posters within this many slots of the selection have their parts (holder, reflection and picture,
  // "unknowPoster.jpg" until their own is composed) and a composed picture: the eight or so on screen on either side
  // (eighteen in a row shrunk to 0.4), and what Right held (20 posters a second) reaches in the time a composition
  // takes on a busy machine. Thousands of composed posters would not fit in memory.
  static constexpr quint64 kPictureReach = 24;
  // A poster out of reach lets its parts go this long after, once the row has slid on and a poster hidden by a
  // filter has faded out; until then it comes back at no cost.
  static constexpr double kPictureRelease = 0.3;
  // Gives the posters within reach their parts and queues the composition of their pictures, nearest first; stops
  // the compositions of the others.
  void keepPicturesNearSelection();
  // Posters with their parts: holding a composed picture or waiting for one.
  std::size_t keptPictureCount() const { return pictures_.size(); }
  // The picture stretched over a w x h canvas, under the black veil at `veilOpacity` when unavailable, inside the
  // poster frame and with its corners rounded.
  static QImage composePoster(const QImage& picture, const QSizeF& canvas, bool unavailable, double veilOpacity);

  // --- state, for the sections built on this one and for tests
  bool acceptEvents() const { return acceptEvents_; }
  bool isPlaying() const { return isPlaying_; }
  float posterWidth() const { return posterWidth_; }
  float posterHeight() const { return posterHeight_; }
  const FilterGroup& enableMovies() const { return enableMovies_; }
  const std::vector<FilterGroup>& filtersArray() const { return filtersArray_; }
  quint64 currentFilterIndex() const { return currentFilterIndex_; }
  // The record being opened or played; empty once the browser is back.
  ox::CodingPtr playingObject() const { return playingObject_; }
  ox::LayerPtr movieBackdrop() const { return movieBackdrop_; }
  ox::LayerPtr coverflowLayer() const { return coverflowLayer_; }
  ox::LayerPtr splashScreen() const { return splashScreen_; }
  std::shared_ptr<ox::TextLayer> textLoadingPlayer() const { return textLoadingPlayer_; }
  ox::LayerPtr footerBaseLayer() const { return footerBaseLayer_; }
  std::shared_ptr<ox::TextLayer> titleSelectedMovie() const { return titleSelectedMovie_; }
  std::shared_ptr<ox::TextLayer> ratingMovie() const { return ratingMovie_; }
  std::shared_ptr<ox::TextLayer> ratingMovieBack() const { return ratingMovieBack_; }
  std::shared_ptr<ox::TextLayer> genreMovie() const { return genreMovie_; }
  std::shared_ptr<ox::TextLayer> durationMovie() const { return durationMovie_; }
  ox::LayerPtr headerBaseLayer() const { return headerBaseLayer_; }
  std::shared_ptr<ox::TextLayer> titleSectionLayer() const { return titleSectionLayer_; }
  std::shared_ptr<ox::TextLayer> timeLayer() const { return timeLayer_; }
  std::shared_ptr<ox::AVPlayer> player() const { return player_; }
  std::shared_ptr<OXPlayerController> videoPlayer() const { return videoPlayer_; }
  std::shared_ptr<PanelResume> panelResume() const { return panelResume_; }
  std::shared_ptr<OXFullScreenMenu> errorPanel() const { return errorPanel_; }
  std::shared_ptr<OXFullScreenMenu> filterMenu() const { return filterMenu_; }
  bool isRepeating() const { return remoteControlRepeatTimer_.isPending(); }
  bool isClockRunning() const { return dateTimer_.isPending(); }
  bool isFooterRotating() const { return subtitleTimer_.isPending(); }
  bool isSelectionSettling() const { return appearTimer_.isPending(); }
  // The play delay or the search for subtitles is under way.
  bool isPlaybackPending() const { return playDelay_.isPending() || subtitleLookup_.isSearching(); }
  // Image operations waiting or running.
  int pendingPosters() const { return imageQueue_ ? imageQueue_->operationCount() : 0; }

  void viewDidMoveToWindow() override;

  static constexpr double kSettleTime = 0.4;
  static constexpr double kPlayDelay = 0.3;
  static constexpr double kReturnDelay = 0.6;
  static constexpr double kRepeatPeriod = 0.05;
  static constexpr double kFooterPeriod = 3.0;
  static constexpr qsizetype kTitleLength = 36;

 protected:
  ox::LayerPtr makeBackingLayer() override;
  std::shared_ptr<MoviesView> self();
  // The fields shared by movies and shows; null for any other record.
  static const OXMediaFields* fieldsOf(const ox::CodingPtr& record);
  // Records as the row holds them, by title, case-insensitively.
  template <class T>
  static QList<ox::CodingPtr> sortedByTitle(QList<std::shared_ptr<T>> records) {
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
      return a->title().compare(b->title(), Qt::CaseInsensitive) < 0;
    });
    QList<ox::CodingPtr> list;
    list.reserve(records.size());
    for (const auto& r : records) list << r;
    return list;
  }
  // The header, backdrop, row and footer fade together, around a playback.
  void fadeBrowser(double opacity, double duration, std::function<void()> completion);
  // The delayed half of playMovieWithRatio: the file is checked and its subtitles searched for.
  void openSelectedTitle(float ratio);
  // The subtitles are in: the player plays the title being opened.
  void openPlayer(float ratio, const QVariantList& subtitles);
  // "exitPlayerNotification" reaches exitPlayerNotification until stopObservingExit; one registration at a time.
  void observeExitPlayer();
  void stopObservingExit();
  // Input off, work stopped, the view fades out; then Home, told which section the user comes back from.
  void leaveForHome(qint32 sectionCode);
  // Clock, footer rotation, settle-down and held-button repeat stop; the preview too.
  void stopTimers();
  void scheduleFooterRotation();
  void move(bool right);
  void repeatWhileHeld(bool right);
  void showAlert();
  // The poster and backdrop downloads end and no composition waits any more: the view is leaving.
  void cancelImageWork();
  // The browsable posters within reach of the selection, nearest first.
  std::vector<ox::LayerPtr> postersNearSelection() const;
  // Posters out of reach let their parts and pictures go.
  void releaseFarPictures();
  void addPosterParts(const ox::LayerPtr& poster);
  void removePosterParts(const ox::LayerPtr& poster);

  std::unique_ptr<ox::OperationQueue> imageQueue_;
  // A poster with its parts: its picture composed, on its way, or stopped on the way out of reach.
  struct PosterPicture {
    std::shared_ptr<ox::Operation> composition;
    bool composed = false;
  };
  std::unordered_map<ox::LayerPtr, PosterPicture> pictures_;
  // Posters that found no picture in the helper's cache nor on the network: composed again without asking it.
  std::unordered_set<const ox::Layer*> withoutPicture_;
  ox::DelayedCall pictureRelease_;
  // Carried by the poster and backdrop downloads, so a view that leaves ends them instead of waiting for them.
  std::shared_ptr<ox::HttpCancel> imageCancel_ = std::make_shared<ox::HttpCancel>();
  std::shared_ptr<PanelResume> panelResume_;
  std::shared_ptr<OXFullScreenMenu> filterMenu_;
  std::shared_ptr<OXFullScreenMenu> errorPanel_;
  quint64 currentFilterIndex_ = 0;
  FilterGroup enableMovies_;
  std::vector<FilterGroup> filtersArray_;
  ox::LayerPtr movieBackdrop_;
  ox::LayerPtr coverflowLayer_;
  ox::LayerPtr splashScreen_;
  std::shared_ptr<ox::TextLayer> textLoadingPlayer_;
  ox::LayerPtr footerBaseLayer_;
  std::shared_ptr<ox::TextLayer> titleSelectedMovie_;
  std::shared_ptr<ox::TextLayer> ratingMovie_;
  std::shared_ptr<ox::TextLayer> ratingMovieBack_;
  std::shared_ptr<ox::TextLayer> genreMovie_;
  std::shared_ptr<ox::TextLayer> durationMovie_;
  ox::LayerPtr headerBaseLayer_;
  std::shared_ptr<ox::TextLayer> titleSectionLayer_;
  std::shared_ptr<ox::TextLayer> timeLayer_;
  float posterWidth_ = 0;
  float posterHeight_ = 0;
  ox::DelayedCall dateTimer_;
  ox::DelayedCall subtitleTimer_;
  ox::DelayedCall remoteControlRepeatTimer_;
  ox::DelayedCall appearTimer_;
  ox::DelayedCall playDelay_;
  ox::DelayedCall returnDelay_;
  OXSubtitleLookup subtitleLookup_;
  std::shared_ptr<ox::AVPlayer> player_;
  std::shared_ptr<OXPlayerController> videoPlayer_;
  ox::CodingPtr playingObject_;
  bool acceptEvents_ = true;
  bool isPlaying_ = false;
  ox::NotificationCenter::Token panelToken_ = 0;
  ox::NotificationCenter::Token exitToken_ = 0;
  bool wasInWindow_ = false;
  quint64 splashGeneration_ = 0;
};
