#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <algorithm>
#include <memory>
#include <optional>

#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "scanner/OXOmbrixAPIRequest.h"

class TVDbEpisode;

// The identification front end: cloud search answers become ranked movie and show records, a TheTVDB episode
// becomes an episode record shaped like a search hit ("e_<id>"), and a match confirmed by hand goes to the match
// queues. Every call blocks its thread for its requests; an instance holds no shared state, so each thread uses
// its own.
class OXOmbrixOSXAPI {
 public:
  using MovieList = QList<std::shared_ptr<OXMovie>>;
  using ShowList = QList<std::shared_ptr<OXShow>>;

  // Where one record ranks against another: the first one first, no preference, or the second one first.
  enum class Order { FirstFirst, Same, SecondFirst };

  OXOmbrixOSXAPI() = default;

  // Ranked candidates (at most 20 from `start`); empty when the service answers nothing usable. `unanswered`, when
  // given, tells an empty answer from none: it is set when the service did not answer (a transport failure, a
  // time-out, an error or malformed answer), which says nothing about whether a match exists. A request refused for
  // good (a 400, 404 or 422: asking again gets the same) is an answer that finds nothing.
  MovieList searchMovieFullTextAndStart(const QString& query, quint64 start, bool* unanswered = nullptr) const;
  // The best-ranked movie of that year, else the best-ranked one; year 0 takes the best-ranked one.
  std::shared_ptr<OXMovie> searchMovieFullTextAndYear(const QString& query, quint64 year,
                                                      bool* unanswered = nullptr) const;
  ShowList searchShowFullText(const QString& query, quint64 start, bool* unanswered = nullptr) const;
  // The service has no hash look-up: both always answer none.
  std::shared_ptr<OXMovie> searchMovieHash(const std::shared_ptr<OXFile>& file) const;
  std::shared_ptr<OXEpisode> searchEpisodeHash(const std::shared_ptr<OXFile>& file) const;
  // The show's episode as TheTVDB knows it, without a file; none when TheTVDB has no such episode, or did not answer
  // (then `unanswered`, when given, is set).
  std::shared_ptr<OXEpisode> episodeForShow(const std::shared_ptr<OXShow>& show, quint64 season, quint64 episode,
                                            bool* unanswered = nullptr) const;
  void sendMessageToMovieQueue(const ox::CodingPtr& record) const;
  // Reports a movie's or an episode's file keys with its identity; anything else sends nothing. Does not wait.
  void manualMatch(const ox::CodingPtr& record) const;

  // The search-hit form of a TheTVDB episode of the show: "id" "e_<episode id>" and the text "fields" "episode",
  // "image", "season", "showid", "title", "year", each left out when TheTVDB has no value for it.
  static QVariantMap episodeHit(const TVDbEpisode& found, quint64 showID, quint64 season, quint64 episode);
  // The "hits.hit" list of a search answer; none for a missing answer, an "error" answer or a malformed one.
  static std::optional<QVariantList> checkIntegrityResultAndGetHits(const QVariant& answer);

  // The rankings. The pairwise rules are not strict weak orderings (ties in the show rule favour the second show;
  // the movie rule's year and value steps can disagree across three movies), so the sorts are merge sorts that only
  // ever ask the rule about two records: they always finish and give the same order for the same input.
  static MovieList sortMovieContents(const MovieList& movies);
  static ShowList sortShowContents(const ShowList& shows);
  static Order compareMovies(const OXMovie& a, const OXMovie& b);
  static Order compareShows(const OXShow& a, const OXShow& b);

 private:
  OXOmbrixAPIRequest request_;
};

// A stable merge sort driven only by a pairwise rule: an element of the later run goes before one of the earlier run
// only when the rule puts it first. It never reads outside the list, whatever the rule answers.
template <class T, class Rule>
QList<T> oxMergeSort(const QList<T>& list, Rule rule) {
  QList<T> from = list;
  QList<T> to(list.size());
  const qsizetype n = list.size();
  for (qsizetype width = 1; width < n; width *= 2) {
    for (qsizetype lo = 0; lo < n; lo += 2 * width) {
      const qsizetype mid = std::min(lo + width, n);
      const qsizetype hi = std::min(lo + 2 * width, n);
      qsizetype i = lo, j = mid, k = lo;
      while (i < mid && j < hi) to[k++] = rule(from[i], from[j]) ? from[j++] : from[i++];
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    std::swap(from, to);
  }
  return from;
}
