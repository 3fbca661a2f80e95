#pragma once
#include <QImage>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <vector>

#include "core/OXEpisode.h"
#include "core/OXLibrary.h"
#include "core/OXShow.h"
#include "platform/layers/Layer.h"
#include "platform/layers/TextLayer.h"

// The seasons-and-episodes menu of one show: the current season's episodes as a row of thumbnail tiles under its
// title, with the neighbouring seasons waiting above and below the visible band to slide in. Each tile shows the
// thumbnail (loaded around the selection), the title, the number and a watched circle from the ratio store. It
// opens on the next episode to watch. An episode view places it in its layer tree and drives it with the moves
// below. Main thread only, but for the two mark operations.
//
// Layers are kept in key-value entries: on the menu "currentSeasonLayer", "nextSeasonLayer" and
// "previousSeasonLayer" (moving between the season layers at each switch); on a season layer "seasonTitle" and
// "episodeListLayer" (whose "selectedIndex" is the selected tile); on a tile "frameImageLayer" and "circleLayer".
class OXEpisodesMenuLayer : public ox::Layer {
 public:
  // The show's episodes of the library's streamer titles (streaming) or of its own; a copy taken now. `library`
  // is the shared library unless given (tools and tests); the caller keeps it alive as long as the menu. A show
  // without episodes (or none) gives a menu with no season, which ignores every move.
  static std::shared_ptr<OXEpisodesMenuLayer> initWithShow(const std::shared_ptr<OXShow>& show, bool streaming,
                                                            OXLibrary* library = nullptr);
  // Ends the thumbnail downloads still on their way.
  ~OXEpisodesMenuLayer() override;

  // The season title and the episode list of one season layer.
  void createBasicLayers(const ox::LayerPtr& seasonLayer);
  // Chooses where to start and fills the three season layers.
  void setupEpisodes();
  // One tile per episode of the season, by episode number; none for a season the show does not have.
  std::vector<ox::LayerPtr> layersForSeason(quint64 season) const;

  // One tile left or right, never past either end; thumbnails then load around the new selection.
  void previousEpisode();
  void nextEpisode();
  // A 0.2 s slide to the neighbouring season, entered at its first episode; ignored at either end and while a
  // slide runs.
  void previousSeason();
  void nextSeason();
  // Starts the thumbnail loads of the tiles from five before the selection to four after it, once per tile.
  void updateImages();

  // The selected tile of the current season (0 when none is stored).
  qint64 selectedIndex() const;
  // Selects a tile of the current season and slides the row to it; an index past the last tile is ignored.
  void setSelectedIndex(quint64 index);

  // Both return at once and redraw on the main thread, from any thread: the selected tile's circle for a ratio,
  // and the full circle on the previous season's tiles and the current one's up to the selection.
  void setRatioToEpisodeSelected(float ratio);
  void markLikeSeenEpisodeSelectedAndPrevious();

  // Index of the latest season with an episode watched at all, else 0.
  quint64 lastSeenSeasonIndex() const;
  // Sets the season to start in and answers the episode to select there: the last one watched, or the one after
  // it when that one was seen beyond 92 %; a nearly finished last episode opens the next season.
  quint64 setCurrentEpisodeAndSeason();
  OXLibrary::EpisodeList episodesForSeason(quint64 season) const;
  // The show's distinct season numbers, ascending.
  QList<quint64> buildSeasonArray() const;
  // The season on show; 0 when the show has none.
  quint64 currentSeason() const;
  // The selected episode; none when the selection names no tile.
  std::shared_ptr<OXEpisode> episodeSelected() const;

  // The first episode document the cloud search finds for an episode code, synchronously; empty on any failure.
  static QVariantMap episodeForCode(const QString& code);

  // The watched mark of a ratio: round(ratio x 8) kept within 0..8 (a ratio that is no number counts as 0), and
  // the picture named "<mark>P".
  static quint64 watchedMark(float ratio);
  static QImage watchedMarkImage(float ratio);
  // "Title", or its first 21 characters and "..." from 22 characters on.
  static QString tileTitle(const QString& title);

  std::shared_ptr<OXShow> show() const { return show_; }
  QList<quint64> seasonArray() const { return seasonArray_; }
  OXLibrary::EpisodeList episodeList() const { return episodeList_; }
  qint64 currentSeasonIndex() const { return currentSeasonIndex_; }
  bool changingSeason() const { return changingSeason_; }

 private:
  enum class Place { Previous, Current, Next, Parked };
  OXEpisodesMenuLayer() = default;

  float ratioOf(const OXEpisode& episode) const;
  OXLibrary::EpisodeList showEpisodes() const;
  ox::LayerPtr seasonLayer(const QString& key) const;
  static ox::LayerPtr listOf(const ox::LayerPtr& seasonLayer);
  static std::shared_ptr<ox::TextLayer> titleOf(const ox::LayerPtr& seasonLayer);
  static void place(const ox::LayerPtr& seasonLayer, Place where);
  static void fade(const ox::LayerPtr& seasonLayer, double opacity);
  void fill(const ox::LayerPtr& seasonLayer, qint64 seasonIndex) const;
  // The end of a slide by one season either way: the keys move and the recycled layer takes its new season.
  void endSlide(int step, const ox::LayerPtr& recycled, const ox::LayerPtr& previous, const ox::LayerPtr& current,
                const ox::LayerPtr& next);
  QString seasonTitle(qint64 seasonIndex) const;
  ox::LayerPtr tile(const OXEpisode& episode) const;
  std::weak_ptr<OXEpisodesMenuLayer> weakSelf();

  std::shared_ptr<OXShow> show_;
  QList<quint64> seasonArray_;
  OXLibrary::EpisodeList episodeList_;
  qint64 currentSeasonIndex_ = 0;
  bool changingSeason_ = false;
  OXLibrary* library_ = nullptr;
};
