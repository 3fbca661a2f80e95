#include "app/AppController.h"

#include <QDateTime>
#include <QFile>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXStreamersMoviesView.h"
#include "app/OXStreamersShowsView.h"
#include "app/OXTrailers.h"
#include "app/ShowsView.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/PropertyList.h"
#include "platform/ui/Window.h"
#include "playback/NSCursor_Hide.h"

std::shared_ptr<AppController> AppController::create() { return std::shared_ptr<AppController>(new AppController()); }

bool AppController::markerHidesCursor(const QString& path, bool libraryEmpty, const QDateTime& now) {
  if (libraryEmpty || path.isEmpty()) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QVariant marker = ox::propertyListValue(file.readAll());
  const QDateTime date = marker.toMap().value(QStringLiteral("date")).toDateTime();
  return date.isValid() && now.msecsTo(date) < -5000;
}

void AppController::awakeFromNib() {
  OXLibrary* library = OXLibrary::shareLibrary();
  const QString marker = library->pathWithFolder(QStringLiteral("Updates"), QStringLiteral("update.bin"));
  if (markerHidesCursor(marker, library->isLibraryEmpty(), QDateTime::currentDateTime())) NSCursor_Hide::hideCursor();
}

QRectF AppController::sectionFrame() const { return OXPreferencesValues::sharePreferences()->mainScreenFrame(); }

std::shared_ptr<OXSectionView> AppController::currentSection() const {
  const ox::ViewPtr content = contentView();
  if (!content) return nullptr;
  for (const ox::ViewPtr& v : content->subviews())
    if (auto section = std::dynamic_pointer_cast<OXSectionView>(v)) return section;
  return nullptr;
}

void AppController::openHome(qint32 section) {
  auto home = std::make_shared<HomeView>(sectionFrame());
  loadSectionObject(home);
  home->activeSection(section);
}

void AppController::openMovies() { loadSectionObject(std::make_shared<MoviesView>(sectionFrame())); }

void AppController::openTVShows() { loadSectionObject(std::make_shared<ShowsView>(sectionFrame())); }

void AppController::openMoviesStreamers() {
  loadSectionObject(std::make_shared<OXStreamersMoviesView>(sectionFrame()));
}

void AppController::openShowsStreamers() {
  loadSectionObject(std::make_shared<OXStreamersShowsView>(sectionFrame()));
}

void AppController::openTrailers() { loadSectionObject(std::make_shared<OXTrailers>(sectionFrame())); }

void AppController::loadSectionObject(const std::shared_ptr<OXSectionView>& view) {
  const ox::ViewPtr content = contentView();
  if (!view || !content) return;
  // Cleared first, Home included: what outlives the view (timers, fades) must not switch sections any more.
  const std::vector<ox::ViewPtr> leaving = content->subviews();
  for (const ox::ViewPtr& v : leaving)
    if (auto section = std::dynamic_pointer_cast<OXSectionView>(v)) section->setDelegate({});
  for (const ox::ViewPtr& v : leaving) v->removeFromSuperview();
  view->setupLayers();
  view->setDelegate(std::weak_ptr<AppControllerDelegate>(shared_from_this()));
  content->addSubview(view);
  if (const auto window = content->window()) window->makeFirstResponder(view);
}
