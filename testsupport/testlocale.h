#pragma once

#include <QLocale>

namespace kv6test {

// `locale` as the default locale (dates, numbers, month names) for the lifetime of the object;
// the one before is restored after, also when an assertion ends the test early.
class ScopedLocale
{
public:
    explicit ScopedLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_saved); }
    ScopedLocale(const ScopedLocale &) = delete;
    ScopedLocale &operator=(const ScopedLocale &) = delete;

private:
    QLocale m_saved;
};

} // namespace kv6test
