#pragma once
#include <QString>
#include <QStringList>

// Every entry below `folder` (files, folders, links and hidden entries alike), depth first with the entries of
// each folder in name order, each given as the folder path, "/" and the entry's path relative to the folder.
// Only those whose path ends with one of `suffixes` (compared case-sensitively) are answered. Symbolic links are
// listed but never followed, so a link cycle cannot trap the walk. A missing folder gives an empty list.
QStringList pathsBelowFolder(const QString& folder, const QStringList& suffixes);
