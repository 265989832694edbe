#pragma once

// The error value every data operation hands back. Operations return DataResult: empty on
// success, a DataError (number and description) on failure. Descriptions always say what failed
// and where (the file or server), so callers can show them as they are.

#include <optional>
#include <QString>

namespace kv6 {

// Numbers carried by DataError. 10 is the one callers test for: the database needs attention.
enum DataErrorNumber : int {
    dataErrGeneral = 1, // anything not listed below
    dataErrCannotOpen = 2, // missing file, unreachable server, refused login
    dataErrNotDatabase = 3, // the file is not a database, or holds no print-tracking schema
    dataErrQuery = 4, // a statement failed
    dataErrSchemaNewer = 5, // written by a newer program
    dataErrUpgrade = 6, // an upgrade of an older schema failed (rolled back)
    dataErrNotOpen = 7, // an operation on a connection that is not open
    dataErrNotFound = 8, // an id that does not exist
    dataErrInvalid = 9, // a bad argument (connection URL, name, file)
    dataErrNeedsAttention = 10,
    dataErrCancelled = 11,
};

class DataError
{
public:
    DataError() = default;
    DataError(int number, QString description)
        : m_number(number)
        , m_description(std::move(description))
    { }

    int Number() const { return m_number; }
    void setNumber(int number) { m_number = number; }
    QString Description() const { return m_description; }
    void setDescription(const QString &text) { m_description = text; }

private:
    int m_number = 0;
    QString m_description;
};

// Nothing means success.
using DataResult = std::optional<DataError>;

} // namespace kv6
