#include "scanner/StringRegex.h"

#include <QRegularExpression>

#include "platform/foundation/Log.h"

namespace {

std::optional<QRegularExpression> compile(const QString& pattern, bool caseInsensitive, bool treatAsOneLine) {
  QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
  if (caseInsensitive) options |= QRegularExpression::CaseInsensitiveOption;
  if (treatAsOneLine) options |= QRegularExpression::DotMatchesEverythingOption;
  QRegularExpression re(pattern, options);
  if (!re.isValid()) {
    ox::log(QStringLiteral("Error creating Regex: %1 (at offset %2)").arg(re.errorString()).arg(re.patternErrorOffset()));
    return std::nullopt;
  }
  return re;
}

// The template with its group references filled in from one match.
QString expand(const QString& replacement, const QRegularExpressionMatch& match, int groups) {
  QString out;
  for (qsizetype i = 0; i < replacement.size(); ++i) {
    const QChar c = replacement.at(i);
    if (c == u'\\' && i + 1 < replacement.size()) {
      out += replacement.at(++i);
    } else if (c == u'$' && i + 1 < replacement.size() && replacement.at(i + 1).isDigit()) {
      // As many digits as still name an existing group.
      int group = replacement.at(++i).digitValue();
      while (i + 1 < replacement.size() && replacement.at(i + 1).isDigit() &&
             group * 10 + replacement.at(i + 1).digitValue() <= groups)
        group = group * 10 + replacement.at(++i).digitValue();
      if (group <= groups) out += match.captured(group);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::optional<QString> StringRegex::stringByReplacingRegexPattern(const QString& text, const QString& pattern,
                                                                  const QString& replacement, bool caseInsensitive,
                                                                  bool treatAsOneLine) {
  const auto re = compile(pattern, caseInsensitive, treatAsOneLine);
  if (!re) return std::nullopt;
  QString out;
  qsizetype last = 0;
  auto it = re->globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    out += QStringView(text).mid(last, m.capturedStart() - last);
    out += expand(replacement, m, re->captureCount());
    last = m.capturedEnd();
  }
  out += QStringView(text).mid(last);
  return out;
}

std::optional<QStringList> StringRegex::stringsByExtractingGroupsUsingRegexPattern(const QString& text,
                                                                                   const QString& pattern,
                                                                                   bool caseInsensitive,
                                                                                   bool treatAsOneLine) {
  const auto re = compile(pattern, caseInsensitive, treatAsOneLine);
  if (!re) return std::nullopt;
  QStringList out;
  auto it = re->globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    for (int g = 1; g <= re->captureCount(); ++g) out.append(m.captured(g));
  }
  return out;
}

bool StringRegex::matchesPatternRegexPattern(const QString& text, const QString& pattern, bool caseInsensitive,
                                             bool treatAsOneLine) {
  const auto re = compile(pattern, caseInsensitive, treatAsOneLine);
  return re && re->match(text).hasMatch();
}
