#pragma once

// Language tables read strictly, for checking the shipped files: a line the program's loader
// would skip or read otherwise than meant is an error here, with its line number.

#include <QMap>
#include <QString>
#include <QStringList>

namespace kv6test {

struct LangEntry
{
    int line = 0;
    int number = 0;
    QString text; // unescaped
};

struct LangTable
{
    QList<LangEntry> entries;
    QStringList errors; // "line N: reason"

    QMap<int, QString> byNumber() const;
};

LangTable parseLangTable(const QByteArray &bytes);
LangTable readLangTable(const QString &path);
// The shipped English table.
QString englishTablePath();

} // namespace kv6test
