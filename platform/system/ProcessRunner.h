#pragma once
#include <QString>
#include <QStringList>

namespace ox {

// Runs a program to its end on the calling thread, waiting at most `timeoutMs`; a child still running then is
// stopped. Answers its exit code, or -1 when it could not start, crashed or overran.
int runProcess(const QString& program, const QStringList& arguments, int timeoutMs);

}  // namespace ox
