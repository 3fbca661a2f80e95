#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// Regular-expression helpers on a text. caseInsensitive matches without regard to case; treatAsOneLine lets "."
// match line separators too. A pattern that does not compile is logged ("Error creating Regex: ...") and gives none
// (NO for the match test).
struct StringRegex {
  // Every match replaced by the template, in which "$n" stands for group n and "\" takes the next character as is.
  static std::optional<QString> stringByReplacingRegexPattern(const QString& text, const QString& pattern,
                                                              const QString& replacement,
                                                              bool caseInsensitive = false,
                                                              bool treatAsOneLine = false);
  // For every match in order, the text of each capture group from group 1 up, in one flat list. A group that took
  // no part in a match gives an empty text.
  static std::optional<QStringList> stringsByExtractingGroupsUsingRegexPattern(const QString& text,
                                                                               const QString& pattern,
                                                                               bool caseInsensitive = false,
                                                                               bool treatAsOneLine = false);
  static bool matchesPatternRegexPattern(const QString& text, const QString& pattern, bool caseInsensitive = false,
                                         bool treatAsOneLine = false);
};
