#pragma once
#include <QRectF>
#include <QVariantList>
#include <memory>

#include "app/OXFullScreenMenu.h"
#include "app/OXSubtitleLookup.h"
#include "app/PanelResume.h"
#include "core/OXEpisode.h"
#include "core/OXShow.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/layers/TextLayer.h"
#include "platform/ui/View.h"
#include "playback/OXEpisodesMenuLayer.h"
#include "playback/OXPlayerController.h"
#include "playback/OXRemoteProtocol.h"

class ShowsView;

// One show's seasons and episodes, opened by the show browser over itself: the show's title above the season and
// episode menu. Left and Right move along the episodes, Up and Down between seasons, Play plays the selected
// episode (offering to resume it from its stored watched ratio), Menu goes back to the browser, and "m" (a held
// Menu) opens the watched-marks menu. While an episode plays the view is the player's delegate; when the player's
// display leaves, the watched ratio is stored for the episode that was asked for and its circle redrawn.
//
// Built on by the streamer episode view, which replaces the override points: where the menu's episodes come from,
// how an episode is played and ended, Menu. The ratio store is written from a queue of the view's own (the store
// guards itself; the view waits for its last write when it goes), and OpenSubtitles is searched off the main thread.
// Main thread otherwise.
class EpisodeView : public ox::View, public OXRemoteProtocol, public OXPlayerControllerDelegate {
 public:
  // Made with the view, then setupLayers, so an override of menuLayer is the one used.
  template <class T = EpisodeView>
  static std::shared_ptr<T> initWithFrame(const QRectF& frame, const std::shared_ptr<OXShow>& show) {
    auto view = std::make_shared<T>(frame);
    view->setupLayers(show);
    return view;
  }
  explicit EpisodeView(const QRectF& frame);
  ~EpisodeView() override;

  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse() const { return true; }

  // --- override points
  // The menu of the show's episodes in the library.
  virtual std::shared_ptr<OXEpisodesMenuLayer> menuLayer(const std::shared_ptr<OXShow>& show);
  // Splash screen and input off; 0.3 s later the search for subtitles and then the player for the episode selected
  // now, or the view back at once when its file is missing.
  virtual void playEpisodeWithRatio(float ratio);
  // How the view searches OpenSubtitles before it plays: search, then empty the subtitle cache; no log-out.
  virtual OXSubtitleLookup::Order subtitleOrder() const;
  // Back to the show browser; while the subtitles of an opening episode are searched, the opening is cancelled.
  void keyMenu() override;
  // The player's display asked to leave: the player closes and the ratio is stored.
  virtual void exitPlayerNotification(const ox::Notification& notification);

  // --- building
  // The title, the menu and the splash screen; 0.1 s later the title and menu come in.
  void setupLayers(const std::shared_ptr<OXShow>& show);
  void showTrasition();
  // Sent by the show browser inside its own transaction, so both move together.
  void hideMenu();

  // --- watched marks
  void showEpisodeOptions();
  // Ratio 0 for the selected episode.
  void markLikeEpisodeUnseen();
  // Ratio 1 for the selected episode and every one before it in the show (earlier seasons whole).
  void markLikeEpisodeSeen();

  // --- playback
  // The resume panel's answer: 0 resumes the episode selected now, 1 plays from the start.
  void closePanelNotification(const ox::Notification& notification);
  void showSplashScreen();
  void closeSplashScreen();
  void videoDidLoaded() override;
  void videoDidFailed() override;
  // The view comes back 0.6 s later, after the alert when `error`.
  void videoDidClosedWithError(bool error) override;

  // --- commands
  void keyDown(const ox::KeyEvent& event) override;
  void moveUp() override;
  void moveDown() override;
  void moveLeft() override;
  void moveRight() override;
  void holdLeft() override;
  void holdRight() override;
  void releaseButton() override;
  void keyPlay() override;
  void holdMenu() override;

  std::shared_ptr<ShowsView> weakShowView() const { return weakShowView_.lock(); }
  void setWeakShowView(const std::weak_ptr<ShowsView>& view) { weakShowView_ = view; }

  // --- state, for the streamer view and for tests
  bool acceptEvents() const { return acceptEvents_; }
  std::shared_ptr<OXEpisodesMenuLayer> episodesMenu() const { return menuLayer_; }
  std::shared_ptr<ox::TextLayer> titleShowSelected() const { return titleShowSelected_; }
  ox::LayerPtr splashScreen() const { return splashScreen_; }
  std::shared_ptr<ox::TextLayer> textLoadingPlayer() const { return textLoadingPlayer_; }
  std::shared_ptr<OXPlayerController> videoPlayer() const { return videoPlayer_; }
  std::shared_ptr<PanelResume> panelResume() const { return panelResume_; }
  std::shared_ptr<OXFullScreenMenu> optionEpisodeMenu() const { return optionEpisodeMenu_; }
  std::shared_ptr<OXFullScreenMenu> errorPanel() const { return errorPanel_; }
  // The episode asked for by the last Play, until the view is back.
  std::shared_ptr<OXEpisode> playingEpisode() const { return playingEpisode_; }
  bool isRepeating() const { return remoteControlRepeatTimer_.isPending(); }
  // Blocks until the ratios handed to the view's queue are stored.
  void waitForRatioStores();

  // The entries of the watched-marks menu for a stored ratio.
  static QStringList episodeOptions(float ratio);

  static constexpr double kIntroDelay = 0.1;
  static constexpr double kPlayDelay = 0.3;
  static constexpr double kReturnDelay = 0.6;
  static constexpr double kRepeatPeriod = 0.05;

 protected:
  ox::LayerPtr makeBackingLayer() override;
  std::shared_ptr<EpisodeView> self();
  // The selected episode and its stored ratio (0 when none).
  std::shared_ptr<OXEpisode> selectedEpisode() const;
  float selectedRatio() const;
  // The delayed half of playEpisodeWithRatio: the file is checked and its subtitles searched for.
  void openEpisode(float ratio);
  // The subtitles are in: the player plays the episode being opened.
  void openPlayer(float ratio, const QVariantList& subtitles);
  // "exitPlayerNotification" reaches exitPlayerNotification until stopObservingExit; one registration at a time.
  void observeExitPlayer();
  void stopObservingExit();
  // The title, the menu and the show browser's layer together.
  void setContentOpacity(double opacity);
  void placeTitleAndMenu(bool shown);
  void repeatWhileHeld(bool right);
  // Stores a ratio for an episode on the view's queue and redraws its circle when it is the one selected.
  void storeRatio(float ratio, const std::shared_ptr<OXEpisode>& episode);

  std::shared_ptr<OXPlayerController> videoPlayer_;
  std::shared_ptr<PanelResume> panelResume_;
  std::shared_ptr<OXFullScreenMenu> optionEpisodeMenu_;
  std::shared_ptr<OXFullScreenMenu> errorPanel_;
  ox::LayerPtr splashScreen_;
  std::shared_ptr<ox::TextLayer> textLoadingPlayer_;
  std::shared_ptr<ox::TextLayer> titleShowSelected_;
  std::shared_ptr<OXEpisodesMenuLayer> menuLayer_;
  bool acceptEvents_ = true;
  ox::DelayedCall remoteControlRepeatTimer_;
  std::weak_ptr<ShowsView> weakShowView_;
  std::shared_ptr<OXEpisode> playingEpisode_;
  ox::DelayedCall introTimer_;
  ox::DelayedCall playDelay_;
  ox::DelayedCall returnDelay_;
  OXSubtitleLookup subtitleLookup_;
  ox::NotificationCenter::Token panelToken_ = 0;
  ox::NotificationCenter::Token exitToken_ = 0;
  std::unique_ptr<ox::OperationQueue> ratioQueue_;
};
