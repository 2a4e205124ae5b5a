// The prompt dialog's decisions: form types, limits, the entry filter and the two checks.
#include "loginprompt.h"

#include <cmath>

#include "vbrt.h"

namespace app {

void LoginPrompt::SetFormType(SHORT type) {
  type_ = type;
  if (type == kTextForm) minimum_ = maximum_ = 0;
  if (type == kPasswordForm || type == kTextForm) digitsOnly_ = false;
}

void LoginPrompt::SetNumberLimit(LONG minimum, LONG maximum, SHORT maxLen) {
  minimum_ = minimum;
  maximum_ = maximum;
  SetMaxLen(maxLen);
  digitsOnly_ = true;
}

QString LoginPrompt::Filtered(const QString& entry) const {
  QString out;
  out.reserve(entry.size());
  for (QChar c : entry) {
    if (digitsOnly_ && (c < u'0' || c > u'9')) continue;
    out.append(c);
  }
  if (out.size() > maxLen_) out.truncate(maxLen_);
  return out;
}

std::optional<QString> LoginPrompt::NumberRefusal(const QString& entry) const {
  if (minimum_ == maximum_) return std::nullopt;
  const QString message = QStringLiteral("Please enter a numeric value between ") +
                          QString::number(minimum_) + QStringLiteral(" and ") + QString::number(maximum_) +
                          QStringLiteral(".");
  const std::u16string text(reinterpret_cast<const char16_t*>(entry.utf16()), size_t(entry.size()));
  if (entry.trimmed().isEmpty() || !vbrt::IsNumeric(text)) return message;
  std::optional<double> number = vbrt::ParseNumber(text);
  if (!number || !std::isfinite(*number)) return message;
  // Whole numbers as the runtime rounds them (half to even), held in 64 bits so that a long
  // entry is refused instead of overflowing.
  const double rounded = std::nearbyint(*number);
  if (rounded <= double(minimum_) || rounded >= double(maximum_)) return message;
  const long long value = static_cast<long long>(rounded);
  if (value <= minimum_ || value >= maximum_) return message;
  return std::nullopt;
}

PasswordMatch LoginPrompt::CheckPassword(const QString& entry, const QString& master, const QString& user) {
  if (entry == master) return PasswordMatch::Master;
  if (entry == user) return PasswordMatch::User;
  return PasswordMatch::Wrong;
}

}  // namespace app
