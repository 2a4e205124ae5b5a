// The prompt dialog's decisions, without widgets: its form type (password, number, text), the
// number limits, the entry's filter and length, the number check and the password check.
#pragma once

#include <QString>
#include <optional>

#include "wintypes.h"

namespace app {

enum LoginFormType : SHORT {
  kPasswordForm = 0,
  kNumberForm = 1,
  kTextForm = 2,
};

// Who a password entry logs in as.
enum class PasswordMatch { Master, User, Wrong };

class LoginPrompt {
 public:
  static constexpr int kNoLimit = 32767;  // the entry's length without SetMaxLen

  // Types 1 and 2 show the entry in clear; type 2 also drops the number limits; types 0 and 2
  // turn digits-only off, type 1 leaves it for SetNumberLimit.
  void SetFormType(SHORT type);
  SHORT FormType() const { return type_; }
  bool Masked() const { return type_ == kPasswordForm; }

  void SetMaxLen(SHORT length) { maxLen_ = length > 0 ? length : kNoLimit; }
  void SetNumberLimit(LONG minimum, LONG maximum, SHORT maxLen);
  int MaxLen() const { return maxLen_; }
  bool DigitsOnly() const { return digitsOnly_; }
  LONG Minimum() const { return minimum_; }
  LONG Maximum() const { return maximum_; }

  // The entry as it may stand: while digits-only is on every character other than 0-9 is
  // dropped (typed or pasted alike), and the length limit holds.
  QString Filtered(const QString& entry) const;

  // The number check: nothing when the entry passes (no limits, or a whole number strictly
  // between the limits, compared in 64 bits), else the message to show.
  std::optional<QString> NumberRefusal(const QString& entry) const;

  // The password check, exact and case-sensitive: the master password first, then the user's.
  static PasswordMatch CheckPassword(const QString& entry, const QString& master, const QString& user);

 private:
  SHORT type_ = kPasswordForm;
  LONG minimum_ = 0;
  LONG maximum_ = 0;
  bool digitsOnly_ = false;
  int maxLen_ = kNoLimit;
};

}  // namespace app
