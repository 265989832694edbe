#include "groups/printers.h"

#include "dataaccess/datasettings.h"
#include "recordset/fieldvalue.h"
#include "recordset/recordset.h"

namespace kv6 {

namespace {

// Reads the fields of a recordset's current record, remembering the first that failed so the
// load can name it. One reader serves every record: field positions are looked up once, since
// lists of tens of thousands of users would otherwise search the field names per value.
class RecordReader
{
public:
    RecordReader(Recordset &rs, const QString &what)
        : m_rs(rs)
        , m_what(what)
    { }

    // Directly converted fields must hold a value.
    QVariant required(const QString &field)
    {
        const int i = column(field);
        if (i < 0)
            return {};
        const QVariant v = m_rs.Value(i);
        if (!v.isValid() || v.isNull())
            fail(QStringLiteral("the field \"%1\" is Null").arg(field));
        return v;
    }
    qint32 integer(const QString &field)
    {
        const QVariant v = required(field);
        bool ok = true;
        const qint32 n = v.isValid() ? v.toInt(&ok) : 0;
        if (!ok)
            fail(QStringLiteral("the field \"%1\" is not a number").arg(field));
        return n;
    }
    QString text(const QString &field) { return required(field).toString(); }
    bool boolean(const QString &field) { return required(field).toBool(); }
    // Null read as empty.
    QString optionalText(const QString &field)
    {
        const int i = column(field);
        return i < 0 ? QString() : FieldValue(m_rs.GetField(i)).toString();
    }

    void fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
    }
    DataResult error() const
    {
        if (m_error.isEmpty())
            return std::nullopt;
        return DataError(dataErrGeneral,
            QStringLiteral("The %1 at position %2 could not be loaded: %3.")
                .arg(m_what)
                .arg(m_rs.AbsolutePosition())
                .arg(m_error));
    }

private:
    // -1 once a field is missing or an earlier one failed.
    int column(const QString &field)
    {
        if (!m_error.isEmpty())
            return -1;
        for (const auto &[name, index] : std::as_const(m_columns)) {
            if (name == field)
                return index;
        }
        const int index = m_rs.FieldIndex(field);
        if (index < 0)
            fail(QStringLiteral("the field \"%1\" is missing").arg(field));
        m_columns.append({ field, index });
        return index;
    }

    Recordset &m_rs;
    QString m_what;
    QString m_error;
    QList<std::pair<QString, int>> m_columns;
};

DataResult keyClash(const QString &what, const QString &key, const QString &name)
{
    return DataError(dataErrGeneral,
        QStringLiteral("The %1 \"%2\" could not be loaded: the key %3 is used already.")
            .arg(what, name, key));
}

} // namespace

// ---- printers

clsPrinterManager::clsPrinterManager()
{
    m_list.Initialize(std::make_shared<clsPrinter>());
}

DataResult clsPrinterManager::LoadPrinters(Recordset &rs)
{
    RecordReader r(rs, QStringLiteral("printer"));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        auto p = std::make_shared<clsPrinter>();
        p->setId(r.integer(QStringLiteral("PrinterId")));
        p->setPrinterKey(QStringLiteral("PRT") + QString::number(p->Id()));
        p->setPort(r.optionalText(QStringLiteral("Port")));
        p->setEstCost(StartingEstCost);
        p->setEstCostColor(StartingEstCostColor);
        p->setPrinterName(r.text(QStringLiteral("Name")));
        p->setColor(r.boolean(QStringLiteral("ColorDevice")));
        p->setCompany(r.optionalText(QStringLiteral("CompanyName")));
        p->setCompanyId(r.integer(QStringLiteral("CompanyId")));
        p->setConnectType(r.integer(QStringLiteral("ConnectionType")));
        p->setDuplex(r.boolean(QStringLiteral("DuplexDevice")));
        p->setHost(r.optionalText(QStringLiteral("Host")));
        p->setModel(r.optionalText(QStringLiteral("ManufacturerModel")));
        p->setDeviceType(0);
        if (auto e = r.error())
            return e;
        if (m_list.Items().add(p, p->Key()) != GroupItems::Result::Ok)
            return keyClash(QStringLiteral("printer"), p->Key(), p->Name());
    }
    rs.Close();
    return std::nullopt;
}

DataResult clsPrinterManager::LoadDevices(Recordset &rs)
{
    RecordReader r(rs, QStringLiteral("device"));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        auto p = std::make_shared<clsPrinter>();
        p->setId(r.integer(QStringLiteral("DeviceId")));
        p->setPrinterKey(QStringLiteral("PRT") + QString::number(p->Id()));
        p->setPort(r.optionalText(QStringLiteral("Port")));
        p->setHost(r.optionalText(QStringLiteral("Host")));
        p->setPrinterName(r.text(QStringLiteral("Name")));
        p->setColor(false);
        p->setEstCost(StartingEstCost);
        p->setEstCostColor(StartingEstCostColor);
        p->setCompany(r.optionalText(QStringLiteral("CompanyName")));
        p->setCompanyId(r.integer(QStringLiteral("CompanyId")));
        p->setDeviceType(r.integer(QStringLiteral("Type")));
        p->setDuplex(false);
        p->setModel(QString());
        if (auto e = r.error())
            return e;
        if (m_list.Items().add(p, p->Key()) != GroupItems::Result::Ok)
            return keyClash(QStringLiteral("device"), p->Key(), p->Name());
    }
    rs.Close();
    return std::nullopt;
}

DataResult clsPrinterManager::BuildListFromData(DataConnection &connection, qint32 companyId)
{
    m_list.ClearItems();
    RecordsetPtr rs;
    DataResult e = DataSettings::GetPrinters(connection, companyId, rs);
    if (!e)
        e = LoadPrinters(*rs);
    if (!e) {
        e = DataSettings::GetDevices(connection, 1, true, QString(), companyId, rs);
        if (!e)
            e = LoadDevices(*rs);
    }
    m_list.setIsDirty(false);
    return e;
}

bool clsPrinterManager::AddGroup(const QString &name, GroupItemPtr *group)
{
    auto entry = std::make_shared<clsPrinter>();
    entry->setHost(QStringLiteral("<GROUP>"));
    if (!m_list.AddGroup(name, entry))
        return false;
    if (group)
        *group = entry;
    return true;
}

bool clsPrinterManager::AddItemToGroup(const QString &groupReference, const QString &itemKey)
{
    return m_list.AddItemToGroup(groupReference, itemKey, nullptr, nullptr);
}

// ---- users

clsUserManager::clsUserManager()
{
    m_list.Initialize(std::make_shared<clsUser>());
}

DataResult clsUserManager::LoadUsers(Recordset &rs)
{
    RecordReader r(rs, QStringLiteral("user"));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        auto u = std::make_shared<clsUser>();
        u->setCompanyId(r.integer(QStringLiteral("CompanyId")));
        u->setId(r.integer(QStringLiteral("UserId")));
        u->setUserKey(QStringLiteral("USR") + QString::number(u->Id()));
        u->setUserName(r.text(QStringLiteral("DisplayName")));
        u->setDomain(r.optionalText(QStringLiteral("UserDomain")));
        u->setCompany(r.optionalText(QStringLiteral("CompanyName")));
        if (auto e = r.error())
            return e;
        if (m_list.Items().add(u, u->Key()) != GroupItems::Result::Ok)
            return keyClash(QStringLiteral("user"), u->Key(), u->Name());
    }
    rs.Close();
    return std::nullopt;
}

DataResult clsUserManager::BuildListFromData(DataConnection &connection, qint32 companyId)
{
    m_list.ClearItems();
    RecordsetPtr rs;
    DataResult e = DataSettings::GetUsers(connection, companyId, rs);
    if (!e)
        e = LoadUsers(*rs);
    m_list.setIsDirty(false);
    return e;
}

bool clsUserManager::AddGroup(const QString &name, GroupItemPtr *group)
{
    auto entry = std::make_shared<clsUser>();
    if (!m_list.AddGroup(name, entry))
        return false;
    if (group)
        *group = entry;
    return true;
}

bool clsUserManager::AddItemToGroup(const QString &groupReference, const QString &itemKey)
{
    GroupItemPtr group, item;
    if (!m_list.AddItemToGroup(groupReference, itemKey, &group, &item))
        return false;
    if (item && group && group->Number() != 1)
        item->setInclude(group->Include());
    return true;
}

} // namespace kv6
