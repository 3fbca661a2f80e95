// The browser's genre filters: which posters each filter lets through, the list under Down, and the change of the
// group in force.
#include <QCoreApplication>
#include <QDate>
#include <QSet>
#include <algorithm>

#include "app/MoviesView.h"
#include "core/OXMediaFields.h"

using ox::LayerPtr;

namespace {

struct GenreFilter {
  const char* name;
  QSet<QString> included;
  QSet<QString> excluded;
};

// Indexes 0 (everything) and 2 (popular) are decided otherwise; their word lists stay empty.
const std::vector<GenreFilter>& filterTable() {
  static const std::vector<GenreFilter> table = {
      {"See Everything", {}, {}},
      {"I'm With My Family",
       {"Animation", " Animation", "Family", "Kids", "Kids & Family"},
       {"Horror", " Horror", "Erotic", " Adult", "Adult"}},
      {"Popular", {}, {}},
      {"Get Some Laught", {"Comedy", " Comedy"}, {"Horror", " Horror"}},
      {"Fall In Love", {"Romance", " Romance"}, {"Horror", " Horror"}},
      {"Scare Me Please", {"Horror", " Horror"}, {"Family", " Family", "Kids"}},
      {"Action & Mistery",
       {"Action", " Action", "Mystery", " Mystery", "Thriller", " Thriller", "Suspense", "Crime", " Crime",
        "Mystery & Suspense"},
       {"Horror", " Horror"}},
      {"Not From This World",
       {"Fantasy", " Fantasy", "Science Fiction", "Sci-Fi", " Sci-Fi", "Science Fiction & Fantasy",
        "Sci-Fi & Fantasy"},
       {}},
  };
  return table;
}

constexpr quint64 kPopular = 2;
constexpr quint64 kPopularity = 10001;

}  // namespace

const char* MoviesView::filterName(quint64 filter) {
  return filter < kFilterCount ? filterTable()[filter].name : "";
}

bool MoviesView::isInFilter(quint64 filter, const OXMediaFields& fields, qint64 currentYear) {
  if (filter == 0 || filter >= kFilterCount) return true;
  if (filter == kPopular) return qint64(fields.year()) > currentYear - 5 || fields.popularity() >= kPopularity;
  const GenreFilter& f = filterTable()[filter];
  bool marked = false;
  for (const QString& genre : fields.genres()) {
    // An excluded genre rejects the title whatever comes after it.
    if (f.excluded.contains(genre)) return false;
    if (f.included.contains(genre)) marked = true;
  }
  return marked;
}

std::vector<LayerPtr> MoviesView::postersForMenu(quint64 filter) const {
  const std::vector<LayerPtr>& row = coverflowLayer_->sublayers();
  if (filter == 0 || filter >= kFilterCount) return row;
  const qint64 year = QDate::currentDate().year();
  std::vector<LayerPtr> posters;
  for (const LayerPtr& poster : row) {
    const OXMediaFields* fields = fieldsOf(poster->value("modelObject").value<ox::CodingPtr>());
    if (fields && isInFilter(filter, *fields, year)) posters.push_back(poster);
  }
  return posters;
}

void MoviesView::buildFilterMenu() {
  filtersArray_.clear();
  for (quint64 i = 0; i < kFilterCount; ++i) {
    std::vector<LayerPtr> posters = postersForMenu(i);
    if (!posters.empty())
      filtersArray_.push_back({QCoreApplication::translate("Localizable", filterName(i)), std::move(posters)});
  }
  if (!filtersArray_.empty()) enableMovies_ = filtersArray_.front();
}

void MoviesView::showFilterMenu() {
  if (filtersArray_.size() < 2) return;
  QStringList titles;
  for (const FilterGroup& g : filtersArray_) titles << g.title;
  filterMenu_ = OXFullScreenMenu::initWithTitle(QString(), titles);
  for (quint64 i = 0; i < quint64(titles.size()); ++i) filterMenu_->addTarget(self(), &MoviesView::filterApply, i);
  filterMenu_->setFirstSelected(currentFilterIndex_);
  filterMenu_->open();
}

void MoviesView::filterApply(const ox::Button& sender) {
  const qint64 tag = sender.tag();
  if (tag < 0 || quint64(tag) >= filtersArray_.size() || quint64(tag) == currentFilterIndex_) return;
  const quint64 index = selectedIndex();
  const LayerPtr previous = index < numberOfCovers() ? enableMovies_.posters[std::size_t(index)] : nullptr;
  currentFilterIndex_ = quint64(tag);
  enableMovies_ = filtersArray_[std::size_t(tag)];
  const std::vector<LayerPtr>& enabled = enableMovies_.posters;
  for (const LayerPtr& poster : coverflowLayer_->sublayers())
    poster->setValue("isEnable", std::find(enabled.begin(), enabled.end(), poster) != enabled.end());
  newSelectedIndexForPreviousPosterSelected(previous);
  updateBackdrops();
  titleMovieAppear();
  titleSectionLayer_->setString(QStringLiteral("%1 %2").arg(numberOfCovers()).arg(sectionName()));
}

void MoviesView::newSelectedIndexForPreviousPosterSelected(const LayerPtr& poster) {
  const std::vector<LayerPtr>& enabled = enableMovies_.posters;
  const auto found = std::find(enabled.begin(), enabled.end(), poster);
  setSelectedIndex(poster && found != enabled.end() ? qint64(found - enabled.begin()) : qint64(enabled.size() / 2));
}
