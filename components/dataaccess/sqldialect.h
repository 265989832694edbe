#pragma once

// What differs between the two engines, behind one interface: opening, DDL spelling, how a
// result's column types are found, and the few statements that cannot be written portably.
// Everything else (the operations, the schema, the SQL of the lists) is shared.

#include "dataaccess/dataerror.h"
#include "dataaccess/datasource.h"
#include "dataaccess/datatable.h"

#include <memory>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace kv6 {

class SqlDialect
{
public:
    virtual ~SqlDialect() = default;

    virtual int type() const = 0;
    virtual QString driverName() const = 0;
    // Opens db (already added with driverName()) for the source. No write may happen here.
    virtual DataResult open(QSqlDatabase &db, const DataSource &source, bool readOnly) = 0;
    // True when the table exists in the connection's schema.
    virtual bool hasTable(QSqlDatabase &db, const QString &table) = 0;
    // True when the database holds no tables at all (a fresh file or schema).
    virtual bool isEmpty(QSqlDatabase &db) = 0;
    // Replaces the DDL tokens %ID% %BIGID% %BOOL% %TS% %MONEY% %BLOB% %TRUE% %FALSE%.
    virtual QString ddl(QString statement) const = 0;
    // Reads every row of an executed query into a table, mapping types by the rule in
    // datatable.h.
    virtual DataTable read(QSqlQuery &query) = 0;
    // A deep check for Verify: true when the storage is sound; otherwise the reason.
    virtual bool checkIntegrity(QSqlDatabase &db, QString &reason) = 0;
    // A literal for bulk statements.
    virtual QString boolLiteral(bool value) const = 0;

    static std::unique_ptr<SqlDialect> create(int databaseType);
};

// Shared by both dialects: maps declared-type text (lower case) to an ADO type code, 0 when the
// column has no declared type.
int AdoTypeFromDeclared(const QString &declared);
// Converts a raw engine value to the value form of its ADO type.
QVariant ConvertToAdo(const QVariant &raw, int adoType);
// Finishes a table whose columns were typed as far as the engine could: widens adInteger to
// adBigInt where needed, types undeclared columns (type 0) by their values, converts values and
// sets defined sizes.
void FinishTable(DataTable &table, const QList<int> &declaredTypes);

} // namespace kv6
