// The `ombrix` program as it runs (its own main), with someone at the keyboard: once Home is up, Down and Return
// open Movies, Return plays the film in the middle, and after a second of it "playing <ms> of <ms> with <n> subtitles"
// goes to the standard output. How the program then ends is the test's to choose: the frame variables, a signal, the
// display.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "app/HomeView.h"
#include "app/MoviesView.h"
#include "app/OXApplicationMain.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXVideoOSD.h"

namespace {

void press(char16_t c) { ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(c)))); }

// Every tenth of a second, what a user does on seeing the screen: each key only once its view takes keys.
void look() {
  static int playPresses = 0;
  const auto key = ox::WindowServer::shared().keyWindow();
  const auto responder = key ? key->firstResponder() : nullptr;
  if (const auto osd = std::dynamic_pointer_cast<OXVideoOSD>(responder)) {
    const auto player = osd->vlcMediaPlayer();
    if (player && player->time().value() >= 1000) {
      std::printf("playing %lld of %lld with %lld subtitles\n", (long long)player->time().value(),
                  (long long)player->length(), (long long)osd->subtitles().size());
      std::fflush(stdout);
      return;
    }
  } else if (const auto home = std::dynamic_pointer_cast<HomeView>(responder); home && home->acceptEvents()) {
    press(home->homeSectionList()->selectedRow() == 1 ? u'\r' : char16_t(ox::DownArrowFunctionKey));
  } else if (const auto movies = std::dynamic_pointer_cast<MoviesView>(responder)) {
    // Once; again only if the first Return came before the browser took keys.
    if (movies->acceptEvents() && !movies->isPlaying() && playPresses++ % 30 == 0) press(u'\r');
  }
  QTimer::singleShot(100, look);
}

void startLooking() { QTimer::singleShot(100, look); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startLooking)

int main(int argc, char** argv) { return OXApplicationMain(argc, argv); }
