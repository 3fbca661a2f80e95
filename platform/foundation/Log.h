#pragma once
#include <QString>

namespace ox {

// Diagnostics: plain lines to the system log (standard error, which the journal collects).
void log(const QString& line);

}  // namespace ox

#define OXLOG(...) ::ox::log(QString::asprintf(__VA_ARGS__))
