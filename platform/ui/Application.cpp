#include "platform/ui/Application.h"

#include <QCoreApplication>

namespace ox {
namespace {
std::function<void()> g_handler;
int g_requests = 0;
}  // namespace

void Application::terminate() {
  ++g_requests;
  if (g_handler)
    g_handler();
  else
    QCoreApplication::quit();
}

void Application::setTerminateHandler(std::function<void()> handler) { g_handler = std::move(handler); }

int Application::terminateRequests() { return g_requests; }

}  // namespace ox
